#include "report/ReportLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/GlossValue.h"
#include "i18n/ExtraTexts.h"
#include "report/ReportTexts.h"

namespace report {
namespace {

using Anchor = PlacedText::Anchor;

constexpr double kMarginX = 42;
constexpr double kMarginTop = 34;
constexpr double kMarginBottom = 30;
constexpr double kHeaderHeight = 42;
constexpr double kLogoWidest = 120;
constexpr double kGap = 6;
constexpr double kSectionGap = 16;
constexpr double kCellPad = 3;
constexpr double kRowPad = 1.5;
constexpr double kChartHeight = 220;
constexpr double kCommentNarrowest = 120;
constexpr double kFigureColumn = 82;
// Wrapping keeps this much short of a column's width, so that a painter's rounding never reaches
// the next column.
constexpr double kWrapSlack = 0.5;

QChar MarkOf(int language) {
  return language == i18n::kGerman || language == i18n::kFrench ? QLatin1Char(',') : QLatin1Char('.');
}

// A limit or a target as entered: at least one decimal, at most two (they are kept in hundredths).
QString LimitText(double value, QChar mark) {
  const int decimals = std::abs(std::round(value * 10) - value * 10) < 1e-6 ? 1 : 2;
  return analysis::FormatNumber(value, decimals, mark);
}

QString Elide(const QString& text, double width, const std::function<double(const QString&)>& measure) {
  if (measure(text) <= width) return text;
  const QString ellipsis = QStringLiteral("…");
  QString cut = text;
  while (!cut.isEmpty() && measure(cut + ellipsis) > width) cut.chop(1);
  return cut + ellipsis;
}

QString VerdictWord(Verdict verdict, int lang) {
  switch (verdict) {
    case Verdict::Pass:
      return Text(ReportText::VerdictPass, lang);
    case Verdict::Warn:
      return Text(ReportText::VerdictWarn, lang);
    case Verdict::Fail:
      return Text(ReportText::VerdictFail, lang);
    case Verdict::NoValue:
      return Text(ReportText::VerdictNoValue, lang);
    case Verdict::NotJudged:
      break;
  }
  return QStringLiteral("—");
}

QString AngleLimitsText(const QString& angle, const AngleLimits& limits, QChar mark, int lang) {
  const QString unit = Text(ReportText::Unit, lang);
  if (limits.target && limits.tolerance) {
    return Text(ReportText::SpecTarget, lang)
        .arg(angle, LimitText(*limits.target, mark), LimitText(*limits.tolerance, mark), unit);
  }
  if (limits.minimum && limits.maximum) {
    return Text(ReportText::SpecBetween, lang)
        .arg(angle, LimitText(*limits.minimum, mark), LimitText(*limits.maximum, mark), unit);
  }
  if (limits.minimum) return Text(ReportText::SpecMinimum, lang).arg(angle, LimitText(*limits.minimum, mark), unit);
  if (limits.maximum) return Text(ReportText::SpecMaximum, lang).arg(angle, LimitText(*limits.maximum, mark), unit);
  return Text(ReportText::SpecNoLimits, lang).arg(angle);
}

class Builder {
 public:
  Builder(const ReportData& data, const ReportMeasure& measure, QSizeF paper)
      : data_(data), measure_(measure), paper_(paper), lang_(data.language), mark_(MarkOf(data.language)) {
    left_ = kMarginX;
    right_ = paper.width() - kMarginX;
    bodyTop_ = kMarginTop + kHeaderHeight + kGap;
    if (data.provisional) bodyTop_ += measure.LineHeight(Font::Bold) + kGap;
    bottom_ = paper.height() - kMarginBottom - measure.LineHeight(Font::Small) - kGap;
    NewPage();
  }

  std::vector<ReportPage> Take() { return std::move(pages_); }

  void Particulars();
  void Statistics(const ReportStatistics& statistics);
  void Chart();
  void Readings();
  void Signatures();
  void HeadersAndFooters(std::optional<QSizeF> logoSize, const QString& title);

 private:
  double Width() const { return right_ - left_; }
  double Measure(const QString& text, Font font) const { return measure_.width(text, font); }
  double Line(Font font) const { return measure_.LineHeight(font); }
  std::function<double(const QString&)> Measurer(Font font) const {
    return [this, font](const QString& text) { return measure_.width(text, font); };
  }
  ReportPage& Page() { return pages_.back(); }
  void NewPage() {
    pages_.emplace_back();
    y_ = bodyTop_;
  }
  bool AtTop() const { return y_ <= bodyTop_ + 1e-6; }
  // Starts the next page unless `height` fits in what is left of this one.
  void Ensure(double height) {
    if (y_ + height > bottom_ + 1e-6 && !AtTop()) NewPage();
  }
  void Put(double x, double y, Anchor anchor, Font font, const QString& text, bool grey = false) {
    if (!text.isEmpty()) Page().texts.push_back({QPointF(x, y), anchor, font, grey, text});
  }
  void Heading(const QString& text) {
    Put(left_, y_, Anchor::Left, Font::Heading, text);
    y_ += Line(Font::Heading) + 2;
  }
  QString T(ReportText id) const { return Text(id, lang_); }

  // The readings table.
  struct Column {
    QString header;
    Anchor anchor = Anchor::Left;
    double width = 0;
  };
  void TableHeader(const std::vector<Column>& columns);

  const ReportData& data_;
  const ReportMeasure& measure_;
  QSizeF paper_;
  int lang_;
  QChar mark_;
  double left_ = 0;
  double right_ = 0;
  double bodyTop_ = 0;
  double bottom_ = 0;
  double y_ = 0;
  std::vector<ReportPage> pages_;
};

void Builder::Particulars() {
  std::vector<std::pair<QString, QString>> rows;
  const bool batch = data_.IsBatch();
  if (batch) {
    const std::optional<ReportSpecification>& spec = data_.specification;
    QString product = T(ReportText::ProductNone);
    if (spec) {
      product = spec->version > 0 ? T(ReportText::ProductVersion).arg(spec->product, QString::number(spec->version))
                                  : spec->product;
    }
    rows.emplace_back(T(ReportText::Product), product);
    if (spec) {
      QStringList parts = {AngleLimitsText(QStringLiteral("20°"), spec->g20, mark_, lang_),
                           AngleLimitsText(QStringLiteral("60°"), spec->g60, mark_, lang_)};
      parts << T(ReportText::SpecBand).arg(LimitText(spec->warningBandPercent, mark_));
      if (spec->largestHaze) parts << T(ReportText::SpecHaze).arg(LimitText(*spec->largestHaze, mark_));
      rows.emplace_back(T(ReportText::Specification), parts.join(QStringLiteral("; ")));
    }
  }
  if (!data_.operatorName.isEmpty()) rows.emplace_back(T(ReportText::Operator), data_.operatorName);
  QStringList instruments;
  for (const Instrument& i : data_.instruments) {
    if (i.serial.isEmpty() && i.firmware.isEmpty()) continue;
    instruments << T(ReportText::InstrumentLine).arg(i.serial, i.firmware);
  }
  if (!instruments.isEmpty()) rows.emplace_back(T(ReportText::Instrument), instruments.join(QStringLiteral("; ")));
  if (!data_.programVersion.isEmpty()) {
    rows.emplace_back(T(ReportText::Program), QStringLiteral("KORVANTA III ") + data_.programVersion);
  }
  if (!data_.readings.empty()) {
    const ReportReading& first = data_.readings.front();
    const ReportReading& last = data_.readings.back();
    rows.emplace_back(T(ReportText::FirstReading), MomentText(first));
    rows.emplace_back(T(ReportText::LastReading), MomentText(last));
  }
  rows.emplace_back(T(ReportText::Standards), T(ReportText::StandardsLine));
  if (data_.calibration) {
    QStringList parts;
    if (!data_.calibration->value.trimmed().isEmpty()) parts << data_.calibration->value.trimmed();
    if (data_.calibration->date.isValid()) parts << data_.calibration->date.toString(Qt::ISODate);
    if (!parts.isEmpty()) rows.emplace_back(T(ReportText::Calibration), parts.join(QStringLiteral(", ")));
  }
  const VerdictCounts counts = CountVerdicts(data_.readings);
  if (batch) {
    rows.emplace_back(T(ReportText::Readings), T(ReportText::Summary)
                                                   .arg(counts.readings)
                                                   .arg(counts.passes)
                                                   .arg(counts.warnings)
                                                   .arg(counts.fails)
                                                   .arg(counts.withdrawn)
                                                   .arg(counts.noValue));
  } else {
    rows.emplace_back(T(ReportText::Readings), T(ReportText::ReadingCount).arg(counts.readings + counts.withdrawn));
  }

  double labelWidth = 0;
  for (const auto& row : rows) labelWidth = std::max(labelWidth, Measure(row.first, Font::Bold));
  if (batch) labelWidth = std::max(labelWidth, Measure(T(ReportText::BatchVerdict), Font::Bold));
  labelWidth = std::min(labelWidth + 12, Width() * 0.4);
  const double valueX = left_ + labelWidth;
  const auto put = [&](const QString& label, const QString& value, Font font) {
    const QStringList lines = WrapText(value, right_ - valueX - kWrapSlack, Measurer(font));
    const double height = static_cast<double>(lines.size()) * Line(font);
    Ensure(height);
    // The label's baseline level with the value's first line.
    Put(left_, y_ + (Line(font) - Line(Font::Bold)) / 2, Anchor::Left, Font::Bold,
        Elide(label, labelWidth - 6, Measurer(Font::Bold)));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      Put(valueX, y_ + static_cast<double>(i) * Line(font), Anchor::Left, font, lines[i]);
    }
    y_ += height + 2;
  };
  for (const auto& [label, value] : rows) put(label, value, Font::Body);
  if (batch) {
    const std::optional<Verdict> verdict = BatchVerdict(data_.readings);
    put(T(ReportText::BatchVerdict), verdict ? VerdictWord(*verdict, lang_) : T(ReportText::NoVerdict), Font::Heading);
  }
  y_ += kSectionGap;
}

void Builder::Statistics(const ReportStatistics& statistics) {
  const bool capability = data_.IsBatch() && data_.specification.has_value();
  const QString none = QStringLiteral("—");
  std::vector<QString> names = {T(ReportText::StatCount),   T(ReportText::StatMean),    T(ReportText::StatDeviation),
                                T(ReportText::StatMinimum), T(ReportText::StatMaximum), T(ReportText::StatRange)};
  if (capability) names.insert(names.end(), {QStringLiteral("Cp"), QStringLiteral("Cpk")});
  const double height =
      Line(Font::Heading) + 2 + Line(Font::Bold) + 3 + static_cast<double>(names.size()) * Line(Font::Body);
  Ensure(height);
  Heading(T(ReportText::StatisticsHeading));

  double labelWidth = 0;
  for (const QString& name : names) labelWidth = std::max(labelWidth, Measure(name, Font::Body));
  labelWidth = std::min(labelWidth + 16, Width() - 3 * kFigureColumn);
  const QString headers[3] = {QStringLiteral("20°"), QStringLiteral("60°"), T(ReportText::HazeColumn)};
  const auto columnRight = [&](int c) { return left_ + labelWidth + (c + 1) * kFigureColumn; };
  for (int c = 0; c < 3; ++c) {
    Put(columnRight(c), y_, Anchor::Right, Font::Bold,
        Elide(headers[c], kFigureColumn - kCellPad, Measurer(Font::Bold)));
  }
  y_ += Line(Font::Bold) + 1;
  Page().rules.push_back({QLineF(left_, y_, columnRight(2), y_), 0.5, false});
  y_ += 2;
  for (std::size_t r = 0; r < names.size(); ++r) {
    Put(left_, y_, Anchor::Left, Font::Body, Elide(names[r], labelWidth - 4, Measurer(Font::Body)));
    for (int c = 0; c < 3; ++c) {
      const ColumnFigures& f = statistics.columns[static_cast<std::size_t>(c)];
      const analysis::RunningStats& v = f.values;
      const int d = f.Decimals();
      const bool any = v.Count() > 0;
      QString cell;
      switch (r) {
        case 0:
          cell = QString::number(v.Count());
          break;
        case 1:
          cell = any ? analysis::FormatNumber(v.Mean(), d, mark_) : none;
          break;
        case 2:
          cell = v.StandardDeviation() ? analysis::FormatNumber(*v.StandardDeviation(), d, mark_) : none;
          break;
        case 3:
          cell = any ? analysis::FormatNumber(v.Min(), d, mark_) : none;
          break;
        case 4:
          cell = any ? analysis::FormatNumber(v.Max(), d, mark_) : none;
          break;
        case 5:
          cell = any ? analysis::FormatNumber(v.Max() - v.Min(), d, mark_) : none;
          break;
        case 6:
          cell = f.cp ? analysis::FormatNumber(*f.cp, 2, mark_) : none;
          break;
        default:
          cell = f.cpk ? analysis::FormatNumber(*f.cpk, 2, mark_) : none;
          break;
      }
      Put(columnRight(c), y_, Anchor::Right, Font::Body, cell);
    }
    y_ += Line(Font::Body);
  }
  y_ += kSectionGap;
}

void Builder::Chart() {
  Ensure(Line(Font::Heading) + 2 + kChartHeight);
  Heading(T(ReportText::TrendHeading));

  // Withdrawn readings keep their place, so that the chart's numbers are the table's.
  std::vector<analysis::RowNumbers> rows;
  rows.reserve(data_.readings.size());
  for (const ReportReading& r : data_.readings) rows.push_back(r.withdrawn ? analysis::RowNumbers{} : NumbersOf(r));

  // The specification's target and limits are the trend's own lines; the report names them.
  std::optional<analysis::SpecView> spec;
  if (data_.IsBatch() && data_.specification) spec = SpecViewOf(*data_.specification);

  PlacedChart chart;
  chart.area = QRectF(left_, y_, Width(), kChartHeight);
  const analysis::TrendWords words{i18n::ExtraText(i18n::Extra::TrendValueAxis, lang_), T(ReportText::ColumnNumber),
                                   i18n::ExtraText(i18n::Extra::TrendEmpty, lang_), mark_};
  const analysis::TextMeasure chartMeasure{Measurer(Font::Small), Line(Font::Small)};
  chart.picture = analysis::LayOutTrend(rows, chart.area.size(), words, chartMeasure, spec ? &*spec : nullptr);
  for (const analysis::SpecLine& l : chart.picture.specLines) {
    const QString angle = l.series == analysis::kSeries20 ? QStringLiteral("20°") : QStringLiteral("60°");
    ChartLine line{l.series, l.target ? ChartLine::Kind::Target : ChartLine::Kind::Limit, l.line, QString()};
    if (l.target) {
      line.label = T(ReportText::ChartTarget).arg(angle);
    } else {
      // A limit line is the lower one where it lies at the lower limit's height.
      const analysis::SpecLimits& limits = spec->angle[static_cast<std::size_t>(l.series)];
      const double y = l.line.y1();
      const auto distance = [&](const std::optional<double>& v) {
        return v ? std::abs(analysis::TrendY(chart.picture, *v) - y) : std::numeric_limits<double>::infinity();
      };
      line.label = T(distance(limits.lower) <= distance(limits.upper) ? ReportText::ChartLower : ReportText::ChartUpper)
                       .arg(angle);
    }
    chart.lines.push_back(std::move(line));
  }
  Page().chart = std::move(chart);
  y_ += kChartHeight + kSectionGap;
}

void Builder::TableHeader(const std::vector<Column>& columns) {
  const double height = Line(Font::Bold) + 2 * kRowPad;
  Page().shades.push_back(QRectF(left_, y_, Width(), height));
  double x = left_;
  for (const Column& c : columns) {
    const double inner = c.width - 2 * kCellPad;
    const double at = c.anchor == Anchor::Right ? x + c.width - kCellPad : x + kCellPad;
    Put(at, y_ + kRowPad, c.anchor, Font::Bold, Elide(c.header, inner, Measurer(Font::Bold)));
    x += c.width;
  }
  y_ += height;
  Page().rules.push_back({QLineF(left_, y_, right_, y_), 0.5, false});
}

void Builder::Readings() {
  const bool batch = data_.IsBatch();
  enum : std::size_t { kNo, kDate, kTime, kMode, k20, k60, kHaze, kVerdict, kComment };
  std::vector<Column> columns = {
      {T(ReportText::ColumnNumber), Anchor::Right}, {T(ReportText::ColumnDate), Anchor::Left},
      {T(ReportText::ColumnTime), Anchor::Left},    {T(ReportText::ColumnMode), Anchor::Left},
      {QStringLiteral("20°"), Anchor::Right},       {QStringLiteral("60°"), Anchor::Right},
      {T(ReportText::ColumnHaze), Anchor::Right},   {T(ReportText::ColumnVerdict), Anchor::Left},
      {T(ReportText::ColumnComment), Anchor::Left}};

  // Every cell's text first, for the columns' widths.
  const std::size_t n = data_.readings.size();
  std::vector<std::array<QString, 9>> cells(n);
  for (std::size_t i = 0; i < n; ++i) {
    const ReportReading& r = data_.readings[i];
    const analysis::RowNumbers numbers = NumbersOf(r);
    std::array<QString, 9>& c = cells[i];
    c[kNo] = QString::number(i + 1);
    c[kDate] = r.date;
    c[kTime] = r.time;
    for (int letter = 0; letter < 3; ++letter) {
      if ((numbers.Letters() & (1u << letter)) != 0) c[kMode] += QLatin1Char(analysis::kModeLetters[letter]);
    }
    c[k20] = ValueText(r.value20, mark_);
    c[k60] = ValueText(r.value60, mark_);
    if (numbers.HasHaze()) {
      c[kHaze] = analysis::FormatNumber(numbers.Haze(), std::max(numbers.decimals20, numbers.decimals60), mark_);
    }
    c[kVerdict] = r.withdrawn ? T(ReportText::Withdrawn) : batch ? VerdictWord(r.verdict, lang_) : QString();
    c[kComment] = r.comment;
  }
  if (!batch) {
    // Nothing a loose reading is judged by: the column goes, unless a reading is marked withdrawn.
    const bool anyWithdrawn =
        std::any_of(data_.readings.begin(), data_.readings.end(), [](const ReportReading& r) { return r.withdrawn; });
    if (!anyWithdrawn) columns[kVerdict].header.clear();
  }

  double fixed = 0;
  for (std::size_t c = 0; c < kComment; ++c) {
    if (c == kVerdict && columns[c].header.isEmpty()) continue;
    double widest = Measure(columns[c].header, Font::Bold);
    for (const auto& row : cells) widest = std::max(widest, Measure(row[c], Font::Body));
    // No column takes more than a quarter of the page; wider texts wrap.
    columns[c].width = std::min(widest + 2 * kCellPad + 1, Width() / 4);
    fixed += columns[c].width;
  }
  if (Width() - fixed < kCommentNarrowest) {
    const double scale = (Width() - kCommentNarrowest) / fixed;
    for (std::size_t c = 0; c < kComment; ++c) columns[c].width *= scale;
    fixed = Width() - kCommentNarrowest;
  }
  columns[kComment].width = Width() - fixed;
  std::vector<Column> shown;
  std::vector<std::size_t> index;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c == kVerdict && columns[c].header.isEmpty()) continue;
    shown.push_back(columns[c]);
    index.push_back(c);
  }

  const double line = Line(Font::Body);
  const double headerHeight = Line(Font::Bold) + 2 * kRowPad;
  Ensure(Line(Font::Heading) + 2 + headerHeight + line + 2 * kRowPad);
  Heading(T(ReportText::Readings));
  TableHeader(shown);
  // The lines a fresh page holds beneath the column header.
  const int pageLines =
      std::max(1, static_cast<int>(std::floor((bottom_ - bodyTop_ - headerHeight - 2 * kRowPad) / line)));

  std::vector<QStringList> wrapped(shown.size());
  for (std::size_t i = 0; i < n; ++i) {
    const bool grey = data_.readings[i].withdrawn;
    qsizetype lines = 1;
    for (std::size_t k = 0; k < shown.size(); ++k) {
      wrapped[k] = WrapText(cells[i][index[k]], shown[k].width - 2 * kCellPad - kWrapSlack, Measurer(Font::Body));
      lines = std::max(lines, wrapped[k].size());
    }
    qsizetype done = 0;
    while (done < lines) {
      const int room = static_cast<int>(std::floor((bottom_ - y_ - 2 * kRowPad) / line));
      const qsizetype left = lines - done;
      const bool freshPage = y_ <= bodyTop_ + headerHeight + 1e-6;
      // A row starts on the next page when it fits there whole, and is split only when no page could hold it.
      if (!freshPage && (room < 1 || (done == 0 && left > room && left <= pageLines))) {
        NewPage();
        TableHeader(shown);
        continue;
      }
      const qsizetype take = std::clamp<qsizetype>(room, 1, left);
      double x = left_;
      for (std::size_t k = 0; k < shown.size(); ++k) {
        const Column& c = shown[k];
        const double at = c.anchor == Anchor::Right ? x + c.width - kCellPad : x + kCellPad;
        for (qsizetype l = done; l < done + take && l < wrapped[k].size(); ++l) {
          Put(at, y_ + kRowPad + static_cast<double>(l - done) * line, c.anchor, Font::Body, wrapped[k][l], grey);
        }
        x += c.width;
      }
      y_ += static_cast<double>(take) * line + 2 * kRowPad;
      Page().rules.push_back({QLineF(left_, y_, right_, y_), 0.3, true});
      done += take;
    }
  }
  y_ += kSectionGap;
}

void Builder::Signatures() {
  constexpr double kRoom = 30;  // above each line, for the signature
  const double rowHeight = kRoom + Line(Font::Body) + 4;
  Ensure(2 * rowHeight);
  const QString labels[2] = {T(ReportText::TestedBy), T(ReportText::ApprovedBy)};
  const QString date = T(ReportText::SignatureDate);
  const double labelWidth =
      std::min(std::max(Measure(labels[0], Font::Bold), Measure(labels[1], Font::Bold)) + 8, Width() * 0.3);
  const double dateX = left_ + Width() * 0.64;
  const double dateLabelWidth = std::min(Measure(date, Font::Bold) + 8, Width() * 0.15);
  for (const QString& label : labels) {
    y_ += kRoom;
    const double text = y_ - Line(Font::Bold) + 2;
    Put(left_, text, Anchor::Left, Font::Bold, Elide(label, labelWidth - 4, Measurer(Font::Bold)));
    Page().rules.push_back({QLineF(left_ + labelWidth, y_ + 2, dateX - 14, y_ + 2), 0.6, false});
    Put(dateX, text, Anchor::Left, Font::Bold, Elide(date, dateLabelWidth - 4, Measurer(Font::Bold)));
    Page().rules.push_back({QLineF(dateX + dateLabelWidth, y_ + 2, right_, y_ + 2), 0.6, false});
    y_ += Line(Font::Body) + 4;
  }
}

void Builder::HeadersAndFooters(std::optional<QSizeF> logoSize, const QString& title) {
  const int count = static_cast<int>(pages_.size());
  QRectF logo;
  if (logoSize && logoSize->width() > 0 && logoSize->height() > 0) {
    double h = kHeaderHeight - 4;
    double w = h * logoSize->width() / logoSize->height();
    if (w > kLogoWidest) {
      w = kLogoWidest;
      h = w * logoSize->height() / logoSize->width();
    }
    logo = QRectF(left_, kMarginTop + (kHeaderHeight - h) / 2, w, h);
  }
  const QString batch = data_.IsBatch() ? T(ReportText::BatchId).arg(data_.batchId) : QString();
  const QString created = T(ReportText::Created)
                              .arg(data_.created.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                   QStringLiteral("KORVANTA III ") + data_.programVersion)
                              .trimmed();
  const double top = kMarginTop + (kHeaderHeight - Line(Font::Bold) - Line(Font::Title)) / 2;
  for (int i = 0; i < count; ++i) {
    ReportPage& page = pages_[static_cast<std::size_t>(i)];
    page.logo = logo;
    const QString pageText = T(ReportText::PageOf).arg(i + 1).arg(count);
    const double rightWidth =
        std::min(std::max(Measure(batch, Font::Bold), Measure(pageText, Font::Body)), Width() * 0.45);
    const double textLeft = logo.isEmpty() ? left_ : logo.right() + 10;
    const double leftWidth = std::max(20.0, right_ - rightWidth - 12 - textLeft);
    std::vector<PlacedText>& texts = page.texts;
    const auto put = [&texts](double x, double y, Anchor anchor, Font font, const QString& text) {
      if (!text.isEmpty()) texts.push_back({QPointF(x, y), anchor, font, false, text});
    };
    put(textLeft, top, Anchor::Left, Font::Bold, Elide(data_.labName, leftWidth, Measurer(Font::Bold)));
    put(textLeft, top + Line(Font::Bold), Anchor::Left, Font::Title, Elide(title, leftWidth, Measurer(Font::Title)));
    put(right_, top, Anchor::Right, Font::Bold, Elide(batch, rightWidth, Measurer(Font::Bold)));
    put(right_, top + Line(Font::Bold) + (Line(Font::Title) - Line(Font::Body)) / 2, Anchor::Right, Font::Body,
        pageText);
    const double ruleY = kMarginTop + kHeaderHeight;
    page.rules.push_back({QLineF(left_, ruleY, right_, ruleY), 0.8, false});
    if (data_.provisional) {
      put((left_ + right_) / 2, ruleY + kGap / 2, Anchor::Centre, Font::Bold,
          Elide(T(ReportText::Provisional), Width(), Measurer(Font::Bold)));
    }
    const double footerY = paper_.height() - kMarginBottom - Line(Font::Small);
    page.rules.push_back({QLineF(left_, footerY - 2, right_, footerY - 2), 0.3, true});
    put(left_, footerY, Anchor::Left, Font::Small, Elide(created, Width() * 0.6, Measurer(Font::Small)));
    put(right_, footerY, Anchor::Right, Font::Small,
        Elide(batch.isEmpty() ? title : title + QStringLiteral(" · ") + batch, Width() * 0.38, Measurer(Font::Small)));
  }
}

}  // namespace

QSizeF PaperPoints(PaperSize paper) {
  return paper == PaperSize::Letter ? QSizeF(612, 792) : QSizeF(595.2756, 841.8898);
}

QStringList WrapText(const QString& text, double width, const std::function<double(const QString&)>& measure) {
  QStringList lines;
  const auto breakWord = [&](QString word, QString& line) {
    // A word wider than the column goes character by character.
    while (!word.isEmpty()) {
      qsizetype take = 1;
      while (take < word.size() && measure(word.left(take + 1)) <= width) ++take;
      // Never split a surrogate pair.
      if (take < word.size() && word[take - 1].isHighSurrogate()) ++take;
      if (take == word.size()) {
        line = word;
        return;
      }
      lines << word.left(take);
      word.remove(0, take);
    }
  };
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QString line;
    for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
      if (measure(candidate) <= width) {
        line = candidate;
        continue;
      }
      if (!line.isEmpty()) lines << line;
      line.clear();
      if (measure(word) <= width) {
        line = word;
      } else {
        breakWord(word, line);
      }
    }
    lines << line;
  }
  return lines;
}

QString ValueText(const QString& recorded, QChar mark) {
  if (const auto v = analysis::ParseGlossValue(recorded)) return analysis::FormatNumber(v->value, v->decimals, mark);
  return recorded.trimmed();
}

ReportLayout LayOutReport(const ReportData& data, const ReportStatistics& statistics, const ReportMeasure& measure,
                          std::optional<QSizeF> logoSize) {
  ReportLayout layout;
  layout.paper = PaperPoints(data.paper);
  const int lang = data.language;
  const QString title = Text(data.IsBatch() ? ReportText::TitleBatch : ReportText::TitleReadings, lang);
  layout.title = data.IsBatch() ? title + QLatin1Char(' ') + data.batchId : title;

  Builder builder(data, measure, layout.paper);
  builder.Particulars();
  builder.Statistics(statistics);
  builder.Chart();
  builder.Readings();
  builder.Signatures();
  builder.HeadersAndFooters(logoSize, title);
  layout.pages = builder.Take();
  return layout;
}

}  // namespace report
