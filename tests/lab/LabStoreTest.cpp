// The lasting record: every change writes exactly one outbox row in the change's own transaction
// (none when the change fails), readings keep their verdicts against the version their batch began
// with, and a record of a newer version is opened read-only and left as it is.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <functional>

#include "lab/LabStore.h"
#include "lab/OutboxReader.h"

namespace lab {
namespace {

Specification Gloss80() {
  Specification s;
  s.name = QStringLiteral("Gloss 80");
  s.limits.angle[1] = AngleLimits::Around(8000, 500);
  return s;
}

ReadingInput Taken(const QString& value60, const QString& mode60 = QString()) {
  ReadingInput r;
  r.uuid = QUuid::createUuid();
  r.taken = {1'765'000'000'000, 3600};
  r.texts = {
      QStringLiteral("08.12.2026"), QStringLiteral("17:20:00"), QString(), mode60, QStringLiteral("---"), value60};
  r.serial = QStringLiteral("QX31804711");
  r.firmware = QStringLiteral("08 15");
  return r;
}

int Count(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  const int n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return n;
}

unsigned Mode(const QString& path) {
  struct stat st {};
  ::stat(QFile::encodeName(path).constData(), &st);
  return st.st_mode & 0777u;
}

class LabStoreTest : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  QString path_ = dir_.filePath(QStringLiteral("korvanta/lab.db"));
};

TEST_F(LabStoreTest, EachChangeWritesExactlyOneOutboxRowOfItsKind) {
  LabStore store(path_);
  ASSERT_EQ(store.State(), LabStore::OpenState::Open) << qPrintable(store.Problem());
  Specification spec = Gloss80();
  Batch batch;
  ReadingInput reading = Taken(QStringLiteral("79.5"));
  const Instant at{1'765'000'100'000, 3600};
  struct Change {
    const char* kind;
    std::function<bool()> run;
  } changes[] = {
      {"specification_added", [&] { return store.AddProduct(spec); }},
      {"specification_added",
       [&] {
         Specification v2 = spec;
         v2.limits.angle[1] = AngleLimits::Around(8000, 1000);
         return store.ReviseProduct(v2);
       }},
      {"batch_started",
       [&] { return store.StartBatch(QStringLiteral("B-1"), spec.id, QStringLiteral("Ann"), at, batch); }},
      {"reading_recorded", [&] { return store.RecordReading(batch.id, reading); }},
      {"comment_changed", [&] { return store.ChangeComment(reading.uuid, QStringLiteral("edge"), at); }},
      {"reading_withdrawn", [&] { return store.WithdrawReading(reading.uuid, at); }},
      {"batch_closed", [&] { return store.CloseBatch(batch.id, at); }},
      {"batch_reopened", [&] { return store.ReopenBatch(batch.id, at); }},
      {"specification_retired", [&] { return store.RetireProduct(spec.product); }},
  };
  std::int64_t last = 0;
  for (const Change& c : changes) {
    ASSERT_TRUE(c.run()) << c.kind << ": " << qPrintable(store.Problem());
    const std::vector<OutboxEntry> added = store.Outbox(last);
    ASSERT_EQ(added.size(), 1u) << c.kind;
    EXPECT_EQ(added[0].kind, QLatin1String(c.kind));
    EXPECT_EQ(added[0].payload.value(QStringLiteral("record_uuid")).toString(),
              store.RecordUuid().toString(QUuid::WithoutBraces));
    EXPECT_GT(added[0].seq, last);
    last = added[0].seq;
  }
  // Each change has an identity of its own, so that one sent twice is applied once.
  const std::vector<OutboxEntry> all = store.Outbox();
  QSet<QString> events;
  for (const OutboxEntry& e : all) events.insert(e.payload.value(QStringLiteral("event_uuid")).toString());
  EXPECT_EQ(events.size(), static_cast<qsizetype>(all.size()));
  EXPECT_FALSE(events.contains(QString()));
  // The reading's payload carries what a server needs on its own.
  const QJsonObject recorded = all[3].payload;
  EXPECT_EQ(recorded.value(QStringLiteral("reading_uuid")).toString(), reading.uuid.toString(QUuid::WithoutBraces));
  EXPECT_EQ(recorded.value(QStringLiteral("taken")).toString(), QStringLiteral("2025-12-06T06:46:40.000+01:00"));
  EXPECT_EQ(recorded.value(QStringLiteral("event_uuid")).toString(), reading.uuid.toString(QUuid::WithoutBraces));
  EXPECT_EQ(recorded.value(QStringLiteral("angle60")).toObject().value(QStringLiteral("value")).toDouble(), 79.5);
  EXPECT_EQ(recorded.value(QStringLiteral("angle60")).toObject().value(QStringLiteral("value_centi")).toInteger(),
            7950);
  EXPECT_EQ(recorded.value(QStringLiteral("angle60")).toObject().value(QStringLiteral("value_text")).toString(),
            QStringLiteral("79.5"));
  // Judged against version 2 (± 10), the version the batch began with: no warning.
  EXPECT_EQ(recorded.value(QStringLiteral("verdict")).toString(), QStringLiteral("pass"));
}

TEST_F(LabStoreTest, TheSendersOwnConnectionReadsAndEmptiesTheOutboxWhileTheProgramWrites) {
  LabStore store(path_);
  Specification spec = Gloss80();
  ASSERT_TRUE(store.AddProduct(spec));
  Batch batch;
  ASSERT_TRUE(store.StartBatch(QStringLiteral("B"), spec.id, QString(), Instant::Now(), batch));
  OutboxReader sender(path_);
  ASSERT_TRUE(sender.Open()) << qPrintable(sender.Problem());
  EXPECT_EQ(sender.RecordUuid(), store.RecordUuid());
  std::vector<OutboxEntry> rows;
  ASSERT_TRUE(sender.Peek(10, rows));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].kind, QStringLiteral("batch_started"));
  // Acknowledged while the program records on: only what was acknowledged leaves.
  ASSERT_TRUE(store.RecordReading(batch.id, Taken(QStringLiteral("80.0"))));
  ASSERT_TRUE(sender.Acknowledge(rows[1].seq));
  ASSERT_TRUE(store.RecordReading(batch.id, Taken(QStringLiteral("81.0"))));
  EXPECT_EQ(sender.Waiting(), 2);
  ASSERT_TRUE(sender.Peek(10, rows));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].kind, QStringLiteral("reading_recorded"));
  EXPECT_TRUE(store.Writable());
  // Sequence numbers go on rising after the outbox was emptied.
  ASSERT_TRUE(sender.Acknowledge(rows[1].seq));
  ASSERT_TRUE(store.CloseBatch(batch.id, Instant::Now()));
  ASSERT_TRUE(sender.Peek(10, rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_GT(rows[0].seq, 4);
}

TEST_F(LabStoreTest, AChangeThatFailsLeavesNeitherItNorItsOutboxRow) {
  Batch batch;
  {
    LabStore store(path_);
    Specification spec = Gloss80();
    ASSERT_TRUE(store.AddProduct(spec));
    ASSERT_TRUE(store.StartBatch(QStringLiteral("B-1"), spec.id, QString(), Instant::Now(), batch));
    const int outbox = Count(path_, "SELECT count(*) FROM outbox");
    store.SetPageLimit(Count(path_, "PRAGMA page_count"));
    int recorded = 0;
    // Long comments fill the pages the record may have left.
    for (int i = 0; i < 200; ++i) {
      ReadingInput r = Taken(QStringLiteral("80.0"));
      r.comment = QString(2000, QLatin1Char('x'));
      if (!store.RecordReading(batch.id, r)) break;
      ++recorded;
    }
    ASSERT_LT(recorded, 200) << "the page limit never bit";
    EXPECT_FALSE(store.Writable());
    EXPECT_EQ(Count(path_, "SELECT count(*) FROM outbox"), outbox + recorded);
    EXPECT_EQ(Count(path_, "SELECT count(*) FROM reading"), recorded);
    EXPECT_EQ(Count(path_, "SELECT n FROM batch"), recorded);
  }
}

TEST_F(LabStoreTest, VerdictsAndCountsFollowTheBatchVersionAndWithdrawals) {
  LabStore store(path_);
  Specification spec = Gloss80();
  ASSERT_TRUE(store.AddProduct(spec));
  Batch batch;
  ASSERT_TRUE(store.StartBatch(QStringLiteral("B-7"), spec.id, QStringLiteral("Ann"), Instant::Now(), batch));
  Specification tighter = spec;
  tighter.limits.angle[1] = AngleLimits::Around(8000, 100);
  ASSERT_TRUE(store.ReviseProduct(tighter));

  const char* values[] = {"80.0", "75.0", "90.0", "---", "82.0"};
  std::vector<ReadingInput> inputs;
  for (const char* v : values) {
    inputs.push_back(Taken(QString::fromLatin1(v)));
    ASSERT_TRUE(store.RecordReading(batch.id, inputs.back()));
  }
  ReadingInput dark = Taken(QStringLiteral("10.0"), QStringLiteral("D"));
  ASSERT_TRUE(store.RecordReading(batch.id, dark));
  ASSERT_TRUE(store.WithdrawReading(inputs[2].uuid, Instant::Now()));
  EXPECT_FALSE(store.WithdrawReading(inputs[2].uuid, Instant::Now()));
  EXPECT_TRUE(store.Writable());

  const Batch b = *store.BatchById(batch.id);
  EXPECT_EQ(b.readings, 5);
  EXPECT_EQ(b.passes, 2);  // 80 and 82 against ± 5, not the tighter ± 1
  EXPECT_EQ(b.warnings, 1);
  EXPECT_EQ(b.fails, 0);
  EXPECT_EQ(b.noValue, 1);
  EXPECT_EQ(b.withdrawn, 1);
  EXPECT_EQ(b.product, QStringLiteral("Gloss 80"));

  const std::vector<Reading> readings = store.Readings(batch.id);
  ASSERT_EQ(readings.size(), 6u);
  EXPECT_EQ(readings[2].judgement.reading, Verdict::Fail);
  EXPECT_TRUE(readings[2].withdrawn.has_value());
  EXPECT_TRUE(readings[5].dark);
  EXPECT_EQ(readings[5].judgement.reading, Verdict::NotJudged);
  EXPECT_EQ(store.BatchOfReading(inputs[0].uuid), batch.id);
}

TEST_F(LabStoreTest, BatchRulesAndProductsInUse) {
  LabStore store(path_);
  Specification spec = Gloss80();
  ASSERT_TRUE(store.AddProduct(spec));
  Specification unused = Gloss80();
  unused.name = QStringLiteral("Unused");
  ASSERT_TRUE(store.AddProduct(unused));
  Batch a;
  Batch b;
  ASSERT_TRUE(store.StartBatch(QStringLiteral("A"), spec.id, QString(), Instant::Now(), a));
  EXPECT_FALSE(store.StartBatch(QStringLiteral("B"), std::nullopt, QString(), Instant::Now(), b)) << "one open batch";
  ASSERT_TRUE(store.CloseBatch(a.id, Instant::Now()));
  EXPECT_FALSE(store.StartBatch(QStringLiteral("A"), std::nullopt, QString(), Instant::Now(), b)) << "IDs are unique";
  for (const QString& bad : {QString(), QStringLiteral("  "), QString(65, QLatin1Char('x')), QStringLiteral("a\tb")})
    EXPECT_FALSE(store.StartBatch(bad, std::nullopt, QString(), Instant::Now(), b));
  ASSERT_TRUE(store.StartBatch(QString(64, QLatin1Char('x')), std::nullopt, QString(), Instant::Now(), b));
  EXPECT_FALSE(store.ReopenBatch(a.id, Instant::Now())) << "another batch is open";
  ASSERT_TRUE(store.CloseBatch(b.id, Instant::Now()));
  ASSERT_TRUE(store.ReopenBatch(a.id, Instant::Now()));
  EXPECT_EQ(store.OpenBatch()->id, a.id);
  ASSERT_EQ(store.BatchEvents(a.id).size(), 3u);

  EXPECT_FALSE(store.DeleteProduct(spec.product));
  ASSERT_TRUE(store.DeleteProduct(unused.product));
  ASSERT_TRUE(store.RetireProduct(spec.product));
  const std::vector<Specification> all = store.Products(true);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].state, Specification::State::Retired);
  EXPECT_TRUE(store.Products(false).empty());
  EXPECT_TRUE(store.Writable());
}

TEST_F(LabStoreTest, PrivateFilesAndANewerRecordOpenedReadOnlyAndLeftAsItIs) {
  {
    LabStore store(path_);
    Specification spec = Gloss80();
    ASSERT_TRUE(store.AddProduct(spec));
  }
  EXPECT_EQ(Mode(path_), 0600);
  EXPECT_EQ(Mode(QFileInfo(path_).absolutePath()), 0700);
  {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path_).constData(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 7", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  const QByteArray before = [&] {
    QFile f(path_);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }();
  {
    LabStore store(path_);
    EXPECT_EQ(store.State(), LabStore::OpenState::ReadOnly);
    EXPECT_EQ(store.FoundSchemaVersion(), 7);
    EXPECT_EQ(store.Products().size(), 1u);
    Specification spec = Gloss80();
    spec.name = QStringLiteral("Other");
    EXPECT_FALSE(store.AddProduct(spec));
  }
  QFile f(path_);
  f.open(QIODevice::ReadOnly);
  EXPECT_EQ(f.readAll(), before);
  for (const QString& name : QDir(QFileInfo(path_).absolutePath()).entryList(QDir::Files))
    EXPECT_TRUE(name.startsWith(QStringLiteral("lab.db"))) << "nothing set aside: " << qPrintable(name);
}

TEST_F(LabStoreTest, ASecondCopyAndAForeignFileAreRefused) {
  LabStore first(path_);
  LabStore second(path_);
  EXPECT_EQ(second.State(), LabStore::OpenState::InUse);
  const QString foreign = dir_.filePath(QStringLiteral("foreign.db"));
  QFile f(foreign);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(4096, 'z'));
  f.close();
  LabStore store(foreign);
  EXPECT_EQ(store.State(), LabStore::OpenState::Unusable);
  EXPECT_TRUE(QFileInfo::exists(foreign));
}

TEST_F(LabStoreTest, TheLabsProductsTakenTwiceChangeNothingEvenWhenTwoNamesDifferOnlyInCase) {
  LabStore store(path_);
  ASSERT_EQ(store.State(), LabStore::OpenState::Open) << qPrintable(store.Problem());
  Specification local = Gloss80();
  local.name = QStringLiteral("satin white");
  ASSERT_TRUE(store.AddProduct(local));
  std::vector<LabProductCopy> lab(2);
  lab[0].name = QStringLiteral("Satin White");
  lab[1].name = QStringLiteral("SATIN WHITE");
  for (LabProductCopy& p : lab) {
    p.specification = QUuid::createUuid();
    p.product = QUuid::createUuid();
    p.limits = Gloss80().limits;
  }
  lab[1].limits.angle[1] = AngleLimits::Around(9000, 500);
  bool changed = false;
  ASSERT_TRUE(store.ApplyLabProducts(lab, changed));
  EXPECT_TRUE(changed);
  const std::vector<LabProductEntry> first = store.LabProducts();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0].product, first[1].product);
  for (int again = 0; again < 2; ++again) {
    changed = true;
    ASSERT_TRUE(store.ApplyLabProducts(lab, changed));
    EXPECT_FALSE(changed) << "taken again: " << again;
  }
  const std::vector<LabProductEntry> later = store.LabProducts();
  ASSERT_EQ(later.size(), 2u);
  for (std::size_t i = 0; i < later.size(); ++i) EXPECT_EQ(later[i].product, first[i].product);
}

}  // namespace
}  // namespace lab
