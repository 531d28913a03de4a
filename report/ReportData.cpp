#include "report/ReportData.h"

namespace report {

std::optional<double> AngleLimits::Lower() const {
  if (target && tolerance) return *target - *tolerance;
  return minimum;
}

std::optional<double> AngleLimits::Upper() const {
  if (target && tolerance) return *target + *tolerance;
  return maximum;
}

PaperSize PaperSizeFor(const QLocale& locale) {
  // The United Kingdom counts as imperial but prints on A4.
  return locale.measurementSystem() == QLocale::ImperialUSSystem ? PaperSize::Letter : PaperSize::A4;
}

std::optional<Verdict> BatchVerdict(const std::vector<ReportReading>& readings) {
  bool judged = false;
  bool warn = false;
  for (const ReportReading& r : readings) {
    if (r.withdrawn) continue;
    switch (r.verdict) {
      case Verdict::Fail:
        return Verdict::Fail;
      case Verdict::Warn:
        warn = true;
        judged = true;
        break;
      case Verdict::Pass:
        judged = true;
        break;
      case Verdict::NotJudged:
      case Verdict::NoValue:
        break;
    }
  }
  if (!judged) return std::nullopt;
  return warn ? Verdict::Warn : Verdict::Pass;
}

VerdictCounts CountVerdicts(const std::vector<ReportReading>& readings) {
  VerdictCounts c;
  for (const ReportReading& r : readings) {
    if (r.withdrawn) {
      ++c.withdrawn;
      continue;
    }
    ++c.readings;
    switch (r.verdict) {
      case Verdict::Pass:
        ++c.passes;
        break;
      case Verdict::Warn:
        ++c.warnings;
        break;
      case Verdict::Fail:
        ++c.fails;
        break;
      case Verdict::NoValue:
        ++c.noValue;
        break;
      case Verdict::NotJudged:
        break;
    }
  }
  return c;
}

}  // namespace report
