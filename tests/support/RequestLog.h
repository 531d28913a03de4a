// Records every request a handler raises, as it is written into RequestCode, with the time since
// the log began. The polling cycle would take only the last request of each tick; a test sees
// them all. The times go into failure messages; tests assert the order, never a time.
#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/CycleState.h"
#include "tests/support/TestEnvironment.h"

namespace testing_support {

class RequestLog {
 public:
  explicit RequestLog(protocol::CycleState& cycle) : cycle_(cycle) {
    clock_.start();
    cycle_.OnRequestRaised = [this](std::uint8_t code) { entries_.push_back({code, clock_.elapsed()}); };
  }
  ~RequestLog() { cycle_.OnRequestRaised = nullptr; }
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const Entry& e : entries_) codes.push_back(e.code);
    return codes;
  }
  std::size_t Size() const { return entries_.size(); }
  long Count(int code) const {
    return std::count_if(entries_.begin(), entries_.end(), [code](const Entry& e) { return e.code == code; });
  }
  // Runs the event loop until `n` requests have been raised.
  bool WaitForCount(std::size_t n, int timeoutMs = 5000) const {
    return WaitUntil([this, n] { return entries_.size() >= n; }, timeoutMs);
  }
  // "22@501 24@1002 …", for failure messages.
  std::string Describe() const {
    std::string s;
    for (const Entry& e : entries_) s += std::to_string(e.code) + "@" + std::to_string(e.atMs) + " ";
    return s;
  }

 private:
  struct Entry {
    std::uint8_t code;
    qint64 atMs;
  };
  protocol::CycleState& cycle_;
  QElapsedTimer clock_;
  std::vector<Entry> entries_;
};

}  // namespace testing_support
