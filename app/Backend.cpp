#include "Backend.h"

#include "SimBus.h"
#include "SimulatedInstrument.h"

namespace app {
namespace {

const QString kSimulateOption = QStringLiteral("simulate");

// The simulated bus, with the virtual instrument plugged in when a scenario is given.
class SimulatedBackend final : public Backend {
 public:
  explicit SimulatedBackend(const sim::Scenario* scenario) {
    if (scenario != nullptr) instrument_ = std::make_unique<sim::SimulatedInstrument>(bus_, *scenario);
  }
  usb::UsbAccess& Access() override { return bus_; }

 private:
  usb::simbus::SimBus bus_;
  std::unique_ptr<sim::SimulatedInstrument> instrument_;
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
  if (parser.isSet(kSimulateOption)) {
    sim::Scenario scenario;
    const QString file = parser.value(kSimulateOption);
    if (!file.isEmpty() && !sim::LoadScenario(file, scenario, problem)) return nullptr;
    return std::make_unique<SimulatedBackend>(&scenario);
  }
  // Real instruments: until the backend for real USB devices exists, no instrument is found.
  return std::make_unique<SimulatedBackend>(nullptr);
}

}  // namespace app
