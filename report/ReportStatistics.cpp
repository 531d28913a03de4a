#include "report/ReportStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace report {

Capability CapabilityOf(const analysis::RunningStats& values, std::optional<double> lower,
                        std::optional<double> upper) {
  const std::optional<double> s = values.StandardDeviation();
  if (!s || !(*s > 0) || (!lower && !upper)) return {};
  const double mean = values.Mean();
  Capability c;
  if (lower && upper) c.cp = (*upper - *lower) / (6 * *s);
  double nearest = std::numeric_limits<double>::infinity();
  if (upper) nearest = std::min(nearest, *upper - mean);
  if (lower) nearest = std::min(nearest, mean - *lower);
  c.cpk = nearest / (3 * *s);
  return c;
}

analysis::RowNumbers NumbersOf(const ReportReading& reading) {
  return analysis::ReadRow(reading.mode20, reading.mode60, reading.value20, reading.value60);
}

ReportStatistics ComputeStatistics(const ReportData& data) {
  analysis::ReadingStatistics all;
  for (const ReportReading& r : data.readings) {
    if (!r.withdrawn) all.Add(NumbersOf(r));
  }
  ReportStatistics s;
  s.columns[kColumn20].values = all.g20.values;
  s.columns[kColumn60].values = all.g60.values;
  s.columns[kColumnHaze].values = all.haze;
  // Capability belongs to a batch judged against its specification.
  if (!data.IsBatch() || !data.specification) return s;
  const ReportSpecification& spec = *data.specification;
  const auto set = [&s](FigureColumn column, std::optional<double> lower, std::optional<double> upper) {
    const Capability c = CapabilityOf(s.columns[column].values, lower, upper);
    s.columns[column].cp = c.cp;
    s.columns[column].cpk = c.cpk;
  };
  set(kColumn20, spec.g20.Lower(), spec.g20.Upper());
  set(kColumn60, spec.g60.Lower(), spec.g60.Upper());
  set(kColumnHaze, std::nullopt, spec.largestHaze);
  return s;
}

}  // namespace report
