// The report's figures: per angle and for the haze index the count, mean, sample standard
// deviation, minimum, maximum and range of the readings that count (a batch's withdrawn ones do
// not), and Cp and Cpk against the specification's limits (`analysis::ComputeCapability`, as the
// statistics window shows them).
#pragma once

#include <array>
#include <optional>

#include "analysis/Capability.h"
#include "analysis/ReadingStatistics.h"
#include "report/ReportData.h"

namespace report {

enum FigureColumn : int { kColumn20 = 0, kColumn60 = 1, kColumnHaze = 2 };

struct ColumnFigures {
  analysis::RunningStats values;
  // None without a specification, with fewer than two values or a deviation of 0, or where the
  // limits do not allow it (Cp needs both).
  std::optional<double> cp;
  std::optional<double> cpk;
  // Figures are printed with one decimal more than the readings carry.
  int Decimals() const { return values.Decimals() + 1; }
};

struct ReportStatistics {
  std::array<ColumnFigures, 3> columns;
};

// The specification's limits in GU, as the statistics and the trend take them.
analysis::SpecView SpecViewOf(const ReportSpecification& spec);

// The row of `reading` as numbers, both decimal marks read.
analysis::RowNumbers NumbersOf(const ReportReading& reading);

ReportStatistics ComputeStatistics(const ReportData& data);

}  // namespace report
