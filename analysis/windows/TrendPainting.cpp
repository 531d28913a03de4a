#include "analysis/windows/TrendPainting.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include "analysis/GlossValue.h"

namespace analysis {
namespace {

constexpr double kMarkerRadius = 3;
const QColor kFrame(0x60, 0x60, 0x60);
const QColor kGrid(0xE4, 0xE4, 0xE4);
const QColor kText(0x20, 0x20, 0x20);
const QColor kLane(0xF4, 0xF4, 0xF4);

// Dense lines zigzag through every pixel column: a wide pen would stroke thousands of joins on
// each repaint (a second at 10,000 rows), a one-pixel cosmetic pen draws them in milliseconds.
QPen SeriesPen(int series, bool dense) {
  QPen pen(QColor::fromRgb(series == kSeries20 ? kColour20 : kColour60), dense ? 0 : 1.5);
  pen.setStyle(series == kSeries20 ? Qt::SolidLine : Qt::DashLine);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

void Marker(QPainter& painter, int series, QPointF at) {
  if (series == kSeries20) {
    painter.drawEllipse(at, kMarkerRadius, kMarkerRadius);
  } else {
    painter.drawRect(QRectF(at.x() - kMarkerRadius, at.y() - kMarkerRadius, 2 * kMarkerRadius, 2 * kMarkerRadius));
  }
}

void Text(QPainter& painter, const TrendText& t) {
  const QFontMetricsF metrics(painter.font(), painter.device());
  const double width = metrics.horizontalAdvance(t.text);
  double x = t.at.x();
  if (t.anchor == TrendText::Anchor::Centre) x -= width / 2;
  if (t.anchor == TrendText::Anchor::Right) x -= width;
  // y is the text's middle; the painter wants the baseline.
  painter.drawText(QPointF(x, t.at.y() + (metrics.ascent() - metrics.descent()) / 2), t.text);
}

}  // namespace

TextMeasure MeasureFor(const QFont& font, const QPaintDevice* device) {
  const QFontMetricsF metrics = device != nullptr ? QFontMetricsF(font, device) : QFontMetricsF(font);
  return {[metrics](const QString& text) { return metrics.horizontalAdvance(text); }, metrics.height()};
}

void PaintTrend(const TrendPicture& p, QPainter& painter) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);

  // The lanes' background, the grid, the frame, the tick marks.
  const double laneHeight = p.lanes.height() / 3;
  for (int lane = 0; lane < 3; lane += 2) {
    painter.fillRect(QRectF(p.lanes.left(), p.lanes.top() + lane * laneHeight, p.lanes.width(), laneHeight), kLane);
  }
  painter.setPen(QPen(kGrid, 1));
  for (const QLineF& line : p.grid) painter.drawLine(line);
  painter.setPen(QPen(kFrame, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(p.plot);
  painter.drawRect(p.lanes);
  for (const QLineF& line : p.ticks) painter.drawLine(line);

  // A specification's lines: its targets dotted, its limits dashed, in the series' colours.
  for (const SpecLine& l : p.specLines) {
    QPen pen(QColor::fromRgb(l.series == kSeries20 ? kColour20 : kColour60), 1.5);
    pen.setStyle(l.target ? Qt::DotLine : Qt::DashDotLine);
    painter.setPen(pen);
    painter.drawLine(l.line);
  }

  // The series, clipped to the plot, 60° beneath 20°.
  painter.save();
  painter.setClipRect(p.plot.adjusted(-kMarkerRadius - 1, -kMarkerRadius - 1, kMarkerRadius + 1, kMarkerRadius + 1));
  for (int s = kSeries60; s >= kSeries20; --s) {
    const auto i = static_cast<std::size_t>(s);
    painter.setPen(SeriesPen(s, p.dense));
    for (const std::vector<QPointF>& run : p.lines[i]) {
      if (run.size() == 1) {
        painter.drawPoint(run.front());
      } else {
        painter.drawPolyline(run.data(), static_cast<int>(run.size()));
      }
    }
    painter.setPen(QPen(QColor::fromRgb(s == kSeries20 ? kColour20 : kColour60), 1));
    painter.setBrush(QColor::fromRgb(s == kSeries20 ? kColour20 : kColour60));
    for (const QPointF& at : p.markers[i]) Marker(painter, s, at);
    // What the control-chart rules flag: a ring around the value, visible in any colour vision.
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(Qt::NoBrush);
    for (const QPointF& at : p.flagged[i]) painter.drawEllipse(at, kMarkerRadius + 3, kMarkerRadius + 3);
  }
  painter.restore();

  // The mode lanes: letters while there is room, else a tick per pixel column.
  painter.setPen(QPen(kText, 1));
  painter.setBrush(Qt::NoBrush);
  for (const ModeMark& m : p.modes) {
    const double top = p.lanes.top() + m.lane * laneHeight;
    if (m.letter) {
      Text(painter,
           {QPointF(m.x, top + laneHeight / 2), TrendText::Anchor::Centre, QString(QLatin1Char(kModeLetters[m.lane]))});
    } else {
      painter.drawLine(QLineF(m.x, top + 2, m.x, top + laneHeight - 2));
    }
  }

  // The legend: each series' line with its marker.
  for (int s = kSeries20; s <= kSeries60; ++s) {
    const QLineF& sample = p.legend[static_cast<std::size_t>(s)];
    painter.setPen(SeriesPen(s, false));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(sample);
    painter.setPen(QPen(QColor::fromRgb(s == kSeries20 ? kColour20 : kColour60), 1));
    painter.setBrush(QColor::fromRgb(s == kSeries20 ? kColour20 : kColour60));
    Marker(painter, s, sample.center());
  }

  painter.setPen(kText);
  painter.setBrush(Qt::NoBrush);
  for (const TrendText& t : p.texts) Text(painter, t);
  painter.restore();
}

QImage RenderTrend(std::span<const RowNumbers> rows, QSize size, const TrendWords& words, const QFont& font,
                   const QString& title, const SpecView* spec) {
  const int band = title.isEmpty() ? 0 : QFontMetrics(font).height() + 8;
  QImage image(QSize(size.width(), size.height() + band), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  if (band > 0) {
    painter.setPen(Qt::black);
    painter.drawText(QRect(8, 0, size.width() - 16, band), Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.translate(0, band);
  }
  PaintTrend(LayOutTrend(rows, QSizeF(size), words, MeasureFor(font, &image), spec), painter);
  return image;
}

}  // namespace analysis
