#include "analysis/RunningStats.h"

#include <algorithm>
#include <cmath>

namespace analysis {

void CompensatedSum::Add(double x) {
  const double t = sum_ + x;
  compensation_ += std::abs(sum_) >= std::abs(x) ? (sum_ - t) + x : (x - t) + sum_;
  sum_ = t;
}

void RunningStats::Add(double x, int decimals) {
  if (n_ == 0) reference_ = x;
  ++n_;
  const double d = x - reference_;
  sum_.Add(d);
  squares_.Add(d * d);
  ++counts_[x];
  ++decimals_[static_cast<std::size_t>(std::clamp(decimals, 0, kMostDecimals))];
}

void RunningStats::Remove(double x, int decimals) {
  const auto it = counts_.find(x);
  if (it == counts_.end()) return;  // never added: nothing to take out
  if (--it->second == 0) counts_.erase(it);
  --decimals_[static_cast<std::size_t>(std::clamp(decimals, 0, kMostDecimals))];
  if (--n_ == 0) {
    Clear();
    return;
  }
  // The very terms Add() added, taken out again.
  const double d = x - reference_;
  sum_.Add(-d);
  squares_.Add(-(d * d));
}

void RunningStats::Clear() { *this = RunningStats(); }

double RunningStats::Mean() const {
  // One value left: its mean is the value itself, whatever rounding the removals left behind.
  if (n_ == 1) return counts_.begin()->first;
  return reference_ + sum_.Value() / static_cast<double>(n_);
}

std::optional<double> RunningStats::StandardDeviation() const {
  if (n_ < 2) return std::nullopt;
  const double n = static_cast<double>(n_);
  const double s = sum_.Value();
  const double squares = std::max(squares_.Value() - s * s / n, 0.0);
  return std::sqrt(squares / (n - 1));
}

int RunningStats::Decimals() const {
  for (int d = kMostDecimals; d > 0; --d) {
    if (decimals_[static_cast<std::size_t>(d)] > 0) return d;
  }
  return 0;
}

}  // namespace analysis
