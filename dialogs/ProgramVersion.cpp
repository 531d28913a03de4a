#include "dialogs/ProgramVersion.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

#include "dialogs/VersionNote.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#include <vector>
#endif

namespace dialogs {

QString FormatVersion(quint32 high, quint32 low) {
  return QStringLiteral("%1.%2.%3.%4").arg(high >> 16).arg(high & 0xFFFFu).arg(low >> 16).arg(low & 0xFFFFu);
}

namespace {

constexpr quint32 kPtNote = 4;
// Note segments of real programs are a few hundred bytes; a bigger one is not worth reading.
constexpr quint64 kMaxNoteSegment = 1u << 20;

// Fixed-width fields of the file in its own byte order.
class Fields {
 public:
  Fields(const QByteArray& bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}

  bool Has(quint64 at, quint64 size) const {
    return at <= static_cast<quint64>(bytes_.size()) && size <= static_cast<quint64>(bytes_.size()) - at;
  }
  quint16 U16(quint64 at) const { return Get<quint16>(at); }
  quint32 U32(quint64 at) const { return Get<quint32>(at); }
  quint64 U64(quint64 at) const { return Get<quint64>(at); }
  // A word of the file's class: 32 bits in ELFCLASS32, 64 in ELFCLASS64.
  quint64 Word(quint64 at, bool is64) const { return is64 ? U64(at) : U32(at); }
  const char* Data(quint64 at) const { return bytes_.constData() + at; }

 private:
  template <typename T>
  T Get(quint64 at) const {
    if (!Has(at, sizeof(T))) return 0;
    const uchar* p = reinterpret_cast<const uchar*>(bytes_.constData()) + at;
    return big_ ? qFromBigEndian<T>(p) : qFromLittleEndian<T>(p);
  }

  const QByteArray& bytes_;
  bool big_;
};

QByteArray ReadAt(QIODevice& file, quint64 offset, quint64 size) {
  if (offset > static_cast<quint64>(file.size()) || size > static_cast<quint64>(file.size()) - offset) return {};
  if (!file.seek(static_cast<qint64>(offset))) return {};
  QByteArray bytes = file.read(static_cast<qint64>(size));
  return static_cast<quint64>(bytes.size()) == size ? bytes : QByteArray();
}

quint64 AlignUp(quint64 n, quint64 align) { return (n + align - 1) / align * align; }

// Walks the notes of one note segment; the product version of ours, or empty.
QString VersionInNotes(const QByteArray& segment, bool bigEndian, quint64 align) {
  const Fields f(segment, bigEndian);
  constexpr quint64 kOwnerSize = sizeof(KORVANTA_NOTE_OWNER);
  quint64 at = 0;
  while (f.Has(at, 12)) {
    const quint64 nameSize = f.U32(at);
    const quint64 descSize = f.U32(at + 4);
    const quint32 type = f.U32(at + 8);
    const quint64 name = at + 12;
    // The padding aligns the description's place in the note, header included (which matters
    // for 8-byte aligned notes, whose 12-byte header is not a multiple of 8).
    const quint64 desc = at + AlignUp(12 + nameSize, align);
    if (!f.Has(name, nameSize) || !f.Has(desc, descSize)) return {};
    if (type == KORVANTA_NOTE_TYPE && nameSize == kOwnerSize &&
        std::memcmp(f.Data(name), KORVANTA_NOTE_OWNER, kOwnerSize) == 0 && descSize >= 8) {
      return FormatVersion(f.U32(desc), f.U32(desc + 4));
    }
    at = desc + AlignUp(descSize, align);
  }
  return {};
}

}  // namespace

QString ProductVersionFromElf(QIODevice& file) {
  const QByteArray header = ReadAt(file, 0, 52);  // the 32-bit header; the 64-bit one is longer
  if (header.size() != 52 || !header.startsWith("\x7F"
                                                "ELF"))
    return {};
  const char elfClass = header[4];
  const char data = header[5];
  if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2)) return {};
  const bool is64 = elfClass == 2;
  const bool big = data == 2;

  const QByteArray fullHeader = is64 ? ReadAt(file, 0, 64) : header;
  if (fullHeader.isEmpty()) return {};
  const Fields h(fullHeader, big);
  const quint64 phoff = is64 ? h.U64(32) : h.U32(28);
  const quint64 phentsize = h.U16(is64 ? 54 : 42);
  const quint64 phnum = h.U16(is64 ? 56 : 44);
  if (phentsize < (is64 ? 56u : 32u) || phnum == 0) return {};

  const QByteArray table = ReadAt(file, phoff, phentsize * phnum);
  if (table.isEmpty()) return {};
  const Fields t(table, big);
  for (quint64 i = 0; i < phnum; ++i) {
    const quint64 entry = i * phentsize;
    if (t.U32(entry) != kPtNote) continue;
    const quint64 offset = t.Word(entry + (is64 ? 8 : 4), is64);
    const quint64 size = t.Word(entry + (is64 ? 32 : 16), is64);
    const quint64 align = t.Word(entry + (is64 ? 48 : 28), is64) == 8 ? 8 : 4;
    if (size == 0 || size > kMaxNoteSegment) continue;
    const QByteArray segment = ReadAt(file, offset, size);
    if (segment.isEmpty()) continue;
    const QString version = VersionInNotes(segment, big, align);
    if (!version.isEmpty()) return version;
  }
  return {};
}

#ifdef Q_OS_WIN

QString ProductVersionOfFile(const QString& path) {
  const std::wstring file = path.toStdWString();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0) return {};
  std::vector<BYTE> block(size);  // released on every way out
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
      fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return FormatVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
}

#else

QString ProductVersionOfFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return ProductVersionFromElf(file);
}

#endif

}  // namespace dialogs
