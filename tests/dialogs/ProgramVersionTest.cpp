#include <gtest/gtest.h>

#include <QBuffer>
#include <QtEndian>
#include <functional>
#include <utility>

#include "dialogs/ProgramVersion.h"
#include "tests/support/TestEnvironment.h"

namespace {

using dialogs::ProductVersionFromElf;
using dialogs::ProductVersionOfFile;

const QString kProjectVersion = QStringLiteral(KORVANTA_PROJECT_VERSION);

struct Note {
  QByteArray owner;  // without the terminating zero, which the image adds
  quint32 type = 1;
  QByteArray desc;
  qint64 nameSize = -1;  // -1: the owner's size with its zero; otherwise written as given
  qint64 descSize = -1;  // -1: the size of desc
};

// Writes fields in the image's byte order.
class Writer {
 public:
  explicit Writer(bool big) : big_(big) {}
  void U16(QByteArray& b, qsizetype at, quint16 v) const { Put(b, at, v); }
  void U32(QByteArray& b, qsizetype at, quint32 v) const { Put(b, at, v); }
  void U64(QByteArray& b, qsizetype at, quint64 v) const { Put(b, at, v); }
  QByteArray Words(std::initializer_list<quint32> words) const {
    QByteArray b(static_cast<qsizetype>(words.size() * 4), '\0');
    qsizetype at = 0;
    for (quint32 w : words) U32(b, std::exchange(at, at + 4), w);
    return b;
  }

 private:
  template <typename T>
  void Put(QByteArray& b, qsizetype at, T v) const {
    if (b.size() < at + static_cast<qsizetype>(sizeof(T))) b.resize(at + sizeof(T), '\0');
    uchar* p = reinterpret_cast<uchar*>(b.data()) + at;
    if (big_) {
      qToBigEndian(v, p);
    } else {
      qToLittleEndian(v, p);
    }
  }
  bool big_;
};

struct Image {
  bool is64 = true;
  bool big = false;
  quint64 align = 4;
  QList<Note> notes;
};

qsizetype AlignUp(qsizetype n, qsizetype align) { return (n + align - 1) / align * align; }

// A minimal executable image: the header, a program header table with a loadable segment and a
// note segment, then the notes.
QByteArray BuildElf(const Image& image) {
  const Writer w(image.big);
  QByteArray notes;
  for (const Note& n : image.notes) {
    const QByteArray name = n.nameSize == 0 ? QByteArray() : n.owner + '\0';
    const qsizetype at = notes.size();
    w.U32(notes, at, static_cast<quint32>(n.nameSize < 0 ? name.size() : n.nameSize));
    w.U32(notes, at + 4, static_cast<quint32>(n.descSize < 0 ? n.desc.size() : n.descSize));
    w.U32(notes, at + 8, n.type);
    notes += name;
    notes.resize(AlignUp(notes.size(), static_cast<qsizetype>(image.align)), '\0');
    notes += n.desc;
    notes.resize(AlignUp(notes.size(), static_cast<qsizetype>(image.align)), '\0');
  }

  const qsizetype headerSize = image.is64 ? 64 : 52;
  const qsizetype entrySize = image.is64 ? 56 : 32;
  const qsizetype notesAt = headerSize + 2 * entrySize;
  QByteArray b(notesAt, '\0');
  b[0] = '\x7F';
  b[1] = 'E';
  b[2] = 'L';
  b[3] = 'F';
  b[4] = image.is64 ? 2 : 1;
  b[5] = image.big ? 2 : 1;
  b[6] = 1;
  w.U16(b, 16, 2);  // ET_EXEC
  if (image.is64) {
    w.U64(b, 32, static_cast<quint64>(headerSize));
    w.U16(b, 54, static_cast<quint16>(entrySize));
    w.U16(b, 56, 2);
  } else {
    w.U32(b, 28, static_cast<quint32>(headerSize));
    w.U16(b, 42, static_cast<quint16>(entrySize));
    w.U16(b, 44, 2);
  }
  const qsizetype load = headerSize;
  const qsizetype note = headerSize + entrySize;
  w.U32(b, load, 1);  // PT_LOAD over the whole file
  w.U32(b, note, 4);  // PT_NOTE
  if (image.is64) {
    w.U64(b, load + 32, static_cast<quint64>(notesAt + notes.size()));
    w.U64(b, note + 8, static_cast<quint64>(notesAt));
    w.U64(b, note + 32, static_cast<quint64>(notes.size()));
    w.U64(b, note + 48, image.align);
  } else {
    w.U32(b, load + 16, static_cast<quint32>(notesAt + notes.size()));
    w.U32(b, note + 4, static_cast<quint32>(notesAt));
    w.U32(b, note + 16, static_cast<quint32>(notes.size()));
    w.U32(b, note + 28, static_cast<quint32>(image.align));
  }
  return b + notes;
}

QString VersionOf(QByteArray bytes) {
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  return ProductVersionFromElf(buffer);
}

Note Ours(const Writer& w, quint32 high = 0x0003'0004, quint32 low = 0x0005'0006) {
  return {"korvanta", 1, w.Words({high, low, high, low})};
}

Note Gnu(const Writer& w) { return {"GNU", 3, w.Words({0x11111111, 0x22222222, 0x33333333, 0x44444444, 0x55})}; }

TEST(ProgramVersion, NoteIsFoundInEveryClassAndByteOrder) {
  for (const bool is64 : {false, true}) {
    for (const bool big : {false, true}) {
      SCOPED_TRACE(testing::Message() << (is64 ? "64" : "32") << (big ? " big" : " little"));
      const Writer w(big);
      for (const quint64 align : {4u, 8u}) {
        EXPECT_EQ(VersionOf(BuildElf({is64, big, align, {Gnu(w), Ours(w)}})), QStringLiteral("3.4.5.6"));
      }
      EXPECT_EQ(VersionOf(BuildElf({is64, big, 4, {Ours(w, 0xFFFF'FFFF, 0x0000'FFFF)}})),
                QStringLiteral("65535.65535.0.65535"));
    }
  }
}

TEST(ProgramVersion, DamagedOrForeignNotesGiveNoVersion) {
  const Writer w(false);
  struct Case {
    const char* what;
    QList<Note> notes;
    QString expected;
  };
  const Note empty{"", 0, {}, 0, 0};
  Note shortDesc = Ours(w);
  shortDesc.desc = w.Words({0x0003'0004});
  Note otherType = Ours(w);
  otherType.type = 2;
  Note hugeName = Ours(w);
  hugeName.nameSize = 0xFFFF'FFFF;
  Note hugeDesc = Ours(w);
  hugeDesc.descSize = 0xFFFF'FFF0;
  Note nameBeyond = Ours(w);
  nameBeyond.nameSize = 64;
  const Case cases[] = {
      {"only a foreign note", {Gnu(w)}, QString()},
      {"an empty note before ours", {empty, Ours(w)}, QStringLiteral("3.4.5.6")},
      {"longer owner", {{"korvantaX", 1, w.Words({1, 2})}}, QString()},
      {"shorter owner", {{"korvant", 1, w.Words({1, 2})}}, QString()},
      {"another type", {otherType}, QString()},
      {"description too short", {shortDesc}, QString()},
      {"name size beyond every bound", {hugeName}, QString()},
      {"description size beyond every bound", {hugeDesc}, QString()},
      {"name running past the segment", {nameBeyond}, QString()},
      {"ours after a damaged one is out of reach", {hugeName, Ours(w)}, QString()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VersionOf(BuildElf({true, false, 4, c.notes})), c.expected) << c.what;
  }
}

TEST(ProgramVersion, DamagedHeadersGiveNoVersion) {
  const Writer w(false);
  const QByteArray good = BuildElf({true, false, 4, {Ours(w)}});
  ASSERT_EQ(VersionOf(good), QStringLiteral("3.4.5.6"));
  struct Case {
    const char* what;
    std::function<void(QByteArray&)> damage;
  };
  const Case cases[] = {
      {"no ELF magic", [](QByteArray& b) { b[1] = 'X'; }},
      {"unknown class", [](QByteArray& b) { b[4] = 3; }},
      {"unknown byte order", [](QByteArray& b) { b[5] = 0; }},
      {"program headers beyond the file", [&](QByteArray& b) { w.U64(b, 32, 0xFFFF'FFFF'FFFF'FF00); }},
      {"program header entries too small", [&](QByteArray& b) { w.U16(b, 54, 32); }},
      {"no program headers", [&](QByteArray& b) { w.U16(b, 56, 0); }},
      {"as many program headers as a count can say", [&](QByteArray& b) { w.U16(b, 56, 0xFFFF); }},
      {"note segment beyond the file", [&](QByteArray& b) { w.U64(b, 64 + 56 + 8, 0xFFFF'FFFF'FFFF'FFF0); }},
      {"note segment longer than the file", [&](QByteArray& b) { w.U64(b, 64 + 56 + 32, 0x1'0000); }},
      {"empty note segment", [&](QByteArray& b) { w.U64(b, 64 + 56 + 32, 0); }},
  };
  for (const Case& c : cases) {
    QByteArray bytes = good;
    c.damage(bytes);
    EXPECT_EQ(VersionOf(bytes), QString()) << c.what;
  }
  // Cut off anywhere, the file gives nothing: the note is its last part.
  for (qsizetype size = 0; size < good.size(); ++size) {
    EXPECT_EQ(VersionOf(good.left(size)), QString()) << "cut at " << size;
  }
}

TEST(ProgramVersion, ProgramFilesCarryTheProjectVersion) {
  // The program as it ships, and this test program, which carries the same note.
  EXPECT_EQ(ProductVersionOfFile(QStringLiteral(KORVANTA_PROGRAM_FILE)), kProjectVersion);
  EXPECT_EQ(ProductVersionOfFile(QStringLiteral("/proc/self/exe")), kProjectVersion);

  testing_support::ScopedWorkingDir dir;
  testing_support::WriteFileBytes(dir.File(QStringLiteral("plain.txt")), "no program at all\n");
  EXPECT_EQ(ProductVersionOfFile(dir.File(QStringLiteral("plain.txt"))), QString());
  EXPECT_EQ(ProductVersionOfFile(dir.File(QStringLiteral("missing"))), QString());
  EXPECT_EQ(ProductVersionOfFile(dir.Path()), QString());  // a folder
}

}  // namespace
