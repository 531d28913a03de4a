// A shift's worth of unplugging: the program on the virtual instrument through a thousand unplug
// and re-plug cycles at random points (during the handshake, between the two halves of a value,
// with a one-shot request waiting or just sent, while a dialog is open). The soak drives the
// program's clock itself, calling the polling and reconnect handlers whenever their timer is on,
// so that the cycles take seconds; the timers' own intervals are set out of its way.
#include <gtest/gtest.h>

#include <QDialog>
#include <random>

#include "app/Program.h"
#include "sim/SimulatedInstrument.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ModalAnswerer;

const QString kConnectionLost = QStringLiteral("Connection lost");
const QString kOpenFailed = QStringLiteral("Couldn't open port! Please restart application to retry!");

enum Point { kHandshake, kBetweenHalves, kOneShot, kPolling, kPointCount };

TEST(Soak, AThousandUnplugsLoseNoReadingAndLeaveNoDeviceOpen) {
  constexpr int kCycles = 1000;
  testing_support::ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.latency = std::chrono::milliseconds(0);
  scenario.autoReading = std::chrono::milliseconds(0);  // readings only when asked for
  sim::SimulatedInstrument simulated(bus, scenario);
  sim::VirtualInstrument& instrument = simulated.Instrument();
  const auto id = simulated.Device();

  auto state = std::make_unique<app::ProcessState>();
  auto program = std::make_unique<app::Program>(*state, bus);
  app::TMainForm& w = *program->MainForm;
  for (QTimer* timer : {w.Timer1, w.Timer2}) timer->setInterval(24 * 3600 * 1000);  // the soak is the clock
  ASSERT_TRUE(w.Timer1->isActive());
  ModalAnswerer answers(60000);

  std::mt19937 random(318);
  const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  int points[kPointCount] = {};
  int inDialog = 0;
  std::uint8_t lastSent = 0;
  const auto tick = [&] {
    w.Timer1Timer();
    lastSent = w.Link().TxBuf[0];
  };
  // A measurement only when the last reading has been fetched (the instrument keeps one), and not
  // during the handshake: there the program sends the instrument's answer to the shot back to it
  // on the next tick, and the instrument, taking that for a second shot, measures again.
  const auto measure = [&] {
    if (!instrument.ReadingDue() && state->Cycle.HandshakeDone == protocol::kCycleRunning) w.messenClick();
  };
  // A request of another handler: the geometry or the display's orientation.
  const auto otherRequest = [&] {
    const std::uint8_t requests[] = {protocol::rc::kGeoBoth, protocol::rc::kOrientNormal, protocol::rc::kOrient180};
    state->Cycle.RaiseRequest(requests[random() % 3]);
  };

  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE(cycle);
    const int ticks = static_cast<int>(random() % 45);
    const int measureAt = chance(40) ? static_cast<int>(random() % (ticks + 1)) : -1;
    for (int t = 0; t < ticks; ++t) {
      if (t == measureAt) measure();
      tick();
    }
    if (chance(15)) {  // waiting when the cable goes
      if (chance(50)) {
        measure();
      } else {
        otherRequest();
      }
    }

    const protocol::CycleState& cycleState = state->Cycle;
    const bool oneShot =
        (cycleState.RequestCode >= protocol::rc::kShot && cycleState.RequestCode <= protocol::rc::kOrient180) ||
        lastSent == protocol::REQ_SHOT || lastSent == protocol::REQ_GEO_BOTH ||
        lastSent == protocol::REQ_ORIENT_NORMAL || lastSent == protocol::REQ_ORIENT_180;
    const bool betweenHalves = cycleState.RequestCode == protocol::rc::kValue60Second ||
                               cycleState.RequestCode == protocol::rc::kValue20Second;
    ++points[cycleState.HandshakeDone != protocol::kCycleRunning ? kHandshake
             : oneShot                                           ? kOneShot
             : betweenHalves                                     ? kBetweenHalves
                                                                 : kPolling];

    const auto unplugAndBack = [&] {
      bus.Unplug(id);
      const QString shown = w.StatusText(0);
      tick();  // the first failed exchange only counts: nothing the operator sees changes
      EXPECT_TRUE(w.Timer1->isActive());
      EXPECT_EQ(w.StatusText(0), shown);
      tick();  // the second is the loss
      EXPECT_FALSE(w.Timer1->isActive());
      EXPECT_TRUE(w.Timer2->isActive());
      EXPECT_EQ(w.StatusText(0), kConnectionLost);
      EXPECT_EQ(w.Label7->text(), QStringLiteral("-----"));
      EXPECT_EQ(bus.Stats(id).openHandles, 0u);
      for (int attempt = static_cast<int>(random() % 3); attempt > 0; --attempt) {
        w.Timer2Timer();
        EXPECT_EQ(w.StatusText(0), kOpenFailed);
      }
      bus.Replug(id);
      w.Timer2Timer();  // the first attempt after the re-plug connects
      EXPECT_TRUE(w.Timer1->isActive());
      EXPECT_FALSE(w.Timer2->isActive());
      EXPECT_EQ(w.Link().FailCount, 0);
      EXPECT_EQ(bus.Stats(id).openHandles, 3u);
    };
    if (chance(10)) {
      ++inDialog;
      answers.Expect([&](QWidget* dialog) {
        unplugAndBack();
        static_cast<QDialog*>(dialog)->reject();
      });
      w.Image7Click();
      ASSERT_TRUE(answers.WaitAllAnswered());
    } else {
      unplugAndBack();
    }
    // Every reading taken is in the table, or still with the instrument.
    EXPECT_EQ(static_cast<std::uint32_t>(w.Rows().Count()) + (instrument.ReadingDue() ? 1 : 0),
              instrument.ReadingsTaken());
    if (HasFailure()) break;
  }

  // What the instrument took and has not yet handed over comes with the next polling sequences.
  for (int t = 0; t < 40 || instrument.ReadingDue(); ++t) {
    ASSERT_LT(t, 200);
    tick();
  }
  EXPECT_EQ(static_cast<std::uint32_t>(w.Rows().Count()), instrument.ReadingsTaken()) << "rows lost or doubled";
  EXPECT_EQ(state->Cycle.MeasCount, w.Rows().Count());
  EXPECT_GT(instrument.ReadingsTaken(), static_cast<std::uint32_t>(kCycles / 10));
  for (int p = 0; p < kPointCount; ++p) EXPECT_GT(points[p], kCycles / 50) << "point " << p;
  EXPECT_GT(inDialog, kCycles / 20);
  std::printf(
      "%d cycles: %d in the handshake, %d between value halves, %d around a one-shot request, %d while "
      "polling, %d of them behind a dialog; %d readings, all in the table\n",
      kCycles, points[kHandshake], points[kBetweenHalves], points[kOneShot], points[kPolling], inDialog,
      w.Rows().Count());

  program.reset();
  EXPECT_EQ(bus.Stats(id).openHandles, 0u);
}

}  // namespace
