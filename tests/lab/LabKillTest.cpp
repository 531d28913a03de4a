// A kill -9 in the middle of a batch loses no reading that reached the table: killed at random
// moments, run after run, the record holds every reading the program had put in its table, once,
// with one outbox row each, and the batch stays open for the next run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include "lab/LabStore.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::WaitUntil;

constexpr int kPatienceMs = 120000;

TEST(LabKill, AKilledRunLosesNoReadingThatReachedTheTable) {
  QTemporaryDir home;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
    env.insert(QString::fromLatin1(name), home.path());
  QRandomGenerator random(20);
  QSet<QString> reached;
  for (int run = 0; run < 6; ++run) {
    SCOPED_TRACE(run);
    QProcess child;
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(home.path());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(KORVANTA_LAB_CHILD), {});
    // Killed after a random number of readings, at whatever point of the next one it is.
    const int readings = 2 + static_cast<int>(random.bounded(10));
    int seen = 0;
    QByteArray pending;
    ASSERT_TRUE(WaitUntil(
        [&] {
          pending += child.readAllStandardOutput();
          qsizetype end = 0;
          while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith("lab-child: ")) {
              reached.insert(QString::fromLatin1(line.mid(11)));
              ++seen;
            }
          }
          return seen >= readings || child.state() == QProcess::NotRunning;
        },
        kPatienceMs));
    ASSERT_EQ(child.state(), QProcess::Running) << "the child ended by itself";
    child.kill();
    ASSERT_TRUE(child.waitForFinished(kPatienceMs));
    // What it printed after the last full line reached the table too.
    pending += child.readAllStandardOutput();
    for (const QByteArray& line : pending.split('\n')) {
      if (line.startsWith("lab-child: ") && line.size() == 11 + 36) reached.insert(QString::fromLatin1(line.mid(11)));
    }
  }

  lab::LabStore store(home.filePath(QStringLiteral("korvanta/lab-simulated.db")));
  ASSERT_EQ(store.State(), lab::LabStore::OpenState::Open) << qPrintable(store.Problem());
  const std::optional<lab::Batch> batch = store.OpenBatch();
  ASSERT_TRUE(batch.has_value()) << "the batch stays open across kills";
  EXPECT_EQ(store.Batches().size(), 1u);
  QSet<QString> recorded;
  for (const lab::Reading& r : store.Readings(batch->id)) {
    EXPECT_FALSE(recorded.contains(r.input.uuid.toString(QUuid::WithoutBraces))) << "recorded twice";
    recorded.insert(r.input.uuid.toString(QUuid::WithoutBraces));
  }
  for (const QString& uuid : reached) EXPECT_TRUE(recorded.contains(uuid)) << qPrintable(uuid) << " was lost";
  EXPECT_EQ(batch->readings, recorded.size());
  int recordedRows = 0;
  for (const lab::OutboxEntry& e : store.Outbox(0, 100000)) {
    if (e.kind == QLatin1String("reading_recorded")) ++recordedRows;
  }
  EXPECT_EQ(recordedRows, recorded.size());
}

}  // namespace
