#include "labsync/station/LabClient.h"

#include "labsync/Schema.h"

namespace labsync::station {
namespace {

// Beyond the server's own statement_timeout, as the sender allows.
constexpr std::chrono::milliseconds kDeadlineBeyondServer{2000};

}  // namespace

LabClient::LabClient(Settings settings, QObject* parent) : QObject(parent), settings_(std::move(settings)) {
  thread_ = std::thread([this] { Run(); });
}

LabClient::~LabClient() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    jobs_.clear();
  }
  stop_.Raise();
  wake_.notify_all();
  thread_.join();
}

void LabClient::Post(Job job, bool isList) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (isList) {
    // Only the newest list is wanted.
    for (auto it = jobs_.begin(); it != jobs_.end();) it = it->second ? jobs_.erase(it) : it + 1;
  }
  jobs_.emplace_back(std::move(job), isList);
  wake_.notify_one();
}

void LabClient::List(const BatchFilter& filter, ListDone done) {
  Post(
      [this, filter, done = std::move(done)](Connection& connection) {
        std::vector<LabBatch> batches;
        Outcome outcome = Ready(connection);
        if (outcome.Ok()) {
          outcome = ListBatches(connection, filter, In(settings_.queryTimeout + kDeadlineBeyondServer), batches);
        }
        if (outcome.failure == Failure::Stopped) return;
        QMetaObject::invokeMethod(
            this, [done, outcome, batches = std::move(batches)] { done(outcome, batches); }, Qt::QueuedConnection);
      },
      true);
}

void LabClient::ReadBatch(const QUuid& batch, const QUuid& specification, BatchDone done) {
  Post(
      [this, batch, specification, done = std::move(done)](Connection& connection) {
        std::vector<LabReading> readings;
        std::optional<SpecificationAdded> spec;
        Outcome outcome = Ready(connection);
        const Deadline deadline = In(settings_.queryTimeout + kDeadlineBeyondServer);
        if (outcome.Ok()) outcome = labsync::ReadBatch(connection, batch, deadline, readings);
        if (outcome.Ok() && !specification.isNull()) {
          SpecificationAdded version;
          outcome = ReadSpecificationVersion(connection, specification, deadline, version);
          if (outcome.Ok()) spec = version;
        }
        if (outcome.failure == Failure::Stopped) return;
        QMetaObject::invokeMethod(
            this, [done, outcome, readings = std::move(readings), spec] { done(outcome, readings, spec); },
            Qt::QueuedConnection);
      },
      false);
}

void LabClient::Edit(const ProductEdit& edit, EditDone done) {
  Post(
      [this, edit, done = std::move(done)](Connection& connection) {
        Outcome outcome = Ready(connection);
        if (outcome.Ok()) {
          outcome = EditLabProduct(connection, settings_.station, settings_.stationName, edit,
                                   In(settings_.queryTimeout + kDeadlineBeyondServer));
        }
        if (outcome.failure == Failure::Stopped) return;
        QMetaObject::invokeMethod(
            this, [done, outcome] { done(outcome); }, Qt::QueuedConnection);
      },
      false);
}

Outcome LabClient::Ready(Connection& connection) {
  if (connection.IsOpen()) return {};
  Outcome outcome = connection.Open(settings_.conninfo, In(settings_.connectTimeout), settings_.queryTimeout);
  if (!outcome.Ok()) return outcome;
  const Deadline deadline = In(settings_.queryTimeout + kDeadlineBeyondServer);
  ServerSchema schema;
  outcome = ReadServerSchema(connection, deadline, schema);
  if (outcome.Ok() && !schema.exists) outcome = Outcome::Fail(Failure::SchemaMissing);
  if (outcome.Ok() && !schema.usable) outcome = Outcome::Fail(Failure::NotAllowed, QStringLiteral("korvanta"));
  if (outcome.Ok()) {
    if (const Failure f = Compatibility(schema.version); f != Failure::None)
      outcome = Outcome::Fail(f, schema.version.Text());
  }
  if (!outcome.Ok()) {
    connection.Drop();
    return outcome;
  }
  // The lab view's queries are planned afresh each time; compiling them would cost more than it
  // saves.
  Result ignored;
  connection.Query({"SELECT set_config('jit', 'off', false)", {}}, deadline, ignored);
  return connection.IsOpen() ? Outcome{} : Outcome::Fail(Failure::ConnectionLost);
}

void LabClient::Run() {
  Connection connection(&stop_);
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
      if (ending_) break;
      job = std::move(jobs_.front().first);
      jobs_.pop_front();
    }
    job(connection);
    // A connection the server ended meanwhile is made again at the next question.
    if (connection.IsOpen()) connection.CheckAlive();
  }
  connection.Drop();
}

}  // namespace labsync::station
