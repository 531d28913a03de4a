#include "Backend.h"

#include "SimBus.h"

namespace app {
namespace {

class SimulatedBackend final : public Backend {
 public:
  usb::UsbAccess& Access() override { return bus_; }

 private:
  usb::simbus::SimBus bus_;
};

}  // namespace

void AddBackendOptions(QCommandLineParser&) {}

std::unique_ptr<Backend> MakeBackend(const QCommandLineParser&, QString&) {
  return std::make_unique<SimulatedBackend>();
}

}  // namespace app
