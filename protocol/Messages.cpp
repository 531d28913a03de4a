#include "protocol/Messages.h"

#include <QLocale>
#include <algorithm>

#include "protocol/Cp1252.h"

namespace protocol {
namespace {

QString HexByte(std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const QChar text[3] = {QChar(kDigits[b >> 4]), QChar(kDigits[b & 0x0F]), QChar(' ')};
  return QString(text, 3);
}

// A character of an instrument text.
QChar InstrumentChar(std::uint8_t byte) {
  const QChar c = Cp1252ToUnicode(byte);
  return IsControlCharacter(c) ? QChar(u' ') : c;
}

}  // namespace

void BuildReadByte(Frame& f, std::uint16_t address) {
  f[0] = REQ_READ_BYTE;
  f[1] = static_cast<std::uint8_t>(address >> 8);
  f[2] = static_cast<std::uint8_t>(address);
  f[3] = 0x00;
  f[4] = 0xF7;
}

void BuildFirmware(Frame& f) {
  f[0] = REQ_FIRMWARE;
  f[1] = 0x00;
  f[2] = 0x00;
}

void BuildValue(Frame& f, std::uint8_t subCode) {
  f[0] = REQ_VALUE;
  f[1] = subCode;
  f[2] = f[3] = f[4] = f[5] = 0x00;
}

void BuildCommand(Frame& f, std::uint8_t code) { f[0] = code; }

QString FirmwareText(std::uint8_t a, std::uint8_t b) {
  if (a < 8) return QStringLiteral("No 318 QX -Device");
  return HexByte(a) + HexByte(b);
}

Value AssembleValue(const std::array<std::uint8_t, 4>& first, const std::uint8_t* second) {
  Value v;
  v.c = {first[0], first[1], ' ', first[3], second[0], second[1], second[2], second[3]};
  v.mode = first[2];
  return v;
}

void ApplyDecimalMark60(Value& v, std::uint8_t systemSeparator) {
  for (std::uint8_t& ch : v.c) {
    if (ch == '.' || ch == ',') ch = systemSeparator;
  }
}

void ApplyDecimalMark20(Value& v) {
  for (std::uint8_t& ch : v.c) {
    if (ch == '.') ch = ',';
  }
}

QString DisplayText(const Value& v) {
  QString text;
  text.reserve(16);
  for (const std::uint8_t ch : v.c) {
    if (ch == 0) continue;
    text.append(InstrumentChar(ch));
    text.append(QChar(' '));
  }
  return text;
}

QString TableText(const Value& v) {
  QString text;
  text.reserve(8);
  for (const std::uint8_t ch : v.c) {
    if (ch != 0) text.append(InstrumentChar(ch));
  }
  return text;
}

std::array<QString, 3> ModeLetters(std::uint8_t mode) {
  return {(mode & 0x02) ? QStringLiteral("L") : QStringLiteral(" "),
          (mode & 0x01) ? QStringLiteral("C") : QStringLiteral(" "),
          (mode & 0x08) ? QStringLiteral("D") : QStringLiteral(" ")};
}

QString SerialNumber(const std::array<std::uint8_t, 10>& chars) {
  QString text;
  for (const std::uint8_t ch : chars) {
    if (ch != 0) text.append(InstrumentChar(ch));
  }
  return text.trimmed();
}

QString SerialText(const std::array<std::uint8_t, 10>& chars) {
  QString text;
  text.reserve(20);
  for (const std::uint8_t ch : chars) {
    if (ch == 0) continue;
    text.append(InstrumentChar(ch));
    text.append(QChar(' '));
  }
  return text;
}

QString GeometrySuffix(int code) {
  switch (code) {
    case 0:
      return QStringLiteral(": -----");
    case 1:
      return QStringLiteral(": 60°");
    case 2:
      return QStringLiteral(": 20°");
    case 3:
      return QStringLiteral(": 20° + 60°");
    default:
      return QStringLiteral(": undef");
  }
}

std::uint8_t SystemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  std::uint8_t byte = '.';
  if (point.size() != 1 || !UnicodeToCp1252(point.front(), byte)) return '.';
  return byte;
}

bool IsControlCharacter(QChar c) {
  const char16_t u = c.unicode();
  return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

QString TrimText(const QString& text) {
  const auto trimmed = [](QChar c) { return c == u' ' || IsControlCharacter(c); };
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && trimmed(text[begin])) ++begin;
  while (end > begin && trimmed(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

QString OneLineText(QString text) {
  // Most texts hold none: they are left shared, not detached.
  const auto control = std::find_if(text.cbegin(), text.cend(), IsControlCharacter);
  if (control == text.cend()) return text;
  for (qsizetype i = control - text.cbegin(); i < text.size(); ++i) {
    if (IsControlCharacter(text[i])) text[i] = u' ';
  }
  return text;
}

}  // namespace protocol
