// The CPU the program spends polling the virtual instrument, as a share of one core, against a
// bare program that runs nothing but a 50 ms precise timer, and the exchanges per second it keeps.
// Usage: bench_polling_cpu [seconds]   (default 60; QT_QPA_PLATFORM defaults to offscreen)
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "app/Application.h"
#include "app/Unit1.h"
#include "bench/BenchSupport.h"
#include "sim/SimulatedInstrument.h"

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Run {
  double cpu = 0;
  double wall = 0;
  long long events = 0;
};

// Runs the event loop for `seconds` and measures it.
Run Measure(int seconds, const std::function<long long()>& events) {
  Run r;
  const long long startEvents = events();
  const double startCpu = ProcessCpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
  r.wall = static_cast<double>(wall.elapsed()) / 1000.0;
  r.cpu = ProcessCpuSeconds() - startCpu;
  r.events = events() - startEvents;
  return r;
}

void Print(const char* what, const Run& r, const char* unit) {
  std::printf("%-34s %6.2f s CPU in %6.2f s = %5.2f %% of one core, %7.2f %s/s (%lld of %.0f due)\n", what, r.cpu,
              r.wall, 100.0 * r.cpu / r.wall, static_cast<double>(r.events) / r.wall, unit, r.events, r.wall / 0.05);
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
    bare = Measure(seconds, [&ticks] { return ticks; });
  }

  usb::simbus::SimBus bus;
  sim::SimulatedInstrument instrument(bus, sim::Scenario{});
  app::ProcessState state = bench::ProgramState();
  app::TMainForm window(state, bus);
  window.show();
  const Run polling =
      Measure(seconds, [&instrument] { return static_cast<long long>(instrument.Instrument().Exchanges()); });

  Print("bare 50 ms precise timer", bare, "ticks");
  Print("program polling the instrument", polling, "exchanges");
  std::printf("%-34s %5.2f %% of one core; %d readings appended\n", "polling costs",
              100.0 * (polling.cpu / polling.wall - bare.cpu / bare.wall), window.Rows().Count());
  return 0;
}
