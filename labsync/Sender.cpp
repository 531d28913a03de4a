#include "labsync/Sender.h"

#include "labsync/Log.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>

namespace labsync {
namespace {

// Beyond the server's own statement_timeout, so that a server that is alive ends a stuck
// statement itself (and stays connected) before the sender gives up on it.
constexpr std::chrono::milliseconds kDeadlineBeyondServer{2000};
// Without a Notify, the outbox is looked at this often while connected.
constexpr std::chrono::milliseconds kIdleLook{2000};

// The tables the sender writes, and what it needs on them. A role without one of these would
// fail at its first row of that kind; checked once at connecting, it is told at once.
constexpr const char* kRightsSql = R"(SELECT
    has_table_privilege('korvanta.specifications', 'INSERT'),
    has_table_privilege('korvanta.specification_retirements', 'INSERT'),
    has_table_privilege('korvanta.batches', 'INSERT'),
    has_table_privilege('korvanta.batch_events', 'INSERT'),
    has_table_privilege('korvanta.readings', 'INSERT'),
    has_table_privilege('korvanta.withdrawals', 'INSERT'),
    has_table_privilege('korvanta.comment_changes', 'INSERT'),
    has_table_privilege('korvanta.stations', 'INSERT'),
    has_column_privilege('korvanta.stations', 'name', 'UPDATE'),
    has_column_privilege('korvanta.stations', 'last_seen_at', 'UPDATE'))";
constexpr const char* kRightNames[] = {
    "specifications: INSERT",  "specification_retirements: INSERT",
    "batches: INSERT",         "batch_events: INSERT",
    "readings: INSERT",        "withdrawals: INSERT",
    "comment_changes: INSERT", "stations: INSERT",
    "stations.name: UPDATE",   "stations.last_seen_at: UPDATE",
};

}  // namespace

Sender::Sender(SenderSettings settings, OutboxSource& source)
    : settings_(std::move(settings)),
      source_(source),
      notifyFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      connection_(&stop_) {
  if (notifyFd_ < 0) std::abort();  // only without descriptors left, where nothing else works either
  jitterState_ = std::random_device{}() | 1u;
}

Sender::~Sender() {
  Stop();
  ::close(notifyFd_);
}

void Sender::SetStatusListener(std::function<void(const LinkStatus&)> listener) { listener_ = std::move(listener); }

void Sender::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void Sender::Notify() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(notifyFd_, &one, sizeof one);
}

void Sender::NotifyProducts() {
  productsDue_.store(true);
  Notify();
}

void Sender::Stop() {
  stop_.Raise();
  if (thread_.joinable()) thread_.join();
}

LinkStatus Sender::Status() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

Sender::Figures Sender::Counts() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return figures_;
}

void Sender::Publish(const std::function<void(LinkStatus&)>& change) {
  LinkStatus copy;
  bool changed = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const LinkStatus before = status_;
    change(status_);
    changed = before.state != status_.state || before.reason.failure != status_.reason.failure ||
              before.reason.sqlState != status_.reason.sqlState || before.reason.detail != status_.reason.detail ||
              before.since != status_.since || before.waiting != status_.waiting ||
              !(before.server == status_.server) || before.lead != status_.lead ||
              before.products.failure != status_.products.failure || before.products.detail != status_.products.detail;
    copy = status_;
  }
  if (changed && listener_) listener_(copy);
}

std::int64_t Sender::Waiting() { return source_.Waiting(); }

void Sender::Failed(const Outcome& outcome) {
  qCDebug(lcLabSync, "sender: %s", qPrintable(Describe(outcome)));
  const std::int64_t waiting = Waiting();
  Publish([&](LinkStatus& s) {
    if (s.state != LinkStatus::State::Unreachable) s.since = QDateTime::currentDateTime();
    s.state = LinkStatus::State::Unreachable;
    s.reason = outcome;
    s.waiting = waiting;
  });
}

std::chrono::milliseconds Sender::NextDelay(const Outcome& outcome) {
  if (!HealsByItself(outcome.failure)) {
    delay_ = settings_.longestRetry;
  } else if (delay_.count() == 0) {
    delay_ = settings_.firstRetry;
  } else {
    delay_ = std::min(delay_ * 2, settings_.longestRetry);
  }
  // ±20 %, so that the stations of a lab spread out after the server comes back.
  jitterState_ ^= jitterState_ << 13;
  jitterState_ ^= jitterState_ >> 7;
  jitterState_ ^= jitterState_ << 17;
  const double factor = 0.8 + 0.4 * static_cast<double>(jitterState_ % 1001) / 1000.0;
  return std::chrono::milliseconds(static_cast<long long>(static_cast<double>(delay_.count()) * factor));
}

bool Sender::Sleep(Clock::time_point until, bool wakeOnNotify) {
  for (;;) {
    if (stop_.Raised()) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return true;
    const int socket = wakeOnNotify ? connection_.Socket() : -1;
    pollfd fds[3] = {{stop_.Fd(), POLLIN, 0}, {notifyFd_, POLLIN, 0}, {socket, POLLIN, 0}};
    const int n = ::poll(fds, 3, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (n < 0 && errno != EINTR) return !stop_.Raised();
    if (n <= 0) continue;
    if (fds[0].revents != 0) return false;
    if (fds[1].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = ::read(notifyFd_, &count, sizeof count);
      if (wakeOnNotify) return true;
      // Backing off: the waiting count still follows the outbox.
      const std::int64_t waiting = Waiting();
      Publish([waiting](LinkStatus& s) { s.waiting = waiting; });
    }
    if (fds[2].revents != 0) return true;
  }
}

Outcome Sender::Connect() {
  if (settings_.station.isNull() || settings_.stationName.trimmed().isEmpty() ||
      settings_.stationName.size() > limits::kName) {
    return Outcome::Fail(Failure::BadLocalData, QStringLiteral("station"));
  }
  Outcome outcome = connection_.Open(settings_.conninfo, In(settings_.connectTimeout), settings_.queryTimeout);
  if (!outcome.Ok()) return outcome;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++figures_.connects;
  }
  const Deadline deadline = In(settings_.queryTimeout + kDeadlineBeyondServer);
  auto fail = [this](Outcome o) {
    connection_.Drop();
    return o;
  };

  ServerSchema schema;
  outcome = ReadServerSchema(connection_, deadline, schema);
  if (!outcome.Ok()) return fail(outcome);
  if (!schema.exists) return fail(Outcome::Fail(Failure::SchemaMissing));
  if (!schema.usable) return fail(Outcome::Fail(Failure::NotAllowed, QStringLiteral("korvanta")));
  Publish([&schema](LinkStatus& s) { s.server = schema.version; });
  if (const Failure f = Compatibility(schema.version); f != Failure::None) {
    return fail(Outcome::Fail(f, schema.version.Text()));
  }

  Result rights;
  outcome = connection_.Query({kRightsSql, {}}, deadline, rights);
  if (!outcome.Ok()) return fail(outcome);
  if (rights.Rows() != 1 || rights.Columns() != static_cast<int>(std::size(kRightNames))) {
    return fail(Outcome::Fail(Failure::BadData, QStringLiteral("privileges")));
  }
  for (int i = 0; i < rights.Columns(); ++i) {
    if (rights.Bytes(0, i) != "t") return fail(Outcome::Fail(Failure::NotAllowed, QString::fromLatin1(kRightNames[i])));
  }

  bool lead = false;
  outcome = ReadIsLead(connection_, deadline, lead);
  if (!outcome.Ok()) return fail(outcome);
  Publish([lead](LinkStatus& s) { s.lead = lead; });

  outcome = connection_.Run(
      {{"INSERT INTO korvanta.stations (station_uuid, name) VALUES ($1, $2) "
        "ON CONFLICT (station_uuid) DO UPDATE SET name = EXCLUDED.name, last_seen_at = now()",
        {settings_.station.toString(QUuid::WithoutBraces).toLatin1(), settings_.stationName.trimmed().toUtf8()}}},
      deadline);
  if (!outcome.Ok()) return fail(outcome);
  // The lab's products once the outbox is through.
  nextProducts_ = Clock::now();
  return {};
}

Outcome Sender::SyncProducts() {
  const Deadline deadline = In(settings_.queryTimeout + kDeadlineBeyondServer);
  std::vector<LabProduct> lab;
  Outcome outcome = ReadLabProducts(connection_, deadline, lab);
  if (!outcome.Ok()) return outcome;
  std::vector<LocalProduct> local;
  if (settings_.products->LocalProducts(local)) {
    // The outbox is through: every version claimed here is on the server.
    std::vector<ProductClaim> claims;
    for (const LocalProduct& p : local) {
      const bool known = std::any_of(lab.begin(), lab.end(), [&p](const LabProduct& l) {
        return l.name.compare(p.name, Qt::CaseInsensitive) == 0;
      });
      if (!known && !p.specification.isNull()) claims.push_back({p.name, p.specification});
    }
    int claimed = 0;
    outcome = ClaimProducts(connection_, claims, deadline, claimed);
    if (!outcome.Ok()) return outcome;
    if (claimed > 0) {
      outcome = ReadLabProducts(connection_, deadline, lab);
      if (!outcome.Ok()) return outcome;
    }
  }
  settings_.products->LabProductsRead(lab);
  return {};
}

Outcome Sender::SendRound(bool& sentSome) {
  sentSome = false;
  std::vector<OutboxRow> rows;
  if (!source_.Peek(std::max(1, settings_.rowsPerRound), rows)) return Outcome::Fail(Failure::OutboxUnreadable);
  if (rows.empty()) return {};

  // Rows go in order: the first that cannot be sent holds back itself and everything after it.
  std::size_t good = 0;
  Outcome bad;
  while (good < rows.size() && (bad = Validate(rows[good])).Ok()) ++good;
  if (good == 0) return bad;
  rows.resize(good);

  Outcome outcome =
      connection_.Run(InsertStatements(rows, settings_.station), In(settings_.queryTimeout + kDeadlineBeyondServer));
  if (!outcome.Ok()) {
    if (outcome.failure == Failure::Refused) {
      outcome.detail = QStringLiteral("outbox rows %1 to %2").arg(rows.front().sequence).arg(rows.back().sequence);
    }
    return outcome;
  }
  // Committed: the pipeline's sync came back after the transaction's commit.
  source_.Acknowledge(rows.back().sequence);
  qCDebug(lcLabSync, "sender: outbox rows %lld to %lld committed", static_cast<long long>(rows.front().sequence),
          static_cast<long long>(rows.back().sequence));
  sentSome = true;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++figures_.rounds;
    figures_.rows += rows.size();
  }
  return {};
}

void Sender::Run() {
  const std::int64_t initial = Waiting();
  Publish([initial](LinkStatus& s) {
    s.state = LinkStatus::State::Connecting;
    s.waiting = initial;
  });
  // After a failure on a connection that had worked, the sender connects again at once: a session
  // ended by the server's administrator or a restart that is already over costs no wait, and the
  // status stays "connected". A second failure in a row waits.
  bool againAtOnce = false;
  while (!stop_.Raised()) {
    if (!connection_.IsOpen()) {
      const Outcome outcome = Connect();
      if (outcome.failure == Failure::Stopped) break;
      if (!outcome.Ok()) {
        againAtOnce = false;
        Failed(outcome);
        if (!Sleep(Clock::now() + NextDelay(outcome), false)) break;
        continue;
      }
      qCDebug(lcLabSync, "sender: connected, schema %s", qPrintable(Status().server.Text()));
      const std::int64_t waiting = Waiting();
      Publish([waiting](LinkStatus& s) {
        s.state = LinkStatus::State::Connected;
        s.reason = {};
        s.since = {};
        s.waiting = waiting;
      });
    }

    bool sentSome = false;
    Outcome outcome = SendRound(sentSome);
    if (outcome.failure == Failure::Stopped) break;
    if (outcome.Ok() && !connection_.IsOpen()) outcome = Outcome::Fail(Failure::ConnectionLost);
    if (!outcome.Ok()) {
      connection_.Drop();
      if (againAtOnce && HealsByItself(outcome.failure)) {
        againAtOnce = false;
        continue;
      }
      againAtOnce = false;
      Failed(outcome);
      if (!Sleep(Clock::now() + NextDelay(outcome), false)) break;
      continue;
    }
    delay_ = std::chrono::milliseconds{0};
    againAtOnce = true;
    if (sentSome) {
      const std::int64_t waiting = Waiting();
      Publish([waiting](LinkStatus& s) { s.waiting = waiting; });
      continue;
    }
    Publish([](LinkStatus& s) { s.waiting = 0; });
    if (settings_.products != nullptr && (productsDue_.exchange(false) || Clock::now() >= nextProducts_)) {
      nextProducts_ = Clock::now() + settings_.productsEvery;
      outcome = SyncProducts();
      if (outcome.failure == Failure::Stopped) break;
      if (!outcome.Ok() && (HealsByItself(outcome.failure) || !connection_.IsOpen())) {
        // The connection failed under it: as any round that failed.
        connection_.Drop();
        againAtOnce = false;
        Failed(outcome);
        if (!Sleep(Clock::now() + NextDelay(outcome), false)) break;
        continue;
      }
      Publish([&outcome](LinkStatus& s) { s.products = outcome; });
    }
    if (!Sleep(Clock::now() + kIdleLook, true)) break;
    // Woken by the server between statements: its session has ended (a shutdown, a terminated
    // backend). Connecting again tells whether it is still there.
    if (!connection_.CheckAlive()) continue;
  }
  connection_.Drop();
  const std::int64_t waiting = Waiting();
  Publish([waiting](LinkStatus& s) {
    s.state = LinkStatus::State::Stopped;
    s.waiting = waiting;
  });
}

}  // namespace labsync
