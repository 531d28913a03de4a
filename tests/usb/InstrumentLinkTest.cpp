#include <gtest/gtest.h>

#include "tests/usb/SimDevices.h"
#include "usb/InstrumentLink.h"

namespace {

using namespace usb;
using simbus::Faults;
using simbus::SimBus;
using testing_support::Descriptor;
using testing_support::InstrumentDescriptor;
using testing_support::ScriptedDevice;

bool AllClosed(const InstrumentLink& link) {
  return !link.UsbDevice.IsOpen() && !link.InPipe.IsOpen() && !link.OutPipe.IsOpen();
}

TEST(InstrumentLink, AcceptsTheInstrumentsIdentifiers) {
  struct Case {
    std::uint16_t vendor, product;
    bool accepted;
  };
  const Case cases[] = {
      {0x0C70, 0xF0D1, true},  {0x1234, 0x074C, true},  {0x0C70, 0x074C, true},
      {0x0C70, 0x1234, false}, {0x1234, 0xF0D1, false}, {0x074C, 0x0C70, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsInstrumentDescriptor(Descriptor(c.vendor, c.product)), c.accepted)
        << std::hex << c.vendor << ":" << c.product;
  }
}

TEST(InstrumentLink, SkipsForeignDevicesAndOpensTheInstrument) {
  SimBus bus;
  const auto foreign = bus.Plug(Descriptor(0x046D, 0xC52B), std::make_shared<ScriptedDevice>());
  Faults unreadable;
  unreadable.failDescriptor = true;
  const auto mute = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>(), unreadable);
  bus.Plug(Descriptor(0x1234, 0x074C), std::make_shared<ScriptedDevice>());
  InstrumentLink link(bus);
  ASSERT_TRUE(link.OpenInstrument());
  EXPECT_TRUE(link.UsbDevice.IsOpen() && link.InPipe.IsOpen() && link.OutPipe.IsOpen());
  EXPECT_EQ(*link.UsbDevice.DevicePath(), "sim:3");
  // Each device that is not the instrument was opened, looked at and closed again.
  EXPECT_EQ(bus.Stats(foreign).opens, 1u);
  EXPECT_EQ(bus.Stats(foreign).openHandles, 0u);
  EXPECT_EQ(bus.Stats(mute).openHandles, 0u);
  EXPECT_EQ(bus.LiveLists(), 0);

  link.TxBuf = {0x5A, 0, 0, 3, 4, 5, 6, 7};
  ASSERT_TRUE(link.Transact());
  EXPECT_EQ(link.TxBuf, (std::array<std::uint8_t, 8>{0xA5, 0, 0, 3, 4, 5, 6, 7}));

  link.CloseInstrument();
  EXPECT_TRUE(AllClosed(link));
  link.CloseInstrument();
}

TEST(InstrumentLink, EveryFailedAttemptLeavesEverythingClosedAndFreesTheList) {
  struct Case {
    const char* what;
    Faults faults;
    bool refusingFirst;  // a refusing device before the instrument
  };
  Faults configuration, bindIn, bindOut;
  configuration.failConfiguration = true;
  bindIn.failBindEndpoint = 0x81;
  bindOut.failBindEndpoint = 0x02;
  const Case cases[] = {
      {"no device", {}, false},
      {"configuration fails", configuration, false},
      {"binding the IN pipe fails", bindIn, false},
      {"binding the OUT pipe fails", bindOut, false},
      {"an instance that refuses to open ends the search", {}, true},
  };
  for (const Case& c : cases) {
    SimBus bus;
    simbus::SimBus::DeviceId id = 0;
    if (c.refusingFirst) {
      Faults refusing;
      refusing.refuseOpen = true;
      bus.Plug(Descriptor(1, 1), std::make_shared<ScriptedDevice>(), refusing);
    }
    if (std::string(c.what) != "no device")
      id = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>(), c.faults);
    InstrumentLink link(bus);
    EXPECT_FALSE(link.OpenInstrument()) << c.what;
    EXPECT_TRUE(AllClosed(link)) << c.what;
    EXPECT_EQ(bus.LiveLists(), 0) << c.what;
    if (id != 0) {
      EXPECT_EQ(bus.Stats(id).openHandles, 0u) << c.what;
    }
  }
}

TEST(InstrumentLink, AnExchangeNeedsEightBytesEachWay) {
  SimBus bus;
  auto device = std::make_shared<ScriptedDevice>();
  const auto id = bus.Plug(InstrumentDescriptor(), device);
  InstrumentLink link(bus);
  link.TimeoutMs = 100;
  ASSERT_TRUE(link.OpenInstrument());

  device->SetReply([](auto) { return simbus::Packet::Of(std::array<std::uint8_t, 4>{1, 2, 3, 4}); });
  EXPECT_FALSE(link.Transact());  // a 4-byte reply

  device->SetReply([](auto) { return std::nullopt; });
  EXPECT_FALSE(link.Transact());  // silent: the read times out

  device->SetReply({});
  Faults hanging;
  hanging.hangWrites = true;
  bus.SetFaults(id, hanging);
  EXPECT_FALSE(link.Transact());  // the write times out
  EXPECT_EQ(device->Requests().size(), 2u);

  // A write that moves fewer than eight bytes fails the exchange before any read: the reply the
  // device queued for it stays unread.
  device->SetReply([](auto) { return simbus::Packet::Of(std::array<std::uint8_t, 8>{0x5A, 8, 0x15}); });
  Faults shortened;
  shortened.shortLength = 5;
  bus.SetFaults(id, shortened);
  const std::uint32_t reads = bus.Stats(id).reads;
  EXPECT_FALSE(link.Transact());
  EXPECT_EQ(bus.Stats(id).reads, reads);

  bus.SetFaults(id, {});
  EXPECT_TRUE(link.Transact());
}

TEST(InstrumentLink, TheSecondFailureSinceTheConnectionIsTheLoss) {
  SimBus bus;
  InstrumentLink link(bus);
  EXPECT_FALSE(link.NoteFailedExchange());
  EXPECT_EQ(link.FailCount, 1);
  EXPECT_TRUE(link.NoteFailedExchange());
  EXPECT_EQ(link.FailCount, 0);
  EXPECT_FALSE(link.NoteFailedExchange());
  link.ResetFailures();
  EXPECT_FALSE(link.NoteFailedExchange());
}

}  // namespace
