#include "lab/Verdict.h"

#include <algorithm>

namespace lab {

std::optional<Centi> ParseCenti(QStringView text) {
  text = text.trimmed();
  if (text.isEmpty()) return std::nullopt;
  bool negative = false;
  if (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')) {
    negative = text.front() == QLatin1Char('-');
    text = text.mid(1);
  }
  Centi whole = 0;
  Centi fraction = 0;  // hundredths
  int decimals = 0;
  bool mark = false;
  bool roundUp = false;
  int digits = 0;
  for (const QChar c : text) {
    if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
      if (mark) return std::nullopt;
      mark = true;
      continue;
    }
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    const int d = c.unicode() - '0';
    ++digits;
    if (!mark) {
      // Far beyond any gloss scale, and well inside 64 bits once in hundredths.
      if (whole > 1'000'000'000'000LL) return std::nullopt;
      whole = whole * 10 + d;
    } else if (decimals < 2) {
      fraction = fraction * 10 + d;
      ++decimals;
    } else if (decimals == 2) {
      roundUp = d >= 5;
      ++decimals;
    }
  }
  if (digits == 0) return std::nullopt;
  for (; decimals < 2; ++decimals) fraction *= 10;
  const Centi magnitude = whole * 100 + fraction + (roundUp ? 1 : 0);
  return negative ? -magnitude : magnitude;
}

QString FormatCenti(Centi value) {
  const bool negative = value < 0;
  const Centi magnitude = negative ? -value : value;
  QString text = QString::number(magnitude / 100);
  const Centi hundredths = magnitude % 100;
  if (hundredths != 0) {
    text += QLatin1Char('.') + QString::number(hundredths / 10);
    if (hundredths % 10 != 0) text += QString::number(hundredths % 10);
  }
  return negative ? QLatin1Char('-') + text : text;
}

bool Limits::JudgesAnything() const {
  return hazeMax.has_value() || std::any_of(angle.begin(), angle.end(),
                                            [](const AngleLimits& a) { return a.kind != AngleLimits::Kind::None; });
}

Verdict Worse(Verdict a, Verdict b) { return static_cast<int>(a) >= static_cast<int>(b) ? a : b; }

const char* VerdictKey(Verdict v) {
  switch (v) {
    case Verdict::Pass:
      return "pass";
    case Verdict::Warn:
      return "warn";
    case Verdict::NoValue:
      return "no_value";
    case Verdict::Fail:
      return "fail";
    case Verdict::NotJudged:
      break;
  }
  return "";
}

Verdict VerdictFromKey(QStringView key) {
  for (const Verdict v : {Verdict::Pass, Verdict::Warn, Verdict::NoValue, Verdict::Fail}) {
    if (key == QLatin1String(VerdictKey(v))) return v;
  }
  return Verdict::NotJudged;
}

namespace {

// Within the band next to `limit`: `inside` is how far the value lies inside it (>= 0), and the
// band is `basisPoints` hundredths of a percent of `basis`. Compared without dividing, so exactly.
bool InBand(Centi inside, Centi basis, int basisPoints) {
  if (basis < 0) basis = -basis;
  return inside * 10000 < basis * basisPoints;
}

Verdict JudgeLow(Centi value, Centi low, Centi basis, int band) {
  if (value < low) return Verdict::Fail;
  return InBand(value - low, basis, band) ? Verdict::Warn : Verdict::Pass;
}

Verdict JudgeHigh(Centi value, Centi high, Centi basis, int band) {
  if (value > high) return Verdict::Fail;
  return InBand(high - value, basis, band) ? Verdict::Warn : Verdict::Pass;
}

Verdict JudgeAngle(const AngleLimits& limits, std::optional<Centi> value, int band, std::optional<Centi>& distance) {
  using Kind = AngleLimits::Kind;
  if (limits.kind == Kind::None) return Verdict::NotJudged;
  if (!value) return Verdict::NoValue;
  switch (limits.kind) {
    case Kind::Tolerance: {
      distance = *value - limits.target;
      return Worse(JudgeLow(*value, limits.target - limits.tolerance, limits.tolerance, band),
                   JudgeHigh(*value, limits.target + limits.tolerance, limits.tolerance, band));
    }
    case Kind::Minimum:
      distance = *value - limits.limit;
      return JudgeLow(*value, limits.limit, limits.limit, band);
    case Kind::Maximum:
      distance = *value - limits.limit;
      return JudgeHigh(*value, limits.limit, limits.limit, band);
    case Kind::None:
      break;
  }
  return Verdict::NotJudged;
}

}  // namespace

Judgement Judge(const Limits& limits, const std::array<std::optional<Centi>, kAngles>& values, bool dark) {
  Judgement j;
  if (dark) return j;
  for (int a = 0; a < kAngles; ++a) {
    const auto i = static_cast<std::size_t>(a);
    j.angle[i] = JudgeAngle(limits.angle[i], values[i], limits.bandBasisPoints, j.distance[i]);
    j.reading = Worse(j.reading, j.angle[i]);
  }
  if (limits.hazeMax && values[0] && values[1]) {
    j.haze = JudgeHigh(*values[1] - *values[0], *limits.hazeMax, *limits.hazeMax, limits.bandBasisPoints);
    j.reading = Worse(j.reading, j.haze);
  }
  return j;
}

}  // namespace lab
