// The lab view's answers from a server whose tables were changed by hand: whatever does not hold
// what the view needs is refused with the column and row named, never shown or crashed on.
#include <gtest/gtest.h>

#include "labsync/LabQueries.h"
#include "tests/labsync/LabDatabaseTest.h"

namespace labsync {
namespace {

using std::chrono::seconds;

constexpr const char* kBatch = "22222222-2222-2222-2222-222222222222";

struct BadDataCase {
  const char* name;
  const char* tamper;  // run as the superuser on a lab database holding one batch of two readings
  const char* detail;  // the BadData's detail; the batch list's when it starts with "batches"
};

class LabQueriesTest : public testing_support::LabDatabaseTest, public ::testing::WithParamInterface<BadDataCase> {
 protected:
  void SetUp() override {
    LabDatabaseTest::SetUp();
    InitLab();
    QString error;
    ASSERT_TRUE(Exec(QStringLiteral(R"(
      INSERT INTO korvanta.stations (station_uuid, name) VALUES ('11111111-1111-1111-1111-111111111111', 'Line 1');
      INSERT INTO korvanta.batches (batch_uuid, station_uuid, station_sequence, batch_id, product, operator,
                                    started_at, started_utc_offset)
        VALUES ('%1', '11111111-1111-1111-1111-111111111111', 1, 'B-1', 'Satin white', 'Ann',
                '2026-05-04 14:02:00+02', 7200);
      INSERT INTO korvanta.readings (reading_uuid, batch_uuid, station_uuid, station_sequence, taken_at,
          taken_utc_offset, date_text, time_text, mode_20, mode_60, value_20_text, value_60_text, value_20, value_60,
          comment, verdict_20, verdict_60, verdict_haze, verdict, serial, firmware)
        SELECT gen_random_uuid(), '%1', '11111111-1111-1111-1111-111111111111', n + 1,
               '2026-05-04 14:02:00+02'::timestamptz + n * interval '1 second', 7200, '04.05.2026', '14:02:0' || n,
               '', 'C', '75.3', '88.5', 75.3, 88.5, '', 'PASS', 'PASS', NULL, 'PASS', 'QX31804711', '08 15'
          FROM generate_series(1, 2) AS n)")
                         .arg(QLatin1String(kBatch)),
                     &error))
        << error.toStdString();
  }
};

TEST_P(LabQueriesTest, RefusesWhatTheTablesShouldNotHold) {
  QString error;
  ASSERT_TRUE(Exec(QString::fromUtf8(GetParam().tamper), &error)) << error.toStdString();
  Connection connection;
  ASSERT_TRUE(connection.Open(ConnInfo(), In(seconds(30))).Ok());
  Outcome outcome;
  if (QByteArray(GetParam().detail).startsWith("batches")) {
    std::vector<LabBatch> batches;
    outcome = ListBatches(connection, {}, In(seconds(30)), batches);
    EXPECT_TRUE(batches.empty());
  } else {
    std::vector<LabReading> readings;
    outcome = ReadBatch(connection, QUuid::fromString(QLatin1String(kBatch)), In(seconds(30)), readings);
    EXPECT_EQ(readings.size(), *GetParam().detail == '\0' ? 2u : 0u);
  }
  if (*GetParam().detail == '\0') {
    EXPECT_TRUE(outcome.Ok()) << Describe(outcome).toStdString();
  } else {
    EXPECT_EQ(outcome.failure, Failure::BadData);
    EXPECT_EQ(outcome.detail, QString::fromUtf8(GetParam().detail));
  }
  // The connection is still good for the next question.
  std::vector<LabBatch> none;
  BatchFilter filter;
  filter.text = QStringLiteral("no such batch_%");
  EXPECT_TRUE(ListBatches(connection, filter, In(seconds(30)), none).Ok());
  EXPECT_TRUE(none.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tampered, LabQueriesTest,
    ::testing::Values(BadDataCase{"NothingChanged", "SELECT 1", ""},
                      BadDataCase{"OverlongProduct",
                                  "ALTER TABLE korvanta.batches DROP CONSTRAINT batches_product_check; "
                                  "UPDATE korvanta.batches SET product = repeat('é', 201)",
                                  "batches.product, row 1"},
                      BadDataCase{"NullOperator",
                                  "ALTER TABLE korvanta.batches ALTER COLUMN operator DROP NOT NULL; "
                                  "UPDATE korvanta.batches SET operator = NULL",
                                  "batches.operator, row 1"},
                      BadDataCase{"EmptyStationName",
                                  "ALTER TABLE korvanta.stations DROP CONSTRAINT stations_name_check; "
                                  "UPDATE korvanta.stations SET name = ''",
                                  "batches.station, row 1"},
                      BadDataCase{"OffsetBeyondAnyZone",
                                  "ALTER TABLE korvanta.batches DROP CONSTRAINT batches_started_utc_offset_check; "
                                  "UPDATE korvanta.batches SET started_utc_offset = 86400",
                                  "batches.started_utc_offset, row 1"},
                      BadDataCase{"UnknownVerdict",
                                  "ALTER TABLE korvanta.readings DROP CONSTRAINT readings_verdict_check; "
                                  "UPDATE korvanta.readings SET verdict = 'MAYBE' WHERE station_sequence = 3",
                                  "readings.verdict, row 2"},
                      BadDataCase{"NullInstant",
                                  "ALTER TABLE korvanta.readings ALTER COLUMN taken_at DROP NOT NULL; "
                                  "UPDATE korvanta.readings SET taken_at = NULL WHERE station_sequence = 2",
                                  "readings.taken_at, row 2"},
                      BadDataCase{"ValueBeyondTheColumn",
                                  "ALTER TABLE korvanta.readings ALTER COLUMN value_20 TYPE numeric; "
                                  "UPDATE korvanta.readings SET value_20 = 1e20 WHERE station_sequence = 2",
                                  "readings.value_20, row 1"},
                      BadDataCase{"OverlongComment",
                                  "ALTER TABLE korvanta.readings DROP CONSTRAINT readings_comment_check; "
                                  "UPDATE korvanta.readings SET comment = repeat('x', 4001)",
                                  "readings.comment, row 1"}),
    [](const ::testing::TestParamInfo<BadDataCase>& param) { return param.param.name; });

}  // namespace
}  // namespace labsync
