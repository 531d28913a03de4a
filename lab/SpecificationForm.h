// A specification as the operator types it: every field a text, read with either decimal mark,
// checked field by field so that each problem is told next to its field, and turned into limits
// only when every field is good.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "lab/LabTexts.h"
#include "lab/Verdict.h"

namespace lab {

enum class SpecField : int {
  Name = 0,
  Target20,
  Tolerance20,
  Minimum20,
  Maximum20,
  Target60,
  Tolerance60,
  Minimum60,
  Maximum60,
  WarningBand,
  LargestHaze,
};
inline constexpr int kSpecFields = 11;

// The label of each field (its accessible name too).
LabText FieldLabel(SpecField field);

struct SpecificationForm {
  std::array<QString, kSpecFields> texts;

  QString& operator[](SpecField f) { return texts[static_cast<std::size_t>(f)]; }
  const QString& operator[](SpecField f) const { return texts[static_cast<std::size_t>(f)]; }
  // The form of a stored specification (band 10 % for a new one).
  static SpecificationForm From(const QString& name, const Limits& limits);
};

struct FieldProblem {
  SpecField field;
  LabText message;
};

// The problems of the form, each at the field it concerns; `otherNames` are the names of the other
// products (compared without regard to case and surrounding blanks). Without problems `limits`
// holds what the form says.
std::vector<FieldProblem> CheckSpecification(const SpecificationForm& form, const std::vector<QString>& otherNames,
                                             Limits& limits);

}  // namespace lab
