// korvanta.conf: one key written, every other line kept as it was, the file the owner's only.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "lab/Settings.h"
#include "tests/support/TestEnvironment.h"

namespace lab {
namespace {

TEST(Settings, OneKeyWrittenTheRestKept) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("korvanta/korvanta.conf"));
  QString error;
  struct Case {
    QByteArray before;
    const char* key;
    QString value;
    QByteArray after;
  } cases[] = {
      {"", "operator", QStringLiteral("Ann"), "operator = Ann\n"},
      {"# lab\r\nlab_name = Paint line 2\r\noperator = Bert\r\n", "operator", QStringLiteral("Änne Ø"),
       "# lab\r\nlab_name = Paint line 2\r\noperator = Änne Ø\r\n"},
      {"operator = A\nlogo = /x.png\noperator = B\n", "operator", QStringLiteral("C"),
       "operator = A\nlogo = /x.png\noperator = C\n"},
      {"logo=/x.png", "operator", QStringLiteral("two\nlines\t"), "logo=/x.png\noperator = two lines\n"},
  };
  for (const Case& c : cases) {
    QFile::remove(path);
    if (!c.before.isEmpty()) {
      ASSERT_TRUE(WriteSetting(path, QStringLiteral("x"), QString(), error));
      testing_support::WriteFileBytes(path, c.before);
    }
    ASSERT_TRUE(WriteSetting(path, QLatin1String(c.key), c.value, error)) << qPrintable(error);
    EXPECT_EQ(testing_support::ReadFileBytes(path), c.after);
    EXPECT_EQ(ReadSetting(path, QLatin1String(c.key)), c.after.contains("two") ? QStringLiteral("two lines") : c.value);
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777u, 0600u);
  }
  EXPECT_FALSE(WriteSetting(path, QStringLiteral("a b"), QStringLiteral("x"), error));
  EXPECT_FALSE(ReadSetting(path, QStringLiteral("missing")).has_value());
}

}  // namespace
}  // namespace lab
