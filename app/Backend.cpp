#include "Backend.h"

#include "SimBus.h"

namespace app {
namespace {

const QString kSimulateOption = QStringLiteral("simulate");

// The simulated bus, with the virtual instrument plugged in when the options ask for it.
class SimulatedBackend final : public Backend {
 public:
  usb::UsbAccess& Access() override { return bus_; }

 private:
  usb::simbus::SimBus bus_;
};

}  // namespace

void AddBackendOptions(QCommandLineParser& parser) {
  QCommandLineOption simulate(kSimulateOption,
                              QStringLiteral("Run on the built-in virtual instrument instead of a real one, "
                                             "optionally playing a scenario file (--simulate=FILE)."),
                              QStringLiteral("FILE"));
  parser.addOption(simulate);
}

QStringList PrepareArguments(QStringList arguments) {
  // "--simulate" alone is the option with an empty value.
  for (QString& a : arguments) {
    if (a == QLatin1String("--simulate") || a == QLatin1String("-simulate")) a = QStringLiteral("--simulate=");
  }
  return arguments;
}

std::unique_ptr<Backend> MakeBackend(const QCommandLineParser& parser, QString& problem) {
  (void)problem;
  if (parser.isSet(kSimulateOption)) return std::make_unique<SimulatedBackend>();
  // Real instruments: until the backend for real USB devices exists, no instrument is found.
  return std::make_unique<SimulatedBackend>();
}

}  // namespace app
