#include "labsync/Connection.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <QByteArrayList>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "labsync/ConnInfo.h"

namespace labsync {
namespace {

// What the server sends unasked (notices, and the FATAL message of a session that is being ended)
// would go to standard error by libpq's default; the outcome of the next call says what matters.
void IgnoreNotice(void*, const PGresult*) {}

bool IsSqlStateChar(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }

// libpq looks host names up with the system's resolver, inside PQconnectStartParams and again
// inside PQconnectPoll for each further host, and that cannot be interrupted: with the name
// servers unreachable it takes as long as the resolver's time-outs. So the whole connect runs on a
// short-lived thread of its own, and the caller waits for it with its stop signal. A caller that
// stops abandons the job; the job then ends the connection itself once it is back, and keeps
// nothing of the caller's.
struct ConnectJob {
  ConnectJob() : doneFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), abandonFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (doneFd < 0 || abandonFd < 0) std::abort();  // only without descriptors left
  }
  ~ConnectJob() {
    if (conn != nullptr) PQfinish(conn);
    ::close(doneFd);
    ::close(abandonFd);
  }
  ConnectJob(const ConnectJob&) = delete;
  ConnectJob& operator=(const ConnectJob&) = delete;

  void Abandon() {
    const std::lock_guard<std::mutex> lock(mutex);
    abandoned = true;
    Signal(abandonFd);
  }
  static void Signal(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
  }

  const int doneFd;
  const int abandonFd;
  std::mutex mutex;
  PGconn* conn = nullptr;  // handed over when done, unless abandoned
  bool timedOut = false;
  bool abandoned = false;
};

// How long the caller waits beyond its deadline for a job that is inside a name lookup.
constexpr std::chrono::milliseconds kJobGrace{1000};

void RunConnect(const std::shared_ptr<ConnectJob>& job, const QByteArray& conninfo, Deadline deadline) {
  // The string is expanded in the place of dbname; the keywords after it override what it says:
  // texts travel as UTF-8 whatever the station's locale. The application name is only a default.
  const char* keywords[] = {"dbname", "client_encoding", "fallback_application_name", nullptr};
  const char* values[] = {conninfo.constData(), "UTF8", "korvanta", nullptr};
  PGconn* conn = PQconnectStartParams(keywords, values, 1);
  bool timedOut = false;
  if (conn != nullptr) {
    PQsetNoticeReceiver(conn, IgnoreNotice, nullptr);
    PQsetErrorVerbosity(conn, PQERRORS_SQLSTATE);
    PostgresPollingStatusType polling = PQstatus(conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (polling != PGRES_POLLING_OK && polling != PGRES_POLLING_FAILED) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        timedOut = true;
        break;
      }
      pollfd fds[2] = {{PQsocket(conn), static_cast<short>(polling == PGRES_POLLING_WRITING ? POLLOUT : POLLIN), 0},
                       {job->abandonFd, POLLIN, 0}};
      const int n = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
      if (n > 0 && fds[1].revents != 0) break;
      if (n == 0 || (n < 0 && errno == EINTR)) continue;
      polling = PQconnectPoll(conn);
    }
  }
  const std::lock_guard<std::mutex> lock(job->mutex);
  if (job->abandoned) {
    if (conn != nullptr) PQfinish(conn);
    return;
  }
  job->conn = conn;
  job->timedOut = timedOut;
  ConnectJob::Signal(job->doneFd);
}

}  // namespace

// ---- StopSignal ------------------------------------------------------------------------------

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) std::abort();  // only without descriptors left, where nothing else works either
}

StopSignal::~StopSignal() { ::close(fd_); }

void StopSignal::Raise() {
  raised_.store(true);
  const std::uint64_t one = 1;
  // Never read back: the descriptor stays readable from now on.
  [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

// ---- Result ----------------------------------------------------------------------------------

int Result::Rows() const { return result_ ? PQntuples(result_.get()) : 0; }
int Result::Columns() const { return result_ ? PQnfields(result_.get()) : 0; }
bool Result::IsNull(int row, int column) const { return !result_ || PQgetisnull(result_.get(), row, column) != 0; }
QByteArray Result::Bytes(int row, int column) const {
  if (IsNull(row, column)) return {};
  return QByteArray(PQgetvalue(result_.get(), row, column), PQgetlength(result_.get(), row, column));
}
long long Result::Affected() const {
  if (!result_) return 0;
  return std::atoll(PQcmdTuples(result_.get()));
}

// ---- the SQLSTATE of a refused connection ----------------------------------------------------

QString SqlStateOfTerseError(const QByteArray& message) {
  // In PQERRORS_SQLSTATE verbosity libpq writes each error of the server as "SEVERITY:  CODE" at
  // the end of a line (a colon and two spaces); a line of its own (no SQLSTATE) ends in text. The
  // severity is translated; the code is five digits or capitals, at least one of them a digit in
  // every class there is.
  QString found;
  for (const QByteArray& raw : message.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.size() < 8 || !line.chopped(5).endsWith(":  ")) continue;
    const QByteArray code = line.right(5);
    bool valid = true;
    bool digit = false;
    for (char c : code) {
      valid = valid && IsSqlStateChar(c);
      digit = digit || (c >= '0' && c <= '9');
    }
    if (valid && digit) found = QString::fromLatin1(code);
  }
  return found;
}

// ---- Connection ------------------------------------------------------------------------------

Connection::Connection(const StopSignal* stop) : stop_(stop) {}

Connection::~Connection() { Drop(); }

bool Connection::IsOpen() const { return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK; }

int Connection::Socket() const { return conn_ != nullptr ? PQsocket(conn_) : -1; }

int Connection::ServerVersion() const { return conn_ != nullptr ? PQserverVersion(conn_) : 0; }

int Connection::BackendPid() const { return conn_ != nullptr ? PQbackendPID(conn_) : 0; }

void Connection::Drop() {
  if (conn_ == nullptr) return;
  // The socket is non-blocking (PQsetnonblocking after connecting, and libpq's own during the
  // connect), so PQfinish's goodbye message is written if the socket takes it and dropped if not.
  PQfinish(conn_);
  conn_ = nullptr;
}

Connection::Wait Connection::WaitSocket(bool forWrite, Deadline deadline) {
  for (;;) {
    if (stop_ != nullptr && stop_->Raised()) return Wait::Stopped;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Wait::TimedOut;
    pollfd fds[2] = {{PQsocket(conn_), static_cast<short>(POLLIN | (forWrite ? POLLOUT : 0)), 0},
                     {stop_ != nullptr ? stop_->Fd() : -1, POLLIN, 0}};
    // Whole seconds at most per poll, so that a clock step never stretches a wait.
    const int ms = static_cast<int>(std::min<long long>(left.count(), 1000));
    const int n = ::poll(fds, 2, ms);
    if (n < 0 && errno != EINTR) return Wait::Ready;  // let libpq meet the error itself
    if (n > 0 && fds[1].revents != 0) return Wait::Stopped;
    if (n > 0 && fds[0].revents != 0) return Wait::Ready;
  }
}

Outcome Connection::Lost(Failure failure) {
  Drop();
  return Outcome::Fail(failure);
}

Outcome Connection::ConnectFailure() {
  Outcome outcome;
  if (PQconnectionNeedsPassword(conn_) != 0) {
    outcome = Outcome::Fail(Failure::PasswordMissing);
  } else if (const QString code = SqlStateOfTerseError(PQerrorMessage(conn_)); !code.isEmpty()) {
    Failure f = FailureOfSqlState(code);
    // A server that is starting, stopping or full is one we cannot reach for now.
    if (f == Failure::ConnectionLost || f == Failure::TimedOut) f = Failure::Unreachable;
    outcome = Outcome::Fail(f, {}, code);
  } else {
    // No server's answer: nothing listens there, the network failed, or TLS could not be agreed.
    outcome = Outcome::Fail(Failure::Unreachable);
  }
  Drop();
  return outcome;
}

Outcome Connection::Open(const QByteArray& conninfo, Deadline deadline, std::chrono::milliseconds statementTimeout) {
  Drop();
  if (const Outcome checked = CheckConnInfo(conninfo); !checked.Ok()) return checked;
  if (stop_ != nullptr && stop_->Raised()) return Outcome::Fail(Failure::Stopped);

  // The connect runs on a thread of its own (see ConnectJob), which this thread waits for with
  // the stop signal. A little beyond the deadline, since the job keeps it itself except inside a
  // name lookup.
  const auto job = std::make_shared<ConnectJob>();
  try {
    std::thread(RunConnect, job, conninfo, deadline).detach();
  } catch (const std::system_error&) {
    return Outcome::Fail(Failure::Unreachable);  // no thread to be had now; the next try may get one
  }
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline + kJobGrace - Clock::now());
    pollfd fds[2] = {{job->doneFd, POLLIN, 0}, {stop_ != nullptr ? stop_->Fd() : -1, POLLIN, 0}};
    const int n = left.count() > 0 ? ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000))) : 0;
    if (n > 0 && fds[0].revents != 0) break;
    const bool stopped = (n > 0 && fds[1].revents != 0) || (stop_ != nullptr && stop_->Raised());
    if (stopped || left.count() <= 0) {
      job->Abandon();
      return Outcome::Fail(stopped ? Failure::Stopped : Failure::TimedOut);
    }
  }
  bool timedOut = false;
  {
    const std::lock_guard<std::mutex> lock(job->mutex);
    conn_ = std::exchange(job->conn, nullptr);
    timedOut = job->timedOut;
  }
  if (conn_ == nullptr) return Outcome::Fail(Failure::Unreachable);  // no memory for the connection
  if (timedOut) return Lost(Failure::TimedOut);
  if (PQstatus(conn_) != CONNECTION_OK) return ConnectFailure();
  if (PQsetnonblocking(conn_, 1) != 0) return Lost(Failure::ConnectionLost);

  // Times are read back in UTC, and the session gets its own limit on a statement (see the
  // header).
  Statement settings{"SELECT set_config('TimeZone', 'UTC', false)", {}};
  if (statementTimeout.count() > 0) {
    settings.sql += ", set_config('statement_timeout', $1, false)";
    settings.params.emplace_back(QByteArray::number(static_cast<long long>(statementTimeout.count())));
  }
  Result ignored;
  Outcome outcome = Query(settings, deadline, ignored);
  if (!outcome.Ok()) Drop();
  return outcome;
}

Outcome Connection::Query(const Statement& statement, Deadline deadline, Result& result) {
  std::vector<Result> results;
  Outcome outcome = Run({statement}, deadline, &results);
  if (!results.empty()) result = results.front();
  return outcome;
}

Outcome Connection::Run(const std::vector<Statement>& statements, Deadline deadline, std::vector<Result>* results) {
  if (!IsOpen()) return Lost(Failure::ConnectionLost);
  if (stop_ != nullptr && stop_->Raised()) return Lost(Failure::Stopped);
  if (results != nullptr) results->assign(statements.size(), Result());
  if (PQenterPipelineMode(conn_) == 0) return Lost(Failure::ConnectionLost);

  for (const Statement& s : statements) {
    std::vector<const char*> values;
    values.reserve(s.params.size());
    for (const std::optional<QByteArray>& p : s.params) values.push_back(p ? p->constData() : nullptr);
    if (PQsendQueryParams(conn_, s.sql.constData(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                          nullptr, 0) == 0) {
      return Lost(Failure::ConnectionLost);
    }
  }
  if (PQpipelineSync(conn_) == 0) return Lost(Failure::ConnectionLost);

  Outcome outcome;
  std::size_t index = 0;
  bool synced = false;
  while (!synced) {
    const int flushed = PQflush(conn_);
    if (flushed < 0) return Lost(Failure::ConnectionLost);
    // Everything libpq has read is taken before waiting again; PQisBusy says when the next result
    // still needs bytes from the server.
    int ends = 0;
    while (!synced && PQisBusy(conn_) == 0) {
      PGresult* raw = PQgetResult(conn_);
      if (raw == nullptr) {
        // The end of one statement's results. With the connection gone nothing else will come;
        // a second end in a row means nothing is pending, so the next bytes are awaited.
        if (PQstatus(conn_) == CONNECTION_BAD) return Lost(Failure::ConnectionLost);
        if (++ends > 1) break;
        continue;
      }
      ends = 0;
      std::shared_ptr<pg_result> held(raw, PQclear);
      switch (PQresultStatus(raw)) {
        case PGRES_PIPELINE_SYNC:
          synced = true;
          break;
        case PGRES_TUPLES_OK:
        case PGRES_COMMAND_OK:
          if (results != nullptr && index < results->size()) (*results)[index].result_ = held;
          ++index;
          break;
        case PGRES_PIPELINE_ABORTED:
          ++index;
          break;
        default: {
          ++index;
          const char* code = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
          if (code == nullptr || PQstatus(conn_) == CONNECTION_BAD) return Lost(Failure::ConnectionLost);
          if (outcome.Ok()) {
            const QString sqlState = QString::fromLatin1(code);
            outcome = Outcome::Fail(FailureOfSqlState(sqlState), {}, sqlState);
          }
          // A session the server ends (57P01 and the like) closes the connection after this.
          if (outcome.failure == Failure::ConnectionLost) return Lost(Failure::ConnectionLost);
          break;
        }
      }
    }
    if (synced) break;
    if (PQstatus(conn_) == CONNECTION_BAD) return Lost(Failure::ConnectionLost);
    switch (WaitSocket(flushed == 1, deadline)) {
      case Wait::TimedOut:
        return Lost(Failure::TimedOut);
      case Wait::Stopped:
        return Lost(Failure::Stopped);
      case Wait::Ready:
        break;
    }
    if (PQconsumeInput(conn_) == 0) return Lost(Failure::ConnectionLost);
  }
  if (PQexitPipelineMode(conn_) == 0) return Lost(Failure::ConnectionLost);
  return outcome;
}

bool Connection::CheckAlive() {
  if (!IsOpen()) {
    Drop();
    return false;
  }
  if (PQconsumeInput(conn_) == 0 || PQstatus(conn_) != CONNECTION_OK) {
    Drop();
    return false;
  }
  return true;
}

}  // namespace labsync
