// What a report prints, gathered before anything is laid out: the lab, the batch (or none, for a
// report of loose readings), the specification, the people and the instrument, and the readings
// with their texts as recorded. Filled from the measurement table or from a batch of the lab
// record; nothing below this reads either.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "i18n/TextTable.h"

namespace report {

// A reading's verdict as recorded with it. Dark readings and readings without a specification are
// not judged; an angle with limits but no value makes NoValue.
enum class Verdict : std::uint8_t { NotJudged, Pass, Warn, Fail, NoValue };

struct ReportReading {
  // The date and the time as printed: from `taken` where the reading has it (SetDateAndTime),
  // else as recorded.
  QString date;
  QString time;
  // The instant it was taken, with the UTC offset it was taken in; invalid for a row that is no
  // reading of the instrument's (the test button's).
  QDateTime taken;
  QString mode20;  // mode texts: the letters L, C, D are read from them
  QString mode60;
  // The values as recorded, with either decimal mark; "---" when the instrument sent none.
  QString value20;
  QString value60;
  Verdict verdict = Verdict::NotJudged;
  QString comment;
  // Withdrawn from a batch: listed and marked, left out of the counts and the statistics.
  bool withdrawn = false;
};

// The limits of one angle in GU: a target with a ± tolerance, or only a minimum or a maximum, or
// none.
struct AngleLimits {
  std::optional<double> target;
  std::optional<double> tolerance;
  std::optional<double> minimum;
  std::optional<double> maximum;

  std::optional<double> Lower() const;
  std::optional<double> Upper() const;
  bool Any() const { return Lower() || Upper(); }
};

struct ReportSpecification {
  QString product;
  int version = 0;  // 0: not shown
  AngleLimits g20;
  AngleLimits g60;
  // Of the tolerance, or of a one-sided limit itself.
  double warningBandPercent = 10;
  std::optional<double> largestHaze;
};

struct Instrument {
  QString serial;
  QString firmware;
};

// The gloss standard the instrument was calibrated on, printed as entered.
struct CalibrationStandard {
  QString value;
  QDate date;
};

enum class PaperSize { A4, Letter };

struct ReportData {
  int language = i18n::kEnglish;
  PaperSize paper = PaperSize::A4;
  QString labName;
  // A PNG or SVG file; empty for none.
  QString logoPath;
  // Empty: a readings report, without what only a batch has (batch ID, product, specification,
  // verdicts, Cp and Cpk).
  QString batchId;
  std::optional<ReportSpecification> specification;
  QString operatorName;
  // Every instrument the readings came from, in the order first used.
  std::vector<Instrument> instruments;
  QString programVersion;
  QDateTime created;
  std::vector<ReportReading> readings;
  // A batch still open: "provisional" on every page.
  bool provisional = false;
  std::optional<CalibrationStandard> calibration;

  bool IsBatch() const { return !batchId.isEmpty(); }
};

// `taken` as the report prints a reading's date and time: ISO 8601, in the offset it was taken in.
void SetDateAndTime(ReportReading& reading, const QDateTime& taken);
// The moment of a reading in full: "2026-12-08 16:19:35 +01:00", or its texts without an instant.
QString MomentText(const ReportReading& reading);

// Letter where the locale measures in inches (the United States and the few that do as they do),
// A4 everywhere else.
PaperSize PaperSizeFor(const QLocale& locale);

// The batch's verdict from its readings: FAIL if any judged, non-withdrawn reading fails, else
// WARN if any warns, else PASS; none when no reading was judged.
std::optional<Verdict> BatchVerdict(const std::vector<ReportReading>& readings);

struct VerdictCounts {
  int readings = 0;  // not withdrawn
  int passes = 0;
  int warnings = 0;
  int fails = 0;
  int withdrawn = 0;
  int noValue = 0;
};
VerdictCounts CountVerdicts(const std::vector<ReportReading>& readings);

}  // namespace report
