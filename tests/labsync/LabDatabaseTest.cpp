#include "tests/labsync/LabDatabaseTest.h"

#include <QRegularExpression>
#include <memory>

#include "labsync/Schema.h"

namespace testing_support {
namespace {

std::unique_ptr<PgCluster>& ClusterSlot() {
  static std::unique_ptr<PgCluster> cluster;
  return cluster;
}

// Stops the cluster when the tests are done, while the program's application object still lives.
class ClusterEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { ClusterSlot().reset(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

}  // namespace

PgCluster& SharedCluster() {
  if (!ClusterSlot()) ClusterSlot() = std::make_unique<PgCluster>();
  return *ClusterSlot();
}

void LabDatabaseTest::SetUp() {
  cluster_ = &SharedCluster();
  ASSERT_TRUE(cluster_->Ready()) << cluster_->Problem().toStdString();
  static int counter = 0;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  database_ = QStringLiteral("t%1_%2").arg(++counter).arg(QString::fromLatin1(info->name()).toLower());
  database_.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
  database_ = database_.left(60);
  QString error;
  ASSERT_TRUE(
      cluster_->Exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(database_), QStringLiteral("postgres"), &error))
      << error.toStdString();
}

void LabDatabaseTest::TearDown() {
  if (cluster_ != nullptr && cluster_->Scalar(QStringLiteral("SELECT 1")).isEmpty()) cluster_->Start();
}

void LabDatabaseTest::InitLab(labsync::SchemaVersion version) {
  labsync::Connection connection;
  labsync::Outcome outcome = connection.Open(ConnInfo(), labsync::In(std::chrono::seconds(60)));
  ASSERT_TRUE(outcome.Ok()) << labsync::Describe(outcome).toStdString();
  labsync::InitReport report;
  outcome = labsync::InitSchema(connection, labsync::In(std::chrono::seconds(60)), report, version);
  ASSERT_TRUE(outcome.Ok()) << labsync::Describe(outcome).toStdString();
}

long long LabDatabaseTest::Rows(const QString& table) {
  return cluster_->Count(QStringLiteral("SELECT count(*) FROM korvanta.%1").arg(table), database_);
}

void LabDatabaseTest::EnsureRole(const QString& name, const QString& memberOf) {
  if (!memberOf.isEmpty()) EnsureRole(memberOf);
  if (cluster_->Scalar(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = '%1'").arg(name)).isEmpty()) {
    QString error;
    const bool made =
        cluster_->Exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(name), QStringLiteral("postgres"), &error);
    // Another test of this program may have made it meanwhile; that is as good.
    ASSERT_TRUE(made || error.startsWith(QLatin1String("42710"))) << error.toStdString();
  }
  if (!memberOf.isEmpty()) {
    ASSERT_TRUE(cluster_->Exec(QStringLiteral("GRANT %1 TO %2").arg(memberOf, name)));
  }
}

}  // namespace testing_support
