#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "tests/support/TestEnvironment.h"
#include "tests/usb/SimDevices.h"

namespace {

using testing_support::InstrumentDescriptor;
using testing_support::ScopedWorkingDir;
using testing_support::ScriptedDevice;
using testing_support::WaitUntil;

const QString kOpenFailed = QStringLiteral("Couldn't open port! Please restart application to retry!");
const QString kConnectionLost = QStringLiteral("Connection lost");

TEST(Connection, UnplugLeadsToTheLossStepAndReplugReconnects) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  auto device = std::make_shared<ScriptedDevice>();
  const auto id = bus.Plug(InstrumentDescriptor(), device);
  app::ProcessState state;
  app::TMainForm w(state, bus);
  w.Link().TimeoutMs = 50;
  w.Timer2->setInterval(100);

  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_FALSE(w.Timer2->isActive());
  EXPECT_EQ(w.StatusText(0), QString());
  ASSERT_TRUE(WaitUntil([&] { return device->Requests().size() >= 3; }));

  bus.Unplug(id);
  ASSERT_TRUE(WaitUntil([&] { return w.Timer2->isActive(); }));
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_EQ(w.StatusText(0), kConnectionLost);
  EXPECT_EQ(w.Label7->text(), QStringLiteral("-----"));
  EXPECT_EQ(state.Cycle.RestartMark, 1);
  EXPECT_FALSE(w.Link().UsbDevice.IsOpen());
  EXPECT_EQ(bus.Stats(id).openHandles, 0u);

  // While unplugged each reconnect attempt shows the open-failure text.
  ASSERT_TRUE(WaitUntil([&] { return w.StatusText(0) == kOpenFailed; }));

  const std::size_t before = device->Requests().size();
  bus.Replug(id);
  ASSERT_TRUE(WaitUntil([&] { return w.Timer1->isActive(); }));
  EXPECT_FALSE(w.Timer2->isActive());
  EXPECT_EQ(w.Link().FailCount, 0);
  ASSERT_TRUE(WaitUntil([&] { return w.StatusText(0).isEmpty() && device->Requests().size() > before; }));
}

TEST(Connection, OneFailedExchangeChangesNothingVisibleTheSecondIsALoss) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  auto device = std::make_shared<ScriptedDevice>();
  bus.Plug(InstrumentDescriptor(), device);
  app::ProcessState state;
  app::TMainForm w(state, bus);
  w.Link().TimeoutMs = 30;
  const auto silent = [](auto) { return std::optional<usb::simbus::Packet>(); };

  device->SetReply(silent);
  w.Timer1Timer();
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_EQ(w.StatusText(0), QString());
  EXPECT_EQ(w.Link().FailCount, 1);

  device->SetReply({});  // answers again: still counts as one failure
  w.Timer1Timer();
  w.Timer1Timer();
  EXPECT_EQ(w.Link().FailCount, 1);

  device->SetReply(silent);
  w.Timer1Timer();
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_TRUE(w.Timer2->isActive());
  EXPECT_EQ(w.StatusText(0), kConnectionLost);
  EXPECT_EQ(w.Label7->text(), QStringLiteral("-----"));
}

TEST(Connection, WithoutAnInstrumentTheReconnectTimerRetriesUntilOneAppears) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  app::ProcessState state;
  app::TMainForm w(state, bus);
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_TRUE(w.Timer2->isActive());
  EXPECT_EQ(w.Timer2->interval(), 5000);
  EXPECT_EQ(w.StatusText(0), kOpenFailed);

  w.SetStatusText(0, QString());
  w.Timer2Timer();
  EXPECT_EQ(w.StatusText(0), kOpenFailed);
  EXPECT_TRUE(w.Timer2->isActive());

  // A loss step while the reconnect timer runs (printing switches polling on again without an
  // instrument) leaves the countdown to the next attempt alone.
  testing_support::RunEventLoop(600);
  const int remaining = w.Timer2->remainingTime();
  w.ConnectionLossStep();
  w.ConnectionLossStep();
  EXPECT_TRUE(w.Timer2->isActive());
  EXPECT_LE(w.Timer2->remainingTime(), remaining);

  bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>());
  w.Timer2Timer();
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_FALSE(w.Timer2->isActive());
}

TEST(Connection, ClosingTheWindowClosesTheDevice) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  const auto id = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>());
  {
    app::ProcessState state;
    app::TMainForm w(state, bus);
    EXPECT_EQ(bus.Stats(id).openHandles, 3u);
    w.Rows().AppendRow({});
  }
  EXPECT_EQ(bus.Stats(id).openHandles, 0u);
}

}  // namespace
