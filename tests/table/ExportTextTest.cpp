#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "ExportText.h"
#include "TestEnvironment.h"

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
      {"a TAB in a comment is not quoted",
       {Row({"d", "t", "", "", "1", "2", "left\tright"})},
       heading + "1\td\tt\t\t\t1\t2\tleft\tright\r\n"},
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

  QString error;
  ASSERT_TRUE(table::WriteExportFile(path, "\tDate\r\n", error)) << error.toStdString();
  EXPECT_EQ(testing_support::ReadFileBytes(path), QByteArray("\tDate\r\n"));

  const QString missingFolder = dir.File("no such folder/readings.dat");
  EXPECT_FALSE(table::WriteExportFile(missingFolder, "x", error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(missingFolder));

  // A folder in place of the file: the reason is reported, the folder stays.
  ASSERT_TRUE(QDir(dir.Path()).mkdir("taken.dat"));
  error.clear();
  EXPECT_FALSE(table::WriteExportFile(dir.File("taken.dat"), "x", error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(QFileInfo(dir.File("taken.dat")).isDir());
}

}  // namespace
