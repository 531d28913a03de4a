// The trend's picture computed without a painter: where the frame, the grid, the two series, the
// mode marks and every text go, for a canvas of a given size. Painting it is a separate step.
//
// The 20° and 60° values are plotted against the row number (1 for the first row). While the
// readings lie at least a few pixels apart each one gets a marker and the lines join them; beyond
// that each pixel column holds the first, lowest, highest and last value of its rows, so the
// picture keeps every peak and costs the same for 100,000 rows as for a thousand. A row whose value
// is no number breaks its line. Beneath the plot three lanes, labelled L, C and D, mark the rows
// that carry each mode letter: with the letter itself while there is room, else a tick per column.
#pragma once

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <array>
#include <functional>
#include <span>
#include <vector>

#include "analysis/Capability.h"
#include "analysis/ReadingStatistics.h"

namespace analysis {

enum TrendSeries : int { kSeries20 = 0, kSeries60 = 1 };

// The words the picture carries, in the operator's language.
struct TrendWords {
  QString valueAxis;  // "Gloss (GU)"
  QString rowAxis;    // "Row"
  QString empty;      // shown while no value is a number
  QChar decimalMark = QLatin1Char('.');
};

// How wide a text is and how high a line of text is, in pixels.
struct TextMeasure {
  std::function<double(const QString&)> width;
  double height = 12;
};

struct TrendText {
  enum class Anchor { Left, Centre, Right };
  // x is the left edge, the centre or the right edge after `anchor`; y is the text's middle.
  QPointF at;
  Anchor anchor = Anchor::Left;
  QString text;
};

// A mark in lane `lane` (0 L, 1 C, 2 D) at x: the lane's letter, or a one-pixel tick.
struct ModeMark {
  double x = 0;
  int lane = 0;
  bool letter = false;
};

// A horizontal line of a specification across the plot: a target or a limit of one series.
struct SpecLine {
  QLineF line;
  int series = kSeries20;
  bool target = false;
};

struct TrendPicture {
  QRectF plot;   // the frame the values are drawn in
  QRectF lanes;  // the three mode lanes, beneath the plot
  // The values at the bottom and the top edge of the plot.
  double low = 0;
  double high = 0;
  // True when the rows lie too close for markers and each pixel column is summarised.
  bool dense = false;
  std::vector<QLineF> grid;   // across the plot at each value tick
  std::vector<QLineF> ticks;  // the axes' tick marks
  // Per series, the lines as runs of points; a run ends where a value is no number.
  std::array<std::vector<std::vector<QPointF>>, 2> lines;
  // Per series, one marker per value; empty when dense.
  std::array<std::vector<QPointF>, 2> markers;
  std::vector<ModeMark> modes;
  // With a specification: its targets and limits, and per series the values that the
  // control-chart rules flag (beyond 3 SD of the mean, or the 8th on of a run on one side).
  std::vector<SpecLine> specLines;
  std::array<std::vector<QPointF>, 2> flagged;
  // Per series, a stretch of its line in the legend; its marker goes in the middle.
  std::array<QLineF, 2> legend;
  // Tick labels, axis titles, lane letters, legend names, the note of an empty plot.
  std::vector<TrendText> texts;
};

// The x of row `row` (0-based) and the y of `value` in `picture`, as the layout places them.
double TrendX(const TrendPicture& picture, int row, int rowCount);
double TrendY(const TrendPicture& picture, double value);

// `spec`, when given, adds its lines (the scale takes them in, so that they stay inside the plot)
// and the values the control-chart rules flag.
TrendPicture LayOutTrend(std::span<const RowNumbers> rows, QSizeF size, const TrendWords& words,
                         const TextMeasure& measure, const SpecView* spec = nullptr);

}  // namespace analysis
