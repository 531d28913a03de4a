#include "analysis/TrendLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/GlossValue.h"

namespace analysis {
namespace {

constexpr double kMargin = 8;
constexpr double kGap = 4;
// Between the plot and the lanes, so that the lowest value label and the letter L stay apart.
constexpr double kLanesGap = 10;
// Room between the frame and the first and last reading, so that markers stay inside.
constexpr double kInset = 6;
// Readings closer than this get no markers and are summarised per pixel column.
constexpr double kMarkerSpacing = 6;
constexpr double kPixelsPerValueTick = 40;
constexpr double kPixelsPerRowTick = 70;
constexpr double kLegendSample = 22;
constexpr double kTickLength = 4;

// 1, 2 or 5 times a power of ten, at least `raw`.
double NiceStep(double raw) {
  if (!(raw > 0)) return 1;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double n = raw / magnitude;
  const double step = n <= 1 ? 1 : n <= 2 ? 2 : n <= 5 ? 5 : 10;
  return step * magnitude;
}

QString FormatTick(double value, double step, QChar mark) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  QString text = QString::number(value, 'f', decimals);
  if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0) text.remove(0, 1);
  return text.replace(QLatin1Char('.'), mark);
}

double Value(const RowNumbers& row, int series) { return series == kSeries20 ? row.g20 : row.g60; }

// First, lowest, highest and last value of one pixel column, in the order they came.
class Column {
 public:
  void Take(std::size_t at, double v) {
    if (count_ == 0) first_ = {at, v};
    if (count_ == 0 || v < low_.second) low_ = {at, v};
    if (count_ == 0 || v > high_.second) high_ = {at, v};
    last_ = {at, v};
    ++count_;
  }
  bool Empty() const { return count_ == 0; }
  // The values in the order they came, without repeats of the same row.
  std::vector<double> Values() const {
    std::array<std::pair<std::size_t, double>, 4> p = {first_, low_, high_, last_};
    std::sort(p.begin(), p.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<double> out;
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (i == 0 || p[i].first != p[i - 1].first) out.push_back(p[i].second);
    }
    return out;
  }

 private:
  int count_ = 0;
  std::pair<std::size_t, double> first_{}, low_{}, high_{}, last_{};
};

}  // namespace

double TrendX(const TrendPicture& picture, int row, int rowCount) {
  if (rowCount <= 1) return picture.plot.center().x();
  const double left = picture.plot.left() + kInset;
  const double width = picture.plot.width() - 2 * kInset;
  return left + width * row / (rowCount - 1);
}

double TrendY(const TrendPicture& picture, double value) {
  const double y = picture.plot.bottom() - (value - picture.low) / (picture.high - picture.low) * picture.plot.height();
  // A value far off the scale is drawn clipped; coordinates of astronomic size only slow the painter.
  const double reach = 10 * picture.plot.height() + 1000;
  return std::clamp(y, picture.plot.top() - reach, picture.plot.bottom() + reach);
}

TrendPicture LayOutTrend(std::span<const RowNumbers> rows, QSizeF size, const TrendWords& words,
                         const TextMeasure& measure, const SpecView* spec) {
  TrendPicture p;
  const double h = measure.height;
  const int n = static_cast<int>(rows.size());
  const auto add = [&p](QPointF at, TrendText::Anchor anchor, const QString& text) {
    p.texts.push_back({at, anchor, text});
  };

  // Top to bottom: the value axis title and the legend, the plot, the mode lanes, the row numbers,
  // the row axis title.
  const double bandY = kMargin + h / 2;
  // The top value label is centred on the plot's top edge: half a line more keeps it clear of the
  // axis title above it.
  const double top = kMargin + h + kGap + h / 2;
  const double rowTitleY = size.height() - kMargin - h / 2;
  const double rowLabelY = rowTitleY - h - 2;
  const double laneHeight = std::max(h, 10.0);
  const double lanesBottom = rowLabelY - h / 2 - kGap;
  const double lanesTop = lanesBottom - 3 * laneHeight;
  const double bottom = std::max(lanesTop - kLanesGap, top + 10);

  // The value range: every number of both series, a little room around, snapped to the ticks.
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (const RowNumbers& row : rows) {
    for (const double v : {row.g20, row.g60}) {
      if (std::isnan(v)) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  const bool anyValue = lo <= hi;
  // The specification's lines stay in view.
  if (spec != nullptr && anyValue) {
    for (const SpecLimits& a : spec->angle) {
      for (const std::optional<double>& v : {a.target, a.lower, a.upper}) {
        if (!v || !std::isfinite(*v)) continue;
        lo = std::min(lo, *v);
        hi = std::max(hi, *v);
      }
    }
  }
  if (!anyValue) {
    lo = 0;
    hi = 100;
  } else if (hi - lo < 1) {
    // A flat series still gets a scale of a few gloss units.
    const double mid = (lo + hi) / 2;
    lo = mid - 1;
    hi = mid + 1;
  } else {
    const double room = (hi - lo) * 0.02;
    lo = (lo >= 0 && lo - room < 0) ? 0 : lo - room;
    hi += room;
  }
  const double valueTicks = std::max(2.0, std::floor((bottom - top) / kPixelsPerValueTick));
  double step = NiceStep((hi - lo) / valueTicks);
  p.low = std::floor(lo / step) * step;
  p.high = std::ceil(hi / step) * step;
  if (p.high <= p.low) p.high = p.low + step;
  if (!(p.high > p.low) || !std::isfinite(p.high - p.low)) {
    // Values too large for a gloss scale of any use: a plain scale, the values clipped to it.
    p.low = 0;
    p.high = 100;
    step = 50;
  }

  std::vector<std::pair<double, QString>> valueLabels;
  double labelWidth = 0;
  for (int k = 0; k <= 100; ++k) {
    const double v = p.low + k * step;
    if (v > p.high + step / 1000) break;
    valueLabels.emplace_back(v, FormatTick(v, step, words.decimalMark));
    labelWidth = std::max(labelWidth, measure.width(valueLabels.back().second));
  }
  for (const char letter : kModeLetters) labelWidth = std::max(labelWidth, measure.width(QString(QLatin1Char(letter))));

  const double left = kMargin + labelWidth + 2 * kGap;
  const double right = std::max(size.width() - kMargin - kGap, left + 10);
  p.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
  p.lanes = QRectF(QPointF(left, lanesTop), QPointF(right, lanesBottom));

  // Value axis: grid lines, tick marks and labels; its title above the labels.
  for (const auto& [v, label] : valueLabels) {
    const double y = TrendY(p, v);
    p.grid.emplace_back(left, y, right, y);
    p.ticks.emplace_back(left - kTickLength, y, left, y);
    add({left - kTickLength - 2, y}, TrendText::Anchor::Right, label);
  }
  add({kMargin, bandY}, TrendText::Anchor::Left, words.valueAxis);

  // Row axis: row 1, then multiples of a round step, beneath the lanes.
  const double inner = p.plot.width() - 2 * kInset;
  const double rowStep = std::max(1.0, NiceStep((n - 1) / std::max(1.0, std::floor(inner / kPixelsPerRowTick))));
  std::vector<int> rowTicks = {1};
  for (double r = rowStep; r <= n; r += rowStep) {
    if (r >= 1 + rowStep / 2) rowTicks.push_back(static_cast<int>(r));
  }
  for (const int r : rowTicks) {
    const double x = TrendX(p, r - 1, std::max(n, 1));
    p.ticks.emplace_back(x, lanesBottom, x, lanesBottom + kTickLength);
    // The last row's number stays inside the canvas, if not centred beneath its tick.
    const QString label = QString::number(r);
    const double half = measure.width(label) / 2;
    add({std::clamp(x, half + 2, std::max(half + 2, size.width() - half - 2)), rowLabelY}, TrendText::Anchor::Centre,
        label);
  }
  add({p.plot.center().x(), rowTitleY}, TrendText::Anchor::Centre, words.rowAxis);

  // The lanes' letters.
  for (int lane = 0; lane < 3; ++lane) {
    add({left - kTickLength - 2, lanesTop + (lane + 0.5) * laneHeight}, TrendText::Anchor::Right,
        QString(QLatin1Char(kModeLetters[lane])));
  }

  // The legend, ending at the plot's right edge: a stretch of each line with its marker, its name.
  const QString names[2] = {QStringLiteral("20°"), QStringLiteral("60°")};
  double x = right - (2 * (kLegendSample + kGap) + measure.width(names[0]) + measure.width(names[1]) + 3 * kGap);
  for (int s = 0; s < 2; ++s) {
    p.legend[static_cast<std::size_t>(s)] = QLineF(x, bandY, x + kLegendSample, bandY);
    x += kLegendSample + kGap;
    add({x, bandY}, TrendText::Anchor::Left, names[s]);
    x += measure.width(names[s]) + 3 * kGap;
  }

  if (!anyValue) add(p.plot.center(), TrendText::Anchor::Centre, words.empty);
  if (spec != nullptr && anyValue) {
    for (int s = 0; s < 2; ++s) {
      const SpecLimits& a = spec->angle[static_cast<std::size_t>(s)];
      const std::optional<double> values[3] = {a.target, a.lower, a.upper};
      for (int k = 0; k < 3; ++k) {
        if (!values[k] || !std::isfinite(*values[k])) continue;
        const double y = TrendY(p, *values[k]);
        p.specLines.push_back({QLineF(p.plot.left(), y, p.plot.right(), y), s, k == 0});
      }
      const ControlFlags flags = FlagControlRules(rows, s == kSeries60);
      for (const std::vector<int>* list : {&flags.beyond3Sd, &flags.runOf8}) {
        for (const int i : *list) {
          p.flagged[static_cast<std::size_t>(s)].emplace_back(TrendX(p, i, n),
                                                              TrendY(p, Value(rows[static_cast<std::size_t>(i)], s)));
        }
      }
    }
  }
  if (n == 0) return p;

  p.dense = n > 1 && inner / (n - 1) < kMarkerSpacing;
  if (!p.dense) {
    for (int s = 0; s < 2; ++s) {
      auto& lines = p.lines[static_cast<std::size_t>(s)];
      std::vector<QPointF> run;
      for (int i = 0; i < n; ++i) {
        const double v = Value(rows[static_cast<std::size_t>(i)], s);
        if (std::isnan(v)) {
          if (!run.empty()) lines.push_back(std::move(run));
          run.clear();
          continue;
        }
        const QPointF point(TrendX(p, i, n), TrendY(p, v));
        run.push_back(point);
        p.markers[static_cast<std::size_t>(s)].push_back(point);
      }
      if (!run.empty()) lines.push_back(std::move(run));
    }
    for (int i = 0; i < n; ++i) {
      const std::uint8_t letters = rows[static_cast<std::size_t>(i)].Letters();
      for (int lane = 0; lane < 3; ++lane) {
        if ((letters & (1u << lane)) != 0) p.modes.push_back({TrendX(p, i, n), lane, true});
      }
    }
    return p;
  }

  // One column per pixel of the inner width; row i falls into column i * (columns - 1) / (n - 1).
  const qint64 columns = static_cast<qint64>(std::floor(inner)) + 1;
  const auto columnX = [&](qint64 c) { return left + kInset + inner * static_cast<double>(c) / (columns - 1); };
  std::array<std::vector<QPointF>, 2> runs;
  qint64 i = 0;
  while (i < n) {
    const qint64 c = i * (columns - 1) / (n - 1);
    std::array<Column, 2> column;
    std::uint8_t letters = 0;
    for (; i < n && i * (columns - 1) / (n - 1) == c; ++i) {
      const RowNumbers& row = rows[static_cast<std::size_t>(i)];
      for (int s = 0; s < 2; ++s) {
        const double v = Value(row, s);
        if (!std::isnan(v)) column[static_cast<std::size_t>(s)].Take(static_cast<std::size_t>(i), v);
      }
      letters |= row.Letters();
    }
    const double cx = columnX(c);
    for (std::size_t s = 0; s < 2; ++s) {
      // A column whose rows hold no number breaks the line; columns without rows do not.
      if (column[s].Empty()) {
        if (!runs[s].empty()) p.lines[s].push_back(std::move(runs[s]));
        runs[s].clear();
        continue;
      }
      for (const double v : column[s].Values()) runs[s].emplace_back(cx, TrendY(p, v));
    }
    for (int lane = 0; lane < 3; ++lane) {
      if ((letters & (1u << lane)) != 0) p.modes.push_back({cx, lane, false});
    }
  }
  for (std::size_t s = 0; s < 2; ++s) {
    if (!runs[s].empty()) p.lines[s].push_back(std::move(runs[s]));
  }
  return p;
}

}  // namespace analysis
