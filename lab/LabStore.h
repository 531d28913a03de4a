// The lasting local record of batches: specifications (versioned), batches, their readings and
// what happened to them, in SQLite under $XDG_DATA_HOME/korvanta/ (folder 0700, file 0600).
//
// The record keeps history as it happened: a specification is edited by adding a version, a
// reading is withdrawn or its comment changed by adding an event, a batch is closed and reopened
// by adding events; none of these rows is ever updated. Each batch row also carries its current
// state and counts (derived from its events and readings in the same transaction), so that the
// list of ten thousand batches reads one row each.
//
// Every change is one transaction, and writes exactly one row into `outbox` in it: the change as a
// server needs it to apply it on its own (UUIDs, ISO 8601 times with their offset, values as shown
// and as numbers, verdicts), numbered in order by `seq`. The lab database's sender reads it; this
// store never sends anything.
//
// Schema (PRAGMA user_version = 1; values and limits in hundredths of a GU, times as ISO 8601 text
// with the UTC offset plus milliseconds since the epoch for ordering and filtering):
//   meta(key PRIMARY KEY, value)             'record_uuid': this record's identity
//   specification(id, uuid, product_uuid, version, state 'active'|'retired'|'deleted', name,
//                 target20, tolerance20, minimum20, maximum20, target60, tolerance60, minimum60,
//                 maximum60, band_bp (hundredths of a percent), haze_max, created, created_ms)
//   batch(id, uuid, batch_id UNIQUE, specification -> specification.id or NULL, operator,
//         started, started_ms, started_offset_s, closed, closed_ms, closed_offset_s (NULL while
//         open), n, passes, warnings, fails, no_value, withdrawn)
//   batch_event(id, uuid, batch, kind 'started'|'closed'|'reopened', at, at_ms)
//   reading(id, uuid UNIQUE, batch, taken, taken_ms, utc_offset_s, date_text, time_text,
//           mode20_text, mode60_text, value20_text, value60_text, value20, value60, comment,
//           serial, firmware, dark, verdict20, verdict60, verdict_haze, verdict)
//           verdicts: 'pass'|'warn'|'no_value'|'fail', '' when not judged
//   reading_event(id, uuid, reading, kind 'withdrawn'|'comment', at, at_ms, comment)
//   lab_product(name PRIMARY KEY, product_uuid, spec_uuid, lab_product_uuid, lab_version, retired)
//           the lab database's products as last read, when the station has joined one: each name,
//           the product here that carries it (product_uuid) and the version the lab has for it
//           (its UUID, the lab's product UUID and version number). Added to version 1 without a
//           step: a program that does not know it never reads it, and it is made when missing.
//   outbox(seq INTEGER PRIMARY KEY AUTOINCREMENT, kind, at, payload JSON)
//           every payload: record_uuid (this record), event_uuid (the change: the reading's or the
//           specification version's own UUID, the event row's UUID for the others); numbers in
//           GU beside the same as integer hundredths (*_centi)
//           kinds: batch_started, batch_closed, batch_reopened, reading_recorded,
//           reading_withdrawn, comment_changed, specification_added, specification_retired,
//           specification_deleted
//
// Durability as the journal's: WAL, a commit in the caller's thread without waiting for the disk,
// synced by a thread of the store's own (storage::LogSyncer). A database written by a newer version
// of the program is opened read-only; one that cannot be read is left as it is, never set aside.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "lab/Verdict.h"

struct sqlite3;

namespace storage {
class FolderLock;
class LogSyncer;
class Statement;
}  // namespace storage

namespace lab {

// A moment with the UTC offset it was seen in.
struct Instant {
  std::int64_t msecs = 0;          // since 1970-01-01T00:00Z
  std::int32_t offsetSeconds = 0;  // east of UTC

  static Instant Of(const QDateTime& when);
  static Instant Now();
  QDateTime ToDateTime() const;
  // ISO 8601 with milliseconds and the offset: 2026-12-08T16:19:35.123+01:00.
  QString Iso() const;
  bool operator==(const Instant&) const = default;
};

struct Specification {
  enum class State : std::uint8_t { Active, Retired, Deleted };
  std::int64_t id = 0;  // this version's row
  QUuid uuid;           // this version
  QUuid product;        // the product, the same in all its versions
  int version = 0;
  State state = State::Active;
  QString name;
  Limits limits;
  Instant created;
};

struct Batch {
  std::int64_t id = 0;
  QUuid uuid;
  QString batchId;
  // The specification version the batch started with; none for a batch of product "(none)".
  std::optional<std::int64_t> specification;
  QString product;  // that version's name
  QString operatorName;
  Instant started;
  std::optional<Instant> closed;  // the latest close; none while the batch is open
  // Counts of its readings that are not withdrawn, and of the withdrawn ones.
  int readings = 0;
  int passes = 0;
  int warnings = 0;
  int fails = 0;
  int noValue = 0;
  int withdrawn = 0;
  bool Open() const { return !closed.has_value(); }
};

struct BatchEvent {
  enum class Kind : std::uint8_t { Started, Closed, Reopened };
  Kind kind = Kind::Started;
  Instant at;
};

// A reading as it arrives: what the table shows, and where it came from.
struct ReadingInput {
  QUuid uuid;
  Instant taken;
  // Date, time, mode letters 20° and 60°, values 20° and 60°: the table's texts.
  std::array<QString, 6> texts;
  QString comment;
  QString serial;
  QString firmware;
};
enum ReadingText : int { kDate = 0, kTime, kMode20, kMode60, kValue20, kValue60 };

struct Reading {
  std::int64_t id = 0;
  std::int64_t batch = 0;
  ReadingInput input;  // the comment as taken
  std::array<std::optional<Centi>, kAngles> values{};
  bool dark = false;
  Judgement judgement;  // distances are not kept
  QString comment;      // as it stands now
  std::optional<Instant> withdrawn;
};

// A product as a lab database holds it, for the station's copy.
struct LabProductCopy {
  QString name;  // the lab's name for it
  bool retired = false;
  QUuid specification;  // the version the name stands for there
  QUuid product;        // the product's UUID there; null where the lab does not know it
  int version = 1;      // the version's number there
  Limits limits;
  Instant created;
};

// A lab product as the station's copy keeps it.
struct LabProductEntry {
  QString name;
  QUuid product;  // the product here that carries it
  QUuid labSpecification;
  QUuid labProduct;  // null where the lab does not know it
  int labVersion = 1;
  bool retired = false;
};

struct OutboxEntry {
  std::int64_t seq = 0;
  QString kind;
  QString at;
  QJsonObject payload;
};

// Where the record lives: $XDG_DATA_HOME/korvanta, or ~/.local/share/korvanta.
QString DefaultFolder();
// The record's name: its file is <name>.db in that folder, "lab.db" for a real instrument and
// "lab-simulated.db" beside it for the virtual one (the program's rule for all its records).
inline constexpr const char* kRecordBaseName = "lab";
// The record `name` (see kRecordBaseName) in the record's folder.
QString RecordPath(const QString& name);

class LabStore {
 public:
  static constexpr int kSchemaVersion = 1;

  enum class OpenState {
    Open,        // reading and writing
    ReadOnly,    // written by a newer version of the program: shown, never changed
    InUse,       // another copy of the program keeps it open
    Unusable,    // it exists but cannot be read as a record (left as it is)
    Unwritable,  // the folder or the file cannot be created or written
  };
  // How a commit reaches the disk: synced by the store's own thread, or (for the benchmark's
  // comparison) by SQLite in every commit.
  enum class Durability { SyncAway, SyncEachCommit };

  // Opens (creating when missing) the record at `path` and holds it against other copies of the
  // program until destroyed.
  explicit LabStore(const QString& path, Durability durability = Durability::SyncAway);
  // Opens the record at `path` only to read it, beside a copy of the program that may be writing
  // it (a report made from the command line): no lock is taken, nothing is created or changed.
  // State() is ReadOnly when it can be read; otherwise Problem() says why.
  static std::unique_ptr<LabStore> OpenForReading(const QString& path);
  ~LabStore();
  LabStore(const LabStore&) = delete;
  LabStore& operator=(const LabStore&) = delete;

  OpenState State() const { return state_; }
  bool Writable() const { return state_ == OpenState::Open && !failed_; }
  bool Readable() const { return state_ == OpenState::Open || state_ == OpenState::ReadOnly; }
  QString Path() const { return path_; }
  // Why the record is not open (or only for reading), or why the last change failed.
  QString Problem() const { return problem_; }
  // The schema version of the file found (for ReadOnly, the newer one).
  int FoundSchemaVersion() const { return foundVersion_; }
  QUuid RecordUuid() const { return recordUuid_; }

  // ---- specifications --------------------------------------------------------------------
  // The latest version of every product that is not deleted, by name; retired ones with `retired`.
  std::vector<Specification> Products(bool retired = true);
  std::optional<Specification> SpecificationVersion(std::int64_t id);
  // A new product (its version 1). `spec` gets its ids and times.
  bool AddProduct(Specification& spec);
  // A new version of `spec.product` with these name and limits.
  bool ReviseProduct(Specification& spec);
  // A new version of the product with the state Retired (kept for its batches, offered no more).
  bool RetireProduct(const QUuid& product);
  // Only a product no batch used; otherwise false with Problem() saying so.
  bool DeleteProduct(const QUuid& product);
  bool ProductUsed(const QUuid& product);

  // ---- batches -----------------------------------------------------------------------------
  std::optional<Batch> FindBatch(const QString& batchId);
  std::optional<Batch> BatchById(std::int64_t id);
  // The batch left open (at most one is).
  std::optional<Batch> OpenBatch();
  // A new open batch; `specification` is the version it is judged against. Fails while another
  // batch is open or when the ID exists.
  bool StartBatch(const QString& batchId, std::optional<std::int64_t> specification, const QString& operatorName,
                  const Instant& at, Batch& started);
  bool CloseBatch(std::int64_t batch, const Instant& at);
  // Opens a closed batch again; fails while another batch is open.
  bool ReopenBatch(std::int64_t batch, const Instant& at);
  std::vector<BatchEvent> BatchEvents(std::int64_t batch);

  // Every batch, newest start first.
  std::vector<Batch> Batches();

  // ---- readings ----------------------------------------------------------------------------
  // Judges the reading against the batch's specification version and records it in the batch.
  bool RecordReading(std::int64_t batch, const ReadingInput& input, Reading* recorded = nullptr);
  // The batch (its row id) the reading was recorded in.
  std::optional<std::int64_t> BatchOfReading(const QUuid& reading);
  bool WithdrawReading(const QUuid& reading, const Instant& at);
  // Does nothing when the comment is the reading's comment already.
  bool ChangeComment(const QUuid& reading, const QString& comment, const Instant& at);
  // The batch's readings in the order they were taken, withdrawn ones included.
  std::vector<Reading> Readings(std::int64_t batch);

  // ---- a lab database's products ---------------------------------------------------------
  // Takes the lab's products as the station's own, in one transaction, so that new batches are
  // judged as the lab's are and the station measures against them offline too. Each lab product is
  // carried by one product here: the one that has its version already, else the one with the lab's
  // product UUID, else the one of the same name (without regard to case), else a new one. Where
  // that product's latest version differs from the lab's (name, limits, retired or not), the lab's
  // version is added to it: under the lab's own UUID when it is not here yet (it is on the server,
  // so it goes to no outbox), otherwise as a version of this station's own with the lab's content,
  // which the outbox sends. Another product here of the same name is retired, since the lab's
  // wins. `changed` tells whether any product or the copy changed.
  bool ApplyLabProducts(const std::vector<LabProductCopy>& products, bool& changed);
  // The copy as last taken; empty before a lab database's products were ever taken.
  std::vector<LabProductEntry> LabProducts();

  // ---- the outbox --------------------------------------------------------------------------
  std::vector<OutboxEntry> Outbox(std::int64_t afterSeq = 0, int limit = 1000);
  // Called after each commit that wrote an outbox row (the lab database's sender is woken this way;
  // it must return at once).
  void SetCommitListener(std::function<void()> listener) { committed_ = std::move(listener); }

  // ---- the disk ----------------------------------------------------------------------------
  bool WaitSynced();
  // A ceiling on the database's size in pages; a change that needs more fails as on a full disk.
  void SetPageLimit(int pages);

 private:
  struct ReadingOnly {};
  LabStore(const QString& path, ReadingOnly);
  enum class DbOutcome { Ready, ReadOnly, Unusable, Failed };
  DbOutcome OpenDatabase(bool readOnly, QString& reason);
  bool CreateSchema();
  bool Prepare();
  void CloseDatabase();

  bool Fail(const QString& what);
  bool SqlFailed(const char* what);
  bool Begin();
  bool Commit();
  void Rollback();
  // `event` identifies the change (a new UUID when null).
  bool AddOutbox(const char* kind, const Instant& at, const QJsonObject& payload, const QUuid& event = QUuid());
  // A new version with a new UUID and the time now, and its outbox row; `fromLab`: a version a lab
  // database made, kept with its own UUID and time and sent nowhere.
  bool InsertSpecification(Specification& spec, bool fromLab = false);
  bool RetireSuperseded(const QUuid& product);
  bool AddBatchEvent(std::int64_t batch, BatchEvent::Kind kind, const Instant& at, const QUuid& event);
  std::optional<Batch> ReadBatch(const char* where, std::int64_t number, const QString* text);
  std::optional<Specification> LatestVersion(const QUuid& product);
  bool AddVersionWithState(const QUuid& product, Specification::State state, const char* kind);
  std::optional<Reading> ReadingByUuid(const QUuid& uuid);
  const Limits* BatchLimits(std::int64_t batch);
  storage::Statement* Stmt(const char* sql);

  QString path_;
  Durability durability_;
  OpenState state_ = OpenState::Unwritable;
  bool failed_ = false;
  QString problem_;
  int foundVersion_ = 0;
  QUuid recordUuid_;

  std::unique_ptr<storage::FolderLock> lock_;
  sqlite3* db_ = nullptr;
  std::vector<std::pair<const char*, std::unique_ptr<storage::Statement>>> statements_;
  std::unique_ptr<storage::LogSyncer> syncer_;
  int logFrames_ = 0;
  bool outboxWritten_ = false;
  std::function<void()> committed_;
  // The limits of the batch readings were last recorded in, so that a reading costs no lookup.
  std::int64_t limitsBatch_ = 0;
  std::optional<Limits> limits_;
  std::optional<Specification> limitsSpec_;
  std::optional<Batch> limitsBatchInfo_;
};

// Whether a batch ID can be used: not empty, at most 64 characters, no control characters.
enum class BatchIdProblem { None, Empty, TooLong, ControlCharacter };
BatchIdProblem CheckBatchId(const QString& batchId);
inline constexpr int kBatchIdMaxLength = 64;

// The outbox's picture of a specification version and of a reading, also used by reports.
QJsonObject SpecificationJson(const Specification& spec);

}  // namespace lab
