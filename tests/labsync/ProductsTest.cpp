// The lab's products on a real server: a 1.0 schema upgraded with its rows kept, a lead's edits
// that never overwrite another's unseen, a station's claims, and products the tables should not
// hold refused with the column named.
#include <gtest/gtest.h>

#include "labsync/Products.h"
#include "labsync/Schema.h"
#include "tests/labsync/LabDatabaseTest.h"
#include "tests/labsync/MemoryOutbox.h"

namespace labsync {
namespace {

using std::chrono::seconds;
using testing_support::LabDatabaseTest;

constexpr const char* kStation = "11111111-1111-1111-1111-111111111111";

class ProductsTest : public LabDatabaseTest {
 protected:
  Connection& As(Connection& connection, const QString& user) {
    EXPECT_TRUE(connection.Open(ConnInfo(user), In(seconds(30))).Ok());
    return connection;
  }
  static SpecificationAdded Version(const QString& name, int version, std::int64_t target) {
    SpecificationAdded v;
    v.specification = QUuid::createUuid();
    v.productUuid = QUuid::createUuid();
    v.product = name;
    v.version = version;
    v.at20 = {target, 250, std::nullopt, std::nullopt};
    v.at60.minimum = 8500;
    v.warningBand = 1000;
    v.at = testing_support::StationTime(0);
    return v;
  }
  std::vector<LabProduct> Products() {
    Connection connection;
    std::vector<LabProduct> products;
    const Outcome outcome = ReadLabProducts(As(connection, QString::fromLatin1(testing_support::PgCluster::kAdmin)),
                                            In(seconds(30)), products);
    EXPECT_TRUE(outcome.Ok()) << Describe(outcome).toStdString();
    return products;
  }
};

TEST_F(ProductsTest, AnOlderSchemaIsUpgradedWithItsRows) {
  InitLab({1, 0});
  QString error;
  ASSERT_TRUE(Exec(QStringLiteral(R"(
      INSERT INTO korvanta.stations (station_uuid, name) VALUES ('%1', 'Line 1');
      INSERT INTO korvanta.specifications (spec_uuid, station_uuid, station_sequence, product, version, target_20,
                                           tolerance_20, warning_band, created_at)
        VALUES ('22222222-2222-2222-2222-222222222222', '%1', 1, 'Satin white', 1, 80, 2.5, 10, now());
      INSERT INTO korvanta.products (product, spec_uuid) VALUES ('Satin white', '22222222-2222-2222-2222-222222222222');
      INSERT INTO korvanta.batches (batch_uuid, station_uuid, station_sequence, batch_id, product, spec_uuid, operator,
                                    started_at, started_utc_offset)
        VALUES ('33333333-3333-3333-3333-333333333333', '%1', 2, 'B-1', 'Satin white',
                '22222222-2222-2222-2222-222222222222', 'Ann', now(), 0);
      INSERT INTO korvanta.readings (reading_uuid, batch_uuid, station_uuid, station_sequence, taken_at,
          taken_utc_offset, date_text, time_text, mode_20, mode_60, value_20_text, value_60_text, comment, verdict,
          serial, firmware)
        SELECT md5('r' || n)::uuid, '33333333-3333-3333-3333-333333333333', '%1', n + 2, now(), 0, '', '', '', '',
               '', '', '', CASE WHEN n = 1 THEN 'FAIL' ELSE 'PASS' END, '', ''
          FROM generate_series(1, 3) n;
      INSERT INTO korvanta.withdrawals (event_uuid, reading_uuid, station_uuid, station_sequence, withdrawn_at)
        VALUES (gen_random_uuid(), md5('r1')::uuid, '%1', 9, now()))")
                       .arg(QLatin1String(kStation)),
                   &error))
      << error.toStdString();
  Connection connection;
  InitReport report;
  ASSERT_TRUE(
      InitSchema(As(connection, QString::fromLatin1(testing_support::PgCluster::kAdmin)), In(seconds(60)), report)
          .Ok());
  EXPECT_EQ(report.action, InitReport::Action::Upgraded);
  EXPECT_EQ(report.before, (SchemaVersion{1, 0}));
  EXPECT_EQ(report.after, kSchemaVersion);
  const std::vector<LabProduct> products = Products();
  ASSERT_EQ(products.size(), 1u);
  EXPECT_EQ(products[0].name, QStringLiteral("Satin white"));
  EXPECT_EQ(products[0].version.state, SpecificationState::Active);
  EXPECT_TRUE(products[0].version.productUuid.isNull());
  EXPECT_EQ(products[0].version.at20.target, 8000);
  EXPECT_EQ(products[0].version.at20.tolerance, 250);

  // The counts the lab view lists are those of the readings there, and follow what arrives after.
  QString counts = Scalar("SELECT readings || ' ' || passes || ' ' || fails FROM korvanta.batch_counts");
  EXPECT_EQ(counts, "2 2 0");
  ASSERT_TRUE(Exec(QStringLiteral(R"(
      INSERT INTO korvanta.readings (reading_uuid, batch_uuid, station_uuid, station_sequence, taken_at,
          taken_utc_offset, date_text, time_text, mode_20, mode_60, value_20_text, value_60_text, comment, verdict,
          serial, firmware)
        SELECT md5('r' || n)::uuid, '33333333-3333-3333-3333-333333333333', '%1', n + 2, now(), 0, '', '', '', '',
               '', '', '', 'FAIL', '', ''
          FROM generate_series(3, 5) n ON CONFLICT DO NOTHING;
      INSERT INTO korvanta.withdrawals (event_uuid, reading_uuid, station_uuid, station_sequence, withdrawn_at)
        VALUES (gen_random_uuid(), md5('r1')::uuid, '%1', 10, now()), (gen_random_uuid(), md5('r2')::uuid, '%1', 11, now()),
               (gen_random_uuid(), md5('r2')::uuid, '%1', 12, now()))")
                       .arg(QLatin1String(kStation)),
                   &error))
      << error.toStdString();
  // Two readings more (the third was there), and one withdrawn, whatever the events that say so.
  counts = Scalar("SELECT readings || ' ' || passes || ' ' || fails FROM korvanta.batch_counts");
  EXPECT_EQ(counts, "3 1 2");
}

// A lead's edits, one after the other as two leads and a station would make them.
TEST_F(ProductsTest, OnlyALeadEditsAndNeverOverAnotherUnseen) {
  EnsureRole(kStationRole);
  EnsureRole(kLeadRole);
  EnsureRole(QStringLiteral("lead_b"), QString::fromLatin1(kLeadRole));
  EnsureRole(QStringLiteral("station_b"), QString::fromLatin1(kStationRole));
  InitLab();
  const QUuid station = QUuid::fromString(QLatin1String(kStation));
  Connection lead;
  Connection other;
  As(lead, QStringLiteral("lead_b"));
  As(other, QStringLiteral("station_b"));
  bool isLead = false;
  ASSERT_TRUE(ReadIsLead(lead, In(seconds(30)), isLead).Ok());
  EXPECT_TRUE(isLead);
  ASSERT_TRUE(ReadIsLead(other, In(seconds(30)), isLead).Ok());
  EXPECT_FALSE(isLead);

  const SpecificationAdded first = Version(QStringLiteral("Satin white"), 1, 8000);
  SpecificationAdded second = Version(QStringLiteral("Satin white"), 2, 8100);
  second.productUuid = first.productUuid;
  SpecificationAdded renamed = second;
  renamed.specification = QUuid::createUuid();
  renamed.product = QStringLiteral("MATT BLACK");
  SpecificationAdded retired = second;
  retired.specification = QUuid::createUuid();
  retired.version = 3;
  retired.state = SpecificationState::Retired;
  struct Step {
    const char* what;
    Connection* as;
    ProductEdit edit;
    Failure failure;
    const char* detail;
  };
  const Step steps[] = {
      {"a new product", &lead, {QString(), QUuid(), first}, Failure::None, ""},
      {"a station may not", &other, {first.product, first.specification, second}, Failure::NotAllowed, ""},
      {"the same name again",
       &lead,
       {QString(), QUuid(), Version(QStringLiteral("satin WHITE"), 1, 1)},
       Failure::Conflict,
       "name"},
      {"a new version", &lead, {first.product, first.specification, second}, Failure::None, ""},
      {"from an old look", &lead, {first.product, first.specification, renamed}, Failure::Conflict, "changed"},
      {"another product",
       &lead,
       {QString(), QUuid(), Version(QStringLiteral("Matt black"), 1, 500)},
       Failure::None,
       ""},
      {"a rename onto it", &lead, {second.product, second.specification, renamed}, Failure::Conflict, "name"},
      {"retired", &lead, {second.product, second.specification, retired}, Failure::None, ""},
  };
  for (const Step& step : steps) {
    const Outcome outcome = EditLabProduct(*step.as, station, QStringLiteral("Lead's PC"), step.edit, In(seconds(30)));
    EXPECT_EQ(outcome.failure, step.failure) << step.what << ": " << Describe(outcome).toStdString();
    EXPECT_EQ(outcome.detail, QString::fromLatin1(step.detail)) << step.what;
    EXPECT_TRUE(step.as->IsOpen()) << step.what;  // a refused edit leaves the session usable
  }

  const std::vector<LabProduct> products = Products();
  ASSERT_EQ(products.size(), 2u);
  EXPECT_EQ(products[1].name, QStringLiteral("Satin white"));
  EXPECT_TRUE(products[1].retired);
  EXPECT_EQ(products[1].version.specification, retired.specification);
  EXPECT_EQ(products[1].version.version, 3);
  EXPECT_EQ(products[1].version.productUuid, first.productUuid);
  EXPECT_EQ(products[1].changedBy, QStringLiteral("lead_b"));
  EXPECT_EQ(Rows("specifications"), 4);  // every version is kept; refused ones left nothing

  // A station claims the names the lab does not have, for versions the server has.
  SpecificationAdded own = Version(QStringLiteral("Gloss 60"), 1, 6000);
  ASSERT_TRUE(
      other
          .Run({{"INSERT INTO korvanta.stations (station_uuid, name) VALUES ($1, 'Line 2')",
                 {QByteArray(kStation).replace('1', '3')}},
                {SpecificationInsertSql(), {SpecificationRows({{7, own}}), QByteArray(kStation).replace('1', '3')}}},
               In(seconds(30)))
          .Ok());
  int claimed = -1;
  ASSERT_TRUE(ClaimProducts(other,
                            {{QStringLiteral("SATIN WHITE"), own.specification},
                             {QStringLiteral("Gloss 60"), own.specification},
                             {QStringLiteral("Not sent yet"), QUuid::createUuid()}},
                            In(seconds(30)), claimed)
                  .Ok());
  EXPECT_EQ(claimed, 1);
  EXPECT_EQ(Products().size(), 3u);
}

struct BadProductCase {
  const char* name;
  const char* tamper;
  const char* detail;
};

class BadProductsTest : public ProductsTest, public ::testing::WithParamInterface<BadProductCase> {};

TEST_P(BadProductsTest, AreRefusedWithTheColumnNamed) {
  InitLab();
  QString error;
  ASSERT_TRUE(Exec(QStringLiteral(R"(
      INSERT INTO korvanta.stations (station_uuid, name) VALUES ('%1', 'Line 1');
      INSERT INTO korvanta.specifications (spec_uuid, station_uuid, station_sequence, product, version, target_20,
                                           tolerance_20, warning_band, created_at)
        VALUES ('22222222-2222-2222-2222-222222222222', '%1', 1, 'Satin white', 1, 80, 2.5, 10, now());
      INSERT INTO korvanta.products (product, spec_uuid) VALUES ('Satin white', '22222222-2222-2222-2222-222222222222'))")
                       .arg(QLatin1String(kStation)),
                   &error))
      << error.toStdString();
  ASSERT_TRUE(Exec(QString::fromUtf8(GetParam().tamper), &error)) << error.toStdString();
  Connection connection;
  std::vector<LabProduct> products;
  const Outcome outcome = ReadLabProducts(As(connection, QString::fromLatin1(testing_support::PgCluster::kAdmin)),
                                          In(seconds(30)), products);
  EXPECT_EQ(outcome.failure, Failure::BadData);
  EXPECT_EQ(outcome.detail, QString::fromUtf8(GetParam().detail));
  EXPECT_TRUE(products.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tampered, BadProductsTest,
    ::testing::Values(BadProductCase{"OverlongName",
                                     "ALTER TABLE korvanta.products DROP CONSTRAINT products_product_check; "
                                     "UPDATE korvanta.products SET product = repeat('é', 201)",
                                     "products.product, row 1"},
                      BadProductCase{"NullWarningBand",
                                     "ALTER TABLE korvanta.specifications ALTER COLUMN warning_band DROP NOT NULL; "
                                     "UPDATE korvanta.specifications SET warning_band = NULL",
                                     "products.warning_band, row 1"},
                      BadProductCase{"NullRetired",
                                     "ALTER TABLE korvanta.products ALTER COLUMN retired DROP NOT NULL; "
                                     "UPDATE korvanta.products SET retired = NULL",
                                     "products.retired, row 1"},
                      BadProductCase{"TargetWithoutTolerance", "UPDATE korvanta.specifications SET tolerance_20 = NULL",
                                     "products.tolerance_20, row 1"},
                      BadProductCase{"MinimumBesideTarget", "UPDATE korvanta.specifications SET minimum_20 = 70",
                                     "products.minimum_20, row 1"},
                      BadProductCase{"UnknownState",
                                     "ALTER TABLE korvanta.specifications DROP CONSTRAINT specifications_state_check; "
                                     "UPDATE korvanta.specifications SET state = 'gone'",
                                     "products.state, row 1"}),
    [](const ::testing::TestParamInfo<BadProductCase>& param) { return param.param.name; });

}  // namespace
}  // namespace labsync
