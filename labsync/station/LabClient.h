// The lab view's and a lead's questions to the lab database, asked on a thread of their own over
// a connection of their own, never on the window's: every station's batches, one batch's readings
// and its specification, and a lead's edit of a product. Each answer comes back on the thread the
// client was made on, through the callback given with the question; a client destroyed meanwhile
// drops it.
//
// The connection is made at the first question and kept; one that failed is made again at the
// next. Questions are answered in turn; a list asked for again before the first was read replaces
// it. Destroying the client ends any wait at once (the connection's stop signal) and joins the
// thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUuid>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "labsync/Connection.h"
#include "labsync/LabQueries.h"
#include "labsync/Products.h"

namespace labsync::station {

class LabClient : public QObject {
  Q_OBJECT
 public:
  struct Settings {
    QByteArray conninfo;
    QUuid station;
    QString stationName;
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds queryTimeout{30'000};
  };

  explicit LabClient(Settings settings, QObject* parent = nullptr);
  ~LabClient() override;

  using ListDone = std::function<void(const Outcome&, const std::vector<LabBatch>&)>;
  using BatchDone =
      std::function<void(const Outcome&, const std::vector<LabReading>&, const std::optional<SpecificationAdded>&)>;
  using EditDone = std::function<void(const Outcome&)>;

  void List(const BatchFilter& filter, ListDone done);
  // The batch's readings and, when it has one, its specification version.
  void ReadBatch(const QUuid& batch, const QUuid& specification, BatchDone done);
  void Edit(const ProductEdit& edit, EditDone done);

 private:
  using Job = std::function<void(Connection&)>;
  void Post(Job job, bool isList);
  void Run();
  // Opens the connection when it is not; the failure when it cannot.
  Outcome Ready(Connection& connection);

  const Settings settings_;
  StopSignal stop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<Job, bool>> jobs_;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace labsync::station
