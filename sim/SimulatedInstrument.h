// The virtual instrument plugged into a simulated bus, with the scenario's unplug and re-plug
// events played on the event loop's clock.
#pragma once

#include <QObject>
#include <memory>

#include "sim/VirtualInstrument.h"
#include "usb/simbus/SimBus.h"

namespace sim {

class SimulatedInstrument : public QObject {
  Q_OBJECT
 public:
  SimulatedInstrument(usb::simbus::SimBus& bus, const Scenario& scenario, QObject* parent = nullptr);

  VirtualInstrument& Instrument() { return *instrument_; }
  usb::simbus::SimBus::DeviceId Device() const { return device_; }

 private:
  usb::simbus::SimBus& bus_;
  std::shared_ptr<VirtualInstrument> instrument_;
  usb::simbus::SimBus::DeviceId device_;
};

}  // namespace sim
