// Reading the table's value and mode texts as numbers. The table keeps what the instrument sent:
// the 20° value with ',' and the 60° value with the system's mark, so both marks are read. "---",
// an empty text and anything else that is no plain decimal number are not numbers.
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace analysis {

struct GlossValue {
  double value = 0;
  // Digits after the decimal mark as written, so that results can show one more.
  int decimals = 0;
};

// An optional sign, digits, and at most one ',' or '.' among them; blanks around it are allowed,
// blanks inside are not. No exponents, no "inf" or "nan", no thousands marks.
std::optional<GlossValue> ParseGlossValue(QStringView text);

// The mode letters a mode text carries, as bits.
enum ModeLetter : std::uint8_t { kLetterL = 1, kLetterC = 2, kLetterD = 4 };
inline constexpr char kModeLetters[3] = {'L', 'C', 'D'};
std::uint8_t ModeLetters(QStringView modeText);

// `value` with `decimals` decimals and `mark` as the decimal mark; never "-0.00".
QString FormatNumber(double value, int decimals, QChar mark);

}  // namespace analysis
