#include "protocol/Cp1252.h"

namespace protocol {
namespace {

// 0x80 to 0x9F; the five unassigned bytes map to the control characters of the same number.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

QChar Cp1252ToUnicode(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return QChar(kHigh[byte - 0x80]);
  return QChar(static_cast<char16_t>(byte));
}

bool UnicodeToCp1252(QChar c, std::uint8_t& byte) {
  const char16_t u = c.unicode();
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
    byte = static_cast<std::uint8_t>(u);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == u) {
      byte = static_cast<std::uint8_t>(0x80 + i);
      return true;
    }
  }
  return false;
}

QString Cp1252Decode(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  for (const char b : bytes) text.append(Cp1252ToUnicode(static_cast<std::uint8_t>(b)));
  return text;
}

QByteArray Cp1252Encode(const QString& text, int* unmappable) {
  QByteArray bytes;
  bytes.reserve(text.size());
  int missing = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    // A character outside the basic plane is one character, written as one '?'.
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    std::uint8_t b = 0;
    if (!UnicodeToCp1252(c, b)) {
      b = '?';
      ++missing;
    }
    bytes.append(static_cast<char>(b));
  }
  if (unmappable != nullptr) *unmappable = missing;
  return bytes;
}

}  // namespace protocol
