#include "labsync/station/Convert.h"

namespace labsync::station {
namespace {

lab::AngleLimits AngleOf(const AngleLimits& a) {
  // ReadLabProducts and ReadSpecificationVersion let through one kind per angle at most.
  if (a.target && a.tolerance) return lab::AngleLimits::Around(*a.target, *a.tolerance);
  if (a.minimum) return lab::AngleLimits::AtLeast(*a.minimum);
  if (a.maximum) return lab::AngleLimits::AtMost(*a.maximum);
  return lab::AngleLimits::None();
}

AngleLimits AngleOf(const lab::AngleLimits& a) {
  AngleLimits l;
  switch (a.kind) {
    case lab::AngleLimits::Kind::Tolerance:
      l.target = a.target;
      l.tolerance = a.tolerance;
      break;
    case lab::AngleLimits::Kind::Minimum:
      l.minimum = a.limit;
      break;
    case lab::AngleLimits::Kind::Maximum:
      l.maximum = a.limit;
      break;
    case lab::AngleLimits::Kind::None:
      break;
  }
  return l;
}

lab::Verdict VerdictOf(Verdict v) {
  switch (v) {
    case Verdict::Pass:
      return lab::Verdict::Pass;
    case Verdict::Warn:
      return lab::Verdict::Warn;
    case Verdict::Fail:
      return lab::Verdict::Fail;
    case Verdict::NoValue:
      return lab::Verdict::NoValue;
    case Verdict::NotJudged:
      break;
  }
  return lab::Verdict::NotJudged;
}

}  // namespace

lab::Limits LimitsOf(const SpecificationAdded& version) {
  lab::Limits limits;
  limits.angle = {AngleOf(version.at20), AngleOf(version.at60)};
  limits.bandBasisPoints = static_cast<int>(version.warningBand);
  limits.hazeMax = version.largestHaze;
  return limits;
}

void SetLimits(SpecificationAdded& version, const lab::Limits& limits) {
  version.at20 = AngleOf(limits.angle[0]);
  version.at60 = AngleOf(limits.angle[1]);
  version.warningBand = limits.bandBasisPoints;
  version.largestHaze = limits.hazeMax;
}

lab::Specification SpecificationOf(const SpecificationAdded& version) {
  lab::Specification spec;
  spec.uuid = version.specification;
  spec.product = version.productUuid;
  spec.version = version.version;
  spec.state = version.state == SpecificationState::Retired   ? lab::Specification::State::Retired
               : version.state == SpecificationState::Deleted ? lab::Specification::State::Deleted
                                                              : lab::Specification::State::Active;
  spec.name = version.product;
  spec.limits = LimitsOf(version);
  spec.created = lab::Instant::Of(version.at);
  return spec;
}

lab::LabProductCopy CopyOf(const LabProduct& product) {
  lab::LabProductCopy copy;
  copy.name = product.name;
  copy.retired = product.retired;
  copy.specification = product.version.specification;
  copy.product = product.version.productUuid;
  copy.version = product.version.version;
  copy.limits = LimitsOf(product.version);
  copy.created = lab::Instant::Of(product.version.at);
  return copy;
}

lab::Batch BatchOf(const LabBatch& batch) {
  lab::Batch b;
  b.uuid = batch.batch;
  b.batchId = batch.batchId;
  b.product = batch.product;
  b.operatorName = batch.operatorName;
  b.started = lab::Instant::Of(batch.startedAt);
  if (batch.closedAt) b.closed = lab::Instant::Of(*batch.closedAt);
  b.readings = static_cast<int>(batch.readings);
  b.passes = static_cast<int>(batch.passes);
  b.warnings = static_cast<int>(batch.warnings);
  b.fails = static_cast<int>(batch.fails);
  return b;
}

std::vector<lab::Reading> ReadingsOf(const std::vector<LabReading>& readings) {
  std::vector<lab::Reading> out;
  out.reserve(readings.size());
  for (const LabReading& x : readings) {
    lab::Reading& r = out.emplace_back();
    r.input.uuid = x.reading;
    r.input.taken = lab::Instant::Of(x.takenAt);
    r.input.texts = {x.date, x.time, x.mode20, x.mode60, x.value20Text, x.value60Text};
    r.input.comment = x.comment;
    r.input.serial = x.serial;
    r.input.firmware = x.firmware;
    r.comment = x.comment;
    r.values = {x.value20, x.value60};
    r.dark = x.mode20.contains(QLatin1Char('D')) || x.mode60.contains(QLatin1Char('D'));
    r.judgement.angle = {VerdictOf(x.verdict20), VerdictOf(x.verdict60)};
    r.judgement.haze = VerdictOf(x.verdictHaze);
    r.judgement.reading = VerdictOf(x.verdict);
    if (x.withdrawnAt) r.withdrawn = lab::Instant::Of(*x.withdrawnAt);
  }
  return out;
}

}  // namespace labsync::station
