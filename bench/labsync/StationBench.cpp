// A station and the lab view against a real server of the benchmark's own (fsync and synchronous
// commits on, as a lab's server has them):
//   - readings taken one by one at 4 a second while connected, through the real path: the lab
//     record's commit (its outbox row) wakes the sender, which reads the outbox on its own
//     connection and sends; from taken to committed on the server (received_at minus taken_at),
//     median, 99th percentile and largest; and what the record's commit with its wake-up costs the
//     caller;
//   - the lab view's list over 10,000 batches and 1,000,000 readings of 10 stations, asked through
//     the lab view's thread and answered on the caller's: the first (with the connection made) and
//     then median and largest of 10 each, unfiltered and filtered by text and by days.
// Usage: bench_labsync_station [READINGS_ONE_BY_ONE] [FOLDER]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "lab/LabStore.h"
#include "labsync/Sender.h"
#include "labsync/station/LabClient.h"
#include "labsync/station/LabOutbox.h"
#include "tests/labsync/PgCluster.h"

namespace {

using std::chrono::milliseconds;

bool WaitFor(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

constexpr const char* kFill = R"(
INSERT INTO korvanta.stations (station_uuid, name)
  SELECT md5('station' || s)::uuid, 'Line ' || s FROM generate_series(1, 10) s;
INSERT INTO korvanta.batches (batch_uuid, station_uuid, station_sequence, batch_id, product, operator, started_at,
                              started_utc_offset)
  SELECT md5('batch' || b)::uuid, md5('station' || (b % 10 + 1))::uuid, b, 'B-' || b,
         CASE WHEN b % 3 = 0 THEN 'Satin white' ELSE 'Matt black' END, 'Operator ' || (b % 7),
         '2025-01-01 06:00+01'::timestamptz + b * interval '47 minutes', 3600
    FROM generate_series(1, 10000) b;
INSERT INTO korvanta.readings (reading_uuid, batch_uuid, station_uuid, station_sequence, taken_at, taken_utc_offset,
    date_text, time_text, mode_20, mode_60, value_20_text, value_60_text, value_20, value_60, comment, verdict_20,
    verdict_60, verdict_haze, verdict, serial, firmware)
  SELECT md5('reading' || n)::uuid, md5('batch' || (n / 100 + 1))::uuid, md5('station' || ((n / 100 + 1) % 10 + 1))::uuid,
         10000 + n, '2025-01-01 06:00+01'::timestamptz + (n / 100 + 1) * interval '47 minutes' + (n % 100) * interval '5 s',
         3600, '01.01.2025', '06:00:00', '', 'C', '75.3', '88.5', 75.3, 88.5, '', 'PASS',
         CASE WHEN n % 7 = 0 THEN 'WARN' ELSE 'PASS' END, NULL, CASE WHEN n % 7 = 0 THEN 'WARN' ELSE 'PASS' END,
         'QX31804711', '08 15'
    FROM generate_series(0, 999999) n;
INSERT INTO korvanta.batch_events (event_uuid, batch_uuid, station_uuid, station_sequence, event, happened_at)
  SELECT md5('closed' || batch_uuid)::uuid, batch_uuid, station_uuid, station_sequence + 2000000, 'closed',
         started_at + interval '40 minutes'
    FROM korvanta.batches WHERE batch_id <> 'B-10000';
INSERT INTO korvanta.withdrawals (event_uuid, reading_uuid, station_uuid, station_sequence, withdrawn_at)
  SELECT md5('withdrawn' || reading_uuid)::uuid, reading_uuid, station_uuid, station_sequence + 3000000,
         taken_at + interval '1 minute'
    FROM korvanta.readings WHERE station_sequence % 97 = 0;
)";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int oneByOne = argc > 1 ? std::atoi(argv[1]) : 240;
  QTemporaryDir temporary;
  const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();

  testing_support::PgCluster cluster({.durable = true});
  if (!cluster.Ready() || !cluster.CreateDatabase(QStringLiteral("lab")) ||
      !cluster.CreateDatabase(QStringLiteral("view"))) {
    std::fprintf(stderr, "no server: %s\n", qPrintable(cluster.Problem()));
    return 1;
  }
  for (const char* database : {"lab", "view"}) {
    labsync::Connection connection;
    labsync::InitReport report;
    labsync::Outcome outcome =
        connection.Open(cluster.ConnInfo(QLatin1String(database)), labsync::In(std::chrono::seconds(60)));
    if (outcome.Ok()) outcome = labsync::InitSchema(connection, labsync::In(std::chrono::seconds(60)), report);
    if (!outcome.Ok()) {
      std::fprintf(stderr, "no lab schema: %s\n", qPrintable(labsync::Describe(outcome)));
      return 1;
    }
  }

  // One by one through the record's outbox.
  {
    lab::LabStore store(QDir(folder).filePath(QStringLiteral("bench-station.db")));
    if (!store.Writable()) {
      std::fprintf(stderr, "no record: %s\n", qPrintable(store.Problem()));
      return 1;
    }
    labsync::station::LabOutbox outbox(store.Path());
    labsync::SenderSettings settings;
    settings.conninfo = cluster.ConnInfo(QStringLiteral("lab"));
    settings.station = QUuid::createUuid();
    settings.stationName = QStringLiteral("Bench station");
    settings.products = &outbox;
    labsync::Sender sender(settings, outbox);
    store.SetCommitListener([&sender] { sender.Notify(); });
    sender.Start();
    lab::Specification spec;
    spec.name = QStringLiteral("Satin white");
    spec.limits.angle[1] = lab::AngleLimits::Around(8800, 500);
    lab::Batch batch;
    if (!store.AddProduct(spec) ||
        !store.StartBatch(QStringLiteral("LIVE"), spec.id, QStringLiteral("Ann"), lab::Instant::Now(), batch)) {
      std::fprintf(stderr, "no batch: %s\n", qPrintable(store.Problem()));
      return 1;
    }
    WaitFor([&] { return sender.Status().state == labsync::LinkStatus::State::Connected && outbox.Waiting() == 0; });
    std::vector<double> commits;
    for (int n = 0; n < oneByOne; ++n) {
      lab::ReadingInput input;
      input.uuid = QUuid::createUuid();
      input.taken = lab::Instant::Now();
      input.texts = {
          QStringLiteral("04.05.2026"), QStringLiteral("14:02:00"), QString(),
          QStringLiteral("C"),          QStringLiteral("75.3"),     QString::number(86.0 + (n % 50) / 10.0, 'f', 1)};
      QElapsedTimer commit;
      commit.start();
      store.RecordReading(batch.id, input);
      commits.push_back(static_cast<double>(commit.nsecsElapsed()) / 1e6);
      std::this_thread::sleep_for(milliseconds(250));
    }
    WaitFor([&] { return outbox.Waiting() == 0; });
    const QString figures = cluster.Scalar(
        QStringLiteral("SELECT round(percentile_cont(0.5) WITHIN GROUP (ORDER BY d)::numeric, 1) || ' ' || "
                       "round(percentile_cont(0.99) WITHIN GROUP (ORDER BY d)::numeric, 1) || ' ' || "
                       "round(max(d)::numeric, 1) || ' ' || count(*) FROM (SELECT extract(epoch FROM r.received_at - "
                       "r.taken_at) * 1000 AS d FROM korvanta.readings r) x"),
        QStringLiteral("lab"));
    std::printf("one by one through the record's outbox, taken to on the server (ms): median p99 max readings: %s\n",
                qPrintable(figures));
    std::printf(
        "the record's commit with its outbox row and the sender's wake-up: median %.3f ms, p99 %.3f ms, "
        "max %.3f ms\n",
        Percentile(commits, 0.5), Percentile(commits, 0.99), Percentile(commits, 1.0));
    store.SetCommitListener({});
    const auto asked = std::chrono::steady_clock::now();
    sender.Stop();
    std::printf("stop, connected: %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count());
  }

  // The lab view over a large lab.
  {
    QElapsedTimer fill;
    fill.start();
    QString error;
    if (!cluster.Exec(QString::fromLatin1(kFill), QStringLiteral("view"), &error) ||
        !cluster.Exec(QStringLiteral("VACUUM ANALYZE"), QStringLiteral("view"), &error)) {
      std::fprintf(stderr, "fill: %s\n", qPrintable(error));
      return 1;
    }
    std::printf(
        "the lab view's lab: %s batches, %s readings (filled in %.1f s)\n",
        qPrintable(cluster.Scalar(QStringLiteral("SELECT count(*) FROM korvanta.batches"), QStringLiteral("view"))),
        qPrintable(cluster.Scalar(QStringLiteral("SELECT count(*) FROM korvanta.readings"), QStringLiteral("view"))),
        static_cast<double>(fill.elapsed()) / 1000.0);
    {
      // The query and the reading of its answer alone, on this thread.
      labsync::Connection direct;
      direct.Open(cluster.ConnInfo(QStringLiteral("view")), labsync::In(std::chrono::seconds(30)));
      std::vector<double> times;
      std::vector<labsync::LabBatch> batches;
      for (int run = 0; run < 10; ++run) {
        QElapsedTimer timer;
        timer.start();
        labsync::ListBatches(direct, {}, labsync::In(std::chrono::seconds(30)), batches);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
      }
      std::printf("list, unfiltered, the query and its reading alone: %zu rows, median %.1f ms, max %.1f ms\n",
                  batches.size(), Percentile(times, 0.5), Percentile(times, 1.0));
    }
    labsync::station::LabClient::Settings settings;
    settings.conninfo = cluster.ConnInfo(QStringLiteral("view"));
    settings.station = QUuid::createUuid();
    settings.stationName = QStringLiteral("Lead's PC");
    labsync::station::LabClient client(settings);
    struct Case {
      const char* what;
      labsync::BatchFilter filter;
    };
    labsync::BatchFilter all;
    labsync::BatchFilter text;
    text.text = QStringLiteral("B-99");
    labsync::BatchFilter station;
    station.text = QStringLiteral("Line 7");
    labsync::BatchFilter nothing;
    nothing.text = QStringLiteral("no such batch");
    labsync::BatchFilter days;
    days.from = QDate(2025, 3, 1);
    days.to = QDate(2025, 3, 31);
    const Case cases[] = {{"unfiltered", all},
                          {"text in the batch ID", text},
                          {"a station's name", station},
                          {"text that nothing holds", nothing},
                          {"a month's days", days}};
    bool first = true;
    for (const Case& c : cases) {
      std::vector<double> times;
      std::size_t rows = 0;
      for (int run = 0; run < (first ? 11 : 10); ++run) {
        bool done = false;
        QElapsedTimer timer;
        timer.start();
        client.List(c.filter, [&](const labsync::Outcome& outcome, const std::vector<labsync::LabBatch>& batches) {
          if (!outcome.Ok()) std::fprintf(stderr, "list: %s\n", qPrintable(labsync::Describe(outcome)));
          rows = batches.size();
          done = true;
        });
        WaitFor([&] { return done; });
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (first) {
          std::printf("first list, the connection made with it: %.1f ms\n", ms);
          first = false;
          continue;
        }
        times.push_back(ms);
      }
      std::printf("list, %s: %zu rows, median %.1f ms, max %.1f ms\n", c.what, rows, Percentile(times, 0.5),
                  Percentile(times, 1.0));
    }
  }
  return 0;
}
