// The changes a station sends to the lab database, one per outbox row, and the statements that
// write a run of them. Every change carries the UUID the station gave it (or the thing it is
// about) and the station's instant; the server adds the station's UUID and its own time of
// arrival. Numbers are integer hundredths (of a GU, of a percent), as the station compares them.
#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "labsync/Connection.h"
#include "labsync/Outcome.h"

namespace labsync {

enum class Verdict { NotJudged, Pass, Warn, Fail, NoValue };

// A side without a limit is nullopt: target and tolerance, or a minimum, or a maximum, or nothing.
struct AngleLimits {
  std::optional<std::int64_t> target;
  std::optional<std::int64_t> tolerance;
  std::optional<std::int64_t> minimum;
  std::optional<std::int64_t> maximum;
};

// A version is active (offered for new batches), retired (kept for the batches that used it, offered
// no more) or deleted (a product no batch used, taken away).
enum class SpecificationState { Active, Retired, Deleted };

// A specification version as the station made it. A retired or deleted product is a version of its
// own with that state, as the station's record keeps it; a retired one is written as a retirement
// as well, which is how a server of schema 1.0 tells it.
struct SpecificationAdded {
  QUuid specification;  // this version's UUID
  QUuid productUuid;    // the product's, the same in all its versions; null where unknown
  QString product;
  int version = 1;
  SpecificationState state = SpecificationState::Active;
  AngleLimits at20;
  AngleLimits at60;
  std::int64_t warningBand = 1000;  // hundredths of a percent of the tolerance
  std::optional<std::int64_t> largestHaze;
  QDateTime at;
};

struct SpecificationRetired {
  QUuid event;
  QUuid specification;
  QDateTime at;
};

struct BatchStarted {
  QUuid batch;
  QString batchId;
  QString product;      // empty: "(none)", measured without a specification
  QUuid specification;  // null with no product
  QString operatorName;
  QDateTime at;
};

struct BatchClosed {
  QUuid event;
  QUuid batch;
  QDateTime at;
};

struct BatchReopened {
  QUuid event;
  QUuid batch;
  QDateTime at;
};

struct ReadingRecorded {
  QUuid reading;
  QUuid batch;
  QDateTime takenAt;  // with the station's UTC offset
  // As the table shows them.
  QString date;
  QString time;
  QString mode20;
  QString mode60;
  QString value20Text;
  QString value60Text;
  // As numbers; nullopt where the table shows no value.
  std::optional<std::int64_t> value20;
  std::optional<std::int64_t> value60;
  QString comment;
  Verdict verdict20 = Verdict::NotJudged;
  Verdict verdict60 = Verdict::NotJudged;
  Verdict verdictHaze = Verdict::NotJudged;
  Verdict verdict = Verdict::NotJudged;
  QString serial;
  QString firmware;
};

struct ReadingWithdrawn {
  QUuid event;
  QUuid reading;
  QDateTime at;
};

struct CommentChanged {
  QUuid event;
  QUuid reading;
  QString comment;
  QDateTime at;
};

// An outbox row that could not be read as any change (a payload damaged or of a kind this program
// does not know). It is never skipped: it fails validation and holds back the rows after it, with
// a message, until someone looks at it.
struct Undecodable {
  QString kind;
  QString problem;  // which field, in our own words
};

using Change = std::variant<SpecificationAdded, SpecificationRetired, BatchStarted, BatchClosed, BatchReopened,
                            ReadingRecorded, ReadingWithdrawn, CommentChanged, Undecodable>;

struct OutboxRow {
  std::int64_t sequence = 0;  // the outbox's order, ascending
  Change change;
};

// Whether the lab database takes the change as it stands (texts within the tables' lengths, UUIDs
// and instants present, numbers in range). The detail names the change and the field.
Outcome Validate(const OutboxRow& row);

// The statements that write `rows` for `station` in one transaction: one INSERT per table that
// has rows, tables in the order their references need (a reading after its batch, a withdrawal
// after its reading), each ON CONFLICT DO NOTHING so that a change sent twice lands once. The
// rows are in outbox order, and a change refers only to what comes before it in the outbox, so
// whatever it refers to is on the server already or written by an earlier statement here.
std::vector<Statement> InsertStatements(const std::vector<OutboxRow>& rows, const QUuid& station);

// The change's text for a table column: 'PASS', 'WARN', 'FAIL', 'NO VALUE', or nullopt when not
// judged.
std::optional<QByteArray> VerdictText(Verdict verdict);

// 'active', 'retired', 'deleted'.
const char* StateText(SpecificationState state);

// The JSON array the specifications' INSERT reads (one object per version, columns as the table's),
// for statements that write a version outside the outbox (a lead's edit).
QByteArray SpecificationRows(const std::vector<std::pair<std::int64_t, SpecificationAdded>>& versions);
// The INSERT that writes them for station $2, as InsertStatements does.
QByteArray SpecificationInsertSql();

}  // namespace labsync
