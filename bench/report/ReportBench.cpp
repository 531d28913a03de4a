// Writing a batch report: the time from the readings to the finished PDF file, per size, and the
// peak resident memory of the process (as `--report` will run: no display, the offscreen
// platform). Each size is best run in a process of its own for its peak memory:
//   bench_report 1000
//   bench_report 10000
//   bench_report 10000 --keep report.pdf     (keeps the file to look at)
//   bench_report 300 --keep bericht.pdf --language 1   (0 English, 1 German, 2 French)
#include <sys/resource.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

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
  if (args.isEmpty()) args = {QStringLiteral("1000"), QStringLiteral("10000")};
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
