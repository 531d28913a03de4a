#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "usb/UsbAccess.h"

namespace {

using namespace usb;

// A backend completes a request on its own thread; the owner that sees the outcome may destroy
// the record (and its event) at once, while the signal may still be under way.
TEST(Event, DestroyingItWaitsForACompletionInProgress) {
  auto event = std::make_unique<Event>();
  Event* completing = event.get();
  std::atomic<bool> published{false};
  bool signalled = false;
  std::thread completer([&] {
    completing->SetAfter([&] {
      published = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widen the window
      signalled = true;
    });
  });
  while (!published) std::this_thread::yield();
  event.reset();
  EXPECT_TRUE(signalled);
  completer.join();
}

TEST(Event, CompleteRequestPublishesTheOutcomeWithTheSignal) {
  Event event;
  Overlapped ov;
  ov.event = &event;
  ov.status = kErrorIoPending;
  std::thread completer([&] { CompleteRequest(ov, kErrorOperationAborted, 3); });
  EXPECT_TRUE(event.Wait(kInfinite));
  EXPECT_EQ(ov.status.load(), kErrorOperationAborted);
  EXPECT_EQ(ov.transferred.load(), 3u);
  completer.join();
  EXPECT_FALSE(event.Wait(0)) << "one completion, one signal";
}

}  // namespace
