// The lab database's sender against a real server of the benchmark's own (fsync and synchronous
// commits on, as a lab's server has them):
//   - a backlog: ROWS readings (default 100,000) waiting when the sender starts, until the last is
//     committed; rows per second and the whole time;
//   - readings taken one by one while connected (4 a second, as a busy station), each announced
//     with Notify: from taken to committed on the server (received_at minus taken_at), median,
//     99th percentile and largest;
//   - what a reading costs the server's disk (table and indexes, write-ahead log);
//   - how long Stop() takes: idle and connected, and in the middle of connecting to a server that
//     never answers.
// Usage: bench_labsync [ROWS] [READINGS_ONE_BY_ONE]
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "labsync/Sender.h"
#include "tests/labsync/MemoryOutbox.h"
#include "tests/labsync/PgCluster.h"

namespace {

using labsync::Clock;
using std::chrono::duration;
using std::chrono::milliseconds;

double Seconds(Clock::duration d) { return duration<double>(d).count(); }

bool WaitFor(const std::function<bool()>& done) {
  const auto end = Clock::now() + std::chrono::minutes(10);
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(2));
  }
  return true;
}

labsync::SenderSettings Settings(const QByteArray& conninfo) {
  labsync::SenderSettings s;
  s.conninfo = conninfo;
  s.station = QUuid::createUuid();
  s.stationName = QStringLiteral("Bench station");
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int oneByOne = argc > 2 ? std::atoi(argv[2]) : 240;

  testing_support::PgCluster cluster({.durable = true});
  if (!cluster.Ready() || !cluster.CreateDatabase(QStringLiteral("lab"))) {
    std::fprintf(stderr, "no server: %s\n", qPrintable(cluster.Problem()));
    return 1;
  }
  const QByteArray conninfo = cluster.ConnInfo(QStringLiteral("lab"));
  {
    labsync::Connection connection;
    labsync::InitReport report;
    labsync::Outcome outcome = connection.Open(conninfo, labsync::In(std::chrono::seconds(60)));
    if (outcome.Ok()) outcome = labsync::InitSchema(connection, labsync::In(std::chrono::seconds(60)), report);
    if (!outcome.Ok()) {
      std::fprintf(stderr, "no lab schema: %s\n", qPrintable(labsync::Describe(outcome)));
      return 1;
    }
  }

  // A backlog: batches of 500 readings, as a station that was offline for a while has them.
  testing_support::MemoryOutbox backlog;
  for (int made = 0; made < rows; made += 500) {
    backlog.Add(testing_support::BatchOfReadings(QStringLiteral("B-%1").arg(made / 500), std::min(500, rows - made)));
  }
  const std::int64_t all = backlog.Last();
  const QString walBefore = cluster.Scalar(QStringLiteral("SELECT pg_current_wal_lsn()"));
  {
    labsync::Sender sender(Settings(conninfo), backlog);
    const auto start = Clock::now();
    sender.Start();
    if (!WaitFor([&] { return backlog.Waiting() == 0; })) {
      std::fprintf(stderr, "backlog not sent: %s\n", qPrintable(labsync::Describe(sender.Status().reason)));
      return 1;
    }
    const double took = Seconds(Clock::now() - start);
    const long long onServer = cluster.Count(
        QStringLiteral("SELECT (SELECT count(*) FROM korvanta.readings) + (SELECT count(*) FROM korvanta.batches)"),
        QStringLiteral("lab"));
    std::printf("backlog: %lld rows (%lld readings) in %.2f s, %.0f rows/s, %llu round trips; on the server: %lld\n",
                static_cast<long long>(all), static_cast<long long>(rows), took, static_cast<double>(all) / took,
                static_cast<unsigned long long>(sender.Counts().rounds), onServer);

    // What a reading costs the server: the table with its indexes, and the write-ahead log.
    cluster.Exec(QStringLiteral("VACUUM ANALYZE korvanta.readings"), QStringLiteral("lab"));
    const long long stored = cluster.Count(
        QStringLiteral("SELECT pg_total_relation_size('korvanta.readings') / count(*) FROM korvanta.readings"),
        QStringLiteral("lab"));
    const long long wal = cluster.Count(
        QStringLiteral("SELECT (pg_current_wal_lsn() - '%1'::pg_lsn)::bigint / %2").arg(walBefore).arg(all));
    std::printf("per reading on the server: %lld bytes in the table and its indexes, %lld bytes of WAL\n", stored, wal);

    const auto asked = Clock::now();
    sender.Stop();
    std::printf("stop, idle and connected: %.1f ms\n", Seconds(Clock::now() - asked) * 1000);
  }

  // One by one, 4 a second, each announced.
  {
    testing_support::MemoryOutbox live;
    const labsync::BatchStarted batch = testing_support::MakeBatch(QStringLiteral("LIVE"));
    live.Add(batch);
    labsync::Sender sender(Settings(conninfo), live);
    sender.Start();
    WaitFor([&] { return live.Waiting() == 0; });
    for (int n = 0; n < oneByOne; ++n) {
      labsync::ReadingRecorded reading = testing_support::MakeReading(batch.batch, n);
      reading.takenAt = QDateTime::currentDateTime();
      live.Add(reading);
      sender.Notify();
      std::this_thread::sleep_for(milliseconds(250));
    }
    WaitFor([&] { return live.Waiting() == 0; });
    const QString figures = cluster.Scalar(
        QStringLiteral(
            "SELECT round(percentile_cont(0.5) WITHIN GROUP (ORDER BY d)::numeric, 1) || ' ' || "
            "round(percentile_cont(0.99) WITHIN GROUP (ORDER BY d)::numeric, 1) || ' ' || "
            "round(max(d)::numeric, 1) FROM (SELECT extract(epoch FROM r.received_at - r.taken_at) * 1000 AS d "
            "FROM korvanta.readings r JOIN korvanta.batches b USING (batch_uuid) WHERE b.batch_id = 'LIVE') x"),
        QStringLiteral("lab"));
    const QStringList parts = figures.split(QLatin1Char(' '));
    if (parts.size() == 3) {
      std::printf("one by one: %d readings, taken to on the server: median %s ms, p99 %s ms, max %s ms\n", oneByOne,
                  qPrintable(parts[0]), qPrintable(parts[1]), qPrintable(parts[2]));
    }
  }

  // Stopping while connecting to a server that never answers.
  {
    testing_support::SilentServer silent;
    testing_support::MemoryOutbox waiting;
    waiting.Add(testing_support::BatchOfReadings(QStringLiteral("S"), 10));
    labsync::SenderSettings settings = Settings(silent.ConnInfo());
    settings.connectTimeout = std::chrono::hours(1);
    labsync::Sender sender(settings, waiting);
    sender.Start();
    std::this_thread::sleep_for(milliseconds(500));
    const auto asked = Clock::now();
    sender.Stop();
    std::printf("stop, connecting to a silent server: %.1f ms; still waiting: %lld\n",
                Seconds(Clock::now() - asked) * 1000, static_cast<long long>(waiting.Waiting()));
  }
  return 0;
}
