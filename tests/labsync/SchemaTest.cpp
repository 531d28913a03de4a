// The lab schema on a real server: its creation and renewal, the rights of the two roles, a
// server at a newer version, and --init-lab-database as a lab's administrator runs it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <thread>

#include "labsync/Connection.h"
#include "labsync/Schema.h"
#include "tests/labsync/LabDatabaseTest.h"

namespace labsync {
namespace {

using std::chrono::seconds;
using testing_support::LabDatabaseTest;

class SchemaTest : public LabDatabaseTest {
 protected:
  Outcome Init(InitReport& report) {
    Connection connection;
    Outcome outcome = connection.Open(ConnInfo(), In(seconds(60)));
    if (!outcome.Ok()) return outcome;
    return InitSchema(connection, In(seconds(60)), report);
  }
};

TEST_F(SchemaTest, IsCreatedOnceAndThenRenewed) {
  InitReport report;
  ASSERT_TRUE(Init(report).Ok());
  EXPECT_EQ(report.action, InitReport::Action::Created);
  EXPECT_EQ(report.after, kSchemaVersion);
  EXPECT_EQ(Scalar("SELECT count(*) FROM pg_tables WHERE schemaname = 'korvanta'"), "11");
  EXPECT_EQ(Scalar("SELECT major || '.' || minor FROM korvanta.schema_version"), kSchemaVersion.Text());

  ASSERT_TRUE(Init(report).Ok());
  EXPECT_EQ(report.action, InitReport::Action::Renewed);
  EXPECT_EQ(report.before, kSchemaVersion);
  EXPECT_EQ(Rows("schema_version"), 1);
}

// Two administrators at once: the second waits for the first and finds the schema made.
TEST_F(SchemaTest, TwoInitsAtOnceBothSucceed) {
  InitReport reports[2];
  Outcome outcomes[2];
  std::thread first([&] { outcomes[0] = Init(reports[0]); });
  outcomes[1] = Init(reports[1]);
  first.join();
  ASSERT_TRUE(outcomes[0].Ok()) << Describe(outcomes[0]).toStdString();
  ASSERT_TRUE(outcomes[1].Ok()) << Describe(outcomes[1]).toStdString();
  EXPECT_NE(reports[0].action, reports[1].action);
  for (const InitReport& r : reports) {
    EXPECT_TRUE(r.action == InitReport::Action::Created || r.action == InitReport::Action::Renewed);
  }
}

// A newer minor version only added things: it stays as it is, rights included. A newer major is
// refused and changes nothing; a version row that does not read is bad data, not a version.
TEST_F(SchemaTest, ANewerOrBrokenServerIsLeftAsItIs) {
  struct Case {
    const char* version;
    Failure failure;
    InitReport::Action action;
  };
  const Case cases[] = {
      {"major = 1, minor = 4", Failure::None, InitReport::Action::LeftNewerMinor},
      {"major = 2, minor = 0", Failure::SchemaTooNew, {}},
      {"major = NULL", Failure::BadData, {}},
  };
  InitLab();
  ASSERT_TRUE(Exec("ALTER TABLE korvanta.schema_version ALTER COLUMN major DROP NOT NULL"));
  ASSERT_TRUE(Exec("CREATE TABLE korvanta.added_later (x integer)"));
  for (const Case& c : cases) {
    ASSERT_TRUE(Exec(QStringLiteral("UPDATE korvanta.schema_version SET %1").arg(QLatin1String(c.version))));
    InitReport report;
    const Outcome outcome = Init(report);
    EXPECT_EQ(outcome.failure, c.failure) << c.version;
    if (c.failure == Failure::None) {
      EXPECT_EQ(report.action, c.action) << c.version;
    }
    EXPECT_EQ(Scalar("SELECT count(*) FROM pg_tables WHERE schemaname = 'korvanta'"), "12") << c.version;
  }
}

// What each role may do, statement by statement; the privilege is checked whether or not a row
// is touched.
TEST_F(SchemaTest, RolesMayDoWhatTheyAreFor) {
  EnsureRole(kStationRole);
  EnsureRole(kLeadRole);
  EnsureRole("station_a", kStationRole);
  EnsureRole("lead_a", kLeadRole);
  EnsureRole("stranger");
  InitReport report;
  ASSERT_TRUE(Init(report).Ok());
  EXPECT_EQ(report.rolesGranted, QStringList({kStationRole, kLeadRole}));

  struct Case {
    const char* role;
    const char* sql;
    bool allowed;
  };
  const Case cases[] = {
      {"station_a", "SELECT count(*) FROM korvanta.readings", true},
      {"station_a", "INSERT INTO korvanta.readings SELECT * FROM korvanta.readings WHERE false", true},
      {"station_a", "INSERT INTO korvanta.withdrawals SELECT * FROM korvanta.withdrawals WHERE false", true},
      {"station_a", "INSERT INTO korvanta.products SELECT * FROM korvanta.products WHERE false", true},
      {"station_a", "UPDATE korvanta.stations SET name = name, last_seen_at = now() WHERE false", true},
      {"station_a", "UPDATE korvanta.readings SET comment = '' WHERE false", false},
      {"station_a", "DELETE FROM korvanta.readings WHERE false", false},
      {"station_a", "DELETE FROM korvanta.withdrawals WHERE false", false},
      {"station_a", "UPDATE korvanta.stations SET joined_at = now() WHERE false", false},
      {"station_a", "UPDATE korvanta.products SET retired = true WHERE false", false},
      {"station_a", "TRUNCATE korvanta.readings", false},
      {"station_a", "UPDATE korvanta.batch_counts SET readings = 0 WHERE false", false},
      {"lead_a", "INSERT INTO korvanta.batch_counts SELECT * FROM korvanta.batch_counts WHERE false", false},
      {"lead_a", "UPDATE korvanta.products SET spec_uuid = spec_uuid, retired = true WHERE false", true},
      {"lead_a", "UPDATE korvanta.products SET product = product WHERE false", true},
      {"station_a", "UPDATE korvanta.products SET product = product WHERE false", false},
      {"lead_a", "INSERT INTO korvanta.readings SELECT * FROM korvanta.readings WHERE false", true},
      {"lead_a", "UPDATE korvanta.specifications SET product = product WHERE false", false},
      {"lead_a", "DELETE FROM korvanta.readings WHERE false", false},
      {"stranger", "SELECT count(*) FROM korvanta.readings", false},
  };
  for (const Case& c : cases) {
    QString error;
    const bool ran = Exec(QStringLiteral("BEGIN; SET ROLE %1; %2; ROLLBACK").arg(c.role, c.sql), &error);
    EXPECT_EQ(ran, c.allowed) << c.role << ": " << c.sql << " " << error.toStdString();
    if (!ran) {
      EXPECT_TRUE(error.startsWith(QLatin1String("42501"))) << error.toStdString();
    }
  }
}

#ifdef KORVANTA_PROGRAM_FILE  // the program is not built under ThreadSanitizer
// The program as an administrator runs it: one line, and the exit status says how it went.
TEST_F(SchemaTest, InitLabDatabaseCommand) {
  struct Case {
    QStringList arguments;
    int status;
    const char* says;  // in the one line on standard output (status 0) or standard error
  };
  const QString conninfo = QString::fromUtf8(ConnInfo());
  const Case cases[] = {
      {{"--init-lab-database=" + conninfo}, 0, "Lab database set up (schema 1.1)."},
      {{"--init-lab-database", conninfo}, 0, "Lab database already at schema 1.1; rights renewed."},
      {{"--lab-database=" + conninfo + " password=s3cret"}, 2, "The connection string holds a password."},
      {{"--init-lab-database=" + conninfo + " password=s3cret"}, 1, "The connection string holds a password."},
      {{"--init-lab-database=" + QString::fromUtf8(cluster_->ConnInfo("no_such_database"))},
       1,
       "The lab database does not exist on the server."},
      {{"--init-lab-database=host=/nonexistent"}, 1, "The server of the lab database cannot be reached."},
      {{"--init-lab-database"}, 2, "needs a value"},
  };
  for (const Case& c : cases) {
    QTemporaryDir folder;  // no settings file there: the messages are English
    QProcess program;
    program.setWorkingDirectory(folder.path());
    program.start(QStringLiteral(KORVANTA_PROGRAM_FILE), c.arguments);
    ASSERT_TRUE(program.waitForFinished(120000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    const QString& line = c.status == 0 ? out : err;
    EXPECT_EQ(program.exitCode(), c.status) << c.arguments.join(' ').toStdString() << "\n" << err.toStdString();
    EXPECT_TRUE(line.startsWith(QStringLiteral("korvanta: "))) << line.toStdString();
    EXPECT_TRUE(line.contains(QString::fromUtf8(c.says))) << line.toStdString();
    EXPECT_EQ(line.count(QLatin1Char('\n')), 1) << line.toStdString();
    EXPECT_EQ((c.status == 0 ? err : out), QString()) << c.arguments.join(' ').toStdString();
    EXPECT_FALSE(out.contains(QLatin1String("s3cret")) || err.contains(QLatin1String("s3cret")));
  }
  EXPECT_EQ(Rows("schema_version"), 1);
}
#endif

}  // namespace
}  // namespace labsync
