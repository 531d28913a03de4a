#include "analysis/Capability.h"

#include <cmath>

namespace analysis {

Capability ComputeCapability(const RunningStats& stats, const SpecLimits& limits) {
  Capability c;
  const std::optional<double> s = stats.StandardDeviation();
  if (stats.Count() < 2 || !s || *s <= 0) return c;
  const double mean = stats.Mean();
  if (limits.lower && limits.upper) c.cp = (*limits.upper - *limits.lower) / (6 * *s);
  std::optional<double> nearer;
  if (limits.upper) nearer = *limits.upper - mean;
  if (limits.lower) nearer = nearer ? std::min(*nearer, mean - *limits.lower) : mean - *limits.lower;
  if (nearer) c.cpk = *nearer / (3 * *s);
  return c;
}

ControlFlags FlagControlRules(std::span<const RowNumbers> rows, bool series60) {
  ControlFlags flags;
  RunningStats stats;
  const auto value = [series60](const RowNumbers& r) { return series60 ? r.g60 : r.g20; };
  for (const RowNumbers& r : rows) {
    if (!std::isnan(value(r))) stats.Add(value(r), 0);
  }
  const std::optional<double> s = stats.StandardDeviation();
  if (!s) return flags;
  const double mean = stats.Mean();
  int side = 0;
  int run = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double v = value(rows[i]);
    if (std::isnan(v)) continue;
    if (*s > 0 && std::abs(v - mean) > 3 * *s) flags.beyond3Sd.push_back(static_cast<int>(i));
    // A value on the mean breaks a run.
    const int here = v > mean ? 1 : v < mean ? -1 : 0;
    run = here != 0 && here == side ? run + 1 : (here != 0 ? 1 : 0);
    side = here;
    if (run >= 8) flags.runOf8.push_back(static_cast<int>(i));
  }
  return flags;
}

}  // namespace analysis
