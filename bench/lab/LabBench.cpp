// What batches cost: the verdict and the record per reading while a batch is open (median, 99th
// percentile and maximum), the Batches window over 10,000 batches and 1,000,000 readings (opened
// and filtered), and a batch of 10,000 readings opened in the statistics and the trend.
//
// Usage: bench_lab [folder]   (default: a temporary folder; give a folder on the disk the record
// will live on, e.g. under ~/.local/share)
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "analysis/windows/StatisticsWindow.h"
#include "analysis/windows/TrendWindow.h"
#include "lab/BatchSession.h"
#include "lab/LabStore.h"
#include "lab/windows/BatchesWindow.h"
#include "lab/windows/LabWindows.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

table::MeasurementRow Reading(int i) {
  table::MeasurementRow row;
  row.texts = {QStringLiteral("08.12.2026"),
               QStringLiteral("17:20:00"),
               QString(),
               QString(),
               QString::number(40 + i % 7) + QStringLiteral(",5"),
               QString::number(76 + i % 9) + QStringLiteral(".2"),
               QString()};
  row.uuid = QUuid::createUuid();
  row.takenMsecs = QDateTime::currentMSecsSinceEpoch();
  row.utcOffsetSeconds = 3600;
  return row;
}

lab::Specification Gloss80() {
  lab::Specification spec;
  spec.name = QStringLiteral("Gloss 80");
  spec.limits.angle[1] = lab::AngleLimits::Around(8000, 500);
  spec.limits.hazeMax = 4500;
  return spec;
}

void PerReading(const QString& folder) {
  lab::LabStore store(folder + QStringLiteral("/per-reading.db"));
  lab::Specification spec = Gloss80();
  store.AddProduct(spec);
  table::MeasurementModel rows;
  lab::BatchSession session(rows, store, [] {
    return lab::BatchSession::Instrument{QStringLiteral("QX31804711"), QStringLiteral("08 15")};
  });
  session.Start(QStringLiteral("BENCH"), spec.id, QStringLiteral("Bench"));
  std::vector<double> withBatch;
  std::vector<double> without;
  table::MeasurementModel bare;
  constexpr int kReadings = 2000;
  for (int i = 0; i < kReadings; ++i) {
    const table::MeasurementRow row = Reading(i);
    auto start = Clock::now();
    bare.AppendRow(row);
    without.push_back(Ms(Clock::now() - start));
    start = Clock::now();
    rows.AppendRow(row);
    withBatch.push_back(Ms(Clock::now() - start));
    // Readings come at most every 250 ms; 10 ms apart lets the sync thread run between and during.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto report = [](const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))]; };
    std::printf("%-56s %8.3f %8.3f %8.3f ms\n", what, at(0.5), at(0.99), ms.back());
  };
  std::printf("%-56s %8s %8s %8s\n", "per reading, 2000 readings 10 ms apart", "median", "p99", "max");
  report("append to the table alone", without);
  report("append with the open batch following (verdict + record)", withBatch);
  std::printf("recorded: %d readings\n", session.Current()->readings);
}

// 10,000 batches of 100 readings each, written straight into the record's tables in one
// transaction (the store's own path would take a transaction per reading).
void FillRecord(const QString& path, int batches, int perBatch) {
  {
    lab::LabStore store(path);
    lab::Specification spec = Gloss80();
    store.AddProduct(spec);
  }
  sqlite3* db = nullptr;
  sqlite3_open(path.toUtf8().constData(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = OFF; BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* batch = nullptr;
  sqlite3_prepare_v2(
      db,
      "INSERT INTO batch (uuid, batch_id, specification, operator, started, started_ms, started_offset_s,"
      " closed, closed_ms, closed_offset_s, n, passes, warnings, fails) VALUES"
      " (?1, ?2, 1, ?3, ?4, ?5, 3600, ?4, ?5 + 3600000, 3600, ?6, ?6 - 7, 5, 2)",
      -1, &batch, nullptr);
  sqlite3_stmt* reading = nullptr;
  sqlite3_prepare_v2(
      db,
      "INSERT INTO reading (uuid, batch, taken, taken_ms, utc_offset_s, date_text, time_text, mode20_text,"
      " mode60_text, value20_text, value60_text, value20, value60, comment, serial, firmware, dark,"
      " verdict20, verdict60, verdict_haze, verdict) VALUES (?1, ?2, '2026-12-08T17:20:00.000+01:00', ?3,"
      " 3600, '08.12.2026', '17:20:00', '', '', ?4, ?5, ?6, ?7, '', 'QX31804711', '08 15', 0, '',"
      " 'pass', 'pass', 'pass')",
      -1, &reading, nullptr);
  const std::int64_t base = 1'700'000'000'000;
  const char* operators[] = {"Ann", "Bert", "Chiara", "Dmitri"};
  for (int b = 0; b < batches; ++b) {
    const QByteArray uuid = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    const QByteArray id = "LOT-" + QByteArray::number(100000 + b);
    const std::int64_t started = base + std::int64_t{b} * 3'600'000;
    const QByteArray iso = QDateTime::fromMSecsSinceEpoch(started).toString(Qt::ISODateWithMs).toUtf8();
    sqlite3_bind_text(batch, 1, uuid.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(batch, 2, id.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(batch, 3, operators[b % 4], -1, SQLITE_STATIC);
    sqlite3_bind_text(batch, 4, iso.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(batch, 5, started);
    sqlite3_bind_int(batch, 6, perBatch);
    sqlite3_step(batch);
    sqlite3_reset(batch);
    const std::int64_t batchRow = sqlite3_last_insert_rowid(db);
    for (int r = 0; r < perBatch; ++r) {
      const QByteArray ruuid = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
      const int v20 = 4000 + (r * 37) % 700;
      const int v60 = 7600 + (r * 53) % 900;
      const QByteArray t20 = QByteArray::number(v20 / 100) + "," + QByteArray::number(v20 % 100 / 10);
      const QByteArray t60 = QByteArray::number(v60 / 100) + "." + QByteArray::number(v60 % 100 / 10);
      sqlite3_bind_text(reading, 1, ruuid.constData(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(reading, 2, batchRow);
      sqlite3_bind_int64(reading, 3, started + r * 1000);
      sqlite3_bind_text(reading, 4, t20.constData(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(reading, 5, t60.constData(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(reading, 6, v20 / 10 * 10);
      sqlite3_bind_int(reading, 7, v60 / 10 * 10);
      sqlite3_step(reading);
      sqlite3_reset(reading);
    }
  }
  sqlite3_finalize(batch);
  sqlite3_finalize(reading);
  sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

void BatchList(const QString& folder) {
  const QString path = folder + QStringLiteral("/list.db");
  QElapsedTimer fill;
  fill.start();
  FillRecord(path, 10000, 100);
  std::printf("record of 10,000 batches and 1,000,000 readings written in %.1f s\n", fill.elapsed() / 1000.0);
  lab::LabStore store(path);
  i18n::LanguageState language;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    auto* window = new lab::BatchesWindow(store, language);
    window->show();
    QCoreApplication::processEvents();
    const double open = Ms(Clock::now() - start);
    start = Clock::now();
    window->FilterEdit->setText(QStringLiteral("lot-1055"));
    QCoreApplication::processEvents();
    const double text = Ms(Clock::now() - start);
    const int shown = window->Model().Shown();
    start = Clock::now();
    window->FilterEdit->clear();
    window->FromEdit->setDate(QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + 3'600'000LL * 2000).date());
    window->ToEdit->setDate(QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + 3'600'000LL * 2400).date());
    QCoreApplication::processEvents();
    const double dates = Ms(Clock::now() - start);
    std::printf("Batches window: opened %.1f ms; text filter %.1f ms (%d shown); date filter %.1f ms (%d shown)\n",
                open, text, shown, dates, window->Model().Shown());
    delete window;
  }
}

void BigBatch(const QString& folder) {
  const QString path = folder + QStringLiteral("/big.db");
  FillRecord(path, 1, 10000);
  i18n::LanguageState language;
  for (int round = 0; round < 3; ++round) {
    table::MeasurementModel rows;
    QWidget owner;
    analysis::ReadingAnalysis analysis(rows, *new QTableView(&owner), language, &owner);
    const auto start = Clock::now();
    auto* windows = new lab::LabWindows(rows, analysis, language, &owner, path, folder + QStringLiteral("/k.conf"), {});
    windows->OpenBatchStatistics(1);
    windows->OpenBatchTrend(1);
    windows->BatchStatistics()->grab();
    windows->BatchTrend()->grab();
    const double took = Ms(Clock::now() - start);
    std::printf("a batch of %d readings opened in statistics and trend, painted: %.1f ms\n",
                static_cast<int>(windows->Store().Readings(1).size()), took);
    delete windows;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QTemporaryDir temporary;
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
  PerReading(folder);
  BatchList(folder);
  BigBatch(folder);
  return 0;
}
