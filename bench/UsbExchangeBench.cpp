// One exchange of the polling cycle (8 bytes out, 8 bytes back) through the class library and
// the connection, over each backend.
#include <benchmark/benchmark.h>

#include "tests/libusb/UsbTestbed.h"
#include "tests/usb/SimDevices.h"
#include "usb/InstrumentLink.h"
#include "usb/libusb/LibusbAccess.h"
#include "usb/simbus/SimBus.h"

namespace {

// Answers every request with itself, first byte inverted, and keeps nothing.
class Echo final : public usb::simbus::DeviceBehaviour {
 public:
  std::optional<usb::simbus::Packet> OnWrite(std::span<const std::uint8_t> request) override {
    usb::simbus::Packet reply = usb::simbus::Packet::Of(request);
    reply.bytes[0] = static_cast<std::uint8_t>(~reply.bytes[0]);
    return reply;
  }
};

void RunExchanges(benchmark::State& state, usb::UsbAccess& access) {
  usb::InstrumentLink link(access);
  if (!link.OpenInstrument()) {
    state.SkipWithError("the instrument did not open");
    return;
  }
  for (auto _ : state) {
    link.TxBuf = {0x5A, 1, 2, 3, 4, 5, 6, 7};
    if (!link.Transact()) {
      state.SkipWithError("an exchange failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// The real backend: libusb, its event thread and the kernel interface that umockdev emulates
// (whose device answers the moment it is asked).
void BM_ExchangeLibusbEmulated(benchmark::State& state) {
  testing_support::UsbTestbed testbed;
  testbed.Plug({}, std::make_shared<Echo>());
  usb::LibusbAccess access;
  RunExchanges(state, access);
}
BENCHMARK(BM_ExchangeLibusbEmulated)->Unit(benchmark::kMillisecond)->UseRealTime();

// The simulated bus with a reply that is there at once: the cost of the layers above a backend.
void BM_ExchangeSimulatedBus(benchmark::State& state) {
  usb::simbus::SimBus bus;
  bus.Plug(testing_support::InstrumentDescriptor(), std::make_shared<Echo>());
  RunExchanges(state, bus);
}
BENCHMARK(BM_ExchangeSimulatedBus)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
