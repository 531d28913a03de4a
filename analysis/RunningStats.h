// Running statistics of one series of values that grows and shrinks: values are added as rows
// arrive and taken out again as rows are deleted, without going over the other values.
//
// Mean and spread come from the sums of the values' distances from a reference (the first value)
// and of their squares, each kept with compensated (Neumaier) summation. Like Welford's update this
// avoids the textbook sum of squares, which loses every digit to cancellation when the values are
// large against their spread; unlike it, a value can be taken out exactly as it went in, so a
// thousand deletions leave hardly more rounding behind than none. Minimum and maximum come from a count
// per distinct value: readings carry one decimal over a few hundred gloss units, so there are a few
// thousand distinct values at most however long the table grows, and a deleted minimum leaves the
// next one at hand.
#pragma once

#include <QtGlobal>
#include <array>
#include <map>
#include <optional>

namespace analysis {

// A sum that carries the rounding error of each addition along (Neumaier's variant of Kahan's).
class CompensatedSum {
 public:
  void Add(double x);
  double Value() const { return sum_ + compensation_; }

 private:
  double sum_ = 0;
  double compensation_ = 0;
};

class RunningStats {
 public:
  // Decimals above this count as this many.
  static constexpr int kMostDecimals = 6;

  void Add(double x, int decimals);
  // Takes out a value that was added before (with the same decimals).
  void Remove(double x, int decimals);
  void Clear();

  qint64 Count() const { return n_; }
  // Meaningful when Count() > 0.
  double Mean() const;
  double Min() const { return counts_.begin()->first; }
  double Max() const { return counts_.rbegin()->first; }
  // Sample standard deviation (n - 1); none for fewer than two values.
  std::optional<double> StandardDeviation() const;
  // The most decimals among the values, 0 when there are none.
  int Decimals() const;

 private:
  qint64 n_ = 0;
  double reference_ = 0;    // the first value since the statistics were empty
  CompensatedSum sum_;      // of (x - reference_)
  CompensatedSum squares_;  // of (x - reference_)^2
  std::map<double, qint64> counts_;
  std::array<qint64, kMostDecimals + 1> decimals_{};
};

}  // namespace analysis
