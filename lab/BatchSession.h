// The batch as the program runs it: follows the measurement table's own change signals into the
// lasting record, as the journal does, and keeps the open batch's readings for the windows.
//
// Which rows belong to the open batch: every row that enters the table with a reading's identity
// (a UUID, given when the polling cycle took it), taken at or after the moment the batch was
// started or reopened, and not in the record yet. So rows already in the table when the batch
// starts, the test button's rows and readings recorded before do not; a reading that reached the
// table (and the journal) but not the record before a kill is recorded when the journal brings it
// back. Clear Line withdraws a recorded reading; Clear Data empties the table only; a comment
// edited in the table becomes the reading's comment.
#pragma once

#include <QAbstractTableModel>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "lab/LabStore.h"
#include "table/MeasurementModel.h"

namespace lab {

// The readings of one batch that are not withdrawn, as the table's seven columns (what the
// statistics and the trend read), with their record.
class BatchReadings : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit BatchReadings(QObject* parent = nullptr);
  void Reset(std::vector<Reading> readings);
  void Append(Reading reading);
  void Withdraw(const QUuid& uuid);
  void SetComment(const QUuid& uuid, const QString& comment);
  const std::vector<Reading>& Readings() const { return readings_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  int RowOf(const QUuid& uuid) const;
  std::vector<Reading> readings_;
};

class BatchSession : public QObject {
  Q_OBJECT
 public:
  struct Instrument {
    QString serial;
    QString firmware;
  };

  // Follows `rows` into `store`; `instrument` tells the connected instrument's serial number and
  // firmware when a reading is recorded.
  BatchSession(table::MeasurementModel& rows, LabStore& store, std::function<Instrument()> instrument,
               QObject* parent = nullptr);
  ~BatchSession() override;

  LabStore& Store() { return store_; }
  // The open batch as the record holds it now (counts included).
  std::optional<Batch> Current();
  // Its specification version, when it has one.
  const std::optional<Specification>& CurrentSpecification() const { return spec_; }
  // The open batch's readings that are not withdrawn (empty without one).
  BatchReadings& OpenReadings() { return readings_; }
  // The last reading recorded in the open batch since it was started or reopened in this run.
  const std::optional<Reading>& Latest() const { return latest_; }

  // Starts a new batch, closing the open one first. False with the store's Problem() when either
  // fails.
  bool Start(const QString& batchId, std::optional<std::int64_t> specification, const QString& operatorName);
  // Makes `batch` the open one: closes another open batch, reopens a closed one.
  bool Continue(std::int64_t batch);
  bool Close();

  // The moment source, for tests.
  std::function<Instant()> Now = [] { return Instant::Now(); };

 signals:
  // A batch was started, continued or closed.
  void BatchChanged();
  // A reading was recorded in the open batch.
  void ReadingRecorded();
  // A reading of the open batch was withdrawn or its comment changed.
  void ReadingsChanged();
  // A change did not reach the record; told once per problem.
  void RecordFailed(const QString& problem);

 private:
  void Follow();
  void Load();
  void Inserted(int first, int last);
  void Failed();

  table::MeasurementModel& rows_;
  LabStore& store_;
  std::function<Instrument()> instrument_;
  BatchReadings readings_;
  std::optional<std::int64_t> open_;
  // When the open batch was started or last reopened.
  std::int64_t openSinceMsecs_ = 0;
  std::optional<Specification> spec_;
  std::optional<Reading> latest_;
  std::vector<QUuid> removing_;
  bool told_ = false;
};

}  // namespace lab
