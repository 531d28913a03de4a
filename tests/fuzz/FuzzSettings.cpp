// The settings file: any bytes as 318qx.ini. Reading never fails hard; writing a Language value
// and reading it back gives that value; the write keeps the file's encoding and changes nothing
// but the value (or adds the key, or the section and the key).
//
// Input: the first byte picks the value written (0 to 255, as a decimal text); the rest is the
// file.
#include <QByteArray>
#include <cstdint>
#include <vector>

#include "i18n/IniFile.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const QByteArray value = QByteArray::number(data[0]);
  const QByteArray file(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  if (const std::optional<QByteArray> old = i18n::FindIniFileValue(file, "Config", "Language")) {
    i18n::ParseIniInteger(*old);
  }
  const QByteArray updated = i18n::UpdateIniFile(file, "Config", "Language", value);
  const std::optional<QByteArray> back = i18n::FindIniFileValue(updated, "Config", "Language");
  FUZZ_CHECK(back == value, "wrote %s, read back %s", value.constData(), back ? back->constData() : "nothing");
  FUZZ_CHECK(i18n::ParseIniInteger(*back) == data[0], "value %s", back->constData());

  // One stretch changed: what the old file held there lies within one line (the old value), and
  // what stands there now is plain ASCII (the value, a key line, a section). Compared in the
  // file's own units: bytes, or UTF-16 code units after their byte-order mark.
  const bool utf16 = file.startsWith("\xFF\xFE") || file.startsWith("\xFE\xFF");
  FUZZ_CHECK(!utf16 || updated.first(2) == file.first(2), "byte-order mark lost");
  if (file.startsWith("\xEF\xBB\xBF")) FUZZ_CHECK(updated.startsWith("\xEF\xBB\xBF"), "byte-order mark lost");
  const auto units = [&](const QByteArray& bytes) {
    std::vector<std::uint32_t> out;
    if (!utf16) {
      for (const char c : bytes) out.push_back(static_cast<std::uint8_t>(c));
      return out;
    }
    const bool little = bytes[0] == '\xFF';
    qsizetype i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<std::uint8_t>(bytes[i]), b = static_cast<std::uint8_t>(bytes[i + 1]);
      out.push_back(little ? (b << 8 | a) : (a << 8 | b));
    }
    if (i < bytes.size()) out.push_back(0x10000u | static_cast<std::uint8_t>(bytes[i]));  // an odd last byte
    return out;
  };
  const std::vector<std::uint32_t> before = units(file), after = units(updated);
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  for (std::size_t i = prefix; i < before.size() - suffix; ++i) {
    FUZZ_CHECK(before[i] != '\n' && before[i] != '\r', "the write changed more than the value's line");
  }
  for (std::size_t i = prefix; i < after.size() - suffix; ++i) {
    FUZZ_CHECK(after[i] < 0x80, "the write added something that is not plain ASCII");
  }
  return 0;
}
