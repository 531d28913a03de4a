#include "lab/BatchSession.h"

#include "lab/Log.h"

namespace lab {

// ---- the open batch's readings ---------------------------------------------------------------

BatchReadings::BatchReadings(QObject* parent) : QAbstractTableModel(parent) {}

void BatchReadings::Reset(std::vector<Reading> readings) {
  beginResetModel();
  readings_.clear();
  for (Reading& r : readings) {
    if (!r.withdrawn) readings_.push_back(std::move(r));
  }
  endResetModel();
}

void BatchReadings::Append(Reading reading) {
  const int at = static_cast<int>(readings_.size());
  beginInsertRows({}, at, at);
  readings_.push_back(std::move(reading));
  endInsertRows();
}

int BatchReadings::RowOf(const QUuid& uuid) const {
  for (std::size_t i = readings_.size(); i-- > 0;) {
    if (readings_[i].input.uuid == uuid) return static_cast<int>(i);
  }
  return -1;
}

void BatchReadings::Withdraw(const QUuid& uuid) {
  const int row = RowOf(uuid);
  if (row < 0) return;
  beginRemoveRows({}, row, row);
  readings_.erase(readings_.begin() + row);
  endRemoveRows();
}

void BatchReadings::SetComment(const QUuid& uuid, const QString& comment) {
  const int row = RowOf(uuid);
  if (row < 0) return;
  readings_[static_cast<std::size_t>(row)].comment = comment;
  emit dataChanged(index(row, table::ColComment), index(row, table::ColComment));
}

int BatchReadings::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(readings_.size());
}

int BatchReadings::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : table::kColumnCount; }

QVariant BatchReadings::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rowCount()) return {};
  const Reading& r = readings_[static_cast<std::size_t>(index.row())];
  if (index.column() == table::ColComment) return r.comment;
  return r.input.texts[static_cast<std::size_t>(index.column())];
}

// ---- the session -----------------------------------------------------------------------------

static_assert(int{table::ColDate} == int{kDate} && int{table::ColValue60} == int{kValue60},
              "the record keeps the table's texts in order");

BatchSession::BatchSession(table::MeasurementModel& rows, LabStore& store, std::function<Instrument()> instrument,
                           QObject* parent)
    : QObject(parent), rows_(rows), store_(store), instrument_(std::move(instrument)) {
  Load();
  if (store_.Writable()) Follow();
}

BatchSession::~BatchSession() = default;

void BatchSession::Load() {
  const std::optional<Batch> open = store_.OpenBatch();
  open_ = open ? std::optional<std::int64_t>(open->id) : std::nullopt;
  spec_.reset();
  latest_.reset();
  openSinceMsecs_ = 0;
  if (open) {
    if (open->specification) spec_ = store_.SpecificationVersion(*open->specification);
    for (const BatchEvent& e : store_.BatchEvents(open->id)) {
      if (e.kind != BatchEvent::Kind::Closed) openSinceMsecs_ = e.at.msecs;
    }
    readings_.Reset(store_.Readings(open->id));
  } else {
    readings_.Reset({});
  }
}

std::optional<Batch> BatchSession::Current() {
  if (!open_) return std::nullopt;
  return store_.BatchById(*open_);
}

void BatchSession::Follow() {
  connect(&rows_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { Inserted(first, last); });
  connect(&rows_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
    removing_.clear();
    for (int i = first; i <= last; ++i) {
      if (rows_.Row(i).IsReading()) removing_.push_back(rows_.Row(i).uuid);
    }
  });
  connect(&rows_, &QAbstractItemModel::rowsRemoved, this, [this] {
    const std::vector<QUuid> removed = std::move(removing_);
    removing_.clear();
    for (const QUuid& uuid : removed) {
      const std::optional<std::int64_t> batch = store_.BatchOfReading(uuid);
      if (!batch) continue;
      if (!store_.WithdrawReading(uuid, Now())) {
        Failed();
        continue;
      }
      if (batch == open_) {
        readings_.Withdraw(uuid);
        if (latest_ && latest_->input.uuid == uuid) latest_.reset();
        emit ReadingsChanged();
      }
    }
  });
  connect(&rows_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
            if (topLeft.column() > table::ColComment || bottomRight.column() < table::ColComment) return;
            for (int i = topLeft.row(); i <= bottomRight.row(); ++i) {
              const table::MeasurementRow& row = rows_.Row(i);
              if (!row.IsReading()) continue;
              const std::optional<std::int64_t> batch = store_.BatchOfReading(row.uuid);
              if (!batch) continue;
              if (!store_.ChangeComment(row.uuid, row.texts[table::ColComment], Now())) {
                Failed();
                continue;
              }
              if (batch == open_) {
                readings_.SetComment(row.uuid, row.texts[table::ColComment]);
                emit ReadingsChanged();
              }
            }
          });
}

void BatchSession::Inserted(int first, int last) {
  if (!open_) return;
  // Rows appended after the rows there were are readings taken now; rows put in front of them
  // come back from an earlier session, and belong to the open batch only when they were taken
  // while it was open (a kill came between the table and the record).
  const int before = rows_.Count() - (last - first + 1);
  const bool appended = first == before && before > 0;
  for (int i = first; i <= last; ++i) {
    const table::MeasurementRow& row = rows_.Row(i);
    if (!row.IsReading()) continue;
    // A reading appended now got its UUID now; one brought back may be in the record already.
    if (!appended && (row.takenMsecs < openSinceMsecs_ || store_.BatchOfReading(row.uuid))) continue;
    ReadingInput input;
    input.uuid = row.uuid;
    input.taken = {row.takenMsecs, row.utcOffsetSeconds};
    for (int t = 0; t < 6; ++t) input.texts[static_cast<std::size_t>(t)] = row.texts[static_cast<std::size_t>(t)];
    input.comment = row.texts[table::ColComment];
    if (instrument_) {
      const Instrument instrument = instrument_();
      input.serial = instrument.serial;
      input.firmware = instrument.firmware;
    }
    Reading recorded;
    if (!store_.RecordReading(*open_, input, &recorded)) {
      Failed();
      return;
    }
    latest_ = recorded;
    readings_.Append(std::move(recorded));
    emit ReadingRecorded();
  }
}

bool BatchSession::Start(const QString& batchId, std::optional<std::int64_t> specification,
                         const QString& operatorName) {
  if (open_ && !Close()) return false;
  Batch started;
  const Instant at = Now();
  if (!store_.StartBatch(batchId, specification, operatorName, at, started)) return false;
  Load();
  emit BatchChanged();
  return true;
}

bool BatchSession::Continue(std::int64_t batch) {
  if (open_ == batch) return true;
  if (open_ && !Close()) return false;
  if (!store_.ReopenBatch(batch, Now())) return false;
  Load();
  emit BatchChanged();
  return true;
}

bool BatchSession::Close() {
  if (!open_) return true;
  if (!store_.CloseBatch(*open_, Now())) return false;
  Load();
  emit BatchChanged();
  return true;
}

void BatchSession::Failed() {
  if (told_ || store_.Writable()) return;
  told_ = true;
  qCWarning(lcLab, "korvanta: the lab record %s cannot be written: %s", qPrintable(store_.Path()),
            qPrintable(store_.Problem()));
  emit RecordFailed(store_.Problem());
}

}  // namespace lab
