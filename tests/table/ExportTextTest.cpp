#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QDir>
#include <QFile>

#include "table/ExportText.h"
#include "tests/support/TestEnvironment.h"

namespace {

using table::MeasurementRow;

const QStringList kEnglishHeadings = {"Date", "Time", "Mode 20°", "Mode 60°", "Value 20°", "Value 60°", "Comment"};

MeasurementRow Row(std::array<QString, 7> texts) { return MeasurementRow{std::move(texts)}; }

struct TextCase {
  const char* name;
  std::vector<MeasurementRow> rows;
  QString expected;
};

TEST(ExportText, LinesAreTabSeparatedNumberedAndEndInCrLf) {
  const QString heading = "\tDate\tTime\tMode 20°\tMode 60°\tValue 20°\tValue 60°\tComment\r\n";
  const TextCase cases[] = {
      {"empty table", {}, heading},
      {"two rows",
       {Row({"03.02.2024", "10:15:00", "D", "", "12,5", "33.1", "batch 7"}),
        Row({"03.02.2024", "10:15:02", "C", "L", "1,0", "2.0", "x"})},
       heading + "1\t03.02.2024\t10:15:00\tD\t\t12,5\t33.1\tbatch 7\r\n" +
           "2\t03.02.2024\t10:15:02\tC\tL\t1,0\t2.0\tx\r\n"},
      {"empty fields stay empty fields", {Row({"", "", "", "", "", "", ""})}, heading + "1\t\t\t\t\t\t\t\r\n"},
      {"a TAB or line break reaching the table is a blank there: the line keeps its fields",
       {Row({"d", "t", "", "", "1", "2", "left\tright\r\n"})},
       heading + "1\td\tt\t\t\t1\t2\tleft right  \r\n"},
  };
  for (const TextCase& c : cases) {
    table::MeasurementModel model;
    for (const MeasurementRow& r : c.rows) model.AppendRow(r);
    const QStringList lines = table::BuildExportLines(kEnglishHeadings, model);
    EXPECT_EQ(lines.size(), static_cast<qsizetype>(c.rows.size()) + 1) << c.name;
    EXPECT_EQ(table::JoinExportLines(lines), c.expected) << c.name;
  }
}

struct EncodeCase {
  const char* name;
  QString text;
  QByteArray bytes;
  int unmappable;
  QString first;
};

TEST(ExportText, FileTextIsWindows1252WithoutByteOrderMark) {
  const EncodeCase cases[] = {
      {"degree sign is one byte", "Mode 20°\r\n", QByteArray("Mode 20\xB0\r\n"), 0, ""},
      {"German and French letters", "Löschen é ß", QByteArray("L\xF6schen \xE9 \xDF"), 0, ""},
      {"the 0x80 to 0x9F block", "€ – „x“", QByteArray("\x80 \x96 \x84x\x93"), 0, ""},
      {"a character the code page lacks", "Ω1", QByteArray("?1"), 1, "Ω"},
      {"a character outside the basic plane is one '?'", "a\U0001F600b€ж", QByteArray("a?b\x80?"), 2, "\U0001F600"},
  };
  for (const EncodeCase& c : cases) {
    const table::EncodedExport e = table::EncodeExportText(c.text);
    EXPECT_EQ(e.bytes, c.bytes) << c.name;
    EXPECT_EQ(e.unmappable, c.unmappable) << c.name;
    EXPECT_EQ(e.firstUnmappable, c.first) << c.name;
  }
}

TEST(ExportText, WritingReplacesAnOldFileAndReportsAFailureWithoutTouchingIt) {
  testing_support::ScopedWorkingDir dir;
  const QString path = dir.File("readings.dat");
  testing_support::WriteFileBytes(path, QByteArray(1000, 'x'));
  int asked = 0;
  const auto never = [&] {
    ++asked;
    return true;
  };

  QString error;
  ASSERT_EQ(table::WriteExportFile(path, "\tDate\r\n", error, never), table::WriteOutcome::Written)
      << error.toStdString();
  EXPECT_EQ(testing_support::ReadFileBytes(path), QByteArray("\tDate\r\n"));

  const QString missingFolder = dir.File("no such folder/readings.dat");
  EXPECT_EQ(table::WriteExportFile(missingFolder, "x", error, never), table::WriteOutcome::Failed);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(missingFolder));

  // A folder in place of the file: the reason is reported, the folder stays.
  ASSERT_TRUE(QDir(dir.Path()).mkdir("taken.dat"));
  error.clear();
  EXPECT_EQ(table::WriteExportFile(dir.File("taken.dat"), "x", error, never), table::WriteOutcome::Failed);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(QFileInfo(dir.File("taken.dat")).isDir());
  EXPECT_EQ(asked, 0);
}

// A folder in which the file may be written but no file created: the file can only be written
// in place, which the operator is asked about first, and a write that fails part-way puts the old
// content back (the file size limit makes it fail midway).
TEST(ExportText, AFileThatCanOnlyBeOverwrittenInPlaceIsWrittenOnlyWithTheOperatorsWord) {
  testing_support::ScopedWorkingDir dir;
  const QByteArray old("old content");
  testing_support::LockedFolder locked(dir, old);
  const QString path = locked.File();
  QString error;

  int asked = 0;
  bool answer = false;
  const auto confirm = [&] {
    ++asked;
    return answer;
  };
  EXPECT_EQ(table::WriteExportFile(path, "new", error, confirm), table::WriteOutcome::Declined);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(testing_support::ReadFileBytes(path), old);

  answer = true;
  const QByteArray large(100000, 'n');
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 4096;
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const table::WriteOutcome outcome = table::WriteExportFile(path, large, error, confirm);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(outcome, table::WriteOutcome::FailedInPlace);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(testing_support::ReadFileBytes(path), old);

  EXPECT_EQ(table::WriteExportFile(path, "new", error, confirm), table::WriteOutcome::Written);
  EXPECT_EQ(testing_support::ReadFileBytes(path), QByteArray("new"));
  EXPECT_EQ(asked, 3);
}

// A read-only file in such a folder cannot be written at all: it is refused before any question,
// and left as it is (no "old content lost" for a file never touched).
TEST(ExportText, AReadOnlyFileInAFolderThatTakesNoNewFileIsRefusedWithoutAQuestion) {
  testing_support::ScopedWorkingDir dir;
  testing_support::LockedFolder locked(dir, "old", 0444);
  int asked = 0;
  QString error;
  EXPECT_EQ(table::WriteExportFile(locked.File(), "new", error,
                                   [&] {
                                     ++asked;
                                     return true;
                                   }),
            table::WriteOutcome::Failed);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(testing_support::ReadFileBytes(locked.File()), QByteArray("old"));
}

}  // namespace
