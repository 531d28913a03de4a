// The verdict rules as a table: every limit and band edge of a target ± tolerance, a minimum, a
// maximum and the largest haze index, values without a number, dark readings, and the worst of
// the angles.
#include <gtest/gtest.h>

#include "lab/Verdict.h"

namespace lab {
namespace {

using V = Verdict;
const std::optional<Centi> kNone = std::nullopt;

TEST(ParseCenti, ReadsBothMarksExactlyAndRefusesTheRest) {
  struct Case {
    const char* text;
    std::optional<Centi> want;
  } cases[] = {
      {"80", 8000},   {"79.99", 7999},  {"79,99", 7999}, {" 75.3 ", 7530}, {"0.005", 1},   {"0.004", 0},
      {"-2.6", -260}, {"+1", 100},      {"1.", 100},     {".5", 50},       {"---", kNone}, {"", kNone},
      {"1e3", kNone}, {"1.2.3", kNone}, {"1 2", kNone},  {"-", kNone},     {"inf", kNone}, {"99.995", 10000},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCenti(QString::fromUtf8(c.text)), c.want) << c.text;
}

TEST(FormatCenti, WritesNoMoreDecimalsThanNeeded) {
  EXPECT_EQ(FormatCenti(8000), QStringLiteral("80"));
  EXPECT_EQ(FormatCenti(7530), QStringLiteral("75.3"));
  EXPECT_EQ(FormatCenti(-205), QStringLiteral("-2.05"));
  EXPECT_EQ(FormatCenti(-5), QStringLiteral("-0.05"));
}

struct AngleCase {
  const char* what;
  AngleLimits limits;
  int band;  // hundredths of a percent
  std::optional<Centi> value;
  Verdict want;
};

TEST(Judge, EveryLimitAndBandEdgeOfOneAngle) {
  // 80 ± 5 with a 10 % band: limits 75 and 85 inclusive, band 0.5 GU inside each.
  const AngleLimits around = AngleLimits::Around(8000, 500);
  const AngleLimits atLeast = AngleLimits::AtLeast(8000);  // band 8 GU: 80 to 88 warns
  const AngleLimits atMost = AngleLimits::AtMost(2000);    // band 2 GU: 18 to 20 warns
  const AngleCase cases[] = {
      {"below low limit", around, 1000, 7499, V::Fail},
      {"at low limit", around, 1000, 7500, V::Warn},
      {"inside low band", around, 1000, 7549, V::Warn},
      {"at low band edge", around, 1000, 7550, V::Pass},
      {"on target", around, 1000, 8000, V::Pass},
      {"at high band edge", around, 1000, 8450, V::Pass},
      {"inside high band", around, 1000, 8451, V::Warn},
      {"at high limit", around, 1000, 8500, V::Warn},
      {"above high limit", around, 1000, 8501, V::Fail},
      {"band 0: limit passes", around, 0, 7500, V::Pass},
      {"band 0: beyond fails", around, 0, 8501, V::Fail},
      {"band 50: middle passes", around, 5000, 8000, V::Pass},
      {"band 50: inner edge passes", around, 5000, 7750, V::Pass},
      {"band 50: inside warns", around, 5000, 7749, V::Warn},
      {"no value", around, 1000, kNone, V::NoValue},
      {"minimum: below", atLeast, 1000, 7999, V::Fail},
      {"minimum: at", atLeast, 1000, 8000, V::Warn},
      {"minimum: band edge", atLeast, 1000, 8800, V::Pass},
      {"minimum: inside band", atLeast, 1000, 8799, V::Warn},
      {"minimum: far above", atLeast, 1000, 200000, V::Pass},
      {"maximum: above", atMost, 1000, 2001, V::Fail},
      {"maximum: at", atMost, 1000, 2000, V::Warn},
      {"maximum: inside band", atMost, 1000, 1801, V::Warn},
      {"maximum: band edge", atMost, 1000, 1800, V::Pass},
      {"maximum: zero", atMost, 1000, 0, V::Pass},
      {"no limits", AngleLimits::None(), 1000, 1, V::NotJudged},
      {"no limits, no value", AngleLimits::None(), 1000, kNone, V::NotJudged},
  };
  for (const AngleCase& c : cases) {
    Limits limits;
    limits.bandBasisPoints = c.band;
    limits.angle[0] = c.limits;
    const Judgement j = Judge(limits, {c.value, 5000}, false);
    EXPECT_EQ(j.angle[0], c.want) << c.what;
    EXPECT_EQ(j.reading, c.want) << c.what;
    EXPECT_EQ(j.angle[1], V::NotJudged) << c.what;
  }
}

TEST(Judge, HazeOnlyWithBothValuesAndTheWorstOfAll) {
  Limits limits;
  limits.angle[0] = AngleLimits::Around(8000, 500);
  limits.angle[1] = AngleLimits::AtLeast(5000);
  limits.hazeMax = 2000;  // band 2 GU: a haze from 18 to 20 warns
  struct Case {
    const char* what;
    std::optional<Centi> g20, g60;
    bool dark;
    Verdict angle20, angle60, haze, reading;
  } cases[] = {
      {"all pass", 8000, 9700, false, V::Pass, V::Pass, V::Pass, V::Pass},
      {"haze at its limit", 8000, 10000, false, V::Pass, V::Pass, V::Warn, V::Warn},
      {"haze beyond", 8000, 10001, false, V::Pass, V::Pass, V::Fail, V::Fail},
      {"haze at band edge", 8000, 9800, false, V::Pass, V::Pass, V::Pass, V::Pass},
      {"60 missing: no haze", 8000, kNone, false, V::Pass, V::NoValue, V::NotJudged, V::NoValue},
      {"warn and no value", 7500, kNone, false, V::Warn, V::NoValue, V::NotJudged, V::NoValue},
      {"fail beats no value", 7000, kNone, false, V::Fail, V::NoValue, V::NotJudged, V::Fail},
      {"dark is not judged", 7000, kNone, true, V::NotJudged, V::NotJudged, V::NotJudged, V::NotJudged},
  };
  for (const Case& c : cases) {
    const Judgement j = Judge(limits, {c.g20, c.g60}, c.dark);
    EXPECT_EQ(j.angle[0], c.angle20) << c.what;
    EXPECT_EQ(j.angle[1], c.angle60) << c.what;
    EXPECT_EQ(j.haze, c.haze) << c.what;
    EXPECT_EQ(j.reading, c.reading) << c.what;
  }
}

TEST(Judge, DistanceFromTargetOrFromTheOneLimit) {
  Limits limits;
  limits.angle[0] = AngleLimits::Around(8000, 500);
  limits.angle[1] = AngleLimits::AtMost(2000);
  const Judgement j = Judge(limits, {7740, 2100}, false);
  EXPECT_EQ(j.distance[0], -260);
  EXPECT_EQ(j.distance[1], 100);
}

}  // namespace
}  // namespace lab
