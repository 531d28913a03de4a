#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/Diagnostics.h"
#include "protocol/Log.h"

namespace {

mode_t ModeOf(const QString& path) {
  struct stat st {};
  ::stat(QFile::encodeName(path).constData(), &st);
  return st.st_mode & 0777;
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The debug log holds what other users must not read (a customer's readings go over the wire),
// and must not fill a disk in a week of --debug.
TEST(Diagnostics, TheDebugLogIsPrivateAndKeepsItsNewestHalfWhenFull) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("state/korvanta/debug.log"));
  const mode_t previous = ::umask(022);
  {
    app::DebugLogFile log(path, 400);
    ASSERT_TRUE(log.IsOpen()) << qPrintable(log.Problem());
    for (int i = 0; i < 100; ++i) log.Append(QByteArray("line ") + QByteArray::number(i).rightJustified(3, '0'));
  }
  ::umask(previous);
  EXPECT_EQ(ModeOf(QFileInfo(path).absolutePath()), 0700u);
  EXPECT_EQ(ModeOf(path), 0600u);
  const QByteArray content = Read(path);
  EXPECT_LE(content.size(), 400);
  EXPECT_TRUE(content.startsWith("line ")) << content.left(20).constData();
  EXPECT_TRUE(content.endsWith("line 099\n"));
  // Whole lines, in order, none lost after the first kept one.
  const QList<QByteArray> lines = content.trimmed().split('\n');
  const int first = lines.front().mid(5).toInt();
  EXPECT_GT(first, 0);
  for (int i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i], QByteArray("line ") + QByteArray::number(first + i).rightJustified(3, '0'));
}

TEST(Diagnostics, DebugLinesStartWithTheirCategoryAndOurWarningsKeepTheirText) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("debug.log"));
  ASSERT_TRUE(app::InstallDiagnostics(false, path).isEmpty());
  qCDebug(protocol::lcProtocol, "not written while off");
  app::RemoveDiagnostics();
  EXPECT_FALSE(QFile::exists(path));

  ASSERT_TRUE(app::InstallDiagnostics(true, path).isEmpty());
  qCDebug(protocol::lcProtocol, "cycle: handshake done, polling");
  qCWarning(app::lcApp, "korvanta: the flag is missing");
  app::RemoveDiagnostics();
  QLoggingCategory::setFilterRules(QString());
  const QList<QByteArray> lines = Read(path).trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].endsWith(" korvanta.protocol: cycle: handshake done, polling")) << lines[0].constData();
  EXPECT_TRUE(lines[1].endsWith(" korvanta: the flag is missing")) << lines[1].constData();
  EXPECT_FALSE(lines[1].contains("korvanta.app"));
}

}  // namespace
