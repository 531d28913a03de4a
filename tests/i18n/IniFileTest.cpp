#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QFile>
#include <csignal>

#include "i18n/IniFile.h"
#include "tests/support/TestEnvironment.h"

namespace {

using i18n::FindIniValue;
using i18n::ParseIniInteger;
using i18n::UpdateIniValue;
using testing_support::ReadFileBytes;
using testing_support::ScopedWorkingDir;
using testing_support::WriteFileBytes;

struct IntegerCase {
  const char* text;
  std::optional<int> value;
};

TEST(IniFile, ParsesDecimalAndBothHexadecimalForms) {
  const IntegerCase cases[] = {
      {"1", 1},
      {" 2\t", 2},
      {"0x2", 2},
      {"0X1f", 31},
      {"$2", 2},
      {"$ff", 255},
      {"-1", -1},
      {"+7", 7},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"1a", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"1 2", std::nullopt},
      {"0x1G", std::nullopt},
      {"99999999999", std::nullopt},
      {"2147483648", std::nullopt},
      {"1.0", std::nullopt},
  };
  for (const IntegerCase& c : cases) {
    EXPECT_EQ(ParseIniInteger(c.text), c.value) << "text \"" << c.text << "\"";
  }
}

TEST(IniFile, FindsKeysWithoutRegardToCaseAndTakesTheFirst) {
  const QByteArray ini =
      "; comment Language=9\r\n"
      "[Other]\r\nLanguage=5\r\n"
      "[config]\r\n  LANGUAGE =  \"2\" \r\nLanguage=3\r\n"
      "[Config]\r\nLanguage=4\r\n";
  EXPECT_EQ(FindIniValue(ini, "Config", "Language"), QByteArray("2"));
  EXPECT_EQ(FindIniValue(ini, "Other", "language"), QByteArray("5"));
  EXPECT_EQ(FindIniValue(ini, "Config", "Missing"), std::nullopt);
  EXPECT_EQ(FindIniValue(ini, "Nowhere", "Language"), std::nullopt);
  // A commented-out key does not count.
  EXPECT_EQ(FindIniValue("[Config]\n;Language=1\n", "Config", "Language"), std::nullopt);
}

TEST(IniFile, UpdatingAKeyKeepsEveryOtherByte) {
  const QByteArray original =
      "; written by hand\r\n"
      "[Paths]\r\n"
      "Export=C:\\Data\\Gloss\\\r\n"
      "Mask=0x2\r\n"
      "\r\n"
      "[CONFIG]\r\n"
      "Zeta=1\r\n"
      "LANGUAGE = 2   \r\n"
      "Alpha=$2\r\n"
      "[Last]\r\n"
      "x=y";
  const QByteArray expected =
      "; written by hand\r\n"
      "[Paths]\r\n"
      "Export=C:\\Data\\Gloss\\\r\n"
      "Mask=0x2\r\n"
      "\r\n"
      "[CONFIG]\r\n"
      "Zeta=1\r\n"
      "LANGUAGE = 0\r\n"
      "Alpha=$2\r\n"
      "[Last]\r\n"
      "x=y";
  EXPECT_EQ(UpdateIniValue(original, "Config", "Language", "0"), expected);
}

TEST(IniFile, AddsAMissingKeyOrSectionInTheTextsOwnLineEnds) {
  // Key missing: after the section's last line, before the blank lines and the next section.
  EXPECT_EQ(UpdateIniValue("[Config]\r\nOther=1\r\n\r\n[Next]\r\n", "Config", "Language", "2"),
            QByteArray("[Config]\r\nOther=1\r\nLanguage=2\r\n\r\n[Next]\r\n"));
  // The last line has no line end yet.
  EXPECT_EQ(UpdateIniValue("[Config]\nOther=1", "Config", "Language", "2"),
            QByteArray("[Config]\nOther=1\nLanguage=2\n"));
  // Section missing: appended, in LF when the text uses LF.
  EXPECT_EQ(UpdateIniValue("[A]\nk=v", "Config", "Language", "1"), QByteArray("[A]\nk=v\n[Config]\nLanguage=1\n"));
  // A new text uses CR LF.
  EXPECT_EQ(UpdateIniValue("", "Config", "Language", "1"), QByteArray("[Config]\r\nLanguage=1\r\n"));
}

QByteArray Utf16(const QString& text, bool littleEndian) {
  QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
  for (const QChar c : text) {
    const char lo = static_cast<char>(c.unicode() & 0xFF), hi = static_cast<char>(c.unicode() >> 8);
    bytes.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
  }
  return bytes;
}

// Files as Windows editors save them: the value is read, and written back in the file's own
// encoding with its byte-order mark, every other byte as it was.
TEST(IniFile, FilesWithAByteOrderMarkAreReadAndWrittenInTheirOwnEncoding) {
  const QString before = QStringLiteral("; Réglages été\r\n[Config]\r\nLanguage=1\r\n[Ω]\r\nx=ü");
  const QString after = QStringLiteral("; Réglages été\r\n[Config]\r\nLanguage=2\r\n[Ω]\r\nx=ü");
  const QString noSection = QStringLiteral("[Ω]\r\nx=ü\r\n");
  struct Case {
    const char* name;
    QByteArray file, updated, withoutSection, added;
  };
  const QByteArray bom("\xEF\xBB\xBF");
  const Case cases[] = {
      {"UTF-8 with its mark", bom + before.toUtf8(), bom + after.toUtf8(), bom + noSection.toUtf8(),
       bom + (noSection + "[Config]\r\nLanguage=2\r\n").toUtf8()},
      {"UTF-16LE", Utf16(before, true), Utf16(after, true), Utf16(noSection, true),
       Utf16(noSection + "[Config]\r\nLanguage=2\r\n", true)},
      {"UTF-16BE", Utf16(before, false), Utf16(after, false), Utf16(noSection, false),
       Utf16(noSection + "[Config]\r\nLanguage=2\r\n", false)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(i18n::FindIniFileValue(c.file, "Config", "Language"), QByteArray("1")) << c.name;
    EXPECT_EQ(i18n::UpdateIniFile(c.file, "config", "language", "2"), c.updated) << c.name;
    EXPECT_EQ(i18n::UpdateIniFile(c.withoutSection, "Config", "Language", "2"), c.added) << c.name;
  }
  // Through the file, as the program reads and writes it.
  ScopedWorkingDir dir;
  const QString path = dir.File(QStringLiteral("318qx.ini"));
  WriteFileBytes(path, Utf16(before, true));
  EXPECT_EQ(i18n::ReadIniInteger(path, "Config", "Language", 0), 1);
  QString error;
  ASSERT_TRUE(i18n::WriteIniValue(path, "Config", "Language", "2", error)) << error.toStdString();
  EXPECT_EQ(ReadFileBytes(path), Utf16(after, true));
}

// A mark directly followed by the section, and a UTF-16 character one of whose bytes is a line
// feed (U+4E0A) in a comment: neither may move where lines begin.
TEST(IniFile, AMarkRightBeforeTheSectionAndALineFeedByteInsideACharacter) {
  const QString commented = QStringLiteral("[Config]\r\n; \u4E0ALanguage=2\r\nLanguage=1\r\n");
  const QString updated = QStringLiteral("[Config]\r\n; \u4E0ALanguage=2\r\nLanguage=3\r\n");
  const QByteArray bom("\xEF\xBB\xBF");
  struct Case {
    const char* name;
    QByteArray file, updated;
  };
  const Case cases[] = {
      {"UTF-8, the mark right before the section", bom + "[Config]\r\nLanguage=1\r\n",
       bom + "[Config]\r\nLanguage=3\r\n"},
      {"UTF-16LE", Utf16(commented, true), Utf16(updated, true)},
      {"UTF-16BE", Utf16(commented, false), Utf16(updated, false)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(i18n::FindIniFileValue(c.file, "Config", "Language"), QByteArray("1")) << c.name;
    EXPECT_EQ(i18n::UpdateIniFile(c.file, "Config", "Language", "3"), c.updated) << c.name;
  }
}

TEST(IniFile, ReadsFallbackForMissingFileSectionKeyOrNonInteger) {
  ScopedWorkingDir dir;
  const QString path = dir.File(QStringLiteral("a.ini"));
  EXPECT_EQ(i18n::ReadIniInteger(path, "Config", "Language", 0), 0);
  WriteFileBytes(path, "[Config]\r\nLanguage=abc\r\n");
  EXPECT_EQ(i18n::ReadIniInteger(path, "Config", "Language", 0), 0);
  WriteFileBytes(path, "[Config]\r\nLanguage=$2\r\n");
  EXPECT_EQ(i18n::ReadIniInteger(path, "Config", "Language", 0), 2);
  EXPECT_EQ(i18n::ReadIniInteger(path, "Config", "Other", 7), 7);
}

TEST(IniFile, WritingCreatesTheFileAndReportsAFailure) {
  ScopedWorkingDir dir;
  QString error;
  const QString path = dir.File(QStringLiteral("318qx.ini"));
  ASSERT_TRUE(i18n::WriteIniValue(path, "Config", "Language", "1", error)) << error.toStdString();
  EXPECT_EQ(ReadFileBytes(path), QByteArray("[Config]\r\nLanguage=1\r\n"));

  // A file that cannot be created: its folder does not exist.
  const QString unreachable = dir.File(QStringLiteral("missing/318qx.ini"));
  EXPECT_FALSE(i18n::WriteIniValue(unreachable, "Config", "Language", "1", error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(unreachable));

  // A path that is a folder.
  error.clear();
  EXPECT_FALSE(i18n::WriteIniValue(dir.Path(), "Config", "Language", "1", error));
  EXPECT_FALSE(error.isEmpty());
}

// A folder that takes no new file: the settings file is written in place, and a write the file
// system cuts short (here the file size limit) is reported and the old bytes put back.
TEST(IniFile, AWriteInPlaceCutShortIsAFailureAndTheOldBytesGoBack) {
  struct Case {
    const char* name;
    rlim_t limit;
    bool oldContentLost;
  };
  const Case cases[] = {
      {"room for the old bytes", 105, false},
      {"not even room for them", 20, true},
  };
  // 100 bytes, and 12 more with the key.
  const QByteArray old =
      "; settings of the gloss meter program, kept by hand in this shared folder\r\n[Config]\r\n"
      "Printer=lab-2\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedWorkingDir dir;
    testing_support::LockedFolder locked(dir, old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = c.limit;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString error;
    bool lost = false;
    const bool written = i18n::WriteIniValue(locked.File(), "Config", "Language", "1", error, &lost);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(lost, c.oldContentLost);
    if (!c.oldContentLost) {
      EXPECT_EQ(ReadFileBytes(locked.File()), old);
    }
  }
}

}  // namespace
