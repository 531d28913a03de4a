// The report's pages computed without a painter: every text, rule, shade, the logo's box and the
// trend chart placed in points on the paper, so that the page count is known before the first
// page is painted and every page's header can say "Page i of N".
//
// From top to bottom the body holds the particulars (batch, product, specification, people,
// instrument, standards, verdict), the statistics, the trend chart and the readings table, whose
// column header is repeated on every page it reaches; the signature lines close the last page.
// A block that does not fit in what is left of a page starts the next; a table row that no page
// could hold (a very long comment) is split between pages line by line. Every text is wrapped or
// shortened to its column, so nothing runs off the paper.
#pragma once

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/TrendLayout.h"
#include "report/ReportData.h"
#include "report/ReportStatistics.h"

namespace report {

enum class Font : std::uint8_t { Body, Bold, Small, Heading, Title };
inline constexpr std::size_t kFontCount = 5;

// How wide a text is and how high a line of text is, in points, for each of the report's fonts.
struct ReportMeasure {
  std::function<double(const QString&, Font)> width;
  std::array<double, kFontCount> lineHeight{};
  double LineHeight(Font font) const { return lineHeight[static_cast<std::size_t>(font)]; }
};

struct PlacedText {
  enum class Anchor : std::uint8_t { Left, Centre, Right };
  // x is the left edge, the centre or the right edge after `anchor`; y is the top of the line.
  QPointF at;
  Anchor anchor = Anchor::Left;
  Font font = Font::Body;
  bool grey = false;
  QString text;
};

struct Rule {
  QLineF line;
  double width = 0.5;
  bool light = false;
};

// A horizontal line across the chart at a value of the specification.
struct ChartLine {
  enum class Kind : std::uint8_t { Target, Limit };
  int series = analysis::kSeries20;
  Kind kind = Kind::Limit;
  QLineF line;  // in the chart's coordinates
  QString label;
};

struct PlacedChart {
  QRectF area;
  // Laid out for the area's size; its coordinates start at the area's top left corner.
  analysis::TrendPicture picture;
  std::vector<ChartLine> lines;
};

struct ReportPage {
  std::vector<PlacedText> texts;
  std::vector<Rule> rules;
  std::vector<QRectF> shades;
  std::optional<PlacedChart> chart;
  QRectF logo;  // empty: none
};

struct ReportLayout {
  QSizeF paper;   // in points
  QString title;  // the document's title
  std::vector<ReportPage> pages;
};

// The paper in points: A4 595.3 x 841.9, Letter 612 x 792.
QSizeF PaperPoints(PaperSize paper);

// `text` broken into lines no wider than `width`: at blanks where it can, inside a word where a
// word alone is wider; line breaks in the text are kept. Always at least one line.
QStringList WrapText(const QString& text, double width, const std::function<double(const QString&)>& measure);

// A reading's value text as the report prints it: the number with the language's decimal mark
// and the decimals it was recorded with; a text that is no number as it stands.
QString ValueText(const QString& recorded, QChar mark);

// `logoSize`: the logo's size when one was read, for its aspect ratio.
ReportLayout LayOutReport(const ReportData& data, const ReportStatistics& statistics, const ReportMeasure& measure,
                          std::optional<QSizeF> logoSize = std::nullopt);

}  // namespace report
