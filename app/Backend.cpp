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
  RecordSet Records() const override { return RecordSet::Simulated; }

 private:
  usb::simbus::SimBus bus_;
  sim::SimulatedInstrument instrument_;
};

// Real instruments on the USB ports, through libusb.
class UsbBackend final : public Backend {
 public:
  usb::UsbAccess& Access() override { return access_; }
  RecordSet Records() const override { return RecordSet::Instrument; }

 private:
  usb::LibusbAccess access_;
};

}  // namespace

QString RecordName(RecordSet set, const QString& base) {
  return set == RecordSet::Simulated ? base + QStringLiteral("-simulated") : base;
}

bool ChooseBackend(const CommandLine& line, BackendChoice& choice, QString& problem) {
  choice = BackendChoice();
  if (!line.IsSet(kSimulateOption)) return true;
  choice.simulate = true;
  const QString file = line.Value(kSimulateOption);
  return file.isEmpty() || sim::LoadScenario(file, choice.scenario, problem);
}

std::unique_ptr<Backend> MakeBackend(const BackendChoice& choice) {
  if (choice.simulate) return std::make_unique<SimulatedBackend>(choice.scenario);
  return std::make_unique<UsbBackend>();
}

}  // namespace app
