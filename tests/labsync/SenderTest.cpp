// The sender against a real server: every change arrives exactly once through a stopped server, a
// killed session, a silent server and every refusal a lab can meet, and nothing leaves the outbox
// before the server has it. Counts are exact. Waits only bound a hang; no time is asserted.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <thread>

#include "labsync/LabQueries.h"
#include "labsync/LabSyncTexts.h"
#include "labsync/Sender.h"
#include "tests/labsync/LabDatabaseTest.h"
#include "tests/labsync/MemoryOutbox.h"

namespace labsync {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing_support::BatchOfReadings;
using testing_support::LabDatabaseTest;
using testing_support::MakeBatch;
using testing_support::MakeReading;
using testing_support::MemoryOutbox;
using testing_support::StationTime;

// Polls `done` until it holds; false after `limit`, which only guards against a hang.
bool Eventually(const std::function<bool()>& done, seconds limit = seconds(120)) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

class SenderTest : public LabDatabaseTest {
 protected:
  SenderSettings Settings(const QByteArray& conninfo) const {
    SenderSettings s;
    s.conninfo = conninfo + " application_name=" + ApplicationName();
    s.station = QUuid::createUuid();
    s.stationName = QStringLiteral("Line 1");
    s.connectTimeout = seconds(30);
    s.queryTimeout = seconds(60);
    s.firstRetry = milliseconds(20);
    s.longestRetry = milliseconds(200);
    s.rowsPerRound = 100;
    return s;
  }
  SenderSettings Settings() const { return Settings(ConnInfo()); }
  QByteArray ApplicationName() const { return "sender_" + database_.toLatin1(); }

  // The sender's session waits for a lock: it is inside its transaction.
  bool SenderWaitsForLock() {
    return Scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE application_name = '%1' "
                                 "AND wait_event_type = 'Lock'")
                      .arg(QString::fromLatin1(ApplicationName()))) == QLatin1String("1");
  }
  // A session of the test's own that keeps the sender's inserts into readings waiting.
  void HoldReadings(Connection& holder) {
    ASSERT_TRUE(holder.Open(ConnInfo(), In(seconds(30))).Ok());
    ASSERT_TRUE(holder.Run({{"BEGIN", {}}, {"LOCK TABLE korvanta.readings IN SHARE MODE", {}}}, In(seconds(30))).Ok());
  }
};

TEST_F(SenderTest, EveryKindOfChangeArrivesOnceAndReadsBack) {
  InitLab();
  MemoryOutbox outbox;
  SpecificationAdded spec;
  spec.specification = QUuid::createUuid();
  spec.product = QStringLiteral("Satin white");
  spec.version = 3;
  spec.at20 = {8000, 250, std::nullopt, std::nullopt};
  spec.at60.minimum = 8500;
  spec.warningBand = 1250;
  spec.largestHaze = -5;
  spec.at = StationTime(-60);
  outbox.Add(spec);
  const BatchStarted batch = MakeBatch(QStringLiteral("B-2026-0504"), spec.specification);
  outbox.Add(batch);
  std::vector<ReadingRecorded> readings;
  for (int n = 0; n < 250; ++n) readings.push_back(MakeReading(batch.batch, n));
  readings[4].value20.reset();
  readings[4].value20Text = QStringLiteral("---");
  readings[4].verdict = Verdict::NoValue;
  readings[5].comment = QStringLiteral("Kratzer « rayure » \u00A0✓");
  for (const ReadingRecorded& r : readings) outbox.Add(r);
  outbox.Add(ReadingWithdrawn{QUuid::createUuid(), readings[3].reading, StationTime(300)});
  outbox.Add(CommentChanged{QUuid::createUuid(), readings[5].reading, QStringLiteral("first"), StationTime(301)});
  outbox.Add(CommentChanged{QUuid::createUuid(), readings[5].reading, QStringLiteral("second"), StationTime(302)});
  outbox.Add(BatchClosed{QUuid::createUuid(), batch.batch, StationTime(400)});
  outbox.Add(BatchReopened{QUuid::createUuid(), batch.batch, StationTime(500)});
  outbox.Add(BatchClosed{QUuid::createUuid(), batch.batch, StationTime(600)});
  outbox.Add(SpecificationRetired{QUuid::createUuid(), spec.specification, StationTime(700)});
  const std::int64_t all = outbox.Last();

  {
    Sender sender(Settings(), outbox);
    sender.Start();
    ASSERT_TRUE(Eventually([&] { return outbox.Waiting() == 0; })) << Describe(sender.Status().reason).toStdString();
    ASSERT_TRUE(Eventually([&] { return sender.Status().waiting == 0; }));
    EXPECT_EQ(sender.Status().state, LinkStatus::State::Connected);
    EXPECT_GE(sender.Counts().rounds, 3u);  // 259 rows, 100 a round
  }
  EXPECT_EQ(outbox.Acknowledged(), all);
  const std::pair<const char*, long long> expected[] = {
      {"stations", 1},   {"specifications", 1}, {"specification_retirements", 1}, {"batches", 1},  {"batch_events", 3},
      {"readings", 250}, {"withdrawals", 1},    {"comment_changes", 2},           {"products", 0},
  };
  for (const auto& [table, rows] : expected) EXPECT_EQ(Rows(table), rows) << table;
  EXPECT_EQ(Scalar("SELECT minimum_60 || ' ' || warning_band || ' ' || largest_haze || ' ' || tolerance_20 "
                   "FROM korvanta.specifications"),
            "85.00 12.50 -0.05 2.50");

  // The whole of it read back as the lab view reads it.
  Connection connection;
  ASSERT_TRUE(connection.Open(ConnInfo(), In(seconds(30))).Ok());
  std::vector<LabBatch> batches;
  ASSERT_TRUE(ListBatches(connection, {}, In(seconds(30)), batches).Ok());
  ASSERT_EQ(batches.size(), 1u);
  const LabBatch& b = batches.front();
  EXPECT_EQ(b.batch, batch.batch);
  EXPECT_EQ(b.stationName, QStringLiteral("Line 1"));
  EXPECT_EQ(b.operatorName, QStringLiteral("Müller"));
  EXPECT_EQ(b.product, QStringLiteral("Satin white"));
  EXPECT_EQ(b.startedAt, batch.at);
  EXPECT_EQ(b.startedAt.offsetFromUtc(), 7200);
  ASSERT_TRUE(b.closedAt.has_value());
  EXPECT_EQ(*b.closedAt, StationTime(600));
  EXPECT_EQ(b.readings, 249);  // one withdrawn
  long long passes = 0;
  long long warnings = 0;
  for (int n = 0; n < 250; ++n) {
    if (n == 3) continue;
    passes += readings[n].verdict == Verdict::Pass;
    warnings += readings[n].verdict == Verdict::Warn;
  }
  EXPECT_EQ(b.passes, passes);
  EXPECT_EQ(b.warnings, warnings);
  EXPECT_EQ(b.fails, 0);

  std::vector<LabReading> back;
  ASSERT_TRUE(ReadBatch(connection, batch.batch, In(seconds(30)), back).Ok());
  ASSERT_EQ(back.size(), readings.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    const ReadingRecorded& sent = readings[i];
    const LabReading& got = back[i];
    EXPECT_EQ(got.reading, sent.reading) << i;
    EXPECT_EQ(got.takenAt, sent.takenAt) << i;
    EXPECT_EQ(got.takenAt.offsetFromUtc(), 7200) << i;
    EXPECT_EQ(got.date, sent.date) << i;
    EXPECT_EQ(got.value20Text, sent.value20Text) << i;
    EXPECT_EQ(got.value20, sent.value20) << i;
    EXPECT_EQ(got.value60, sent.value60) << i;
    EXPECT_EQ(got.mode60, sent.mode60) << i;
    EXPECT_EQ(got.verdict, sent.verdict) << i;
    EXPECT_EQ(got.verdict20, sent.verdict20) << i;
    EXPECT_EQ(got.verdictHaze, Verdict::NotJudged) << i;
    EXPECT_EQ(got.serial, sent.serial) << i;
    EXPECT_EQ(got.withdrawnAt.has_value(), i == 3) << i;
    EXPECT_EQ(got.comment, i == 5 ? QStringLiteral("second") : sent.comment) << i;
  }

  // The same changes once more, as after a cut between the server's commit and the outbox's
  // acknowledgement: they land on what is there and nothing doubles.
  MemoryOutbox again;
  again.Add(spec);
  again.Add(batch);
  for (const ReadingRecorded& r : readings) again.Add(r);
  {
    SenderSettings settings = Settings();
    Sender sender(settings, again);
    sender.Start();
    ASSERT_TRUE(Eventually([&] { return again.Waiting() == 0; }));
  }
  EXPECT_EQ(Rows("readings"), 250);
  EXPECT_EQ(Rows("batches"), 1);
  EXPECT_EQ(Rows("stations"), 2);  // the second run was another station
}

// The server stops while a round trip is inside its transaction, and starts again: every reading
// is there exactly once, and the outbox held each until the server had it.
TEST_F(SenderTest, ServerStoppedDuringUploadLosesAndDoublesNothing) {
  InitLab();
  MemoryOutbox outbox;
  outbox.Add(BatchOfReadings(QStringLiteral("B-1"), 3000));
  Sender sender(Settings(), outbox);
  sender.Start();
  ASSERT_TRUE(Eventually([&] { return Rows("readings") >= 500; }));

  Connection holder;
  HoldReadings(holder);
  ASSERT_TRUE(Eventually([&] { return SenderWaitsForLock(); }));
  const long long before = Rows("readings");
  ASSERT_TRUE(cluster_->Stop()) << cluster_->Problem().toStdString();
  ASSERT_TRUE(Eventually([&] { return sender.Status().state == LinkStatus::State::Unreachable; }));
  // What was committed before is acknowledged; the round that waited may or may not have come
  // through the shutdown (the lock holder's session can end before the sender's does). Had a round
  // been acknowledged without its commit, the count at the end would be short.
  EXPECT_GE(outbox.Acknowledged(), before + 1);
  EXPECT_EQ(outbox.Waiting(), 3001 - outbox.Acknowledged());
  EXPECT_EQ(sender.Status().waiting, outbox.Waiting());
  EXPECT_TRUE(HealsByItself(sender.Status().reason.failure)) << Describe(sender.Status().reason).toStdString();

  ASSERT_TRUE(cluster_->Start()) << cluster_->Problem().toStdString();
  ASSERT_TRUE(Eventually([&] { return outbox.Waiting() == 0; })) << Describe(sender.Status().reason).toStdString();
  EXPECT_EQ(Rows("readings"), 3000);
  EXPECT_EQ(Rows("batches"), 1);
  EXPECT_EQ(Scalar("SELECT count(DISTINCT station_sequence) FROM korvanta.readings"), "3000");
  ASSERT_TRUE(Eventually([&] { return sender.Status().state == LinkStatus::State::Connected; }));
}

// The sender's session is ended by pg_terminate_backend in the middle of its transaction; the
// sender connects again by itself and sends the round again.
TEST_F(SenderTest, SessionEndedMidTransactionIsSentAgain) {
  InitLab();
  MemoryOutbox outbox;
  outbox.Add(BatchOfReadings(QStringLiteral("B-1"), 1000));
  Sender sender(Settings(), outbox);
  sender.Start();
  ASSERT_TRUE(Eventually([&] { return Rows("readings") >= 200; }));

  Connection holder;
  HoldReadings(holder);
  ASSERT_TRUE(Eventually([&] { return SenderWaitsForLock(); }));
  const std::uint64_t connects = sender.Counts().connects;
  ASSERT_EQ(cluster_->TerminateSessions(database_, QString::fromLatin1(ApplicationName())), 1);
  ASSERT_TRUE(holder.Run({{"ROLLBACK", {}}}, In(seconds(30))).Ok());

  ASSERT_TRUE(Eventually([&] { return outbox.Waiting() == 0; })) << Describe(sender.Status().reason).toStdString();
  EXPECT_EQ(Rows("readings"), 1000);
  EXPECT_GT(sender.Counts().connects, connects);
  EXPECT_EQ(sender.Counts().rows, 1001u);
}

// A server that accepts the connection and never says a word: unreachable once the connect
// time-out has passed, and a stop ends even a wait that would last an hour.
TEST_F(SenderTest, SilentServerIsUnreachableAndTheSenderStillStops) {
  testing_support::SilentServer silent;
  MemoryOutbox outbox;
  outbox.Add(BatchOfReadings(QStringLiteral("B-1"), 20));

  SenderSettings settings = Settings(silent.ConnInfo());
  settings.connectTimeout = milliseconds(500);
  settings.firstRetry = std::chrono::hours(1);  // one try, then a wait only a stop ends
  settings.longestRetry = std::chrono::hours(1);
  {
    Sender sender(settings, outbox);
    sender.Start();
    ASSERT_TRUE(Eventually([&] { return sender.Status().state == LinkStatus::State::Unreachable; }));
    EXPECT_EQ(sender.Status().reason.failure, Failure::TimedOut);
    EXPECT_EQ(sender.Status().waiting, 21);
    EXPECT_TRUE(StatusLine(sender.Status(), 0).contains(QLatin1String("unreachable since")));
    // While it waits to try again, the count follows the outbox.
    outbox.Add(MakeReading(QUuid::createUuid(), 1));
    sender.Notify();
    EXPECT_TRUE(Eventually([&] { return sender.Status().waiting == 22; }));
    EXPECT_EQ(sender.Status().state, LinkStatus::State::Unreachable);
  }

  settings.connectTimeout = std::chrono::hours(1);
  settings.queryTimeout = std::chrono::hours(1);
  Sender sender(settings, outbox);
  sender.Start();
  std::this_thread::sleep_for(milliseconds(300));  // inside the connect's wait by now, or soon
  const auto asked = Clock::now();
  sender.Stop();  // a stop that did not end the wait would hang here until the suite's time-out
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - asked);
  std::printf("stop took %lld ms\n", static_cast<long long>(took.count()));
  EXPECT_EQ(sender.Status().state, LinkStatus::State::Stopped);
  EXPECT_EQ(outbox.Waiting(), 22);
}

// Refusals a lab can meet. Each is told, with its reason, and nothing leaves the outbox.
struct RefusalCase {
  const char* name;
  Failure failure;
  // Makes the situation; returns the connection string the station uses.
  QByteArray (*prepare)(SenderTest&, const QString& passfile);
};

class SenderRefusalTest : public SenderTest, public ::testing::WithParamInterface<RefusalCase> {
 public:
  using SenderTest::EnsureRole;
  using SenderTest::Exec;
  using SenderTest::InitLab;
  QByteArray Info(const QString& user) const { return ConnInfo(user); }
  testing_support::PgCluster& Cluster() { return *cluster_; }
};

QByteArray PasswordUser(SenderTest& t, const QString& passfile, const char* stored) {
  auto& test = static_cast<SenderRefusalTest&>(t);
  test.InitLab();
  test.EnsureRole(QStringLiteral("pw_user"), QString::fromLatin1(kStationRole));
  EXPECT_TRUE(test.Cluster().Exec(QStringLiteral("ALTER ROLE pw_user PASSWORD 'right'")));
  EXPECT_TRUE(test.Cluster().AddHbaLine(QStringLiteral("local all pw_user scram-sha-256")));
  QFile file(passfile);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray("*:*:*:pw_user:") + stored + "\n");
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  return test.Info(QStringLiteral("pw_user")) + " passfile='" + passfile.toUtf8() + "'";
}

const RefusalCase kRefusals[] = {
    {"WrongPassword", Failure::WrongPassword,
     [](SenderTest& t, const QString& passfile) { return PasswordUser(t, passfile, "wrong"); }},
    {"PasswordMissing", Failure::PasswordMissing,
     [](SenderTest& t, const QString& passfile) {
       return PasswordUser(t, passfile, "right").replace(passfile.toUtf8(), "/nonexistent");
     }},
    {"NoSuchDatabase", Failure::NoDatabase,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       return test.Cluster().ConnInfo(QStringLiteral("no_such_database"));
     }},
    {"RoleMayNotLogIn", Failure::NotAllowed,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       test.InitLab();
       test.EnsureRole(QStringLiteral("locked_out"), QString::fromLatin1(kStationRole));
       EXPECT_TRUE(test.Cluster().Exec(QStringLiteral("ALTER ROLE locked_out NOLOGIN")));
       return test.Info(QStringLiteral("locked_out"));
     }},
    {"RoleWithoutRights", Failure::NotAllowed,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       test.InitLab();
       test.EnsureRole(QStringLiteral("outsider"));
       return test.Info(QStringLiteral("outsider"));
     }},
    {"RoleThatMayOnlyRead", Failure::NotAllowed,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       test.InitLab();
       test.EnsureRole(QStringLiteral("reader"));
       EXPECT_TRUE(
           test.Exec(QStringLiteral("GRANT USAGE ON SCHEMA korvanta TO reader; "
                                    "GRANT SELECT ON ALL TABLES IN SCHEMA korvanta TO reader")));
       return test.Info(QStringLiteral("reader"));
     }},
    {"NoLabSchema", Failure::SchemaMissing,
     [](SenderTest& t, const QString&) {
       return static_cast<SenderRefusalTest&>(t).Info(QString::fromLatin1(testing_support::PgCluster::kAdmin));
     }},
    {"NewerMajorSchema", Failure::SchemaTooNew,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       test.InitLab();
       EXPECT_TRUE(test.Exec(QStringLiteral("UPDATE korvanta.schema_version SET major = 2, minor = 1")));
       return test.Info(QString::fromLatin1(testing_support::PgCluster::kAdmin));
     }},
    // An older minor version lacks what this program writes: nothing is sent until it is upgraded.
    {"OlderMinorSchema", Failure::SchemaTooOld,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       test.InitLab({1, 0});
       return test.Info(QString::fromLatin1(testing_support::PgCluster::kAdmin));
     }},
    {"UnreadableSchemaVersion", Failure::BadData,
     [](SenderTest& t, const QString&) {
       auto& test = static_cast<SenderRefusalTest&>(t);
       test.InitLab();
       EXPECT_TRUE(test.Exec(QStringLiteral("DELETE FROM korvanta.schema_version")));
       return test.Info(QString::fromLatin1(testing_support::PgCluster::kAdmin));
     }},
};

TEST_P(SenderRefusalTest, IsToldAndNothingLeavesTheOutbox) {
  QTemporaryDir folder;
  const QByteArray conninfo = GetParam().prepare(*this, folder.filePath(QStringLiteral("pgpass")));
  MemoryOutbox outbox;
  outbox.Add(BatchOfReadings(QStringLiteral("B-1"), 20));
  {
    Sender sender(Settings(conninfo), outbox);
    sender.Start();
    ASSERT_TRUE(Eventually([&] { return sender.Status().state == LinkStatus::State::Unreachable; }));
    const LinkStatus status = sender.Status();
    EXPECT_EQ(status.reason.failure, GetParam().failure) << Describe(status.reason).toStdString();
    EXPECT_EQ(status.waiting, 21);
    if (GetParam().failure == Failure::SchemaTooNew) {
      EXPECT_EQ(status.server.major, 2);
      EXPECT_TRUE(ReasonText(status.reason, 0).contains(QLatin1String("schema 2.1; this program knows 1.1")));
    }
  }
  EXPECT_EQ(outbox.Waiting(), 21);
  EXPECT_EQ(outbox.Acknowledged(), 0);
  const QString readings = Scalar("SELECT count(*) FROM korvanta.readings");
  EXPECT_TRUE(readings.isEmpty() || readings == QLatin1String("0")) << readings.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Lab, SenderRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& param) { return param.param.name; });

// A change that the lab database would not take as it stands holds back itself and what follows;
// what came before it is sent.
TEST_F(SenderTest, AChangeThatCannotBeSentHoldsBackTheRest) {
  InitLab();
  MemoryOutbox outbox;
  const BatchStarted batch = MakeBatch(QStringLiteral("B-1"));
  outbox.Add(batch);
  outbox.Add(MakeReading(batch.batch, 0));
  ReadingRecorded tooLong = MakeReading(batch.batch, 1);
  tooLong.comment = QString(4001, QLatin1Char('x'));
  outbox.Add(tooLong);
  outbox.Add(MakeReading(batch.batch, 2));
  Sender sender(Settings(), outbox);
  sender.Start();
  ASSERT_TRUE(Eventually([&] { return sender.Status().state == LinkStatus::State::Unreachable; }));
  EXPECT_EQ(sender.Status().reason.failure, Failure::BadLocalData);
  EXPECT_EQ(sender.Status().reason.detail, QStringLiteral("outbox row 3, comment"));
  EXPECT_EQ(outbox.Waiting(), 2);
  EXPECT_EQ(Rows("readings"), 1);
}

// Deadlines: a server that is alive but stuck ends the statement itself (statement_timeout) and
// the connection stays; a server that does not answer in time loses the connection.
TEST_F(SenderTest, ConnectionDeadlines) {
  struct Case {
    milliseconds statementTimeout;
    milliseconds deadline;
    const char* sqlState;
    bool staysOpen;
  };
  const Case cases[] = {
      {milliseconds(200), milliseconds(60000), "57014", true},
      {milliseconds(0), milliseconds(300), "", false},
  };
  for (const Case& c : cases) {
    Connection connection;
    ASSERT_TRUE(connection.Open(ConnInfo(), In(seconds(30)), c.statementTimeout).Ok());
    Result result;
    const Outcome outcome = connection.Query({"SELECT pg_sleep(30)", {}}, In(c.deadline), result);
    EXPECT_EQ(outcome.failure, Failure::TimedOut);
    EXPECT_EQ(outcome.sqlState, QString::fromLatin1(c.sqlState));
    EXPECT_EQ(connection.IsOpen(), c.staysOpen);
    if (c.staysOpen) {
      EXPECT_TRUE(connection.Query({"SELECT 1", {}}, In(seconds(30)), result).Ok());
    }
  }

  // A stop from another thread ends a statement's wait.
  StopSignal stop;
  Connection connection(&stop);
  ASSERT_TRUE(connection.Open(ConnInfo(), In(seconds(30))).Ok());
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(milliseconds(200));
    stop.Raise();
  });
  Result result;
  EXPECT_EQ(connection.Query({"SELECT pg_sleep(3600)", {}}, In(std::chrono::hours(1)), result).failure,
            Failure::Stopped);
  stopper.join();
  EXPECT_FALSE(connection.IsOpen());
}

}  // namespace
}  // namespace labsync
