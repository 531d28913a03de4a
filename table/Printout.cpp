#include "table/Printout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "i18n/TextTable.h"

namespace table {
namespace {

struct ColumnPlace {
  int column;
  double xMm;
  PrintAlign align;
};

// The row number stands right-aligned at 15 mm, the seven texts after it.
constexpr double kNumberX = 15;
constexpr ColumnPlace kColumns[] = {
    {ColDate, 20, PrintAlign::Left},     {ColTime, 40, PrintAlign::Left},      {ColMode20, 60, PrintAlign::Left},
    {ColMode60, 80, PrintAlign::Left},   {ColValue20, 110, PrintAlign::Right}, {ColValue60, 130, PrintAlign::Right},
    {ColComment, 140, PrintAlign::Left},
};

constexpr double kTitleX = 10, kTitleY = 10;
constexpr double kFooterX = 190, kFooterY = 280;
constexpr double kHeadingsY = 25;
constexpr double kFirstLineY = 30, kLineHeight = 5;

struct PageOrder {
  bool operator()(const PlacedText& t, int page) const { return t.page < page; }
  bool operator()(int page, const PlacedText& t) const { return page < t.page; }
};

class Layout {
 public:
  Layout(const QStringList& headings, int languageIndex) : headings_(headings), language_(languageIndex) {}

  void EnsureHead() {
    if (headOnPage_) return;
    headOnPage_ = true;
    used_ = page_;
    Add(kTitleX, kTitleY, PrintFont::Head, PrintAlign::Left, QString::fromLatin1(kPrintTitle));
    Add(kFooterX, kFooterY, PrintFont::Head, PrintAlign::Right, PageFooter(language_, page_));
    for (const ColumnPlace& c : kColumns) Add(c.xMm, kHeadingsY, PrintFont::Body, c.align, headings_.value(c.column));
  }

  void PrintRow(int position, const MeasurementRow& row) {
    used_ = page_;
    const double y = kFirstLineY + kLineHeight * (line_ % kLinesPerPage);
    Add(kNumberX, y, PrintFont::Body, PrintAlign::Right, QString::number(position));
    for (const ColumnPlace& c : kColumns) {
      Add(c.xMm, y, PrintFont::Body, c.align, row.texts[static_cast<std::size_t>(c.column)]);
    }
    NextLine(true);
  }

  // Counts a line; `mayBreak` tells whether a page may begin after it.
  void NextLine(bool mayBreak) {
    ++line_;
    if (mayBreak && line_ % kLinesPerPage == 0) {
      ++page_;
      headOnPage_ = false;
    }
  }

  Printout Take() {
    // A page break after the very last line leaves a page with nothing on it: it is not printed.
    out_.pageCount = used_;
    return std::move(out_);
  }

 private:
  void Add(double x, double y, PrintFont font, PrintAlign align, const QString& text) {
    out_.texts.push_back({page_, x, y, font, align, text});
  }

  const QStringList& headings_;
  int language_;
  int line_ = 0;
  int page_ = 1;
  int used_ = 1;
  bool headOnPage_ = false;
  Printout out_;
};

}  // namespace

QString PageFooter(int languageIndex, int page) {
  return (languageIndex == i18n::kGerman ? QStringLiteral("Seite ") : QStringLiteral("Page ")) + QString::number(page);
}

Printout LayOutPrintout(const MeasurementModel& rows, const QStringList& headings, int languageIndex) {
  const QString groups[] = {QString(), QStringLiteral("D"), QStringLiteral("C")};
  Layout layout(headings, languageIndex);
  for (int g = 0; g < 3; ++g) {
    for (int r = 0; r < rows.Count(); ++r) {
      layout.EnsureHead();
      const MeasurementRow& row = rows.Row(r);
      if (row.texts[ColMode20] != groups[g]) continue;
      layout.PrintRow(r + 1, row);
    }
    // The empty line after each group; only a following pass may begin a new page with it.
    layout.NextLine(g + 1 < 3);
  }
  return layout.Take();
}

int MmToDevice(double mm, int dpi) { return static_cast<int>(1.0 / 25.4 * mm * dpi); }

QFont PrintoutFont(PrintFont font) {
  QFont f(QStringLiteral("Arial"));
  f.setStyleHint(QFont::SansSerif);
  if (font == PrintFont::Head) {
    f.setPointSize(10);
    f.setBold(true);
  } else {
    f.setPointSize(8);
  }
  return f;
}

void PaintPrintoutPage(const Printout& printout, int page, QPainter& painter) {
  const int dpiX = painter.device()->logicalDpiX();
  const int dpiY = painter.device()->logicalDpiY();
  const QFont fonts[] = {PrintoutFont(PrintFont::Head), PrintoutFont(PrintFont::Body)};
  const QFontMetricsF metrics[] = {QFontMetricsF(fonts[0], painter.device()),
                                   QFontMetricsF(fonts[1], painter.device())};
  // The texts come in page order.
  const auto [begin, end] = std::equal_range(printout.texts.begin(), printout.texts.end(), page, PageOrder{});
  int current = -1;
  for (auto t = begin; t != end; ++t) {
    if (t->text.isEmpty()) continue;
    const int f = t->font == PrintFont::Head ? 0 : 1;
    if (f != current) painter.setFont(fonts[f]);
    current = f;
    double x = MmToDevice(t->xMm, dpiX);
    if (t->align == PrintAlign::Right) x -= metrics[f].horizontalAdvance(t->text);
    // The position is the text's top edge; the painter wants its baseline.
    painter.drawText(QPointF(x, MmToDevice(t->yMm, dpiY) + metrics[f].ascent()), t->text);
  }
}

bool PrintPrintout(const Printout& printout, QPrinter& printer) {
  printer.setDocName(QString::fromLatin1(kPrintJobName));
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  for (int page = 1; page <= printout.pageCount; ++page) {
    if (page > 1 && !printer.newPage()) {
      painter.end();
      return false;
    }
    PaintPrintoutPage(printout, page, painter);
  }
  return painter.end() && printer.printerState() != QPrinter::Error;
}

}  // namespace table
