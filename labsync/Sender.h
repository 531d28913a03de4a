// The sender: a thread of its own that moves the station's outbox to the lab database.
//
//   Connecting --ok--> Connected --rows--> one round trip: the oldest rows (up to rowsPerRound)
//       ^                  |                written in one transaction, then acknowledged
//       |               failure             to the source
//       |                  v
//       +---- back-off <-- Unreachable (since the first failure of this outage, with the reason)
//
// On connecting it checks the lab schema's version (a newer major: nothing is written, the
// outbox keeps everything), the role's rights (catalogue queries), and records the station (its
// UUID and shown name). Rows go in outbox order, many per round trip; every insert is ON CONFLICT
// DO NOTHING on the change's UUID, so a round trip sent again after a cut (its commit may or may
// not have happened) lands each change once. Rows are acknowledged only after the server confirmed
// the commit. A failure drops the connection and waits before the next try: from firstRetry,
// doubling up to longestRetry, with a little jitter so that a lab's stations do not come back in
// step; failures nobody fixes by waiting (a wrong password, a schema too new) start at the longest
// wait. A row that cannot be sent as it stands (BadLocalData) holds back itself and every row
// after it, and says so in the status.
//
// With a ProductCopy, the sender also keeps the station's copy of the lab's products (Products.h):
// once the outbox is through after connecting, when asked (NotifyProducts), and every
// productsEvery, it claims the station's own product names the lab does not have yet and reads the
// lab's products. A failure of the connection there is one like any other; bad data from the server
// is told in the status (`products`) and changes nothing, and the outbox goes on being sent.
//
// Every wait is a poll() that the stop signal wakes, and libpq never blocks here (asynchronous
// connect and statements, a non-blocking socket, the host name lookup on a thread of the
// connect's own): Stop() returns within moments however the server and the network behave.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "labsync/Connection.h"
#include "labsync/OutboxSource.h"
#include "labsync/Products.h"
#include "labsync/Schema.h"

namespace labsync {

struct SenderSettings {
  QByteArray conninfo;
  QUuid station;
  QString stationName;
  std::chrono::milliseconds connectTimeout{10'000};
  // The server ends a statement after this (statement_timeout); the sender gives up waiting for a
  // round trip a little later (queryTimeout + 2 s).
  std::chrono::milliseconds queryTimeout{30'000};
  std::chrono::milliseconds firstRetry{1'000};
  std::chrono::milliseconds longestRetry{60'000};
  int rowsPerRound = 1000;
  // The station's copy of the lab's products; none: the products are left alone.
  ProductCopy* products = nullptr;
  std::chrono::milliseconds productsEvery{60'000};
};

struct LinkStatus {
  enum class State { Connecting, Connected, Unreachable, Stopped };
  State state = State::Connecting;
  // While unreachable: why, and since when (the first failure of this outage).
  Outcome reason;
  QDateTime since;
  // Rows waiting in the outbox; -1 unknown.
  std::int64_t waiting = -1;
  // The server's schema version, once read.
  SchemaVersion server;
  // Whether the user is a lead, as last read (at connecting).
  bool lead = false;
  // Why the lab's products could not be taken the last time they were read; ok otherwise.
  Outcome products;
};

class Sender {
 public:
  Sender(SenderSettings settings, OutboxSource& source);
  // Stops the thread; what was not sent stays in the source.
  ~Sender();
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  // Called on the sender's thread whenever the status changes (state, reason, waiting count).
  // Set before Start.
  void SetStatusListener(std::function<void(const LinkStatus&)> listener);
  void Start();
  // New rows are in the source: send them now rather than at the next look.
  void Notify();
  // Read the lab's products again as soon as the outbox is through (after a lead's edit, say).
  void NotifyProducts();
  // Asks the thread to end and waits for it.
  void Stop();

  LinkStatus Status() const;

  // For benchmarks and tests: round trips committed and rows acknowledged so far.
  struct Figures {
    std::uint64_t rounds = 0;
    std::uint64_t rows = 0;
    std::uint64_t connects = 0;
  };
  Figures Counts() const;

 private:
  void Run();
  Outcome Connect();
  Outcome SendRound(bool& sentSome);
  Outcome SyncProducts();
  // Waits until `until`, a stop, or (when `wakeOnNotify`) a notification or a word from the
  // server; false when stopped.
  bool Sleep(Clock::time_point until, bool wakeOnNotify);
  void Publish(const std::function<void(LinkStatus&)>& change);
  void Failed(const Outcome& outcome);
  std::chrono::milliseconds NextDelay(const Outcome& outcome);
  std::int64_t Waiting();

  const SenderSettings settings_;
  OutboxSource& source_;
  StopSignal stop_;
  int notifyFd_ = -1;
  Connection connection_;
  std::thread thread_;
  std::function<void(const LinkStatus&)> listener_;

  mutable std::mutex mutex_;
  LinkStatus status_;
  Figures figures_;

  std::atomic<bool> productsDue_{false};

  // The sender thread's own.
  Clock::time_point nextProducts_;
  std::chrono::milliseconds delay_{0};
  std::uint64_t jitterState_ = 0;
};

}  // namespace labsync
