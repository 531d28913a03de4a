#include "sim/SimulatedInstrument.h"

#include <QTimer>

namespace sim {

SimulatedInstrument::SimulatedInstrument(usb::simbus::SimBus& bus, const Scenario& scenario, QObject* parent)
    : QObject(parent), bus_(bus), instrument_(std::make_shared<VirtualInstrument>(scenario)) {
  // The instrument's identifiers: vendor 0x0C70, product 0xF0D1.
  const usb::DeviceDescriptor descriptor{18,   0x01, 0x10, 0x01, 0xFF, 0x00, 0x00, 8, 0x70,
                                         0x0C, 0xD1, 0xF0, 0x00, 0x01, 1,    2,    3, 1};
  device_ = bus_.Plug(descriptor, instrument_);
  bus_.SetLatency(device_, scenario.latency);
  for (const auto at : scenario.unplugAt) {
    QTimer::singleShot(at, this, [this] { bus_.Unplug(device_); });
  }
  for (const auto at : scenario.replugAt) {
    QTimer::singleShot(at, this, [this] { bus_.Replug(device_); });
  }
}

}  // namespace sim
