#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cmath>

#include "i18n/TextTable.h"
#include "table/Printout.h"
#include "tests/support/TestEnvironment.h"

namespace {

using table::PlacedText;
using table::PrintAlign;
using table::PrintFont;

const QStringList kHeadings = {"Date", "Time", "Mode 20°", "Mode 60°", "Value 20°", "Value 60°", "Comment"};

// The printout of a table whose rows carry these 20° mode letters.
table::Printout LayOut(const QStringList& modes20, int language = i18n::kEnglish) {
  table::MeasurementModel model;
  for (int i = 0; i < modes20.size(); ++i) {
    model.AppendRow({{"01.02.2024", "12:00:00", modes20[i], "L", QString("v%1").arg(i + 1), "w", "c"}});
  }
  return table::LayOutPrintout(model, kHeadings, language);
}

QStringList Repeat(const QString& mode, int n) { return QStringList(n, mode); }

// Where each printed row landed: its number, page and line slot.
struct Line {
  int number;
  int page;
  int slot;
  bool operator==(const Line&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Line& l) {
  return os << "row " << l.number << " page " << l.page << " slot " << l.slot;
}

std::vector<Line> PrintedLines(const table::Printout& p) {
  std::vector<Line> lines;
  for (const PlacedText& t : p.texts) {
    if (t.xMm != 15) continue;  // the row number
    EXPECT_EQ(t.align, PrintAlign::Right);
    lines.push_back({t.text.toInt(), t.page, static_cast<int>((t.yMm - 30) / 5)});
  }
  return lines;
}

// Pages with a head, by the footer texts.
QStringList Footers(const table::Printout& p) {
  QStringList footers;
  for (const PlacedText& t : p.texts) {
    if (t.yMm == 280) footers << QString("%1:%2").arg(t.page).arg(t.text);
  }
  return footers;
}

TEST(Printout, GroupsPrintInTheOrderNoLettersThenDThenC) {
  const table::Printout p = LayOut({"D", "", "C", ""});
  // Row 2, row 4, an empty line, row 1, an empty line, row 3.
  EXPECT_EQ(PrintedLines(p), (std::vector<Line>{{2, 1, 0}, {4, 1, 1}, {1, 1, 3}, {3, 1, 5}}));
  EXPECT_EQ(p.pageCount, 1);
  EXPECT_EQ(Footers(p), QStringList{"1:Page 1"});
}

TEST(Printout, PageBreaksAtFiftyLineSlots) {
  struct Case {
    const char* name;
    QStringList modes;
    std::vector<Line> expectedFirstOfPage2;
    QStringList footers;
    int pages;
  };
  const Case cases[] = {
      // The empty line after the first group completes page 1; "D" starts at the top of page 2.
      {"49 without letters, then D",
       Repeat("", 49) + Repeat("D", 2),
       {{50, 2, 0}, {51, 2, 1}},
       {"1:Page 1", "2:Page 2"},
       2},
      // The 50th row fills page 1; page 2 begins with the empty line.
      {"50 without letters, then D",
       Repeat("", 50) + Repeat("D", 2),
       {{51, 2, 1}, {52, 2, 2}},
       {"1:Page 1", "2:Page 2"},
       2},
      {"120 without letters", Repeat("", 120), {{51, 2, 0}, {52, 2, 1}}, {"1:Page 1", "2:Page 2", "3:Page 3"}, 3},
  };
  for (const Case& c : cases) {
    const table::Printout p = LayOut(c.modes);
    std::vector<Line> page2;
    for (const Line& l : PrintedLines(p)) {
      if (l.page == 2 && page2.size() < 2) page2.push_back(l);
    }
    EXPECT_EQ(page2, c.expectedFirstOfPage2) << c.name;
    EXPECT_EQ(Footers(p), c.footers) << c.name;
    EXPECT_EQ(p.pageCount, c.pages) << c.name;
    EXPECT_EQ(PrintedLines(p).size(), static_cast<std::size_t>(c.modes.size())) << c.name;
  }
}

TEST(Printout, RowsWithOtherLettersAreLeftOutAndAnEmptyTablePrintsOneEmptyPage) {
  const table::Printout letters = LayOut({"L", "L", "DL", "c"});
  EXPECT_TRUE(PrintedLines(letters).empty());
  EXPECT_EQ(Footers(letters), QStringList{"1:Page 1"});
  EXPECT_EQ(letters.texts.size(), 9u);  // title, footer, seven headings

  const table::Printout empty = LayOut({});
  EXPECT_TRUE(empty.texts.empty());
  EXPECT_EQ(empty.pageCount, 1);
}

TEST(Printout, APageBreakAfterTheVeryLastLineAddsNoBlankPage) {
  // 48 "C" rows take slots 2 to 49 behind the two empty group lines and fill page 1 exactly.
  const table::Printout p = LayOut(Repeat("C", 48));
  EXPECT_EQ(PrintedLines(p).back(), (Line{48, 1, 49}));
  EXPECT_EQ(p.pageCount, 1);
}

TEST(Printout, PlacesTheHeadAndTheRowTextsByColumn) {
  table::MeasurementModel model;
  model.AppendRow({{"01.02.2024", "12:00:00", "", "L", "12,5", "33.1", "batch"}});
  const table::Printout p = table::LayOutPrintout(model, kHeadings, i18n::kEnglish);
  const auto H = PrintFont::Head;
  const auto B = PrintFont::Body;
  const auto L = PrintAlign::Left;
  const auto R = PrintAlign::Right;
  const std::vector<PlacedText> expected = {
      {1, 10, 10, H, L, "VOSKARIN LUMARIS 318QX"},
      {1, 190, 280, H, R, "Page 1"},
      {1, 20, 25, B, L, "Date"},
      {1, 40, 25, B, L, "Time"},
      {1, 60, 25, B, L, "Mode 20°"},
      {1, 80, 25, B, L, "Mode 60°"},
      {1, 110, 25, B, R, "Value 20°"},
      {1, 130, 25, B, R, "Value 60°"},
      {1, 140, 25, B, L, "Comment"},
      {1, 15, 30, B, R, "1"},
      {1, 20, 30, B, L, "01.02.2024"},
      {1, 40, 30, B, L, "12:00:00"},
      {1, 60, 30, B, L, ""},
      {1, 80, 30, B, L, "L"},
      {1, 110, 30, B, R, "12,5"},
      {1, 130, 30, B, R, "33.1"},
      {1, 140, 30, B, L, "batch"},
  };
  EXPECT_EQ(p.texts, expected);
}

TEST(Printout, AsksForArialTenPointBoldHeadsAndEightPointRows) {
  const QFont head = table::PrintoutFont(PrintFont::Head);
  const QFont body = table::PrintoutFont(PrintFont::Body);
  EXPECT_EQ(head.family(), "Arial");
  EXPECT_EQ(head.pointSizeF(), 10.0);
  EXPECT_TRUE(head.bold());
  EXPECT_EQ(body.family(), "Arial");
  EXPECT_EQ(body.pointSizeF(), 8.0);
  EXPECT_FALSE(body.bold());
  EXPECT_FALSE(head.italic() || body.italic());
}

TEST(Printout, FooterFollowsTheLanguage) {
  struct Case {
    int language;
    QString footer;
  };
  const Case cases[] = {{i18n::kEnglish, "Page 1"}, {i18n::kGerman, "Seite 1"}, {i18n::kFrench, "Page 1"}};
  for (const Case& c : cases) {
    const table::Printout p = LayOut({""}, c.language);
    EXPECT_EQ(Footers(p), QStringList{"1:" + c.footer}) << c.language;
  }
  EXPECT_EQ(table::PageFooter(i18n::kGerman, 12), "Seite 12");
}

TEST(Printout, MillimetresBecomeDeviceUnitsByTruncation) {
  struct Case {
    double mm;
    int dpi;
    int units;
  };
  const Case cases[] = {
      {10, 1200, 472},     // 472.44
      {280, 1200, 13228},  // 13228.35
      {15, 600, 354},      // 354.33
      {25.4, 300, 299},    // (1 / 25.4) * 25.4 * 300 falls just short of 300
      {30, 96, 113},       // 113.39
      {190, 72, 538},      // 538.58: rounding would give 539
  };
  for (const Case& c : cases) EXPECT_EQ(table::MmToDevice(c.mm, c.dpi), c.units) << c.mm << " mm at " << c.dpi;
}

// ---- a real print to PDF --------------------------------------------------------------------

struct Word {
  int page;
  double xMin, yMin, xMax, yMax;
  QString text;
};

// The words of a PDF with their boxes in points from the page's top-left corner.
std::vector<Word> PdfWords(const QString& pdf) {
  QProcess tool;
  tool.start("pdftotext", {"-bbox", pdf, "-"});
  EXPECT_TRUE(tool.waitForFinished(30000));
  const QString html = QString::fromUtf8(tool.readAllStandardOutput());
  std::vector<Word> words;
  int page = 0;
  static const QRegularExpression token(
      R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  for (auto it = token.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (m.captured(0) == "<page ") {
      ++page;
      continue;
    }
    words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                     m.captured(4).toDouble(), m.captured(5)});
  }
  return words;
}

// The word on `page` with this text whose top lies nearest to `y`.
const Word* Find(const std::vector<Word>& words, int page, const QString& text, double y) {
  const Word* best = nullptr;
  for (const Word& w : words) {
    if (w.page != page || w.text != text) continue;
    if (best == nullptr || std::abs(w.yMin - y) < std::abs(best->yMin - y)) best = &w;
  }
  return best;
}

TEST(Printout, PrintsToPdfWithTextsWhereTheLayoutPlacesThem) {
  if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
  testing_support::ScopedWorkingDir dir;
  const QString pdf = dir.File("print.pdf");

  table::MeasurementModel model;
  for (int i = 0; i < 50; ++i) model.AppendRow({{"01.02.2024", "12:00:00", "", "", "12,5", "33.1", "c"}});
  model.AppendRow({{"02.02.2024", "13:00:00", "D", "", "7,25", "1.5", "last"}});
  const table::Printout p = table::LayOutPrintout(model, kHeadings, i18n::kGerman);

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setPageSize(QPageSize(QPageSize::A4));
  ASSERT_TRUE(table::PrintPrintout(p, printer));
  EXPECT_EQ(printer.docName(), "QX318 Printjob");

  const std::vector<Word> words = PdfWords(pdf);
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.back().page, 2);

  // Millimetres to device units (truncated) to points, from the printable area's corner.
  const int dpi = printer.resolution();
  const QPointF origin = printer.pageLayout().paintRect(QPageLayout::Point).topLeft();
  const auto px = [&](double mm) { return origin.x() + table::MmToDevice(mm, dpi) * 72.0 / dpi; };
  const auto py = [&](double mm) { return origin.y() + table::MmToDevice(mm, dpi) * 72.0 / dpi; };
  constexpr double kX = 0.3, kY = 1.0;

  struct Expect {
    int page;
    QString word;
    double x;
    bool rightEdge;
    double y;
  };
  const Expect expected[] = {
      {1, "VOSKARIN", px(10), false, py(10)},
      {1, "Seite", px(190), false, py(280)},
      {1, "Date", px(20), false, py(25)},
      {1, "Comment", px(140), false, py(25)},
      {1, "1", px(15), true, py(30)},
      {1, "12,5", px(110), true, py(30 + 5 * 9)},
      {1, "33.1", px(130), true, py(30 + 5 * 9)},
      {1, "01.02.2024", px(20), false, py(30)},
      {2, "51", px(15), true, py(30 + 5 * 1)},
      {2, "last", px(140), false, py(30 + 5 * 1)},
      {2, "2", px(190), true, py(280)},
  };
  for (const Expect& e : expected) {
    const Word* w = Find(words, e.page, e.word, e.y);
    ASSERT_NE(w, nullptr) << e.word.toStdString() << " on page " << e.page;
    if (e.word == "Seite") continue;  // left edge unknown; its number ends at x = 190
    EXPECT_NEAR(e.rightEdge ? w->xMax : w->xMin, e.x, kX) << e.word.toStdString();
    EXPECT_NEAR(w->yMin, e.y, kY) << e.word.toStdString();
  }

  // The fonts reach the paper: the page head in bold and 10 points against the rows' 8 points, in
  // the face that stands in for Arial.
  const Word* title = Find(words, 1, "VOSKARIN", py(10));
  const Word* heading = Find(words, 1, "Date", py(25));
  EXPECT_NEAR((title->yMax - title->yMin) / (heading->yMax - heading->yMin), 10.0 / 8.0, 0.05);
  QProcess fonts;
  fonts.start("pdffonts", {pdf});
  ASSERT_TRUE(fonts.waitForFinished(30000));
  const QString list = QString::fromUtf8(fonts.readAllStandardOutput());
  EXPECT_TRUE(list.contains("LiberationSans-Bold")) << list.toStdString();
  EXPECT_TRUE(list.contains(QRegularExpression("LiberationSans\\s"))) << list.toStdString();
}

}  // namespace
