// Cp and Cpk where they exist and "none" where they do not, and the two control-chart rules at
// their edges.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/Capability.h"

namespace analysis {
namespace {

RunningStats Of(std::initializer_list<double> values) {
  RunningStats s;
  for (const double v : values) s.Add(v, 1);
  return s;
}

TEST(Capability, CpNeedsBothLimitsCpkEitherAndBothNeedASpread) {
  // Mean 80, sample SD 2.
  const RunningStats stats = Of({78, 80, 82});
  struct Case {
    const char* what;
    RunningStats stats;
    SpecLimits limits;
    std::optional<double> cp, cpk;
  } cases[] = {
      {"both limits", stats, {80.0, 74.0, 86.0}, 1.0, 1.0},
      {"off centre", stats, {83.0, 77.0, 89.0}, 1.0, 0.5},
      {"minimum only", stats, {std::nullopt, 74.0, std::nullopt}, std::nullopt, 1.0},
      {"maximum only", stats, {std::nullopt, std::nullopt, 83.0}, std::nullopt, 0.5},
      {"no limits", stats, {}, std::nullopt, std::nullopt},
      {"one value", Of({80}), {80.0, 74.0, 86.0}, std::nullopt, std::nullopt},
      {"no spread", Of({80, 80, 80}), {80.0, 74.0, 86.0}, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const Capability got = ComputeCapability(c.stats, c.limits);
    ASSERT_EQ(got.cp.has_value(), c.cp.has_value()) << c.what;
    ASSERT_EQ(got.cpk.has_value(), c.cpk.has_value()) << c.what;
    if (c.cp) {
      EXPECT_NEAR(*got.cp, *c.cp, 1e-9) << c.what;
    }
    if (c.cpk) {
      EXPECT_NEAR(*got.cpk, *c.cpk, 1e-9) << c.what;
    }
  }
}

std::vector<RowNumbers> Rows(std::initializer_list<double> g60) {
  std::vector<RowNumbers> rows;
  for (const double v : g60) {
    RowNumbers r;
    r.g60 = v;
    rows.push_back(r);
  }
  return rows;
}

TEST(ControlRules, BeyondThreeDeviationsAndTheEighthOfARun) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Eighteen values alternating about the mean, then one far off: only it lies beyond 3 SD (mean
  // 52.6, SD 15.2), and alternating values make no run.
  std::vector<RowNumbers> rows = Rows({40, 60, 40, 60, 40, 60, 40, 60, 40, 60, 40, 60, 40, 60, 40, 60, 40, 60, 100});
  ControlFlags f = FlagControlRules(rows, true);
  EXPECT_EQ(f.beyond3Sd, std::vector<int>{18});
  EXPECT_TRUE(f.runOf8.empty());

  // Mean 50: seven above, a gap without a value (skipped), the eighth above is flagged, and so is
  // the ninth; a value on the mean ends the run; ten below flag their 8th, 9th and 10th.
  rows = Rows({52, 52, 52, 52, 52, 52, 52, nan, 52, 52, 50, 52, 48, 48, 48, 48, 48, 48, 48, 48, 48, 48});
  f = FlagControlRules(rows, true);
  EXPECT_EQ(f.runOf8, (std::vector<int>{8, 9, 19, 20, 21}));
  EXPECT_TRUE(f.beyond3Sd.empty());
  EXPECT_TRUE(FlagControlRules(rows, false).runOf8.empty()) << "the 20° series has no values";
}

}  // namespace
}  // namespace analysis
