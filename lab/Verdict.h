// The verdict rules: a reading judged against a specification.
//
// Values and limits are integer hundredths of a GU, so a limit is exact: 80.00 is 8000 and a value
// of 79.99 is below it, whatever a double would make of either. Limits are inclusive. A value
// outside its limits is FAIL; inside, but within the warning band next to a limit, WARN; otherwise
// PASS. The band is a percentage of the tolerance for a target ± tolerance, and of the limit itself
// for a one-sided minimum or maximum (and for the largest haze index); a value exactly at the
// band's inner edge is a PASS, so a band of 0 % warns of nothing. An angle with limits but without
// a value is NO VALUE, never a pass; haze is judged only where both values exist; a dark reading
// (mode letter D) is recorded but not judged. The reading's verdict is the worst of its angles and
// its haze, worst first: FAIL, NO VALUE, WARN, PASS.
#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>

namespace lab {

// Hundredths of a GU.
using Centi = std::int64_t;

// A gloss value or limit as the operator or the instrument writes it: an optional sign, digits,
// at most one ',' or '.', blanks around it. Beyond two decimals it is rounded half away from zero.
// "---", an empty text, exponents and anything else are no number.
std::optional<Centi> ParseCenti(QStringView text);
// Hundredths as a plain number with '.' and no more decimals than needed ("75.3", "-2.05", "80").
QString FormatCenti(Centi value);

enum class Angle : int { G20 = 0, G60 = 1 };
inline constexpr int kAngles = 2;

// The limits of one angle: a target with a ± tolerance, or only a minimum, or only a maximum, or
// none.
struct AngleLimits {
  enum class Kind : std::uint8_t { None, Tolerance, Minimum, Maximum };
  Kind kind = Kind::None;
  Centi target = 0;     // Tolerance
  Centi tolerance = 0;  // Tolerance, > 0
  Centi limit = 0;      // Minimum or Maximum

  static AngleLimits None() { return {}; }
  static AngleLimits Around(Centi target, Centi tolerance) { return {Kind::Tolerance, target, tolerance, 0}; }
  static AngleLimits AtLeast(Centi minimum) { return {Kind::Minimum, 0, 0, minimum}; }
  static AngleLimits AtMost(Centi maximum) { return {Kind::Maximum, 0, 0, maximum}; }
  bool operator==(const AngleLimits&) const = default;
};

// What a reading is judged against: one specification version's limits.
struct Limits {
  std::array<AngleLimits, kAngles> angle{};
  // The warning band in hundredths of a percent (1000: 10 %).
  int bandBasisPoints = 1000;
  // The largest haze index G60 - G20, when there is one.
  std::optional<Centi> hazeMax;

  bool JudgesAnything() const;
  bool operator==(const Limits&) const = default;
};

// NotJudged: no specification, no limits, or a dark reading.
enum class Verdict : std::uint8_t { NotJudged = 0, Pass, Warn, NoValue, Fail };

// The worse of two verdicts.
Verdict Worse(Verdict a, Verdict b);
// "pass", "warn", "no_value", "fail", "" (not judged): the record's and the outbox's words.
const char* VerdictKey(Verdict v);
Verdict VerdictFromKey(QStringView key);

struct Judgement {
  std::array<Verdict, kAngles> angle{};
  Verdict haze = Verdict::NotJudged;
  Verdict reading = Verdict::NotJudged;
  // Per angle: the signed distance of the value from its target, or from its one limit.
  std::array<std::optional<Centi>, kAngles> distance{};
};

// `values` are the reading's 20° and 60° values (none: "---" or empty).
Judgement Judge(const Limits& limits, const std::array<std::optional<Centi>, kAngles>& values, bool dark);

}  // namespace lab
