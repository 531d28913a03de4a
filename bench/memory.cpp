// Memory over a shift: what a table row costs, and whether the program keeps growing while it
// polls the instrument for a long time. Reports figures; asserts nothing.
//
//   bench_memory rows [ROWS]      heap per row with ROWS readings (default 100000): the table's
//                                 rows alone, then in the main window with the statistics' numbers
//   bench_memory run [SECONDS]    the program as it runs (main window, journal, virtual instrument
//                                 taking a reading every second) for SECONDS (default 600),
//                                 sampling the resident memory every 10 s: its growth beyond the
//                                 memory of the rows it took
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "app/Program.h"
#include "bench/BenchSupport.h"
#include "journal/TableJournal.h"
#include "sim/SimulatedInstrument.h"

namespace {

// Allocated heap, large blocks (mapped by themselves) included.
long long HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long long>(info.uordblks + info.hblkhd);
}

long long ResidentBytes() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// A reading as the polling cycle makes it: the day's date, the time of the reading, letters now
// and then, two values, rarely a comment.
table::MeasurementRow Reading(int i) {
  const int s = i % 86400;
  const QString time = QStringLiteral("%1:%2:%3")
                           .arg(s / 3600, 2, 10, QLatin1Char('0'))
                           .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(s % 60, 2, 10, QLatin1Char('0'));
  const QString value20 = QString::number(20 + i % 700 / 10.0, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
  const QString value60 = QString::number(40 + i % 600 / 10.0, 'f', 1);
  // The date as the cycle makes it for each reading: a text of its own, not a shared constant.
  return {{QString::fromLatin1("08.12.2026"), time, i % 7 == 0 ? QStringLiteral("L") : QString(),
           i % 11 == 0 ? QStringLiteral("C") : QString(), value20, value60,
           i % 50 == 0 ? QStringLiteral("batch %1").arg(i / 50) : QString()}};
}

int Rows(int rows) {
  malloc_trim(0);
  {
    const long long before = HeapInUse();
    table::MeasurementModel model;
    for (int i = 0; i < rows; ++i) model.AppendRow(Reading(i));
    std::printf("%-40s %7.1f bytes per row at %d rows\n", "the table's rows alone",
                static_cast<double>(HeapInUse() - before) / rows, rows);
  }
  usb::simbus::SimBus bus;
  app::ProcessState state = bench::ProgramState();
  app::Program program(state, bus);
  app::TMainForm& w = *program.MainForm;
  w.show();
  QApplication::processEvents();
  const long long before = HeapInUse();
  for (int i = 0; i < rows; ++i) w.AppendReadingRow(Reading(i));
  QApplication::processEvents();
  std::printf("%-40s %7.1f bytes per row at %d rows\n", "in the main window (view, statistics)",
              static_cast<double>(HeapInUse() - before) / rows, rows);
  return 0;
}

int Run(int seconds) {
  QTemporaryDir state;
  qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.autoReading = std::chrono::milliseconds(1000);
  sim::SimulatedInstrument instrument(bus, scenario);
  app::ProcessState processState = bench::ProgramState();
  app::Program program(processState, bus);
  app::TMainForm& w = *program.MainForm;
  auto* journal = new journal::TableJournal(w.Rows(), processState.Language, &w);
  journal->setParent(&w);
  w.show();

  const auto runFor = [](int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 50);
  };
  runFor(10000);  // the start-up sequence, the first readings, the caches settled
  const long long startRss = ResidentBytes();
  const int startRows = w.Rows().Count();
  std::printf("%6s %8s %12s\n", "s", "rows", "resident kB");
  for (int s = 10; s <= seconds; s += 10) {
    runFor(10000);
    std::printf("%6d %8d %12lld\n", s, w.Rows().Count(), ResidentBytes() / 1024);
    std::fflush(stdout);
  }
  const int rows = w.Rows().Count() - startRows;
  // The rows' own memory: the same texts once more, copied, in a table of their own.
  const long long grew = ResidentBytes() - startRss;
  const long long before = HeapInUse();
  table::MeasurementModel copy;
  for (int r = startRows; r < w.Rows().Count(); ++r) {
    table::MeasurementRow row;
    for (std::size_t c = 0; c < row.texts.size(); ++c) {
      const QString& text = w.Rows().Row(r).texts[c];
      row.texts[c] = QString(text.constData(), text.size());
    }
    copy.AppendRow(row);
  }
  const long long rowBytes = HeapInUse() - before;
  std::printf("%d readings in %d s; resident memory grew by %lld kB, the rows take %lld kB: %lld kB beyond them\n",
              rows, seconds, grew / 1024, rowBytes / 1024, (grew - rowBytes) / 1024);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const char* mode = argc > 1 ? argv[1] : "rows";
  const int n = argc > 2 ? std::atoi(argv[2]) : 0;
  if (std::strcmp(mode, "rows") == 0) return Rows(n > 0 ? n : 100000);
  if (std::strcmp(mode, "run") == 0) return Run(n > 0 ? n : 600);
  std::fprintf(stderr, "usage: bench_memory rows [ROWS] | run [SECONDS]\n");
  return 2;
}
