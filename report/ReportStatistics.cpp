#include "report/ReportStatistics.h"

namespace report {

analysis::SpecView SpecViewOf(const ReportSpecification& spec) {
  analysis::SpecView view;
  view.name = spec.product;
  const AngleLimits* angles[2] = {&spec.g20, &spec.g60};
  for (std::size_t a = 0; a < 2; ++a) {
    view.angle[a].target = angles[a]->target;
    view.angle[a].lower = angles[a]->Lower();
    view.angle[a].upper = angles[a]->Upper();
  }
  view.hazeMax = spec.largestHaze;
  return view;
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
  const auto set = [&s](FigureColumn column, const analysis::SpecLimits& limits) {
    const analysis::Capability c = analysis::ComputeCapability(s.columns[column].values, limits);
    s.columns[column].cp = c.cp;
    s.columns[column].cpk = c.cpk;
  };
  const analysis::SpecView view = SpecViewOf(spec);
  set(kColumn20, view.angle[0]);
  set(kColumn60, view.angle[1]);
  set(kColumnHaze, {std::nullopt, std::nullopt, view.hazeMax});
  return s;
}

}  // namespace report
