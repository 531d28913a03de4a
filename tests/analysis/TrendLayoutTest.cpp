#include <gtest/gtest.h>

#include <QStringList>
#include <cmath>
#include <limits>

#include "analysis/GlossValue.h"
#include "analysis/ReadingStatistics.h"
#include "analysis/TrendLayout.h"

namespace {

using analysis::ModeMark;
using analysis::RowNumbers;
using analysis::TrendPicture;
using analysis::TrendText;

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Every character 7 pixels wide, lines 12 pixels high.
const analysis::TextMeasure kMeasure{[](const QString& t) { return 7.0 * t.size(); }, 12};
const analysis::TrendWords kWords{"Gloss (GU)", "Row", "No reading is a number yet.", QLatin1Char('.')};

RowNumbers Reading(double g20, double g60, std::uint8_t letters20 = 0, std::uint8_t letters60 = 0) {
  RowNumbers r;
  r.g20 = g20;
  r.g60 = g60;
  r.letters20 = letters20;
  r.letters60 = letters60;
  return r;
}

std::vector<std::vector<QPointF>> Rounded(const std::vector<std::vector<QPointF>>& runs) {
  std::vector<std::vector<QPointF>> out;
  for (const auto& run : runs) {
    out.emplace_back();
    for (const QPointF& p : run) out.back().emplace_back(std::round(p.x() * 100) / 100, std::round(p.y() * 100) / 100);
  }
  return out;
}

// The texts anchored at `anchor`, as "text@x,y" rounded to the pixel.
QStringList Texts(const TrendPicture& p, TrendText::Anchor anchor) {
  QStringList out;
  for (const TrendText& t : p.texts) {
    if (t.anchor == anchor) out << QString("%1@%2,%3").arg(t.text).arg(qRound(t.at.x())).arg(qRound(t.at.y()));
  }
  return out;
}

TEST(TrendLayout, FourReadingsWithGapsAndLetters) {
  // Row 2 has no 20° value, row 3 no 60° value. Letters: L on row 1 (20°), D on row 3 (20°),
  // C on row 4 (60°).
  const std::vector<RowNumbers> rows = {Reading(10, 20, analysis::kLetterL), Reading(kNone, 25),
                                        Reading(30, kNone, analysis::kLetterD), Reading(40, 45, 0, analysis::kLetterC)};
  const TrendPicture p = analysis::LayOutTrend(rows, {400, 300}, kWords, kMeasure);

  // Values 10 to 45 on a scale of 0 to 50 in steps of 10; labels up to 14 pixels wide.
  EXPECT_EQ(p.plot, QRectF(QPointF(30, 30), QPointF(388, 216)));
  EXPECT_EQ(p.lanes, QRectF(QPointF(30, 226), QPointF(388, 262)));
  EXPECT_EQ(p.low, 0);
  EXPECT_EQ(p.high, 50);
  EXPECT_FALSE(p.dense);

  // Rows 1 to 4 at x = 36 + 115.33 * (row - 1); a value v at y = 216 - 3.72 * v.
  using Runs = std::vector<std::vector<QPointF>>;
  EXPECT_EQ(Rounded(p.lines[analysis::kSeries20]), (Runs{{{36, 178.8}}, {{266.67, 104.4}, {382, 67.2}}}));
  EXPECT_EQ(Rounded(p.lines[analysis::kSeries60]), (Runs{{{36, 141.6}, {151.33, 123}}, {{382, 48.6}}}));
  EXPECT_EQ(Rounded({p.markers[0]}), (Runs{{{36, 178.8}, {266.67, 104.4}, {382, 67.2}}}));
  EXPECT_EQ(Rounded({p.markers[1]}), (Runs{{{36, 141.6}, {151.33, 123}, {382, 48.6}}}));

  // The letters in their lanes, beneath their rows.
  ASSERT_EQ(p.modes.size(), 3u);
  const struct {
    double x;
    int lane;
  } modes[] = {{36, 0}, {266.67, 2}, {382, 1}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(p.modes[i].x, modes[i].x, 0.01) << i;
    EXPECT_EQ(p.modes[i].lane, modes[i].lane) << i;
    EXPECT_TRUE(p.modes[i].letter) << i;
  }

  EXPECT_EQ(Texts(p, TrendText::Anchor::Right),
            (QStringList{"0@24,216", "10@24,179", "20@24,142", "30@24,104", "40@24,67", "50@24,30", "L@24,232",
                         "C@24,244", "D@24,256"}));
  EXPECT_EQ(Texts(p, TrendText::Anchor::Centre),
            (QStringList{"1@36,272", "2@151,272", "3@267,272", "4@382,272", "Row@209,286"}));
  // The value axis' title, then the legend ending at the plot's right edge.
  EXPECT_EQ(Texts(p, TrendText::Anchor::Left), (QStringList{"Gloss (GU)@8,14", "20°@308,14", "60°@367,14"}));
  EXPECT_EQ(p.legend[0], QLineF(282, 14, 304, 14));
  EXPECT_EQ(p.legend[1], QLineF(341, 14, 363, 14));
}

TEST(TrendLayout, ScaleAndEmptyPlot) {
  const struct {
    const char* name;
    std::vector<RowNumbers> rows;
    QChar mark;
    double low, high;
    QStringList valueLabels;
    bool note;
  } cases[] = {
      {"nothing", {}, '.', 0, 100, {"0", "50", "100"}, true},
      {"only dashes", {Reading(kNone, kNone)}, '.', 0, 100, {"0", "50", "100"}, true},
      // A flat series keeps a scale of two gloss units, here with tenths and the German mark.
      {"flat", {Reading(85.3, 85.5)}, ',', 84, 86.5, {"84,0", "84,5", "85,0", "85,5", "86,0", "86,5"}, false},
      // Sixteen digits: beyond any gloss scale, and beyond telling one unit from the next.
      {"huge", {Reading(9999999999999999, kNone)}, '.', 0, 100, {"0", "50", "100"}, false},
  };
  for (const auto& c : cases) {
    analysis::TrendWords words = kWords;
    words.decimalMark = c.mark;
    const TrendPicture p = analysis::LayOutTrend(c.rows, {400, 300}, words, kMeasure);
    EXPECT_DOUBLE_EQ(p.low, c.low) << c.name;
    EXPECT_DOUBLE_EQ(p.high, c.high) << c.name;
    QStringList labels;
    for (const TrendText& t : p.texts) {
      const bool lane = t.text == "L" || t.text == "C" || t.text == "D";
      if (t.anchor == TrendText::Anchor::Right && !lane) labels << t.text;
    }
    EXPECT_EQ(labels, c.valueLabels) << c.name;
    const bool note =
        std::any_of(p.texts.begin(), p.texts.end(), [](const TrendText& t) { return t.text == kWords.empty; });
    EXPECT_EQ(note, c.note) << c.name;
  }
}

// Where a text lies, by the measure the layout was given.
QRectF Box(const TrendText& t) {
  const double w = kMeasure.width(t.text);
  const double x = t.anchor == TrendText::Anchor::Left    ? t.at.x()
                   : t.anchor == TrendText::Anchor::Right ? t.at.x() - w
                                                          : t.at.x() - w / 2;
  return {x, t.at.y() - kMeasure.height / 2, w, kMeasure.height};
}

TEST(TrendLayout, NoTwoTextsOverlap) {
  const std::vector<std::vector<RowNumbers>> tables = {
      {Reading(85.3, 90.1), Reading(84.9, 91.5)},
      {Reading(1000.5, 2), Reading(3, 4)},
      {},
  };
  for (const QSizeF size : {QSizeF(400, 300), QSizeF(360, 220), QSizeF(900, 600)}) {
    for (const auto& rows : tables) {
      const TrendPicture p = analysis::LayOutTrend(rows, size, kWords, kMeasure);
      for (std::size_t i = 0; i < p.texts.size(); ++i) {
        for (std::size_t j = i + 1; j < p.texts.size(); ++j) {
          EXPECT_FALSE(Box(p.texts[i]).intersects(Box(p.texts[j])))
              << p.texts[i].text.toStdString() << " / " << p.texts[j].text.toStdString() << " at " << size.width();
        }
      }
    }
  }
}

TEST(TrendLayout, ManyRowsKeepEveryPeakInOneColumnEach) {
  // 10,000 rows on 347 pixel columns: a single high reading, a single low one, a stretch of
  // dashes, D letters.
  std::vector<RowNumbers> rows(10000, Reading(50, 60));
  rows[5000].g20 = 99;
  rows[3000].g60 = 5;
  for (int i = 7000; i < 7100; ++i) rows[static_cast<std::size_t>(i)].g20 = kNone;
  rows[9000].letters20 = analysis::kLetterD;
  const TrendPicture p = analysis::LayOutTrend(rows, {400, 300}, kWords, kMeasure);

  EXPECT_TRUE(p.dense);
  EXPECT_TRUE(p.markers[0].empty());
  // The dashes break the 20° line; the 60° line runs through.
  ASSERT_EQ(p.lines[0].size(), 2u);
  ASSERT_EQ(p.lines[1].size(), 1u);
  std::size_t points = 0;
  double top = 1e9;
  for (const auto& run : p.lines[0]) {
    points += run.size();
    for (const QPointF& q : run) top = std::min(top, q.y());
  }
  EXPECT_LE(points, 4u * 347u);
  EXPECT_DOUBLE_EQ(top, analysis::TrendY(p, 99)) << "the peak is drawn";
  double bottom = -1e9;
  for (const auto& run : p.lines[1]) {
    for (const QPointF& q : run) bottom = std::max(bottom, q.y());
  }
  EXPECT_DOUBLE_EQ(bottom, analysis::TrendY(p, 5)) << "the dip is drawn";
  // One tick in the D lane, in the column of row 9001.
  ASSERT_EQ(p.modes.size(), 1u);
  EXPECT_EQ(p.modes[0].lane, 2);
  EXPECT_FALSE(p.modes[0].letter);
  EXPECT_NEAR(p.modes[0].x, analysis::TrendX(p, 9000, 10000), 1.0);
}

}  // namespace
