// The whole program as a process: what a packager, a software centre and an operator over ssh run
// first, and a start whose windows cannot be built.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>

#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ScopedWorkingDir;

struct Outcome {
  int exitCode = -1;
  QString out;
  QString err;
};

// Runs `program` in the current folder; without a display at all unless `offscreen`.
Outcome RunProcess(const QString& program, const QStringList& arguments, bool offscreen) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    environment.remove(QString::fromLatin1(name));
  if (offscreen) environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  // The program's journal, lab record and settings stay in the test's folder.
  for (const char* name : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
    environment.insert(QString::fromLatin1(name), QDir::currentPath());
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  Outcome run;
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    run.err = QStringLiteral("(still running; killed)");
    return run;
  }
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
  return run;
}

TEST(ProgramStart, AnswersTheCommandLineAndEndsWithItsExitCode) {
  ScopedWorkingDir dir;
  const QString program = QStringLiteral(KORVANTA_PROGRAM_FILE);
  const QString failing = QStringLiteral(KORVANTA_FAILING_START_FILE);
  struct Case {
    QString program;
    QStringList arguments;
    bool offscreen;
    QByteArray settings;  // 318qx.ini in the working folder, none when empty
    int exitCode;
    QString out;  // standard output starts with this
    QString err;  // standard error contains this
  };
  const QByteArray german = "[Config]\r\nLanguage=1\r\n";
  const QByteArray french = "[Config]\r\nLanguage=2\r\n";
  const Case cases[] = {
      {program, {"--version"}, false, {}, 0, "korvanta " KORVANTA_PROJECT_VERSION "\n", {}},
      {program, {"--simulate", "--version"}, false, {}, 0, "korvanta " KORVANTA_PROJECT_VERSION "\n", {}},
      {program, {"--help"}, false, {}, 0, "Usage: ", {}},
      // Usage errors are told in one line and end with 2, display or not.
      {program, {"--simulate=missing.ini"}, false, {}, 2, {}, "korvanta: cannot read missing.ini"},
      {program, {"--simulate", "missing.ini"}, false, {}, 2, {}, "korvanta: cannot read missing.ini"},
      {program, {"--no-such-option"}, false, {}, 2, {}, "korvanta: unknown option '--no-such-option'"},
      {program, {"--no-such-option"}, true, {}, 2, {}, "korvanta: unknown option '--no-such-option'"},
      {program, {"--simulate", "a.ini", "b.ini"}, false, {}, 2, {}, "korvanta: unexpected argument 'b.ini'"},
      // A command line that can be followed, without a display: a failure at run time.
      {program, {"--simulate"}, false, {}, 1, {}, "korvanta: the window system cannot be used"},
      // The error box speaks the stored language, and the process ends with a failure.
      {failing, {"std", "--simulate"}, true, german, 1, "Fehler\nEin unerwarteter Fehler ist aufgetreten: no room", {}},
      {failing, {"other", "--simulate"}, true, french, 1, "Erreur\nUne erreur inattendue", {}},
  };
  for (const Case& c : cases) {
    const QString what = QFileInfo(c.program).fileName() + ' ' + c.arguments.join(' ');
    QFile::remove(dir.File(QStringLiteral("318qx.ini")));
    if (!c.settings.isEmpty()) testing_support::WriteFileBytes(dir.File(QStringLiteral("318qx.ini")), c.settings);
    const Outcome run = RunProcess(c.program, c.arguments, c.offscreen);
    EXPECT_EQ(run.exitCode, c.exitCode) << what.toStdString() << '\n' << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(c.out)) << what.toStdString() << '\n' << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(c.err)) << what.toStdString() << '\n' << run.err.toStdString();
    // A failure is told in one line of the program's own, beside what the toolkit may say.
    if (c.exitCode != 0) {
      const QStringList lines = run.err.split(QLatin1Char('\n'));
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("korvanta: "); }),
                1)
          << what.toStdString() << '\n'
          << run.err.toStdString();
    }
  }
  // The help names every option.
  const Outcome help = RunProcess(program, {"--help"}, false);
  for (const char* option : {"--simulate [<FILE>]", "--version", "--help", "Exit status:"}) {
    EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
  }
}

TEST(ProgramStart, ASimulatedRunKeepsItsJournalApartFromTheRealInstruments) {
  ScopedWorkingDir dir;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("XDG_STATE_HOME"), dir.Path());
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(QStringLiteral(KORVANTA_PROGRAM_FILE), {QStringLiteral("--simulate")});
  const QString folder = dir.File(QStringLiteral("korvanta"));
  const bool opened = testing_support::WaitUntil(
      [&] {
        // The lock is taken before the database is made: wait for both.
        return (QFileInfo::exists(folder + QStringLiteral("/journal-simulated.lock")) &&
                QFileInfo::exists(folder + QStringLiteral("/journal-simulated.db"))) ||
               process.state() == QProcess::NotRunning;
      },
      120000);
  const QStringList files = QDir(folder).entryList(QDir::Files);
  process.kill();
  process.waitForFinished();
  ASSERT_TRUE(opened);
  EXPECT_TRUE(files.contains(QStringLiteral("journal-simulated.db"))) << files.join(' ').toStdString();
  EXPECT_FALSE(files.contains(QStringLiteral("journal.db"))) << files.join(' ').toStdString();
  EXPECT_FALSE(files.contains(QStringLiteral("journal.lock"))) << files.join(' ').toStdString();
}

}  // namespace
