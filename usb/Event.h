// An auto-reset event: Set() signals it, a wait that sees it signalled consumes the signal.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace usb {

class Event {
 public:
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  // Waits for a SetAfter() still in progress on another thread.
  ~Event();

  // Signals the event. It stays signalled until one wait consumes it.
  void Set();
  // Runs `publish` and signals the event as one step under the event's lock. Whoever sees what
  // `publish` stored may destroy the event at once: the destructor waits until the signal is done.
  template <class Publish>
  void SetAfter(Publish&& publish) {
    std::lock_guard lock(mutex_);
    publish();
    signalled_ = true;
    signal_.notify_one();
  }
  // Returns the event to the not-signalled state.
  void Reset();
  // Waits until the event is signalled or timeoutMs (kInfinite: no limit) have passed on the
  // monotonic clock. Returns true and resets the event when it was signalled, false on time-out.
  bool Wait(std::uint32_t timeoutMs);

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  bool signalled_ = false;
};

}  // namespace usb
