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
// Every wait is a poll() that the stop signal wakes, and libpq never blocks here (asynchronous
// connect and statements, a non-blocking socket, the host name lookup on a thread of the
// connect's own): Stop() returns within moments however the server and the network behave.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "labsync/Connection.h"
#include "labsync/OutboxSource.h"
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

  // The sender thread's own.
  std::chrono::milliseconds delay_{0};
  std::uint64_t jitterState_ = 0;
};

}  // namespace labsync
