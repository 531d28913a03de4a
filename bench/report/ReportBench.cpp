// Writing a batch report: the time from the readings to the finished PDF file, per size, and the
// peak resident memory of the process (no display, the offscreen platform). Each size is best run
// in a process of its own for its peak memory:
//   bench_report 1000
//   bench_report 10000
//   bench_report 10000 --keep report.pdf     (keeps the file to look at)
//   bench_report 300 --keep bericht.pdf --language 1   (0 English, 1 German, 2 French)
// With --program, the whole of `korvanta --report` as a lab's script runs it: a lab record with a
// closed batch of each size is made first, then the program is started for it and timed from its
// start to its end, with its own peak resident memory:
//   bench_report --program 1000 10000
//   bench_report --program 40 --keep report.pdf
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <vector>

#include "lab/LabStore.h"
#include "report/ReportPdf.h"

namespace {

// A batch as a line records it: values around their targets with one decimal, each mark of the
// instrument's texts, a comment now and then, a few withdrawn readings.
report::ReportData Batch(int count) {
  report::ReportData data;
  data.labName = QStringLiteral("Coatings laboratory, line 3");
  data.batchId = QStringLiteral("B-2026-0412");
  data.operatorName = QStringLiteral("A. Technician");
  data.instruments = {{QStringLiteral("QX31804711"), QStringLiteral("08 15")}};
  data.programVersion = QStringLiteral("2.28.2.0");
  report::ReportSpecification spec;
  spec.product = QStringLiteral("Topcoat RAL 9010 high gloss");
  spec.version = 3;
  spec.g20.target = 82.0;
  spec.g20.tolerance = 4.0;
  spec.g60.minimum = 90.0;
  spec.largestHaze = 15.0;
  data.specification = spec;
  data.readings.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    report::ReportReading r;
    r.date = QStringLiteral("08.12.2026");
    r.time = QStringLiteral("%1:%2:%3")
                 .arg(8 + i / 3600 % 10, 2, 10, QLatin1Char('0'))
                 .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                 .arg(i % 60, 2, 10, QLatin1Char('0'));
    const double g20 = 82.0 + ((i * 37) % 90 - 45) / 10.0;
    const double g60 = 93.0 + ((i * 53) % 70 - 35) / 10.0;
    r.value20 = QString::number(g20, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
    r.value60 = QString::number(g60, 'f', 1);
    r.verdict = g20 < 78 || g20 > 86 || g60 < 90 ? report::Verdict::Fail
                : g20 < 78.4 || g20 > 85.6       ? report::Verdict::Warn
                                                 : report::Verdict::Pass;
    if (i % 25 == 0) r.comment = QStringLiteral("Panel %1, edge zone, second coat after sanding").arg(i);
    r.withdrawn = i % 200 == 7;
    data.readings.push_back(r);
  }
  return data;
}

long PeakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct ChildRun {
  int status = -1;
  double seconds = 0;
  long peakKb = 0;
};

// Runs `arguments` (the program first) with `environment` added, and waits for its end.
ChildRun Spawn(const QStringList& arguments, const QStringList& environment) {
  std::vector<QByteArray> storage;
  for (const QString& a : arguments) storage.push_back(a.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& a : storage) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<QByteArray> envStorage;
  for (const QString& e : QProcessEnvironment::systemEnvironment().toStringList()) {
    const QString name = e.section(QLatin1Char('='), 0, 0);
    if (name == QLatin1String("DISPLAY") || name == QLatin1String("WAYLAND_DISPLAY") ||
        name == QLatin1String("QT_QPA_PLATFORM"))
      continue;
    bool replaced = false;
    for (const QString& mine : environment) replaced = replaced || mine.section(QLatin1Char('='), 0, 0) == name;
    if (!replaced) envStorage.push_back(e.toLocal8Bit());
  }
  for (const QString& e : environment) envStorage.push_back(e.toLocal8Bit());
  std::vector<char*> envp;
  for (QByteArray& e : envStorage) envp.push_back(e.data());
  envp.push_back(nullptr);

  ChildRun run;
  QElapsedTimer timer;
  timer.start();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKb = usage.ru_maxrss;
  return run;
}

// A closed batch of `count` readings in a record at `dataHome`, as the program records them.
bool MakeRecord(const QString& dataHome, const QString& batchId, int count) {
  lab::LabStore store(dataHome + QStringLiteral("/korvanta/lab.db"));
  lab::Specification spec;
  spec.name = QStringLiteral("Topcoat RAL 9010 high gloss");
  spec.limits.angle[0] = lab::AngleLimits::Around(8200, 400);
  spec.limits.angle[1] = lab::AngleLimits::AtLeast(9000);
  spec.limits.hazeMax = 1500;
  lab::Batch batch;
  const std::int64_t start = 1'796'720'400'000;
  if (!store.AddProduct(spec) ||
      !store.StartBatch(batchId, spec.id, QStringLiteral("A. Technician"), {start, 3600}, batch))
    return false;
  const report::ReportData shape = Batch(count);
  for (int i = 0; i < count; ++i) {
    const report::ReportReading& r = shape.readings[static_cast<std::size_t>(i)];
    lab::ReadingInput input;
    input.uuid = QUuid::createUuid();
    input.taken = {start + i * 5'000LL, 3600};
    input.texts = {r.date, r.time, r.mode20, r.mode60, r.value20, r.value60};
    input.comment = r.comment;
    input.serial = QStringLiteral("QX31804711");
    input.firmware = QStringLiteral("08 15");
    if (!store.RecordReading(batch.id, input)) return false;
    if (r.withdrawn && !store.WithdrawReading(input.uuid, {start + i * 5'000LL + 1'000, 3600})) return false;
  }
  return store.CloseBatch(batch.id, {start + count * 5'000LL, 3600}) && store.WaitSynced();
}

int BenchProgram(const QStringList& sizes, const QString& keep) {
  QTemporaryDir dir;
  std::printf("%10s %10s %10s %12s %8s\n", "readings", "total_ms", "bytes", "peak_rss_MB", "status");
  for (const QString& size : sizes) {
    const int count = size.toInt();
    const QString home = dir.filePath(size);
    const QString batchId = QStringLiteral("B-%1").arg(count);
    if (!MakeRecord(home + QStringLiteral("/data"), batchId, count)) {
      std::fprintf(stderr, "the record of %d readings could not be made\n", count);
      return 1;
    }
    const QString pdf = home + QStringLiteral("/report.pdf");
    const ChildRun run = Spawn({QStringLiteral(KORVANTA_PROGRAM_FILE), QStringLiteral("--report=") + batchId,
                                QStringLiteral("--output=") + pdf},
                               {QStringLiteral("XDG_DATA_HOME=") + home + QStringLiteral("/data"),
                                QStringLiteral("XDG_CONFIG_HOME=") + home + QStringLiteral("/config")});
    if (!keep.isEmpty()) {
      QFile::remove(keep);
      QFile::copy(pdf, keep);
    }
    std::printf("%10d %10.0f %10lld %12.1f %8d\n", count, run.seconds * 1000,
                static_cast<long long>(QFileInfo(pdf).size()), static_cast<double>(run.peakKb) / 1024.0, run.status);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  QStringList args = application.arguments().mid(1);
  QString keep;
  if (const qsizetype at = args.indexOf(QStringLiteral("--keep")); at >= 0 && at + 1 < args.size()) {
    keep = args.at(at + 1);
    args.remove(at, 2);
  }
  int language = 0;
  if (const qsizetype at = args.indexOf(QStringLiteral("--language")); at >= 0 && at + 1 < args.size()) {
    language = args.at(at + 1).toInt();
    args.remove(at, 2);
  }
  const bool program = args.removeAll(QStringLiteral("--program")) > 0;
  if (args.isEmpty()) args = {QStringLiteral("1000"), QStringLiteral("10000")};
  if (program) return BenchProgram(args, keep);
  QTemporaryDir dir;
  std::printf("%10s %8s %10s %10s %12s\n", "readings", "pages", "total_ms", "bytes", "peak_rss_MB");
  for (const QString& arg : args) {
    const int count = arg.toInt();
    QElapsedTimer timer;
    timer.start();
    report::ReportData data = Batch(count);
    data.language = language;
    const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("report.pdf")) : keep;
    const report::WriteOutcome outcome = report::WritePdfReport(data, path);
    const qint64 ms = timer.elapsed();
    if (outcome.status != report::WriteOutcome::Status::Written) {
      std::fprintf(stderr, "%s\n", qPrintable(outcome.error));
      return 1;
    }
    std::printf("%10d %8d %10lld %10lld %12.1f\n", count, outcome.pages, static_cast<long long>(ms),
                static_cast<long long>(QFileInfo(path).size()), PeakResidentKb() / 1024.0);
  }
  return 0;
}
