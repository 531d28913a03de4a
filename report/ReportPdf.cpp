#include "report/ReportPdf.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

#include "analysis/GlossValue.h"
#include "report/ReportStatistics.h"
#include "report/ReportTexts.h"

namespace report {
namespace {

// The same colours as the trend window: 20° blue, 60° orange-red.
const QColor kColour20(0x1F, 0x5F, 0xAF);
const QColor kColour60(0xC8, 0x50, 0x1E);
const QColor kInk(0x10, 0x10, 0x10);
const QColor kGreyInk(0x80, 0x80, 0x80);
const QColor kFrame(0x60, 0x60, 0x60);
const QColor kGrid(0xDD, 0xDD, 0xDD);
const QColor kLightRule(0xC8, 0xC8, 0xC8);
const QColor kShade(0xEC, 0xEC, 0xEC);
const QColor kLane(0xF4, 0xF4, 0xF4);
constexpr double kMarker = 1.8;
// A logo is drawn from a picture of this many pixels per point: sharp in print, and with no
// transparency left in it (PDF/A-1 allows none).
constexpr double kLogoPixelsPerPoint = 6;

QFont FontOf(Font which) {
  // Liberation Sans where it is installed (Arial's metrics), else the system's sans serif.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  // Unhinted: widths measured are the widths printed.
  font.setHintingPreference(QFont::PreferNoHinting);
  switch (which) {
    case Font::Body:
      font.setPointSizeF(8.5);
      break;
    case Font::Bold:
      font.setPointSizeF(8.5);
      font.setBold(true);
      break;
    case Font::Small:
      font.setPointSizeF(7);
      break;
    case Font::Heading:
      font.setPointSizeF(11);
      font.setBold(true);
      break;
    case Font::Title:
      font.setPointSizeF(14);
      font.setBold(true);
      break;
  }
  return font;
}

struct Fonts {
  explicit Fonts(const QPaintDevice& device) {
    for (std::size_t i = 0; i < kFontCount; ++i) {
      fonts[i] = FontOf(static_cast<Font>(i));
      metrics.emplace_back(fonts[i], &device);
    }
  }
  const QFont& Of(Font f) const { return fonts[static_cast<std::size_t>(f)]; }
  const QFontMetricsF& Metrics(Font f) const { return metrics[static_cast<std::size_t>(f)]; }
  std::array<QFont, kFontCount> fonts;
  std::vector<QFontMetricsF> metrics;
};

QPen Pen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(colour, width, style);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

void DrawText(QPainter& painter, const Fonts& fonts, const PlacedText& t) {
  const QFontMetricsF& m = fonts.Metrics(t.font);
  painter.setFont(fonts.Of(t.font));
  painter.setPen(t.grey ? kGreyInk : kInk);
  double x = t.at.x();
  if (t.anchor != PlacedText::Anchor::Left) {
    const double width = m.horizontalAdvance(t.text);
    x -= t.anchor == PlacedText::Anchor::Right ? width : width / 2;
  }
  painter.drawText(QPointF(x, t.at.y() + m.ascent()), t.text);
}

// A trend text: y is the middle of the line.
void DrawChartText(QPainter& painter, const Fonts& fonts, const analysis::TrendText& t) {
  DrawText(painter, fonts,
           {QPointF(t.at.x(), t.at.y() - fonts.Metrics(Font::Small).height() / 2),
            t.anchor == analysis::TrendText::Anchor::Left    ? PlacedText::Anchor::Left
            : t.anchor == analysis::TrendText::Anchor::Right ? PlacedText::Anchor::Right
                                                             : PlacedText::Anchor::Centre,
            Font::Small, false, t.text});
}

void Marker(QPainter& painter, int series, QPointF at) {
  if (series == analysis::kSeries20) {
    painter.drawEllipse(at, kMarker, kMarker);
  } else {
    painter.drawRect(QRectF(at.x() - kMarker, at.y() - kMarker, 2 * kMarker, 2 * kMarker));
  }
}

// The trend as the window draws it, with pens in points for paper, and the specification's lines.
void PaintChart(QPainter& painter, const Fonts& fonts, const PlacedChart& chart) {
  const analysis::TrendPicture& p = chart.picture;
  painter.save();
  painter.translate(chart.area.topLeft());
  const double laneHeight = p.lanes.height() / 3;
  for (int lane = 0; lane < 3; lane += 2) {
    painter.fillRect(QRectF(p.lanes.left(), p.lanes.top() + lane * laneHeight, p.lanes.width(), laneHeight), kLane);
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(Pen(kGrid, 0.4));
  for (const QLineF& line : p.grid) painter.drawLine(line);
  painter.setPen(Pen(kFrame, 0.6));
  painter.drawRect(p.plot);
  painter.drawRect(p.lanes);
  for (const QLineF& line : p.ticks) painter.drawLine(line);

  const QColor colours[2] = {kColour20, kColour60};
  painter.save();
  painter.setClipRect(p.plot.adjusted(-kMarker - 1, -kMarker - 1, kMarker + 1, kMarker + 1));
  for (const ChartLine& l : chart.lines) {
    painter.setPen(Pen(colours[l.series], 0.7, l.kind == ChartLine::Kind::Target ? Qt::DashDotLine : Qt::DashLine));
    painter.drawLine(l.line);
  }
  for (int s = analysis::kSeries60; s >= analysis::kSeries20; --s) {
    const auto i = static_cast<std::size_t>(s);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Pen(colours[i], p.dense ? 0.4 : 0.8, s == analysis::kSeries20 ? Qt::SolidLine : Qt::DashLine));
    for (const std::vector<QPointF>& run : p.lines[i]) {
      if (run.size() == 1) {
        painter.drawPoint(run.front());
      } else {
        painter.drawPolyline(run.data(), static_cast<int>(run.size()));
      }
    }
    painter.setPen(Pen(colours[i], 0.5));
    painter.setBrush(colours[i]);
    for (const QPointF& at : p.markers[i]) Marker(painter, s, at);
    // The values the control-chart rules flag, ringed as the trend window rings them.
    painter.setPen(Pen(kInk, 0.6));
    painter.setBrush(Qt::NoBrush);
    for (const QPointF& at : p.flagged[i]) painter.drawEllipse(at, kMarker + 1.5, kMarker + 1.5);
  }
  painter.restore();

  // The specification's lines are named at their right end, above the line.
  for (const ChartLine& l : chart.lines) {
    if (!p.plot.adjusted(0, -1, 0, 1).contains(l.line.p2())) continue;
    DrawChartText(painter, fonts,
                  {QPointF(l.line.x2() - 3, l.line.y1() - fonts.Metrics(Font::Small).height() / 2 - 0.5),
                   analysis::TrendText::Anchor::Right, l.label});
  }

  painter.setBrush(Qt::NoBrush);
  for (const analysis::ModeMark& m : p.modes) {
    const double top = p.lanes.top() + m.lane * laneHeight;
    if (m.letter) {
      DrawChartText(painter, fonts,
                    {QPointF(m.x, top + laneHeight / 2), analysis::TrendText::Anchor::Centre,
                     QString(QLatin1Char(analysis::kModeLetters[m.lane]))});
    } else {
      painter.setPen(Pen(kInk, 0.4));
      painter.drawLine(QLineF(m.x, top + 1.5, m.x, top + laneHeight - 1.5));
    }
  }
  for (int s = analysis::kSeries20; s <= analysis::kSeries60; ++s) {
    const auto i = static_cast<std::size_t>(s);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Pen(colours[i], 0.8, s == analysis::kSeries20 ? Qt::SolidLine : Qt::DashLine));
    painter.drawLine(p.legend[i]);
    painter.setPen(Pen(colours[i], 0.5));
    painter.setBrush(colours[i]);
    Marker(painter, s, p.legend[i].center());
  }
  painter.setBrush(Qt::NoBrush);
  for (const analysis::TrendText& t : p.texts) DrawChartText(painter, fonts, t);
  painter.restore();
}

void PaintPage(QPainter& painter, const Fonts& fonts, const ReportPage& page, const QImage& logo) {
  for (const QRectF& shade : page.shades) painter.fillRect(shade, kShade);
  painter.setBrush(Qt::NoBrush);
  for (const Rule& rule : page.rules) {
    painter.setPen(Pen(rule.light ? kLightRule : kInk, rule.width));
    painter.drawLine(rule.line);
  }
  if (!page.logo.isEmpty() && !logo.isNull()) painter.drawImage(page.logo, logo);
  if (page.chart) PaintChart(painter, fonts, *page.chart);
  for (const PlacedText& t : page.texts) DrawText(painter, fonts, t);
}

// The logo as a picture on white at print resolution for a box of at most `box` points, and its
// own size for the layout; a null picture with `reason` when it cannot be read.
QImage ReadLogo(const QString& path, QSizeF box, int lang, QSizeF& size, QString& reason) {
  QSizeF natural;
  QSvgRenderer svg;
  QImage picture;
  const bool isSvg = QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0 ||
                     QFileInfo(path).suffix().compare(QLatin1String("svgz"), Qt::CaseInsensitive) == 0;
  if (!QFileInfo(path).isFile()) {
    reason = Text(ReportText::LogoNoFile, lang);
    return {};
  }
  if (isSvg) {
    if (!svg.load(path) || !svg.isValid()) {
      reason = Text(ReportText::LogoNoPicture, lang);
      return {};
    }
    natural = svg.viewBoxF().size();
    if (natural.isEmpty()) natural = QSizeF(svg.defaultSize());
  } else {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    picture = reader.read();
    if (picture.isNull()) {
      reason = reader.errorString();
      return {};
    }
    natural = QSizeF(picture.size());
  }
  if (natural.isEmpty()) {
    reason = Text(ReportText::LogoNoPicture, lang);
    return {};
  }
  size = natural;
  const QSizeF fitted = natural.scaled(box, Qt::KeepAspectRatio);
  const QSize pixels(std::max(1, static_cast<int>(std::ceil(fitted.width() * kLogoPixelsPerPoint))),
                     std::max(1, static_cast<int>(std::ceil(fitted.height() * kLogoPixelsPerPoint))));
  QImage out(pixels, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (isSvg) {
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
  } else {
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(pixels)), picture);
  }
  return out;
}

}  // namespace

QString LogoProblem(const QString& path, int language) {
  QSizeF size;
  QString reason;
  return ReadLogo(path, QSizeF(16, 16), language, size, reason).isNull() ? reason : QString();
}

ReportMeasure MeasureOn(const QPaintDevice& device) {
  auto fonts = std::make_shared<Fonts>(device);
  ReportMeasure m;
  for (std::size_t i = 0; i < kFontCount; ++i) m.lineHeight[i] = fonts->metrics[i].height();
  m.width = [fonts](const QString& text, Font f) { return fonts->Metrics(f).horizontalAdvance(text); };
  return m;
}

WriteOutcome WritePdfReport(const ReportData& input, const QString& path, const Progress& progress) {
  WriteOutcome outcome;
  const int lang = input.language;
  const auto failed = [&](const QString& reason) {
    outcome.status = WriteOutcome::Status::Failed;
    outcome.error = Text(ReportText::WriteFailed, lang).arg(QDir::toNativeSeparators(path), reason);
    return outcome;
  };

  ReportData data = input;
  if (!data.created.isValid()) data.created = QDateTime::currentDateTime();

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
  QPdfWriter writer(&file);
  writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
  // One unit a point: the layout's coordinates are the painter's.
  writer.setResolution(72);
  writer.setPageSize(QPageSize(data.paper == PaperSize::Letter ? QPageSize::Letter : QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
  writer.setCreator(QStringLiteral("KORVANTA III ") + data.programVersion);

  QImage logo;
  std::optional<QSizeF> logoSize;
  if (!data.logoPath.isEmpty()) {
    QSizeF size;
    QString reason;
    // The largest box the header gives a logo.
    logo = ReadLogo(data.logoPath, QSizeF(120, 38), lang, size, reason);
    if (logo.isNull()) {
      outcome.notes << Text(ReportText::LogoUnreadable, lang).arg(QDir::toNativeSeparators(data.logoPath), reason);
    } else {
      logoSize = size;
    }
  }

  const ReportLayout layout = LayOutReport(data, ComputeStatistics(data), MeasureOn(writer), logoSize);
  writer.setTitle(layout.title);
  const int total = static_cast<int>(layout.pages.size());

  const Fonts fonts(writer);
  QPainter painter;
  if (!painter.begin(&writer)) {
    file.cancelWriting();
    return failed(file.errorString());
  }
  for (int i = 0; i < total; ++i) {
    if (progress && !progress(i, total)) {
      painter.end();
      file.cancelWriting();
      outcome.status = WriteOutcome::Status::Cancelled;
      return outcome;
    }
    if (i > 0 && !writer.newPage()) {
      painter.end();
      const QString reason = file.errorString();
      file.cancelWriting();
      return failed(reason);
    }
    PaintPage(painter, fonts, layout.pages[static_cast<std::size_t>(i)], logo);
  }
  painter.end();
  if (file.error() != QFileDevice::NoError) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return failed(reason);
  }
  if (!file.commit()) return failed(file.errorString());
  if (progress) progress(total, total);
  outcome.status = WriteOutcome::Status::Written;
  outcome.pages = total;
  return outcome;
}

}  // namespace report
