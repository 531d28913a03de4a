#include "usb/Event.h"

#include <chrono>

#include "usb/UsbStatus.h"

namespace usb {

Event::~Event() { std::lock_guard lock(mutex_); }

void Event::Set() {
  // Notified under the lock: a waiter that wakes and destroys the event cannot pull the condition
  // variable away from under the notification.
  std::lock_guard lock(mutex_);
  signalled_ = true;
  signal_.notify_one();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(std::uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (timeoutMs == kInfinite) {
    signal_.wait(lock, [this] { return signalled_; });
  } else {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!signal_.wait_until(lock, deadline, [this] { return signalled_; })) return false;
  }
  signalled_ = false;
  return true;
}

}  // namespace usb
