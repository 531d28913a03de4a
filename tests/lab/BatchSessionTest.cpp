// The batch following the table model: which rows are recorded, withdrawn and re-commented, and
// that nothing is recorded twice when rows come back from an earlier session.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "lab/BatchSession.h"

namespace lab {
namespace {

table::MeasurementRow Reading(const QString& value60, std::int64_t takenMsecs, bool identity = true) {
  table::MeasurementRow row;
  row.texts = {QStringLiteral("08.12.2026"),
               QStringLiteral("17:20:00"),
               QString(),
               QString(),
               QStringLiteral("---"),
               value60,
               QString()};
  if (identity) row.uuid = QUuid::createUuid();
  row.takenMsecs = takenMsecs;
  row.utcOffsetSeconds = 3600;
  return row;
}

class BatchSessionTest : public ::testing::Test {
 protected:
  BatchSessionTest() {
    session_.Now = [this] { return Instant{now_, 3600}; };
    Specification spec;
    spec.name = QStringLiteral("Gloss 80");
    spec.limits.angle[1] = AngleLimits::Around(8000, 500);
    store_.AddProduct(spec);
    spec_ = spec.id;
  }

  QTemporaryDir dir_;
  LabStore store_{dir_.filePath(QStringLiteral("lab.db"))};
  table::MeasurementModel rows_;
  std::int64_t now_ = 1'000'000;
  BatchSession session_{rows_, store_, [] {
                          return BatchSession::Instrument{QStringLiteral("SN1"), QStringLiteral("08 15")};
                        }};
  std::int64_t spec_ = 0;
};

TEST_F(BatchSessionTest, RecordsOnlyReadingsTakenWhileTheBatchIsOpen) {
  rows_.AppendRow(Reading(QStringLiteral("80.0"), now_ - 10));  // before the batch
  ASSERT_TRUE(session_.Start(QStringLiteral("B-1"), spec_, QStringLiteral("Ann")));
  rows_.AppendRow(Reading(QStringLiteral("80.0"), now_ + 1));
  rows_.AppendRow(Reading(QStringLiteral("74.0"), now_ + 2));
  rows_.AppendRow(Reading(QStringLiteral("50.0"), now_ + 3, false));  // the test button's
  rows_.AppendRow(Reading(QStringLiteral("84.8"), now_ + 4));
  Batch b = *session_.Current();
  EXPECT_EQ(b.readings, 3);
  EXPECT_EQ(b.passes, 1);
  EXPECT_EQ(b.fails, 1);
  EXPECT_EQ(b.warnings, 1);
  EXPECT_EQ(session_.OpenReadings().rowCount(), 3);
  EXPECT_EQ(session_.Latest()->judgement.reading, Verdict::Warn);
  EXPECT_EQ(store_.Readings(b.id)[0].input.serial, QStringLiteral("SN1"));

  // Clear Line on the failed reading withdraws it; on the test row and the earlier row, nothing.
  rows_.RemoveRowAt(2);
  rows_.RemoveRowAt(2);
  rows_.RemoveRowAt(0);
  b = *session_.Current();
  EXPECT_EQ(b.readings, 2);
  EXPECT_EQ(b.fails, 0);
  EXPECT_EQ(b.withdrawn, 1);
  EXPECT_EQ(session_.OpenReadings().rowCount(), 2);

  // A comment edited in the table; Clear Data keeps the batch's readings.
  rows_.SetComment(0, QStringLiteral("edge of panel"));
  EXPECT_EQ(store_.Readings(b.id)[0].comment, QStringLiteral("edge of panel"));
  EXPECT_EQ(store_.Readings(b.id)[0].input.comment, QString());
  rows_.Clear();
  EXPECT_EQ(session_.Current()->readings, 2);
  EXPECT_EQ(session_.OpenReadings().rowCount(), 2);
  EXPECT_TRUE(store_.Writable());
}

TEST_F(BatchSessionTest, RowsBroughtBackAreNeverRecordedTwice) {
  ASSERT_TRUE(session_.Start(QStringLiteral("B-2"), std::nullopt, QString()));
  const table::MeasurementRow recorded = Reading(QStringLiteral("80.0"), now_ + 1);
  rows_.AppendRow(recorded);
  rows_.AppendRow(Reading(QStringLiteral("81.0"), now_ + 2));
  // The next run's table: the journal puts the earlier rows in front, among them one the record
  // never got (a kill came between the two) and one taken before the batch began.
  table::MeasurementModel next;
  BatchSession again(next, store_, {});
  again.Now = session_.Now;
  next.AppendRow(Reading(QStringLiteral("82.0"), now_ + 50));
  const table::MeasurementRow lost = Reading(QStringLiteral("83.0"), now_ + 3);
  next.InsertRowsAtFront({Reading(QStringLiteral("70.0"), now_ - 5), recorded, lost});
  const Batch b = *again.Current();
  EXPECT_EQ(b.readings, 4);
  EXPECT_EQ(store_.BatchOfReading(lost.uuid), b.id);
  EXPECT_EQ(again.OpenReadings().rowCount(), 4);
}

TEST_F(BatchSessionTest, StartingAnotherClosesTheOpenOneAndContinuingReopens) {
  ASSERT_TRUE(session_.Start(QStringLiteral("A"), spec_, QString()));
  const std::int64_t a = session_.Current()->id;
  rows_.AppendRow(Reading(QStringLiteral("80.0"), now_ + 1));
  now_ += 100;
  ASSERT_TRUE(session_.Start(QStringLiteral("B"), spec_, QString()));
  EXPECT_FALSE(store_.BatchById(a)->Open());
  EXPECT_EQ(session_.OpenReadings().rowCount(), 0);
  now_ += 100;
  ASSERT_TRUE(session_.Continue(a));
  EXPECT_EQ(session_.Current()->id, a);
  EXPECT_EQ(session_.OpenReadings().rowCount(), 1);
  const std::vector<BatchEvent> events = store_.BatchEvents(a);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[2].kind, BatchEvent::Kind::Reopened);
  EXPECT_EQ(events[2].at.msecs, now_);
  ASSERT_TRUE(session_.Close());
  EXPECT_FALSE(session_.Current());
  rows_.AppendRow(Reading(QStringLiteral("80.0"), now_ + 1));
  EXPECT_EQ(store_.BatchById(a)->readings, 1);
}

}  // namespace
}  // namespace lab
