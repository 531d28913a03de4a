// A small routine of our own for INI files: it reads one key and updates one key while every
// other byte of the file stays as it was (other sections and keys, comments, line ends, the case
// of names). Section and key names match without regard to case; the first match counts.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace i18n {

// An integer as the settings file may hold it: decimal, or hexadecimal after "0x" or "$", with an
// optional sign and surrounding blanks. Anything else, or a value outside 32 bits, is no integer.
std::optional<int> ParseIniInteger(QByteArrayView text);

// The value of `key` in `section` of an INI text, without surrounding blanks and quotes.
std::optional<QByteArray> FindIniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key);

// The INI text with `key` in `section` set to `value`. The key's line keeps its name as written;
// a missing key is added after the last line of its section, a missing section at the end. New
// lines take the line end the text already uses (CR LF for a new text).
QByteArray UpdateIniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key, QByteArrayView value);

// The same for the bytes of a whole file, in the encodings the Windows profile routines take:
// 8-bit text, UTF-8 after a byte-order mark, UTF-16 (little- or big-endian) after a byte-order
// mark. Writing keeps the mark and the encoding; every byte but the value's stays as it was.
std::optional<QByteArray> FindIniFileValue(const QByteArray& file, QByteArrayView section, QByteArrayView key);
QByteArray UpdateIniFile(const QByteArray& file, QByteArrayView section, QByteArrayView key, QByteArrayView value);

// The integer under `key`, or `fallback` when the file, the section or the key is missing or the
// value is no integer.
int ReadIniInteger(const QString& path, QByteArrayView section, QByteArrayView key, int fallback);

// Writes `value` under `key`, creating the file, the section or the key when missing. On failure
// returns false and puts the reason in `error`; the file is then unchanged, unless it could only be
// written in place and even its old bytes could not be put back (`oldContentLost`).
bool WriteIniValue(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView value,
                   QString& error, bool* oldContentLost = nullptr);

}  // namespace i18n
