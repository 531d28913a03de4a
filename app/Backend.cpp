#include "app/Backend.h"

#include "sim/SimulatedInstrument.h"
#include "usb/libusb/LibusbAccess.h"
#include "usb/simbus/SimBus.h"

namespace app {
namespace {

const QString kSimulateOption = QStringLiteral("simulate");

// The simulated bus with the virtual instrument plugged in.
class SimulatedBackend final : public Backend {
 public:
  explicit SimulatedBackend(const sim::Scenario& scenario) : instrument_(bus_, scenario) {}
  usb::UsbAccess& Access() override { return bus_; }

 private:
  usb::simbus::SimBus bus_;
  sim::SimulatedInstrument instrument_;
};

// Real instruments on the USB ports, through libusb.
class UsbBackend final : public Backend {
 public:
  usb::UsbAccess& Access() override { return access_; }

 private:
  usb::LibusbAccess access_;
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

bool IsSimulatedRun(const QStringList& arguments) {
  for (const QString& a : PrepareArguments(arguments)) {
    if (a == QLatin1String("--")) break;
    if (a.startsWith(QLatin1String("--simulate=")) || a.startsWith(QLatin1String("-simulate="))) return true;
  }
  return false;
}

std::unique_ptr<Backend> MakeBackend(const QCommandLineParser& parser, QString& problem) {
  if (parser.isSet(kSimulateOption)) {
    sim::Scenario scenario;
    const QString file = parser.value(kSimulateOption);
    if (!file.isEmpty() && !sim::LoadScenario(file, scenario, problem)) return nullptr;
    return std::make_unique<SimulatedBackend>(scenario);
  }
  return std::make_unique<UsbBackend>();
}

}  // namespace app
