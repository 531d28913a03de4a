#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "app/Program.h"
#include "dialogs/Unit7.h"
#include "journal/TableJournal.h"
#include "sim/SimulatedInstrument.h"
#include "table/ExportText.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::WaitUntil;

// Long enough for the start-up sequence and a loaded machine; a bound on failures only.
constexpr int kPatienceMs = 120000;

// The program started on a journal folder in this process, as main() wires it, on a virtual
// instrument that reads only when asked.
struct Start {
  explicit Start(const QString& folder, int language = i18n::kEnglish) {
    testing_support::WriteFileBytes(dir.File(QStringLiteral("318qx.ini")),
                                    "[Config]\r\nLanguage=" + QByteArray::number(language) + "\r\n");
    scenario.autoReading = std::chrono::milliseconds(0);
    instrument = std::make_unique<sim::SimulatedInstrument>(bus, scenario);
    program = std::make_unique<app::Program>(state, bus);
    journal = std::make_unique<journal::TableJournal>(w().Rows(), state.Language, &w(), folder);
    QObject::connect(&w(), &app::TMainForm::StartupSequenceEnded, journal.get(),
                     &journal::TableJournal::StartupSequenceEnded);
    // Runs after the journal's own handler: once the question, if any, has been answered.
    QObject::connect(&w(), &app::TMainForm::StartupSequenceEnded, [this] { startupEnded = true; });
  }
  ~Start() {
    journal.reset();  // the normal end first, as in main()
    program.reset();
  }

  app::TMainForm& w() { return *program->MainForm; }

  // Shows the window; the start-up admin dialog closes itself.
  void ShowAndWaitForTheStartUpSequence() {
    answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog, which closes itself"));
    w().show();
    ASSERT_TRUE(WaitUntil([&] { return startupEnded; }, kPatienceMs));
  }

  // A reading through the measure button, once the cycle polls after the start-up sequence's
  // restart (which drops a request still waiting).
  void Measure() {
    const int before = w().Rows().Count();
    ASSERT_TRUE(WaitUntil(
        [&] {
          return !program->Form7->Timer3->isActive() && state.Cycle.RestartMark == protocol::kCycleRunning &&
                 state.Cycle.HandshakeDone == protocol::kCycleRunning;
        },
        kPatienceMs));
    w().messen->click();
    ASSERT_TRUE(WaitUntil([&] { return w().Rows().Count() == before + 1; }, kPatienceMs));
  }

  testing_support::ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  std::unique_ptr<sim::SimulatedInstrument> instrument;
  app::ProcessState state;
  std::unique_ptr<app::Program> program;
  std::unique_ptr<journal::TableJournal> journal;
  ModalAnswerer answers{kPatienceMs};
  bool startupEnded = false;
};

QString Utf16(const QByteArray& bytes) {
  return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
}

TEST(JournalProgram, AfterAKillTheNextStartAsksAndYesBringsTheTableBackByteForByte) {
  struct Case {
    const char* name;
    QStringList child;  // the run that is killed (or closed)
    bool secondCopy;    // a second copy starts while the child runs
    int asked;          // readings the next start asks about; 0: no question
    QMessageBox::StandardButton answer;
  };
  const QString tabbed = QStringLiteral(" tab\tand blanks ");
  const Case cases[] = {
      {"readings, comments and Clear Line",
       {"measure", "measure", "measure", "measure", "comment", "1", tabbed, "comment", "3", "Ω € ü", "clearline", "0",
        "measure", "comment", "3", "last"},
       true,
       4,
       QMessageBox::Yes},
      {"No discards them", {"measure", "measure", "comment", "0", "x"}, false, 2, QMessageBox::No},
      {"Clear Data, then readings", {"measure", "measure", "cleardata", "measure"}, false, 1, QMessageBox::Yes},
      {"Clear Data last leaves nothing to ask about", {"measure", "measure", "cleardata"}, false, 0, QMessageBox::No},
      {"a normal close leaves nothing to ask about", {"measure", "measure", "close"}, false, 0, QMessageBox::No},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir state;
    const QString folder = state.filePath(QStringLiteral("korvanta"));
    const QString exportFile = state.filePath(QStringLiteral("export.txt"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(state.path());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(KORVANTA_JOURNAL_CHILD), QStringList{exportFile} + c.child);
    const bool closes = c.child.last() == QLatin1String("close");
    QByteArray out;
    ASSERT_TRUE(WaitUntil(
        [&] {
          out += child.readAllStandardOutput();
          return out.contains("journal-child: ready") || child.state() == QProcess::NotRunning;
        },
        kPatienceMs));
    if (closes) {
      ASSERT_TRUE(child.state() == QProcess::NotRunning || child.waitForFinished(kPatienceMs));
      ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
      ASSERT_EQ(child.exitCode(), 0);
    } else {
      ASSERT_TRUE(out.contains("journal-child: ready")) << "the child ended early";
    }

    if (c.secondCopy) {
      // A second copy while the first runs: without a journal, said once, asking nothing.
      testing::internal::CaptureStderr();
      {
        Start second(folder);
        EXPECT_FALSE(second.journal->Active());
        second.ShowAndWaitForTheStartUpSequence();
        second.w().AppendReadingRow({{"01.01.2024", "08:00:00", "", "", "1.0", "2.0", "of the second copy"}});
        EXPECT_TRUE(second.answers.WaitAllAnswered());
      }  // and its normal end must not empty the first one's journal
      const std::string err = testing::internal::GetCapturedStderr();
      EXPECT_NE(err.find("another copy of the program keeps its journal"), std::string::npos) << err;
      EXPECT_EQ(err.find("korvanta:"), err.rfind("korvanta:")) << err;
    }

    if (!closes) {
      child.kill();  // SIGKILL: nothing of the child's own runs any more
      ASSERT_TRUE(child.waitForFinished(kPatienceMs));
      ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);
    }
    const QString before = Utf16(testing_support::ReadFileBytes(exportFile));

    Start next(folder);
    ASSERT_TRUE(next.journal->Active());
    EXPECT_EQ(next.journal->Store().LeftOverCount(), c.asked);
    QString question;
    if (c.asked > 0) {
      next.answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog"));
      next.answers.Expect([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        question = box->text();
        // Polling goes on behind the question: this run's first reading comes in now.
        next.Measure();
        box->button(c.answer)->click();
      });
      next.w().show();
      ASSERT_TRUE(WaitUntil([&] { return next.startupEnded; }, kPatienceMs));
    } else {
      next.ShowAndWaitForTheStartUpSequence();
      next.Measure();
    }
    ASSERT_TRUE(next.answers.WaitAllAnswered());
    if (c.asked > 0) {
      EXPECT_EQ(
          question,
          c.asked == 1
              ? QStringLiteral("The last session ended unexpectedly with 1 reading. Restore it?")
              : QStringLiteral("The last session ended unexpectedly with %1 readings. Restore them?").arg(c.asked));
    }

    QStringList lines = table::BuildExportLines(table::ColumnHeadings(next.state.Language), next.w().Rows());
    ASSERT_FALSE(lines.isEmpty());
    const QString thisRun = lines.takeLast();
    if (c.answer == QMessageBox::Yes) {
      // The rows of the killed run, exactly, ahead of this run's reading; the counter counts this
      // run's readings only.
      EXPECT_EQ(table::JoinExportLines(lines), before);
      EXPECT_EQ(next.w().Rows().Count(), c.asked + 1);
      EXPECT_TRUE(thisRun.startsWith(QString::number(c.asked + 1) + QLatin1Char('\t'))) << thisRun.toStdString();
    } else {
      EXPECT_EQ(next.w().Rows().Count(), 1);
    }
    EXPECT_EQ(next.w().Label23->text(), QStringLiteral("1"));

    // Whatever the answer, a normal end leaves nothing for the start after.
    next.journal.reset();
    EXPECT_EQ(journal::JournalStore(folder).LeftOverCount(), 0);
  }
}

TEST(JournalProgram, AJournalThatCannotBeKeptIsToldOnceInTheOperatorsLanguageAndThePollingGoesOn) {
  struct Case {
    const char* name;
    int language;
    const char* folder;                                    // in a fresh temporary folder
    std::function<void(const QTemporaryDir& dir)> before;  // before the start
    bool failLater;                                        // the journal fills up after the start
    const char16_t* title;
    const char16_t* says;
    const char* stderrSays;
    bool keepsJournaling;
  };
  const Case cases[] = {
      {"a state folder that cannot be created (a file stands in its way)", i18n::kGerman, "blocked/korvanta",
       [](const QTemporaryDir& dir) { testing_support::WriteFileBytes(dir.filePath("blocked"), "a file"); }, false,
       u"Journal der Messwerte", u"kann nicht geschrieben werden", "cannot be written", false},
      {"a file that is no database", i18n::kFrench, "korvanta",
       [](const QTemporaryDir& dir) {
         QDir().mkpath(dir.filePath("korvanta"));
         testing_support::WriteFileBytes(dir.filePath("korvanta/journal.db"), QByteArray(5000, 'z'));
       },
       false, u"Journal des mesures", u"Il a été conservé sous « ", "could not be used", true},
      {"a journal of a newer version, left as it is", i18n::kGerman, "korvanta",
       [](const QTemporaryDir& dir) {
         QDir().mkpath(dir.filePath("korvanta"));
         sqlite3* db = nullptr;
         sqlite3_open(QFile::encodeName(dir.filePath("korvanta/journal.db")).constData(), &db);
         sqlite3_exec(db, "CREATE TABLE reading (x); PRAGMA user_version = 99;", nullptr, nullptr, nullptr);
         sqlite3_close(db);
       },
       false, u"Journal der Messwerte", u"von einer neueren Version des Programms geschrieben", "newer version", false},
      {"a journal that fills up", i18n::kEnglish, "korvanta", nullptr, true, u"Journal of the readings",
       u"cannot be written: database or disk is full", "cannot be written", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QString::fromLatin1(c.folder));
    if (c.before) c.before(dir);

    testing::internal::CaptureStderr();
    Start s(folder, c.language);
    QString title;
    QString text;
    s.answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog"));
    if (!c.failLater) s.answers.ExpectMessageBox(QMessageBox::Ok, &text, &title);
    s.w().show();
    ASSERT_TRUE(WaitUntil([&] { return s.startupEnded; }, kPatienceMs));
    if (c.failLater) {
      s.journal->Store().SetPageLimit(1);
      for (int i = 0; i < 1000 && s.journal->Active(); ++i) {
        s.w().AppendReadingRow({{"01.01.2024", "08:00:00", "", "", QString::number(i), "2.0", QString(40, 'c')}});
      }
      ASSERT_FALSE(s.journal->Active());
      // The message waits for the event loop, and the polling goes on behind it.
      s.answers.Expect([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        s.Measure();
        box->button(QMessageBox::Ok)->click();
      });
    }
    ASSERT_TRUE(s.answers.WaitAllAnswered(kPatienceMs));
    EXPECT_EQ(title, QString::fromUtf16(c.title));
    EXPECT_TRUE(text.contains(QString::fromUtf16(c.says))) << text.toStdString();
    EXPECT_EQ(s.journal->Active(), c.keepsJournaling);

    // Nothing more is told, whatever the table does now.
    s.Measure();
    s.w().Rows().SetComment(0, QStringLiteral("after"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.stderrSays), std::string::npos) << err;
    EXPECT_EQ(err.find("korvanta:"), err.rfind("korvanta:")) << err;
  }
}

}  // namespace
