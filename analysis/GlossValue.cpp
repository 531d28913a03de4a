#include "analysis/GlossValue.h"

#include <algorithm>
#include <charconv>

namespace analysis {

std::optional<GlossValue> ParseGlossValue(QStringView text) {
  text = text.trimmed();
  // The instrument sends eight characters; anything much longer is no reading.
  constexpr qsizetype kLongest = 16;
  if (text.isEmpty() || text.size() > kLongest) return std::nullopt;

  char digits[kLongest + 1];
  int length = 0;
  int decimals = 0;
  int digitCount = 0;
  bool mark = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c >= u'0' && c <= u'9') {
      digits[length++] = static_cast<char>(c);
      ++digitCount;
      if (mark) ++decimals;
    } else if ((c == u',' || c == u'.') && !mark) {
      mark = true;
      digits[length++] = '.';
    } else if ((c == u'-' || c == u'+') && i == 0) {
      if (c == u'-') digits[length++] = '-';
    } else {
      return std::nullopt;
    }
  }
  if (digitCount == 0) return std::nullopt;

  GlossValue result;
  result.decimals = decimals;
  const auto [end, error] = std::from_chars(digits, digits + length, result.value);
  if (error != std::errc() || end != digits + length) return std::nullopt;
  return result;
}

std::uint8_t ModeLetters(QStringView modeText) {
  std::uint8_t bits = 0;
  for (int i = 0; i < 3; ++i) {
    if (modeText.contains(QLatin1Char(kModeLetters[i]))) bits |= static_cast<std::uint8_t>(1u << i);
  }
  return bits;
}

QString FormatNumber(double value, int decimals, QChar mark) {
  QString text = QString::number(value, 'f', decimals);
  // A mean a hair below zero rounds to zero and is shown as zero.
  if (text.startsWith(QLatin1Char('-')) && std::all_of(text.begin() + 1, text.end(), [](QChar c) {
        return c == QLatin1Char('0') || c == QLatin1Char('.');
      })) {
    text.remove(0, 1);
  }
  return text.replace(QLatin1Char('.'), mark);
}

}  // namespace analysis
