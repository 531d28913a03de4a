#include "report/BatchReportData.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>

namespace report {
namespace {

double Gu(lab::Centi value) { return static_cast<double>(value) / 100.0; }

AngleLimits LimitsOf(const lab::AngleLimits& limits) {
  AngleLimits out;
  switch (limits.kind) {
    case lab::AngleLimits::Kind::Tolerance:
      out.target = Gu(limits.target);
      out.tolerance = Gu(limits.tolerance);
      break;
    case lab::AngleLimits::Kind::Minimum:
      out.minimum = Gu(limits.limit);
      break;
    case lab::AngleLimits::Kind::Maximum:
      out.maximum = Gu(limits.limit);
      break;
    case lab::AngleLimits::Kind::None:
      break;
  }
  return out;
}

Verdict VerdictOf(lab::Verdict verdict) {
  switch (verdict) {
    case lab::Verdict::Pass:
      return Verdict::Pass;
    case lab::Verdict::Warn:
      return Verdict::Warn;
    case lab::Verdict::NoValue:
      return Verdict::NoValue;
    case lab::Verdict::Fail:
      return Verdict::Fail;
    case lab::Verdict::NotJudged:
      break;
  }
  return Verdict::NotJudged;
}

}  // namespace

ReportSpecification ReportSpecificationOf(const lab::Specification& spec) {
  ReportSpecification out;
  out.product = spec.name;
  out.version = spec.version;
  out.g20 = LimitsOf(spec.limits.angle[static_cast<std::size_t>(lab::Angle::G20)]);
  out.g60 = LimitsOf(spec.limits.angle[static_cast<std::size_t>(lab::Angle::G60)]);
  out.warningBandPercent = spec.limits.bandBasisPoints / 100.0;
  if (spec.limits.hazeMax) out.largestHaze = Gu(*spec.limits.hazeMax);
  return out;
}

ReportData BatchReportData(const lab::Batch& batch, const std::optional<lab::Specification>& spec,
                           const std::vector<lab::Reading>& readings, int language) {
  ReportData data;
  data.language = language;
  data.paper = PaperSizeFor(QLocale::system());
  data.programVersion = QCoreApplication::applicationVersion();
  data.created = QDateTime::currentDateTime();
  data.batchId = batch.batchId;
  if (spec) data.specification = ReportSpecificationOf(*spec);
  data.operatorName = batch.operatorName;
  data.provisional = batch.Open();
  data.readings.reserve(readings.size());
  for (const lab::Reading& r : readings) {
    const auto& t = r.input.texts;
    ReportReading out;
    out.date = t[lab::kDate];
    out.time = t[lab::kTime];
    SetDateAndTime(out, r.input.taken.ToDateTime());
    out.mode20 = t[lab::kMode20];
    out.mode60 = t[lab::kMode60];
    out.value20 = t[lab::kValue20];
    out.value60 = t[lab::kValue60];
    out.verdict = VerdictOf(r.judgement.reading);
    out.comment = r.comment;
    out.withdrawn = r.withdrawn.has_value();
    data.readings.push_back(std::move(out));

    const Instrument instrument{r.input.serial.trimmed(), r.input.firmware.trimmed()};
    if (instrument.serial.isEmpty() && instrument.firmware.isEmpty()) continue;
    const bool known = std::any_of(data.instruments.begin(), data.instruments.end(), [&](const Instrument& i) {
      return i.serial == instrument.serial && i.firmware == instrument.firmware;
    });
    if (!known) data.instruments.push_back(instrument);
  }
  return data;
}

std::optional<ReportData> BatchReportData(lab::LabStore& store, std::int64_t batch, int language) {
  const std::optional<lab::Batch> b = store.BatchById(batch);
  if (!b) return std::nullopt;
  std::optional<lab::Specification> spec;
  if (b->specification) {
    spec = store.SpecificationVersion(*b->specification);
    // Judged against limits the report could not name: no report rather than a wrong one.
    if (!spec) return std::nullopt;
  }
  return BatchReportData(*b, spec, store.Readings(batch), language);
}

}  // namespace report
