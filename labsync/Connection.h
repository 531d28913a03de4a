// One connection to the lab database over libpq's asynchronous calls, for a thread that may not
// hang: every wait has a deadline and ends early when the owner raises its StopSignal.
//
// Connect: PQconnectStartParams and PQconnectPoll, waiting on the socket until the deadline, on a
// short-lived thread of its own, since libpq looks host names up with the system's resolver,
// which nothing interrupts; a stop leaves that thread to end by itself.
// Statements: sent in libpq's pipeline mode (PQsendQueryParams for each, one sync), so that many
// statements cost one round trip and run as one transaction, the pipeline's implicit one; the
// answers are read with PQconsumeInput/PQgetResult as they arrive. A deadline that passes, a stop,
// or a broken connection drops the connection (PQfinish on a non-blocking socket, which never
// waits): whatever the server had not committed is rolled back by the server, and the caller sends
// it again.
//
// Why no PQcancel: in libpq 15 it opens a socket of its own and waits, without any limit, for the
// server to close it; against a server that has gone silent it would hang the very thread it is
// meant to free. Instead every session carries statement_timeout a little shorter than our
// deadline (see Open), so that a server that is alive but stuck (a lock held elsewhere) cancels
// the statement itself and answers with SQLSTATE 57014, and the client's deadline is left for a
// server that does not answer at all.
//
// Failures are classified from libpq's state and codes: PQconnectionNeedsPassword, the SQLSTATE of
// a statement's result, and for a refused connection the SQLSTATE libpq reports when asked for
// "severity and SQLSTATE only" (PQERRORS_SQLSTATE), since libpq 15 keeps the startup error's
// PGresult to itself. Message texts are never read: they are translated and may change.
//
// Not thread-safe: one thread uses a connection; only the StopSignal is raised from elsewhere.
#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "labsync/Outcome.h"

struct pg_conn;
struct pg_result;

namespace labsync {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

inline Deadline In(std::chrono::milliseconds span) { return Clock::now() + span; }

// Raised once by an owner that wants its thread back; never lowered. Its descriptor becomes
// readable when raised, so that it wakes any poll() that includes it.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Raise();
  bool Raised() const { return raised_.load(); }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::atomic<bool> raised_{false};
};

// A statement with its parameters in text form; nullopt is SQL NULL.
struct Statement {
  QByteArray sql;
  std::vector<std::optional<QByteArray>> params;
};

// The rows one statement returned, as text.
class Result {
 public:
  Result() = default;
  int Rows() const;
  int Columns() const;
  bool IsNull(int row, int column) const;
  // The value's text (empty for NULL).
  QByteArray Bytes(int row, int column) const;
  QString Text(int row, int column) const { return QString::fromUtf8(Bytes(row, column)); }
  // Rows the statement changed (INSERT, UPDATE), from its command tag.
  long long Affected() const;

 private:
  friend class Connection;
  std::shared_ptr<pg_result> result_;
};

class Connection {
 public:
  explicit Connection(const StopSignal* stop = nullptr);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects, dropping any connection held before. `conninfo` is checked first (CheckConnInfo).
  // A statement in this session is ended by the server after `statementTimeout` (0: the server's
  // own setting); a caller's deadline for statements should leave some room beyond it.
  Outcome Open(const QByteArray& conninfo, Deadline deadline,
               std::chrono::milliseconds statementTimeout = std::chrono::milliseconds{0});
  bool IsOpen() const;
  // Closes the connection without waiting for anything.
  void Drop();

  // Sends the statements in one pipeline and reads their answers (one round trip). Without BEGIN
  // and COMMIT of their own they run as one transaction: all of it commits, or none. `results`
  // gets one Result per statement. A statement that fails gives its SQLSTATE's failure; the
  // statements after it are skipped and the connection stays open. A deadline, a stop or a broken
  // connection drops the connection.
  Outcome Run(const std::vector<Statement>& statements, Deadline deadline, std::vector<Result>* results = nullptr);
  Outcome Query(const Statement& statement, Deadline deadline, Result& result);

  // Between statements: reads what the server sent unasked. False when the connection has gone
  // (the server stopped, the session was ended); the connection is dropped then.
  bool CheckAlive();
  // The socket to watch for readability between statements; -1 when not open.
  int Socket() const;

  int ServerVersion() const;
  int BackendPid() const;

 private:
  enum class Wait { Ready, TimedOut, Stopped };
  Wait WaitSocket(bool forWrite, Deadline deadline);
  Outcome ConnectFailure();
  Outcome Lost(Failure failure);

  const StopSignal* stop_;
  pg_conn* conn_ = nullptr;
};

// The SQLSTATE in an error text libpq wrote in PQERRORS_SQLSTATE verbosity ("...: FATAL:  3D000"),
// the last one when it holds several (one per host tried); empty when it holds none.
QString SqlStateOfTerseError(const QByteArray& message);

}  // namespace labsync
