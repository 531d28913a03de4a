// Windows-1252 ("the ANSI code page"), the 8-bit text of the instrument and of the export file.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstdint>

namespace protocol {

QChar Cp1252ToUnicode(std::uint8_t byte);
// The byte for `c`; false when Windows-1252 has no such character.
bool UnicodeToCp1252(QChar c, std::uint8_t& byte);

QString Cp1252Decode(const QByteArray& bytes);
// Characters without a byte become '?' and are counted in `unmappable` when it is given.
QByteArray Cp1252Encode(const QString& text, int* unmappable = nullptr);

}  // namespace protocol
