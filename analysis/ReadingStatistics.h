// The statistics of a set of table rows: for 20° and 60° each the values that are numbers and how
// many of them carry each mode letter; the haze index H = G60 - G20 of the rows where both values
// are numbers.
#pragma once

#include <QString>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "analysis/RunningStats.h"

namespace analysis {

// One table row as numbers. A value that is no number is NaN.
struct RowNumbers {
  double g20 = std::numeric_limits<double>::quiet_NaN();
  double g60 = std::numeric_limits<double>::quiet_NaN();
  std::int8_t decimals20 = 0;
  std::int8_t decimals60 = 0;
  std::uint8_t letters20 = 0;  // ModeLetter bits
  std::uint8_t letters60 = 0;

  bool Has20() const { return !std::isnan(g20); }
  bool Has60() const { return !std::isnan(g60); }
  bool HasHaze() const { return Has20() && Has60(); }
  double Haze() const { return g60 - g20; }
  std::uint8_t Letters() const { return letters20 | letters60; }
};

// A row from its four texts.
RowNumbers ReadRow(const QString& mode20, const QString& mode60, const QString& value20, const QString& value60);

struct SeriesStatistics {
  RunningStats values;
  // Counted values whose mode text carries L, C, D.
  std::array<qint64, 3> letters{};

  void Add(double value, int decimals, std::uint8_t letterBits);
  void Remove(double value, int decimals, std::uint8_t letterBits);
};

struct ReadingStatistics {
  qint64 rows = 0;
  SeriesStatistics g20;
  SeriesStatistics g60;
  RunningStats haze;

  void Add(const RowNumbers& row);
  // Takes out a row that was added before.
  void Remove(const RowNumbers& row);

  // Rows whose value is no number and so is left out.
  qint64 LeftOut20() const { return rows - g20.values.Count(); }
  qint64 LeftOut60() const { return rows - g60.values.Count(); }
  qint64 LeftOutHaze() const { return rows - haze.Count(); }
};

}  // namespace analysis
