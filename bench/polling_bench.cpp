// One tick of the polling cycle without the exchange (build the request, decode and handle the
// reply), and one exchange through the class library on the simulated bus with the number of
// operator-new allocations it takes (the class library and the bus allocate only through it).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "protocol/PollingCycle.h"
#include "usb/InstrumentLink.h"
#include "usb/simbus/SimBus.h"

namespace {

std::atomic<long long> g_allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace protocol;

class NullView : public CycleView {
 public:
  void ShowSerial(const QString&) override {}
  void ShowFirmware(const QString&) override {}
  void ShowValue60(const QString&, const std::array<QString, 3>&) override {}
  void ShowValue20(const QString&, const std::array<QString, 3>&) override {}
  void ShowMeasCount(const QString&) override {}
  void ResetShot() override {}
  QString CommentText() const override { return {}; }
  void AppendReading(const ReadingRow&) override {}
  void ShowGeometry(const QString&) override {}
  void ClearConnectionMessage() override {}
  void ExchangeFailed() override {}
};

// The replies of one polling sequence with a new reading in it.
const Frame kReplies[5] = {
    {0x5A, 0x08, 0x15, 0, 0, 0, 0, 0},      {0x55, 0x00, ' ', ' ', 0x02, ' ', 0, 0},
    {0x55, 0x01, '8', '8', '.', '5', 0, 0}, {0x55, 0x02, ' ', ' ', 0x00, ' ', 0, 0},
    {0x55, 0x03, '7', '5', '.', '3', 0, 0},
};

void BM_PollingTick(benchmark::State& state) {
  CycleState s;
  s.GeoMode = 3;
  Frame frame{};
  NullView view;
  std::size_t next = 0;
  PollingCycle cycle(
      s, frame,
      [&] {
        frame = kReplies[next++ % 5];
        return true;
      },
      view);
  for (int i = 0; i < 12; ++i) cycle.Tick();  // past the handshake
  for (auto _ : state) cycle.Tick();
}
BENCHMARK(BM_PollingTick);

class Echo : public usb::simbus::DeviceBehaviour {
 public:
  std::optional<usb::simbus::Packet> OnWrite(std::span<const std::uint8_t> request) override {
    return usb::simbus::Packet::Of(request);
  }
};

void BM_Exchange(benchmark::State& state) {
  usb::simbus::SimBus bus;
  const usb::DeviceDescriptor descriptor{18, 1, 0x10, 1, 0, 0, 0, 8, 0x70, 0x0C, 0xD1, 0xF0, 0, 1, 1, 2, 3, 1};
  const auto id = bus.Plug(descriptor, std::make_shared<Echo>());
  bus.SetLatency(id, std::chrono::microseconds(state.range(0)));
  usb::InstrumentLink link(bus);
  if (!link.OpenInstrument()) {
    state.SkipWithError("no instrument");
    return;
  }
  link.Transact();
  const long long before = g_allocations;
  for (auto _ : state) {
    if (!link.Transact()) state.SkipWithError("exchange failed");
  }
  state.counters["allocs/exchange"] =
      benchmark::Counter(static_cast<double>(g_allocations - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Exchange)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
