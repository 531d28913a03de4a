// What a specification adds to the statistics and the trend of a batch: its limits as lines, the
// process capability Cp and Cpk per angle, and the two classic control-chart rules over the
// batch's own readings.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "analysis/ReadingStatistics.h"
#include "analysis/RunningStats.h"

namespace analysis {

// The limits of one angle in GU: a target with lower and upper limits, or one of the two alone.
struct SpecLimits {
  std::optional<double> target;
  std::optional<double> lower;
  std::optional<double> upper;
};

struct SpecView {
  QString name;
  std::array<SpecLimits, 2> angle;  // 20°, 60°
  std::optional<double> hazeMax;
};

struct Capability {
  std::optional<double> cp;
  std::optional<double> cpk;
};

// Cp = (upper - lower) / 6s needs both limits; Cpk = the nearer limit's distance from the mean / 3s
// takes either. Neither exists below 2 values or with a standard deviation of 0.
Capability ComputeCapability(const RunningStats& stats, const SpecLimits& limits);

// The rows (0-based) that the control-chart rules flag in one series (NaN: no value, skipped):
// a value more than 3 standard deviations from the series' mean, and each value from the 8th on of
// a run on one side of the mean.
struct ControlFlags {
  std::vector<int> beyond3Sd;
  std::vector<int> runOf8;
};
ControlFlags FlagControlRules(std::span<const RowNumbers> rows, bool series60);

}  // namespace analysis
