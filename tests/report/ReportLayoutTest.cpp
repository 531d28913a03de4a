#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <map>

#include "report/ReportLayout.h"
#include "report/ReportStatistics.h"

namespace {

using report::Font;
using report::PlacedText;
using report::ReportData;
using report::ReportReading;
using report::Verdict;

// Every character as wide as its font says: what fits is plain to count.
double CharWidth(Font f) {
  switch (f) {
    case Font::Small:
      return 4;
    case Font::Bold:
      return 5.5;
    case Font::Heading:
      return 6.5;
    case Font::Title:
      return 8;
    case Font::Body:
      break;
  }
  return 5;
}

report::ReportMeasure FixedMeasure() {
  report::ReportMeasure m;
  m.width = [](const QString& text, Font f) { return CharWidth(f) * static_cast<double>(text.size()); };
  m.lineHeight = {10, 10, 8, 13, 16};
  return m;
}

ReportReading Reading(const char* v20, const char* v60, Verdict verdict = Verdict::NotJudged, bool withdrawn = false) {
  ReportReading r;
  r.date = QStringLiteral("08.12.2026");
  r.time = QStringLiteral("10:00:00");
  r.value20 = QString::fromUtf8(v20);
  r.value60 = QString::fromUtf8(v60);
  r.verdict = verdict;
  r.withdrawn = withdrawn;
  return r;
}

double Left(const PlacedText& t) {
  const double w = CharWidth(t.font) * static_cast<double>(t.text.size());
  return t.anchor == PlacedText::Anchor::Left    ? t.at.x()
         : t.anchor == PlacedText::Anchor::Right ? t.at.x() - w
                                                 : t.at.x() - w / 2;
}

double Right(const PlacedText& t) { return Left(t) + CharWidth(t.font) * static_cast<double>(t.text.size()); }

bool Has(const report::ReportPage& page, const QString& text) {
  return std::any_of(page.texts.begin(), page.texts.end(), [&](const PlacedText& t) { return t.text == text; });
}

TEST(ReportFigures, CapabilityBatchVerdictAndPrintedValues) {
  // Cp and Cpk of 80, 82, 84 (mean 82, s 2) against the specification's limits in GU: 20° 79 to 88
  // (the nearer limit counts for Cpk), 60° only a minimum, the haze index only its largest value.
  ReportData batch;
  batch.batchId = QStringLiteral("B1");
  report::ReportSpecification spec;
  spec.g20.minimum = 79.0;
  spec.g20.maximum = 88.0;
  spec.g60.minimum = 76.0;
  spec.largestHaze = 16.0;
  batch.specification = spec;
  batch.readings = {Reading("80", "90"), Reading("82", "94"), Reading("84", "98")};
  const report::ReportStatistics capable = report::ComputeStatistics(batch);
  const std::optional<double> expected[3][2] = {{0.75, 0.5}, {std::nullopt, 1.5}, {std::nullopt, 2.0 / 3}};
  for (std::size_t c = 0; c < 3; ++c) {
    SCOPED_TRACE(c);
    ASSERT_EQ(capable.columns[c].cp.has_value(), expected[c][0].has_value());
    ASSERT_TRUE(capable.columns[c].cpk.has_value());
    EXPECT_NEAR(capable.columns[c].cp.value_or(0), expected[c][0].value_or(0), 1e-12);
    EXPECT_NEAR(*capable.columns[c].cpk, *expected[c][1], 1e-12);
  }
  // A readings report has none.
  batch.batchId.clear();
  EXPECT_FALSE(report::ComputeStatistics(batch).columns[0].cpk.has_value());

  struct VerdictCase {
    const char* what;
    std::vector<ReportReading> readings;
    std::optional<Verdict> verdict;
  };
  const VerdictCase verdicts[] = {
      {"nothing judged", {Reading("1", "2"), Reading("1", "2", Verdict::NoValue)}, std::nullopt},
      {"passes only", {Reading("1", "2", Verdict::Pass), Reading("1", "2")}, Verdict::Pass},
      {"a warning", {Reading("1", "2", Verdict::Pass), Reading("1", "2", Verdict::Warn)}, Verdict::Warn},
      {"a fail beats a later warning",
       {Reading("1", "2", Verdict::Fail), Reading("1", "2", Verdict::Warn)},
       Verdict::Fail},
      {"a withdrawn fail does not count",
       {Reading("1", "2", Verdict::Pass), Reading("1", "2", Verdict::Fail, true)},
       Verdict::Pass},
      {"only withdrawn readings judged", {Reading("1", "2", Verdict::Warn, true)}, std::nullopt},
  };
  for (const VerdictCase& c : verdicts) EXPECT_EQ(report::BatchVerdict(c.readings), c.verdict) << c.what;

  // The statistics leave withdrawn readings out and show one decimal more than the readings.
  ReportData data;
  data.batchId = QStringLiteral("B1");
  data.readings = {Reading("80,0", "90.25"), Reading("84.0", "---"), Reading("99,9", "99.9", Verdict::Fail, true)};
  const report::ReportStatistics s = report::ComputeStatistics(data);
  EXPECT_EQ(s.columns[report::kColumn20].values.Count(), 2);
  EXPECT_DOUBLE_EQ(s.columns[report::kColumn20].values.Mean(), 82.0);
  EXPECT_EQ(s.columns[report::kColumn20].Decimals(), 2);
  EXPECT_EQ(s.columns[report::kColumn60].Decimals(), 3);
  EXPECT_EQ(s.columns[report::kColumnHaze].values.Count(), 1);

  // Each value with its own decimals and the report language's mark.
  struct ValueCase {
    const char* recorded;
    char mark;
    const char* printed;
  };
  const ValueCase values[] = {{"75,30", '.', "75.30"}, {"88.5", ',', "88,5"}, {" 7 ", ',', "7"},
                              {"-0,0", '.', "0.0"},    {"---", ',', "---"},   {"", '.', ""}};
  for (const ValueCase& c : values) {
    EXPECT_EQ(report::ValueText(QString::fromUtf8(c.recorded), QLatin1Char(c.mark)), QString::fromUtf8(c.printed))
        << c.recorded;
  }

  EXPECT_EQ(report::PaperSizeFor(QLocale(QStringLiteral("en_US"))), report::PaperSize::Letter);
  EXPECT_EQ(report::PaperSizeFor(QLocale(QStringLiteral("en_GB"))), report::PaperSize::A4);
  EXPECT_EQ(report::PaperSizeFor(QLocale(QStringLiteral("de_DE"))), report::PaperSize::A4);
}

TEST(ReportLayout, WrapsLongTextsKeepsEveryLineInItsWidthAndNeverSplitsASurrogatePair) {
  const auto measure = [](const QString& t) { return 5.0 * static_cast<double>(t.size()); };
  struct Case {
    QString text;
    double width;
    QStringList lines;
  };
  const Case cases[] = {
      {QStringLiteral("one two three"), 40, {QStringLiteral("one two"), QStringLiteral("three")}},
      {QStringLiteral("abcdefghijkl xy"),
       25,
       {QStringLiteral("abcde"), QStringLiteral("fghij"), QStringLiteral("kl xy")}},
      {QStringLiteral("a\nb  c"), 100, {QStringLiteral("a"), QStringLiteral("b c")}},
      {QString(), 10, {QString()}},
      // Two characters of width each, the emoji a pair of UTF-16 units: never cut in half.
      {QStringLiteral("ab😀cd"), 15, {QStringLiteral("ab😀"), QStringLiteral("cd")}},
  };
  for (const Case& c : cases) EXPECT_EQ(report::WrapText(c.text, c.width, measure), c.lines) << c.text.toStdString();
}

TEST(ReportLayout, PagesCarryTheHeaderTableHeaderAndLongCommentsInsideThePaper) {
  ReportData data;
  data.batchId = QStringLiteral("B-77");
  data.labName = QStringLiteral("Lab");
  data.provisional = true;
  report::ReportSpecification spec;
  spec.product = QStringLiteral("Topcoat");
  spec.g20.target = 80;
  spec.g20.tolerance = 5;
  data.specification = spec;
  for (int i = 0; i < 250; ++i) data.readings.push_back(Reading("80,1", "90.2", Verdict::Pass));
  // A comment of 2,000 characters in words, and one of 20,000 without a blank that no page holds.
  QString words;
  while (words.size() < 2000) words += QStringLiteral("scratch ");
  data.readings[10].comment = words.left(2000);
  QString endless;
  for (int i = 0; i < 20000; ++i) endless += QChar(u'a' + i % 26);
  data.readings[200].comment = endless;

  const report::ReportLayout layout =
      report::LayOutReport(data, report::ComputeStatistics(data), FixedMeasure(), QSizeF(200, 100));
  const int n = static_cast<int>(layout.pages.size());
  ASSERT_GT(n, 5);
  EXPECT_EQ(layout.title, "Batch report B-77");
  const QSizeF paper = report::PaperPoints(report::PaperSize::A4);
  EXPECT_EQ(layout.paper, paper);

  QString commentSeen;
  for (int i = 0; i < n; ++i) {
    const report::ReportPage& page = layout.pages[static_cast<std::size_t>(i)];
    SCOPED_TRACE(i + 1);
    EXPECT_TRUE(Has(page, QStringLiteral("Page %1 of %2").arg(i + 1).arg(n)));
    EXPECT_TRUE(Has(page, QStringLiteral("Batch B-77")));
    EXPECT_TRUE(Has(page, QStringLiteral("PROVISIONAL: the batch is still open")));
    EXPECT_FALSE(page.logo.isEmpty());
    // The table's column header on every page between the first and the last (the pages in
    // between hold readings, or the rest of a comment), and on those two when readings are there.
    if (Has(page, QStringLiteral("10:00:00")) || (i > 0 && i < n - 1)) {
      EXPECT_TRUE(Has(page, QStringLiteral("Comment")) && Has(page, QStringLiteral("No.")));
    }
    EXPECT_EQ(Has(page, QStringLiteral("Tested by")), i == n - 1);
    for (const PlacedText& t : page.texts) {
      EXPECT_GE(Left(t), 42 - 1e-6) << t.text.toStdString();
      EXPECT_LE(Right(t), paper.width() - 42 + 1e-6) << t.text.toStdString();
      EXPECT_GE(t.at.y(), 0);
      EXPECT_LE(t.at.y() + 10, paper.height() - 20) << t.text.toStdString();
      if (t.text.startsWith(QLatin1String("abcdefgh")) ||
          (!commentSeen.isEmpty() && t.text.size() > 20 && t.text.at(0).isLower() && !t.text.contains(u' '))) {
        commentSeen += t.text;
      }
    }
  }
  // The comment no page could hold is all there, in order, over several pages.
  EXPECT_EQ(commentSeen, endless);

  // The trend's lines of the specification, named: 80 ± 5 at 20°, the lower limit lowest.
  const auto& chart = layout.pages.front().chart;
  ASSERT_TRUE(chart.has_value());
  std::map<QString, double> lines;
  for (const report::ChartLine& l : chart->lines) lines[l.label] = l.line.y1();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_GT(lines[QStringLiteral("20° lower limit")], lines[QStringLiteral("20° target")]);
  EXPECT_GT(lines[QStringLiteral("20° target")], lines[QStringLiteral("20° upper limit")]);
}

TEST(ReportLayout, AReadingsReportLeavesOutWhatOnlyABatchHas) {
  ReportData data;
  data.language = i18n::kGerman;
  data.readings = {Reading("80,1", "90.25"), Reading("81.3", "---")};
  const report::ReportLayout layout = report::LayOutReport(data, report::ComputeStatistics(data), FixedMeasure());
  ASSERT_EQ(layout.pages.size(), 1u);
  const report::ReportPage& page = layout.pages.front();
  EXPECT_EQ(layout.title, "Messwertbericht");
  EXPECT_TRUE(Has(page, QStringLiteral("Seite 1 von 1")));
  EXPECT_TRUE(Has(page, QStringLiteral("80,1")) && Has(page, QStringLiteral("90,25")) &&
              Has(page, QStringLiteral("81,3")));
  // The mean of 80.1 and 81.3 with one decimal more, the haze with the most decimals of the two.
  EXPECT_TRUE(Has(page, QStringLiteral("80,70")));
  EXPECT_TRUE(Has(page, QStringLiteral("10,15")));
  for (const char* batchOnly : {"Urteil", "Cp", "Cpk", "Produkt", "Spezifikation", "OK"}) {
    EXPECT_FALSE(Has(page, QString::fromUtf8(batchOnly))) << batchOnly;
  }
  EXPECT_FALSE(page.chart->lines.size());
}

}  // namespace
