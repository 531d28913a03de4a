// The CPU the program spends polling the virtual instrument, as a share of one core, against a
// bare program that runs nothing but a 50 ms precise timer, and the exchanges per second it keeps.
// The program's own thread (the window's, which runs the tick) is counted apart from the threads
// of the simulated bus, which stand in for the USB host and the instrument.
// Usage: bench_polling_cpu [seconds]   (default 60; QT_QPA_PLATFORM defaults to offscreen)
// bench_polling_cpu_libusb runs the program over the libusb backend instead, against the virtual
// instrument on a device that umockdev emulates: its figure includes umockdev's own work in the
// process (a thread answering every usbfs call), so it bounds the real cost from above.
// Under callgrind (`valgrind --tool=callgrind --instr-atstart=no bench_polling_cpu 10`) each phase
// is counted from its second second on, and dumped as "bare" and "polling".
#include <valgrind/callgrind.h>

#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>

#include "app/Application.h"
#include "app/Unit1.h"
#include "bench/BenchSupport.h"
#include "sim/SimulatedInstrument.h"
#ifdef KORVANTA_BENCH_LIBUSB
#include "tests/libusb/UsbTestbed.h"
#include "usb/libusb/LibusbAccess.h"
#endif

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The times the window's thread went to sleep (voluntary context switches): each costs a wake-up.
long long MainThreadSleeps() {
  QFile f(QStringLiteral("/proc/thread-self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.startsWith("voluntary_ctxt_switches:")) return line.mid(24).trimmed().toLongLong();
  }
  return 0;
}

// CPU seconds of every thread of the process by thread id, from the scheduler's own account
// (nanoseconds, unlike the clock ticks of /proc/.../stat).
std::map<int, double> ThreadCpuSeconds() {
  std::map<int, double> threads;
  const QDir tasks(QStringLiteral("/proc/self/task"));
  for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile f(tasks.filePath(tid) + QStringLiteral("/schedstat"));
    if (!f.open(QIODevice::ReadOnly)) continue;
    threads[tid.toInt()] = f.readAll().split(' ').value(0).toDouble() / 1e9;
  }
  return threads;
}

struct Run {
  double cpu = 0;       // the whole process
  double mainCpu = 0;   // the window's thread: the tick, the event loop, painting
  double otherCpu = 0;  // every other thread (the simulated bus's worker, the toolkit's)
  double wall = 0;
  long long events = 0;
  long long sleeps = 0;  // of the window's thread
};

// Runs the event loop for `seconds` and measures it.
Run Measure(int seconds, const std::function<long long()>& events, const char* dumpName) {
  Run r;
  // The first second settles the window and the handshake; it is not counted.
  QTimer::singleShot(1000, Qt::PreciseTimer, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
  CALLGRIND_ZERO_STATS;
  CALLGRIND_START_INSTRUMENTATION;
  const long long startEvents = events();
  const double startCpu = ProcessCpuSeconds();
  const std::map<int, double> startThreads = ThreadCpuSeconds();
  const long long startSleeps = MainThreadSleeps();
  QElapsedTimer wall;
  wall.start();
  QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
  r.wall = static_cast<double>(wall.elapsed()) / 1000.0;
  r.cpu = ProcessCpuSeconds() - startCpu;
  r.events = events() - startEvents;
  r.sleeps = MainThreadSleeps() - startSleeps;
  CALLGRIND_STOP_INSTRUMENTATION;
  CALLGRIND_DUMP_STATS_AT(dumpName);
  for (const auto& [tid, cpuSeconds] : ThreadCpuSeconds()) {
    const auto before = startThreads.find(tid);
    const double used = cpuSeconds - (before == startThreads.end() ? 0.0 : before->second);
    (tid == getpid() ? r.mainCpu : r.otherCpu) += used;
  }
  return r;
}

double Share(double cpu, double wall) { return 100.0 * cpu / wall; }

void Print(const char* what, const Run& r, const char* unit) {
  std::printf("%-34s %6.2f s CPU in %6.2f s = %5.2f %% of one core, %7.2f %s/s (%lld of %.0f due)\n", what, r.cpu,
              r.wall, Share(r.cpu, r.wall), static_cast<double>(r.events) / r.wall, unit, r.events, r.wall / 0.05);
  std::printf("%-34s %5.3f %% the window's thread (%.2f sleeps per %s), %5.3f %% the other threads\n", "",
              Share(r.mainCpu, r.wall), static_cast<double>(r.sleeps) / static_cast<double>(std::max(1LL, r.events)),
              unit, Share(r.otherCpu, r.wall));
}

// The program on the virtual instrument for one phase: `autoReading` 0 is polling alone; the
// virtual instrument's default takes a reading of its own every 5 s, each shown and appended.
// The program on the virtual instrument for one phase. `latency` is the instrument's, from a
// request to its reply: while it is above 0 the window's thread sleeps once more per exchange,
// waiting for the reply. `autoReading` 0 is polling alone; the virtual instrument's default takes a
// reading of its own every 5 s, each shown and appended.
Run Polling(int seconds, std::chrono::milliseconds latency, std::chrono::milliseconds autoReading, const char* dumpName,
            int& readings) {
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.latency = latency;
  scenario.autoReading = autoReading;
  sim::SimulatedInstrument instrument(bus, scenario);
  app::ProcessState state = bench::ProgramState();
  app::TMainForm window(state, bus);
  window.show();
  const Run run = Measure(
      seconds, [&instrument] { return static_cast<long long>(instrument.Instrument().Exchanges()); }, dumpName);
  readings = window.Rows().Count();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  app::Application application(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;

  long long ticks = 0;
  Run bare;
  {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();
    bare = Measure(
        seconds, [&ticks] { return ticks; }, "bare");
  }
  using std::chrono::milliseconds;
#ifdef KORVANTA_BENCH_LIBUSB
  Run emulated;
  {
    testing_support::UsbTestbed testbed;
    sim::Scenario scenario;
    scenario.autoReading = milliseconds(0);
    auto instrument = std::make_shared<sim::VirtualInstrument>(scenario);
    testbed.Plug({}, instrument);
    {
      usb::LibusbAccess access;
      app::ProcessState state = bench::ProgramState();
      app::TMainForm window(state, access);
      window.show();
      emulated = Measure(
          seconds, [&instrument] { return static_cast<long long>(instrument->Exchanges()); }, "polling-libusb");
    }
  }
  Print("bare 50 ms precise timer", bare, "ticks");
  Print("polling over libusb (emulated)", emulated, "exchanges");
  std::printf("%-34s %5.2f x the bare timer\n", "the window's thread",
              (emulated.mainCpu / emulated.wall) / (bare.mainCpu / bare.wall));
  return 0;
#endif
  int readings[3] = {};
  const Run own = Polling(seconds, milliseconds(0), milliseconds(0), "polling-at-once", readings[0]);
  const Run quiet = Polling(seconds, milliseconds(1), milliseconds(0), "polling", readings[1]);
  const Run busy = Polling(seconds, milliseconds(1), milliseconds(5000), "polling-readings", readings[2]);

  const auto ratio = [&bare](const Run& r) { return (r.mainCpu / r.wall) / (bare.mainCpu / bare.wall); };
  Print("bare 50 ms precise timer", bare, "ticks");
  Print("polling, replies at once", own, "exchanges");
  Print("polling, replies after 1 ms", quiet, "exchanges");
  Print("the same, a reading every 5 s", busy, "exchanges");
  std::printf("%-34s %5.2f x the bare timer with replies at once (the program's own work)\n", "the window's thread",
              ratio(own));
  std::printf("%-34s %5.2f x with replies after 1 ms; %5.2f x with %d readings as well\n", "", ratio(quiet),
              ratio(busy), readings[2]);
  return 0;
}
