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

void SetDateAndTime(ReportReading& reading, const QDateTime& taken) {
  reading.taken = taken;
  if (!taken.isValid()) return;
  reading.date = taken.toString(QStringLiteral("yyyy-MM-dd"));
  reading.time = taken.toString(QStringLiteral("HH:mm:ss"));
}

QString MomentText(const ReportReading& reading) {
  if (!reading.taken.isValid()) return (reading.date + QLatin1Char(' ') + reading.time).trimmed();
  const int offset = reading.taken.offsetFromUtc();
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  return reading.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
         (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
         QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
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
