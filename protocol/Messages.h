// The instrument's messages: fixed 8-byte frames, one request and one reply per exchange, in the
// same buffer (the reply overwrites the request). A request sets only its own bytes; the others
// go out as the last reply left them. Replies are decoded into texts, never into numbers.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace protocol {

using Frame = std::array<std::uint8_t, 8>;

// Request codes (byte 0). Replies use the same codes, plus the two below.
enum : std::uint8_t {
  REQ_READ_BYTE = 0xA5,  // 1-2 address (high byte first), 3 = 0x00, 4 = 0xF7
  REQ_FIRMWARE = 0x5A,   // 1-2 = 0x00
  REQ_VALUE = 0x55,      // 1 = sub-code, 2-5 = 0x00
  REQ_SHOT = 0xBB,
  REQ_DARK = 0xDD,
  REQ_GEO_20 = 0xE0,
  REQ_GEO_60 = 0xE1,
  REQ_GEO_BOTH = 0xE2,
  REQ_ORIENT_NORMAL = 0xE3,
  REQ_ORIENT_180 = 0xE4,
  REQ_RELEASE_20 = 0xE5,
  REQ_RELEASE_60 = 0xE6,
  REQ_LOCK_20 = 0xE7,
  REQ_LOCK_60 = 0xE8,
  REQ_RELEASE_DARK_1 = 0xE9,
  REQ_RELEASE_DARK_2 = 0xEA,
  REQ_LOCK_DARK_1 = 0xEB,
  REQ_LOCK_DARK_2 = 0xEC,
  REP_GEO_NONE = 0xED,  // reply: no measuring geometry
};

// Sub-codes of REQ_VALUE and of its replies (byte 1).
enum : std::uint8_t {
  kValue60First = 0x00,
  kValue60Second = 0x01,
  kValue20First = 0x02,
  kValue20Second = 0x03,
  REP_GEO_REPORT = 0xF0,  // reply: byte 2 is the geometry code in use
};

// Request builders: each sets only the bytes of its request.
void BuildReadByte(Frame& f, std::uint16_t address);
void BuildFirmware(Frame& f);
void BuildValue(Frame& f, std::uint8_t subCode);
void BuildCommand(Frame& f, std::uint8_t code);  // requests that carry nothing but their code

// Firmware text of reply 0x5A: "%02X " for byte A and byte B, or "No 318 QX -Device" when byte A
// is below 8.
QString FirmwareText(std::uint8_t a, std::uint8_t b);

// A value: characters c0 to c7 and the mode byte.
struct Value {
  std::array<std::uint8_t, 8> c{};
  std::uint8_t mode = 0;
};

// Joins a first half F0-F3 and a second half S0-S3: c = F0 F1 blank F3 S0 S1 S2 S3, mode = F2.
Value AssembleValue(const std::array<std::uint8_t, 4>& first, const std::uint8_t* second);
// 60° values: each '.' and ',' becomes the system's decimal separator.
void ApplyDecimalMark60(Value& v, std::uint8_t systemSeparator);
// 20° values: each '.' becomes ','.
void ApplyDecimalMark20(Value& v);
// Display text: each character followed by a blank. Table text: the characters alone. A byte
// 0x00 contributes nothing, not even its blank; a control byte shows as a blank, so that no text
// of the table ever holds a line break or a TAB.
QString DisplayText(const Value& v);
QString TableText(const Value& v);

// Mode letter places from the mode byte: "L" (bit 1), "C" (bit 0), "D" (bit 3), each " " when
// its bit is clear.
std::array<QString, 3> ModeLetters(std::uint8_t mode);

// Serial text: each of the ten characters followed by a blank; characters 0x00 contribute nothing,
// control bytes show as blanks.
QString SerialText(const std::array<std::uint8_t, 10>& chars);
// The serial number itself, without the blanks the display puts between its characters (for
// records that name the instrument).
QString SerialNumber(const std::array<std::uint8_t, 10>& chars);

// Suffix of the geometry text for a geometry code: 0 ": -----", 1 ": 60°", 2 ": 20°",
// 3 ": 20° + 60°", anything else ": undef".
QString GeometrySuffix(int code);

// The system's decimal separator as a Windows-1252 byte ('.' when it has none there).
std::uint8_t SystemDecimalSeparator();

// C0 controls, DEL and the C1 controls.
bool IsControlCharacter(QChar c);
// Trim as the table applies it: leading and trailing blanks and control characters go.
QString TrimText(const QString& text);
// One line of text for the table: each control character becomes one blank.
QString OneLineText(QString text);

}  // namespace protocol
