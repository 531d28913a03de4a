#include "lab/SpecificationForm.h"

#include <cmath>

namespace lab {

LabText FieldLabel(SpecField field) {
  switch (field) {
    case SpecField::Name:
      return LabText::Name;
    case SpecField::Target20:
      return LabText::Target20;
    case SpecField::Tolerance20:
      return LabText::Tolerance20;
    case SpecField::Minimum20:
      return LabText::Minimum20;
    case SpecField::Maximum20:
      return LabText::Maximum20;
    case SpecField::Target60:
      return LabText::Target60;
    case SpecField::Tolerance60:
      return LabText::Tolerance60;
    case SpecField::Minimum60:
      return LabText::Minimum60;
    case SpecField::Maximum60:
      return LabText::Maximum60;
    case SpecField::WarningBand:
      return LabText::WarningBand;
    case SpecField::LargestHaze:
      return LabText::LargestHaze;
  }
  return LabText::Name;
}

SpecificationForm SpecificationForm::From(const QString& name, const Limits& limits) {
  SpecificationForm form;
  form[SpecField::Name] = name;
  for (int a = 0; a < kAngles; ++a) {
    const AngleLimits& l = limits.angle[static_cast<std::size_t>(a)];
    const int base = static_cast<int>(a == 0 ? SpecField::Target20 : SpecField::Target60);
    auto at = [&](int offset) -> QString& { return form.texts[static_cast<std::size_t>(base + offset)]; };
    switch (l.kind) {
      case AngleLimits::Kind::Tolerance:
        at(0) = FormatCenti(l.target);
        at(1) = FormatCenti(l.tolerance);
        break;
      case AngleLimits::Kind::Minimum:
        at(2) = FormatCenti(l.limit);
        break;
      case AngleLimits::Kind::Maximum:
        at(3) = FormatCenti(l.limit);
        break;
      case AngleLimits::Kind::None:
        break;
    }
  }
  form[SpecField::WarningBand] = FormatCenti(limits.bandBasisPoints);
  if (limits.hazeMax) form[SpecField::LargestHaze] = FormatCenti(*limits.hazeMax);
  return form;
}

namespace {

// A number of at least 0 (hundredths), none for an empty field; false for anything else.
bool ReadNonNegative(const QString& text, std::optional<Centi>& value) {
  value.reset();
  if (text.trimmed().isEmpty()) return true;
  value = ParseCenti(text);
  return value && *value >= 0;
}

}  // namespace

std::vector<FieldProblem> CheckSpecification(const SpecificationForm& form, const std::vector<QString>& otherNames,
                                             Limits& limits) {
  std::vector<FieldProblem> problems;
  Limits result;

  const QString name = form[SpecField::Name].trimmed();
  if (name.isEmpty()) {
    problems.push_back({SpecField::Name, LabText::NameEmpty});
  } else {
    for (const QString& other : otherNames) {
      if (other.trimmed().compare(name, Qt::CaseInsensitive) == 0) {
        problems.push_back({SpecField::Name, LabText::NameTaken});
        break;
      }
    }
  }

  for (int a = 0; a < kAngles; ++a) {
    const SpecField target = a == 0 ? SpecField::Target20 : SpecField::Target60;
    const auto field = [&](int offset) { return static_cast<SpecField>(static_cast<int>(target) + offset); };
    std::optional<Centi> values[4];
    bool good = true;
    if (!ReadNonNegative(form[field(0)], values[0])) {
      problems.push_back({field(0), LabText::TargetInvalid});
      good = false;
    }
    if (!ReadNonNegative(form[field(1)], values[1]) || (values[1] && *values[1] <= 0)) {
      problems.push_back({field(1), LabText::ToleranceInvalid});
      good = false;
    }
    for (int i = 2; i < 4; ++i) {
      if (!ReadNonNegative(form[field(i)], values[i])) {
        problems.push_back({field(i), LabText::LimitInvalid});
        good = false;
      }
    }
    if (!good) continue;
    const bool around = values[0] || values[1];
    const int kinds = (around ? 1 : 0) + (values[2] ? 1 : 0) + (values[3] ? 1 : 0);
    AngleLimits& l = result.angle[static_cast<std::size_t>(a)];
    if (kinds > 1 || (around && !(values[0] && values[1]))) {
      // Told at the field that is missing its partner, or at the first of the fields that clash.
      SpecField at = values[2] ? field(2) : field(3);
      if (around && !values[0]) at = field(0);
      if (around && values[0] && !values[1]) at = field(1);
      problems.push_back({at, LabText::LimitsMixed});
    } else if (around) {
      l = AngleLimits::Around(*values[0], *values[1]);
    } else if (values[2]) {
      l = AngleLimits::AtLeast(*values[2]);
    } else if (values[3]) {
      l = AngleLimits::AtMost(*values[3]);
    }
  }

  const QString band = form[SpecField::WarningBand].trimmed();
  const std::optional<Centi> bandValue = band.isEmpty() ? std::optional<Centi>(1000) : ParseCenti(band);
  if (!bandValue || *bandValue < 0 || *bandValue > 5000) {
    problems.push_back({SpecField::WarningBand, LabText::BandInvalid});
  } else {
    result.bandBasisPoints = static_cast<int>(*bandValue);
  }

  if (!ReadNonNegative(form[SpecField::LargestHaze], result.hazeMax)) {
    problems.push_back({SpecField::LargestHaze, LabText::HazeInvalid});
  }

  if (problems.empty()) limits = result;
  return problems;
}

}  // namespace lab
