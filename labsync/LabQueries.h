// The lab view's queries: every station's batches, and one batch's readings, read from the lab
// database for the Batches window's "Whole lab" and the read-only Statistics, Trend and Report of
// a batch measured elsewhere. They run on a worker thread with a deadline (Connection), never on
// the window's.
//
// What the server sends is checked field by field before anything uses it: a NULL where a value
// belongs, a text longer than the tables allow, a UUID, number or time that does not read, or a
// verdict that is none of the four words refuses the whole answer with BadData, naming the column
// and the row. A server is another program: its tables may have been changed by hand.
#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>
#include <vector>

#include "labsync/Changes.h"
#include "labsync/Connection.h"

namespace labsync {

struct LabBatch {
  QUuid batch;
  QUuid station;
  QString stationName;
  QString batchId;
  QString product;      // empty: measured without a specification
  QUuid specification;  // the version it is judged against; null with no product
  QString operatorName;
  QDateTime startedAt;                // with the station's UTC offset
  std::optional<QDateTime> closedAt;  // while its last event is a close
  // Readings not withdrawn, and their verdicts.
  std::int64_t readings = 0;
  std::int64_t passes = 0;
  std::int64_t warnings = 0;
  std::int64_t fails = 0;
};

struct BatchFilter {
  QString text;   // in the batch ID, product, operator or station name; empty: all
  QDate from;     // started on this day or later, as the station's clock showed it; invalid: no bound
  QDate to;       // started on this day or earlier; invalid: no bound
  QUuid station;  // null: every station
  int limit = 1000;
};

// The batches the filter lets through, newest first, at most `filter.limit` of them.
Outcome ListBatches(Connection& connection, const BatchFilter& filter, Deadline deadline, std::vector<LabBatch>& out);

struct LabReading {
  QUuid reading;
  QDateTime takenAt;  // with the station's UTC offset
  QString date;
  QString time;
  QString mode20;
  QString mode60;
  QString value20Text;
  QString value60Text;
  std::optional<std::int64_t> value20;  // hundredths
  std::optional<std::int64_t> value60;
  QString comment;  // the latest comment change, or the comment it was taken with
  Verdict verdict20 = Verdict::NotJudged;
  Verdict verdict60 = Verdict::NotJudged;
  Verdict verdictHaze = Verdict::NotJudged;
  Verdict verdict = Verdict::NotJudged;
  QString serial;
  QString firmware;
  std::optional<QDateTime> withdrawnAt;
};

// A batch's readings in the order they were taken, withdrawn ones included (marked).
Outcome ReadBatch(Connection& connection, const QUuid& batch, Deadline deadline, std::vector<LabReading>& out);

}  // namespace labsync
