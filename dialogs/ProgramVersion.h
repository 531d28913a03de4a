// The product version that a program file carries in its own version information.
#pragma once

#include <QIODevice>
#include <QString>
#include <QtGlobal>

namespace dialogs {

// The four numbers of a version held as two 32-bit words, most significant first: a is the high
// half of `high`, b its low half, c the high half of `low`, d its low half. Gives "a.b.c.d".
QString FormatVersion(quint32 high, quint32 low);

// The product version of the program file at `path`, from its version resource on Windows and its
// version note on ELF systems; empty when the file has none or it cannot be read.
QString ProductVersionOfFile(const QString& path);

// The product version in the version note of an ELF file (32 or 64 bit, either byte order);
// empty when the file is no ELF file, has no such note, or is damaged.
QString ProductVersionFromElf(QIODevice& file);

}  // namespace dialogs
