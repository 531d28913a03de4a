#include "lab/LabStore.h"

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

#include "storage/Sqlite.h"

namespace lab {

using storage::BindOptional;
using storage::BindText;
using storage::ColumnOptional;
using storage::ColumnText;
using storage::FromUtf8;
using storage::Query;
using storage::Use;

namespace {

constexpr QUuid::StringFormat kUuidFormat = QUuid::WithoutBraces;

QString UuidText(const QUuid& uuid) { return uuid.toString(kUuidFormat); }

const char* StateKey(Specification::State state) {
  switch (state) {
    case Specification::State::Retired:
      return "retired";
    case Specification::State::Deleted:
      return "deleted";
    case Specification::State::Active:
      break;
  }
  return "active";
}

Specification::State StateFromKey(const QString& key) {
  if (key == QLatin1String("retired")) return Specification::State::Retired;
  if (key == QLatin1String("deleted")) return Specification::State::Deleted;
  return Specification::State::Active;
}

const char* EventKey(BatchEvent::Kind kind) {
  switch (kind) {
    case BatchEvent::Kind::Closed:
      return "closed";
    case BatchEvent::Kind::Reopened:
      return "reopened";
    case BatchEvent::Kind::Started:
      break;
  }
  return "started";
}

// A moment kept as milliseconds beside its ISO text, whose offset it takes.
Instant InstantFrom(std::int64_t msecs, const QString& iso) {
  const QDateTime at = QDateTime::fromString(iso, Qt::ISODateWithMs);
  return {msecs, at.isValid() ? static_cast<std::int32_t>(at.offsetFromUtc()) : 0};
}

QJsonValue CentiJson(std::optional<Centi> value) {
  if (!value) return QJsonValue::Null;
  return static_cast<double>(*value) / 100.0;
}

// The same number as integer hundredths, as the verdicts compare it (exact in any JSON reader).
QJsonValue HundredthsJson(std::optional<Centi> value) {
  if (!value) return QJsonValue::Null;
  return static_cast<qint64>(*value);
}

// The limit columns of one angle: target, tolerance, minimum, maximum.
std::array<std::optional<Centi>, 4> LimitColumns(const AngleLimits& a) {
  using Kind = AngleLimits::Kind;
  switch (a.kind) {
    case Kind::Tolerance:
      return {a.target, a.tolerance, std::nullopt, std::nullopt};
    case Kind::Minimum:
      return {std::nullopt, std::nullopt, a.limit, std::nullopt};
    case Kind::Maximum:
      return {std::nullopt, std::nullopt, std::nullopt, a.limit};
    case Kind::None:
      break;
  }
  return {};
}

AngleLimits LimitsFromColumns(const std::array<std::optional<Centi>, 4>& c) {
  if (c[0] && c[1]) return AngleLimits::Around(*c[0], *c[1]);
  if (c[2]) return AngleLimits::AtLeast(*c[2]);
  if (c[3]) return AngleLimits::AtMost(*c[3]);
  return AngleLimits::None();
}

QJsonObject AngleJson(const AngleLimits& a) {
  const auto c = LimitColumns(a);
  return {{QStringLiteral("target"), CentiJson(c[0])},
          {QStringLiteral("tolerance"), CentiJson(c[1])},
          {QStringLiteral("minimum"), CentiJson(c[2])},
          {QStringLiteral("maximum"), CentiJson(c[3])},
          {QStringLiteral("target_centi"), HundredthsJson(c[0])},
          {QStringLiteral("tolerance_centi"), HundredthsJson(c[1])},
          {QStringLiteral("minimum_centi"), HundredthsJson(c[2])},
          {QStringLiteral("maximum_centi"), HundredthsJson(c[3])}};
}

QJsonObject BatchJson(const Batch& b, const QUuid& specificationUuid) {
  return {{QStringLiteral("batch_uuid"), UuidText(b.uuid)},
          {QStringLiteral("batch_id"), b.batchId},
          {QStringLiteral("product"), b.product},
          {QStringLiteral("specification_uuid"),
           specificationUuid.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(UuidText(specificationUuid))},
          {QStringLiteral("operator"), b.operatorName},
          {QStringLiteral("started"), b.started.Iso()}};
}

}  // namespace

// ---- times ---------------------------------------------------------------------------------

Instant Instant::Of(const QDateTime& when) {
  return {when.toMSecsSinceEpoch(), static_cast<std::int32_t>(when.offsetFromUtc())};
}

Instant Instant::Now() { return Of(QDateTime::currentDateTime()); }

QDateTime Instant::ToDateTime() const {
  return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, offsetSeconds);
}

QString Instant::Iso() const {
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs + std::int64_t{offsetSeconds} * 1000, Qt::UTC);
  const int minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
  return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
         (offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
         QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString RecordPath(const QString& name) { return DefaultFolder() + QLatin1Char('/') + name + QStringLiteral(".db"); }

QString DefaultFolder() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/korvanta");
}

BatchIdProblem CheckBatchId(const QString& batchId) {
  if (batchId.trimmed().isEmpty()) return BatchIdProblem::Empty;
  if (batchId.size() > kBatchIdMaxLength) return BatchIdProblem::TooLong;
  for (const QChar c : batchId) {
    const auto category = c.category();
    if (category == QChar::Other_Control || category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
      return BatchIdProblem::ControlCharacter;
  }
  return BatchIdProblem::None;
}

QJsonObject SpecificationJson(const Specification& spec) {
  return {{QStringLiteral("specification_uuid"), UuidText(spec.uuid)},
          {QStringLiteral("product_uuid"), UuidText(spec.product)},
          {QStringLiteral("version"), spec.version},
          {QStringLiteral("state"), QLatin1String(StateKey(spec.state))},
          {QStringLiteral("name"), spec.name},
          {QStringLiteral("angle20"), AngleJson(spec.limits.angle[0])},
          {QStringLiteral("angle60"), AngleJson(spec.limits.angle[1])},
          {QStringLiteral("warning_band_percent"), spec.limits.bandBasisPoints / 100.0},
          {QStringLiteral("warning_band_basis_points"), spec.limits.bandBasisPoints},
          {QStringLiteral("largest_haze_index"), CentiJson(spec.limits.hazeMax)},
          {QStringLiteral("largest_haze_index_centi"), HundredthsJson(spec.limits.hazeMax)},
          {QStringLiteral("created"), spec.created.Iso()}};
}

// ---- opening -------------------------------------------------------------------------------

LabStore::LabStore(const QString& path, Durability durability) : path_(QDir::cleanPath(path)), durability_(durability) {
  const QString folder = QFileInfo(path_).absolutePath();
  if (!QFileInfo::exists(folder) && !QDir().mkpath(folder)) {
    problem_ = QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder));
    return;
  }
  // The record names operators and products: the owner's only, whoever made the folder and
  // whatever an older copy left.
  storage::KeepToOwner(folder, 0700);
  const QString base = QFileInfo(path_).fileName();
  for (const QString& file : QDir(folder).entryList({base + QLatin1Char('*')}, QDir::Files | QDir::Hidden))
    storage::KeepToOwner(folder + QLatin1Char('/') + file, 0600);
  lock_ = std::make_unique<storage::FolderLock>();
  QString why;
  switch (lock_->Take(path_ + QStringLiteral(".lock"), why)) {
    case storage::FolderLock::Result::Held:
      break;
    case storage::FolderLock::Result::InUse:
      lock_.reset();
      state_ = OpenState::InUse;
      problem_ = QStringLiteral("another copy of the program uses it");
      return;
    case storage::FolderLock::Result::Failed:
      lock_.reset();
      problem_ = why;
      return;
  }
  if (!QFileInfo::exists(path_)) {
    // Created by us with the owner's permissions only, before SQLite opens it.
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
      problem_ = file.errorString();
      return;
    }
  }

  DbOutcome outcome = OpenDatabase(false, why);
  if (outcome == DbOutcome::ReadOnly) {
    CloseDatabase();
    outcome = OpenDatabase(true, why);
    if (outcome == DbOutcome::Ready) {
      state_ = OpenState::ReadOnly;
      problem_ = why;
      return;
    }
  }
  if (outcome != DbOutcome::Ready) {
    CloseDatabase();
    state_ = outcome == DbOutcome::Unusable ? OpenState::Unusable : OpenState::Unwritable;
    problem_ = why;
    return;
  }
  if (durability_ == Durability::SyncAway) {
    syncer_ = storage::LogSyncer::Start(path_, why);
    if (!syncer_) {
      CloseDatabase();
      problem_ = why;
      return;
    }
  }
  state_ = OpenState::Open;
}

std::unique_ptr<LabStore> LabStore::OpenForReading(const QString& path) {
  return std::unique_ptr<LabStore>(new LabStore(path, ReadingOnly{}));
}

LabStore::LabStore(const QString& path, ReadingOnly)
    : path_(QDir::cleanPath(path)), durability_(Durability::SyncEachCommit) {
  if (!QFileInfo::exists(path_)) {
    problem_ = QStringLiteral("there is no such file");
    return;
  }
  QString why;
  const DbOutcome outcome = OpenDatabase(true, why);
  if (outcome != DbOutcome::Ready) {
    CloseDatabase();
    state_ = outcome == DbOutcome::Unusable ? OpenState::Unusable : OpenState::Unwritable;
    problem_ = why;
    return;
  }
  state_ = OpenState::ReadOnly;
}

LabStore::~LabStore() {
  syncer_.reset();
  CloseDatabase();
}

LabStore::DbOutcome LabStore::OpenDatabase(bool readOnly, QString& reason) {
  const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(QFile::encodeName(path_).constData(), &db_, flags, nullptr);
  const auto failed = [&](int code) {
    reason = FromUtf8(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
    CloseDatabase();
    return storage::IsUnusable(code) ? DbOutcome::Unusable : DbOutcome::Failed;
  };
  if (rc != SQLITE_OK) return failed(rc);
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, storage::kBusyTimeoutMs);

  // Reading it also replays the log a killed session left behind.
  QString check;
  if ((rc = Query(db_, "PRAGMA quick_check", &check)) != SQLITE_OK) return failed(rc);
  if (check != QLatin1String("ok")) {
    reason = QStringLiteral("the database is damaged (%1)").arg(check);
    CloseDatabase();
    return DbOutcome::Unusable;
  }
  QString version;
  QString tables;
  if ((rc = Query(db_, "PRAGMA user_version", &version)) != SQLITE_OK) return failed(rc);
  if ((rc = Query(db_, "SELECT count(*) FROM sqlite_schema", &tables)) != SQLITE_OK) return failed(rc);
  foundVersion_ = version.toInt();
  if (foundVersion_ == 0 && tables.toInt() == 0 && !readOnly) {
    if (!CreateSchema()) return failed(sqlite3_errcode(db_));
    foundVersion_ = kSchemaVersion;
  } else if (foundVersion_ > kSchemaVersion) {
    if (!readOnly) {
      reason = QStringLiteral("it was written by a newer version of the program (schema %1)").arg(foundVersion_);
      return DbOutcome::ReadOnly;
    }
  } else if (foundVersion_ != kSchemaVersion) {
    reason = QStringLiteral("it is not a record of this program");
    CloseDatabase();
    return DbOutcome::Unusable;
  }

  if (!readOnly) {
    QString mode;
    if ((rc = Query(db_, "PRAGMA journal_mode = WAL", &mode)) != SQLITE_OK) return failed(rc);
    if (mode != QLatin1String("wal")) {
      reason = QStringLiteral("the file system does not allow a write-ahead log");
      CloseDatabase();
      return DbOutcome::Failed;
    }
    const bool syncAway = durability_ == Durability::SyncAway;
    if ((rc = Query(db_, syncAway ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = FULL")) != SQLITE_OK)
      return failed(rc);
    // Checkpoints sync the disk; they belong to the sync thread, never to the caller's commits.
    if (syncAway) {
      sqlite3_wal_hook(
          db_,
          [](void* self, sqlite3*, const char*, int frames) {
            static_cast<LabStore*>(self)->logFrames_ = frames;
            return SQLITE_OK;
          },
          this);
    }
  }
  if ((rc = Query(db_, "PRAGMA foreign_keys = ON")) != SQLITE_OK) return failed(rc);
  // The copy of a lab database's products, made in a record that predates it.
  if (!readOnly &&
      (rc = Query(db_,
                  "CREATE TABLE IF NOT EXISTS lab_product (name TEXT PRIMARY KEY, product_uuid TEXT NOT NULL,"
                  " spec_uuid TEXT NOT NULL, lab_product_uuid TEXT, lab_version INTEGER NOT NULL,"
                  " retired INTEGER NOT NULL)")) != SQLITE_OK) {
    return failed(rc);
  }
  QString uuid;
  if ((rc = Query(db_, "SELECT value FROM meta WHERE key = 'record_uuid'", &uuid)) != SQLITE_OK) {
    // A newer schema may keep it elsewhere; a read-only record does without.
    if (!readOnly) return failed(rc);
  }
  recordUuid_ = QUuid::fromString(uuid);
  return DbOutcome::Ready;
}

bool LabStore::CreateSchema() {
  const QByteArray record = UuidText(QUuid::createUuid()).toUtf8();
  const QByteArray sql =
      "BEGIN;"
      "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
      "INSERT INTO meta VALUES ('record_uuid', '" +
      record +
      "');"
      "CREATE TABLE specification ("
      "  id INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, product_uuid TEXT NOT NULL,"
      "  version INTEGER NOT NULL, state TEXT NOT NULL CHECK (state IN ('active', 'retired', 'deleted')),"
      "  name TEXT NOT NULL,"
      "  target20 INTEGER, tolerance20 INTEGER, minimum20 INTEGER, maximum20 INTEGER,"
      "  target60 INTEGER, tolerance60 INTEGER, minimum60 INTEGER, maximum60 INTEGER,"
      "  band_bp INTEGER NOT NULL, haze_max INTEGER,"
      "  created TEXT NOT NULL, created_ms INTEGER NOT NULL,"
      "  UNIQUE (product_uuid, version));"
      "CREATE TABLE batch ("
      "  id INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, batch_id TEXT NOT NULL UNIQUE,"
      "  specification INTEGER REFERENCES specification (id), operator TEXT NOT NULL,"
      "  started TEXT NOT NULL, started_ms INTEGER NOT NULL, started_offset_s INTEGER NOT NULL,"
      "  closed TEXT, closed_ms INTEGER, closed_offset_s INTEGER,"
      "  n INTEGER NOT NULL DEFAULT 0, passes INTEGER NOT NULL DEFAULT 0, warnings INTEGER NOT NULL DEFAULT 0,"
      "  fails INTEGER NOT NULL DEFAULT 0, no_value INTEGER NOT NULL DEFAULT 0,"
      "  withdrawn INTEGER NOT NULL DEFAULT 0);"
      "CREATE INDEX batch_by_start ON batch (started_ms);"
      "CREATE TABLE batch_event ("
      "  id INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, batch INTEGER NOT NULL REFERENCES batch (id),"
      "  kind TEXT NOT NULL CHECK (kind IN ('started', 'closed', 'reopened')),"
      "  at TEXT NOT NULL, at_ms INTEGER NOT NULL);"
      "CREATE INDEX batch_event_by_batch ON batch_event (batch);"
      "CREATE TABLE reading ("
      "  id INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, batch INTEGER NOT NULL REFERENCES batch (id),"
      "  taken TEXT NOT NULL, taken_ms INTEGER NOT NULL, utc_offset_s INTEGER NOT NULL,"
      "  date_text TEXT NOT NULL, time_text TEXT NOT NULL, mode20_text TEXT NOT NULL, mode60_text TEXT NOT NULL,"
      "  value20_text TEXT NOT NULL, value60_text TEXT NOT NULL, value20 INTEGER, value60 INTEGER,"
      "  comment TEXT NOT NULL, serial TEXT NOT NULL, firmware TEXT NOT NULL, dark INTEGER NOT NULL,"
      "  verdict20 TEXT NOT NULL, verdict60 TEXT NOT NULL, verdict_haze TEXT NOT NULL, verdict TEXT NOT NULL);"
      "CREATE INDEX reading_by_batch ON reading (batch);"
      "CREATE TABLE reading_event ("
      "  id INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE, reading INTEGER NOT NULL REFERENCES reading (id),"
      "  kind TEXT NOT NULL CHECK (kind IN ('withdrawn', 'comment')),"
      "  at TEXT NOT NULL, at_ms INTEGER NOT NULL, comment TEXT);"
      "CREATE INDEX reading_event_by_reading ON reading_event (reading);"
      "CREATE TABLE outbox ("
      "  seq INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, at TEXT NOT NULL, payload TEXT NOT NULL);"
      "PRAGMA user_version = 1;"
      "COMMIT;";
  if (sqlite3_exec(db_, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

void LabStore::CloseDatabase() {
  statements_.clear();
  limitsBatch_ = 0;
  limits_.reset();
  limitsSpec_.reset();
  // The last connection to close folds the log into the database and removes it.
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
}

storage::Statement* LabStore::Stmt(const char* sql) {
  for (auto& [text, statement] : statements_) {
    if (text == sql) return statement.get();
  }
  int rc = SQLITE_OK;
  auto statement = std::make_unique<storage::Statement>(db_, sql, rc);
  if (rc != SQLITE_OK) return nullptr;
  statements_.emplace_back(sql, std::move(statement));
  return statements_.back().second.get();
}

// ---- changes -------------------------------------------------------------------------------

bool LabStore::Fail(const QString& what) {
  failed_ = true;
  problem_ = what;
  return false;
}

bool LabStore::SqlFailed(const char* what) {
  const QString message = db_ != nullptr ? FromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("not open");
  Rollback();
  return Fail(QStringLiteral("%1 (%2)").arg(message, QLatin1String(what)));
}

bool LabStore::Begin() {
  if (!Writable()) {
    if (problem_.isEmpty()) problem_ = QStringLiteral("the record is not open for writing");
    return false;
  }
  outboxWritten_ = false;
  return sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK || SqlFailed("begin");
}

bool LabStore::Commit() {
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return SqlFailed("commit");
  if (outboxWritten_ && committed_) committed_();
  outboxWritten_ = false;
  if (syncer_) {
    syncer_->Poke(logFrames_ >= storage::kCheckpointFrames);
    const QString error = syncer_->Error();
    if (!error.isEmpty()) return Fail(error + QStringLiteral(" (sync)"));
  }
  return true;
}

void LabStore::Rollback() {
  if (db_ == nullptr || sqlite3_get_autocommit(db_) != 0) return;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  // What was cached may have come from the rolled-back transaction.
  limitsBatch_ = 0;
}

bool LabStore::AddOutbox(const char* kind, const Instant& at, const QJsonObject& payload, const QUuid& event) {
  storage::Statement* s = Stmt("INSERT INTO outbox (kind, at, payload) VALUES (?1, ?2, ?3)");
  if (s == nullptr) return SqlFailed("outbox");
  const Use use(s);
  const QString kindText = QLatin1String(kind);
  const QString atText = at.Iso();
  QJsonObject full = payload;
  full.insert(QStringLiteral("record_uuid"), UuidText(recordUuid_));
  // The change's own identity, so that a server applies a change sent twice once.
  full.insert(QStringLiteral("event_uuid"), UuidText(event.isNull() ? QUuid::createUuid() : event));
  const QString json = QString::fromUtf8(QJsonDocument(full).toJson(QJsonDocument::Compact));
  BindText(*use, 1, kindText);
  BindText(*use, 2, atText);
  BindText(*use, 3, json);
  if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("outbox");
  outboxWritten_ = true;
  return true;
}

// ---- specifications --------------------------------------------------------------------------

namespace {

constexpr const char* kSpecColumns =
    "id, uuid, product_uuid, version, state, name, target20, tolerance20, minimum20, maximum20,"
    " target60, tolerance60, minimum60, maximum60, band_bp, haze_max, created_ms, created";

Specification ReadSpecification(sqlite3_stmt* stmt) {
  Specification s;
  s.id = sqlite3_column_int64(stmt, 0);
  s.uuid = QUuid::fromString(ColumnText(stmt, 1));
  s.product = QUuid::fromString(ColumnText(stmt, 2));
  s.version = sqlite3_column_int(stmt, 3);
  s.state = StateFromKey(ColumnText(stmt, 4));
  s.name = ColumnText(stmt, 5);
  for (int a = 0; a < kAngles; ++a) {
    std::array<std::optional<Centi>, 4> c;
    for (int i = 0; i < 4; ++i) c[static_cast<std::size_t>(i)] = ColumnOptional(stmt, 6 + a * 4 + i);
    s.limits.angle[static_cast<std::size_t>(a)] = LimitsFromColumns(c);
  }
  s.limits.bandBasisPoints = sqlite3_column_int(stmt, 14);
  s.limits.hazeMax = ColumnOptional(stmt, 15);
  s.created = InstantFrom(sqlite3_column_int64(stmt, 16), ColumnText(stmt, 17));
  return s;
}

}  // namespace

std::vector<Specification> LabStore::Products(bool retired) {
  std::vector<Specification> products;
  if (!Readable()) return products;
  static const QByteArray sql = QByteArray("SELECT ") + kSpecColumns +
                                " FROM specification s WHERE version = (SELECT max(version) FROM specification"
                                " WHERE product_uuid = s.product_uuid) AND state != 'deleted' ORDER BY name, id";
  storage::Statement* s = Stmt(sql.constData());
  if (s == nullptr) return products;
  const Use use(s);
  while (sqlite3_step(*use) == SQLITE_ROW) {
    Specification spec = ReadSpecification(*use);
    if (retired || spec.state == Specification::State::Active) products.push_back(std::move(spec));
  }
  return products;
}

std::optional<Specification> LabStore::SpecificationVersion(std::int64_t id) {
  if (!Readable()) return std::nullopt;
  static const QByteArray sql = QByteArray("SELECT ") + kSpecColumns + " FROM specification WHERE id = ?1";
  storage::Statement* s = Stmt(sql.constData());
  if (s == nullptr) return std::nullopt;
  const Use use(s);
  sqlite3_bind_int64(*use, 1, id);
  if (sqlite3_step(*use) != SQLITE_ROW) return std::nullopt;
  return ReadSpecification(*use);
}

std::optional<Specification> LabStore::LatestVersion(const QUuid& product) {
  static const QByteArray sql = QByteArray("SELECT ") + kSpecColumns +
                                " FROM specification WHERE product_uuid = ?1 ORDER BY version DESC LIMIT 1";
  storage::Statement* s = Stmt(sql.constData());
  if (s == nullptr) return std::nullopt;
  const Use use(s);
  const QString uuid = UuidText(product);
  BindText(*use, 1, uuid);
  if (sqlite3_step(*use) != SQLITE_ROW) return std::nullopt;
  return ReadSpecification(*use);
}

bool LabStore::InsertSpecification(Specification& spec, bool fromLab) {
  storage::Statement* s = Stmt(
      "INSERT INTO specification (uuid, product_uuid, version, state, name, target20, tolerance20, minimum20,"
      " maximum20, target60, tolerance60, minimum60, maximum60, band_bp, haze_max, created, created_ms)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)");
  if (s == nullptr) return SqlFailed("specification");
  if (!fromLab) {
    spec.uuid = QUuid::createUuid();
    spec.created = Instant::Now();
  }
  const QString uuid = UuidText(spec.uuid);
  const QString product = UuidText(spec.product);
  const QString state = QLatin1String(StateKey(spec.state));
  const QString created = spec.created.Iso();
  {
    const Use use(s);
    BindText(*use, 1, uuid);
    BindText(*use, 2, product);
    sqlite3_bind_int(*use, 3, spec.version);
    BindText(*use, 4, state);
    BindText(*use, 5, spec.name);
    for (int a = 0; a < kAngles; ++a) {
      const auto c = LimitColumns(spec.limits.angle[static_cast<std::size_t>(a)]);
      for (int i = 0; i < 4; ++i) BindOptional(*use, 6 + a * 4 + i, c[static_cast<std::size_t>(i)]);
    }
    sqlite3_bind_int(*use, 14, spec.limits.bandBasisPoints);
    BindOptional(*use, 15, spec.limits.hazeMax);
    BindText(*use, 16, created);
    sqlite3_bind_int64(*use, 17, spec.created.msecs);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("specification");
  }
  spec.id = sqlite3_last_insert_rowid(db_);
  if (fromLab) return true;
  const char* kind = spec.state == Specification::State::Active    ? "specification_added"
                     : spec.state == Specification::State::Retired ? "specification_retired"
                                                                   : "specification_deleted";
  return AddOutbox(kind, spec.created, SpecificationJson(spec), spec.uuid);
}

bool LabStore::AddProduct(Specification& spec) {
  if (!Begin()) return false;
  spec.product = QUuid::createUuid();
  spec.version = 1;
  spec.state = Specification::State::Active;
  return (InsertSpecification(spec) && Commit()) || (Rollback(), false);
}

bool LabStore::ReviseProduct(Specification& spec) {
  if (!Begin()) return false;
  const std::optional<Specification> latest = LatestVersion(spec.product);
  if (!latest || latest->state == Specification::State::Deleted) {
    Rollback();
    problem_ = QStringLiteral("the product does not exist");
    return false;
  }
  spec.version = latest->version + 1;
  spec.state = latest->state;
  return (InsertSpecification(spec) && Commit()) || (Rollback(), false);
}

bool LabStore::AddVersionWithState(const QUuid& product, Specification::State state, const char* /*kind*/) {
  if (!Begin()) return false;
  std::optional<Specification> latest = LatestVersion(product);
  if (!latest || latest->state == Specification::State::Deleted) {
    Rollback();
    problem_ = QStringLiteral("the product does not exist");
    return false;
  }
  latest->version += 1;
  latest->state = state;
  return (InsertSpecification(*latest) && Commit()) || (Rollback(), false);
}

bool LabStore::RetireProduct(const QUuid& product) {
  return AddVersionWithState(product, Specification::State::Retired, "specification_retired");
}

bool LabStore::ProductUsed(const QUuid& product) {
  if (!Readable()) return false;
  storage::Statement* s =
      Stmt("SELECT 1 FROM batch WHERE specification IN (SELECT id FROM specification WHERE product_uuid = ?1) LIMIT 1");
  if (s == nullptr) return false;
  const Use use(s);
  const QString uuid = UuidText(product);
  BindText(*use, 1, uuid);
  return sqlite3_step(*use) == SQLITE_ROW;
}

bool LabStore::DeleteProduct(const QUuid& product) {
  if (ProductUsed(product)) {
    problem_ = QStringLiteral("a batch uses the product");
    return false;
  }
  return AddVersionWithState(product, Specification::State::Deleted, "specification_deleted");
}

// ---- a lab database's products ------------------------------------------------------------

namespace {

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

bool LabStore::RetireSuperseded(const QUuid& product) {
  std::optional<Specification> latest = LatestVersion(product);
  if (!latest || latest->state != Specification::State::Active) return true;
  latest->version += 1;
  latest->state = Specification::State::Retired;
  return InsertSpecification(*latest);
}

bool LabStore::ApplyLabProducts(const std::vector<LabProductCopy>& products, bool& changed) {
  changed = false;
  if (!Begin()) return false;
  const auto failed = [this] {
    Rollback();
    return false;
  };
  // Which product here carries each lab product; never one for two of them (a lab may hold two
  // names that differ only in case), so that taking the same list again changes nothing.
  std::vector<QUuid> carriers;
  std::vector<bool> versionHere;
  for (const LabProductCopy& lab : products) {
    std::optional<QUuid> carrier;
    {
      storage::Statement* s = Stmt("SELECT product_uuid FROM specification WHERE uuid = ?1");
      if (s == nullptr) return SqlFailed("lab products");
      const Use use(s);
      const QString uuid = UuidText(lab.specification);
      BindText(*use, 1, uuid);
      if (sqlite3_step(*use) == SQLITE_ROW) carrier = QUuid::fromString(ColumnText(*use, 0));
    }
    versionHere.push_back(carrier.has_value());
    const auto taken = [&carriers](const QUuid& product) {
      return std::find(carriers.begin(), carriers.end(), product) != carriers.end();
    };
    if (carrier && taken(*carrier)) carrier.reset();
    if (!carrier && !lab.product.isNull() && !taken(lab.product) && LatestVersion(lab.product)) carrier = lab.product;
    if (!carrier) {
      for (const Specification& p : Products(true)) {
        if (SameName(p.name, lab.name) && !taken(p.product) && (!carrier || p.state == Specification::State::Active)) {
          carrier = p.product;
        }
      }
    }
    if (!carrier) carrier = lab.product.isNull() || taken(lab.product) ? QUuid::createUuid() : lab.product;
    carriers.push_back(*carrier);
  }

  std::vector<LabProductEntry> entries;
  for (std::size_t i = 0; i < products.size(); ++i) {
    const LabProductCopy& lab = products[i];
    const std::optional<Specification> latest = LatestVersion(carriers[i]);
    const Specification::State state = lab.retired ? Specification::State::Retired : Specification::State::Active;
    if (!latest || latest->name != lab.name || !(latest->limits == lab.limits) || latest->state != state) {
      Specification version;
      version.name = lab.name;
      version.limits = lab.limits;
      version.state = state;
      version.product = carriers[i];
      version.version = latest ? latest->version + 1 : std::max(1, lab.version);
      bool ok = false;
      if (!versionHere[i]) {
        version.uuid = lab.specification;
        version.created = lab.created;
        ok = InsertSpecification(version, true);
      } else {
        ok = InsertSpecification(version);
      }
      if (!ok) return failed();
      changed = true;
    }
    entries.push_back({lab.name, carriers[i], lab.specification, lab.product, lab.version, lab.retired});
  }
  // The lab's names win: another product here of such a name is offered no more.
  for (const Specification& p : Products(false)) {
    if (std::find(carriers.begin(), carriers.end(), p.product) != carriers.end()) continue;
    const bool labName = std::any_of(products.begin(), products.end(),
                                     [&p](const LabProductCopy& lab) { return SameName(p.name, lab.name); });
    if (!labName) continue;
    if (!RetireSuperseded(p.product)) return failed();
    changed = true;
  }

  // The copy itself, replaced when it differs.
  // Compared in one order: the lab's list comes in its own, the table is read in name order.
  std::vector<LabProductEntry> before = LabProducts();
  const auto same = [](const LabProductEntry& a, const LabProductEntry& b) {
    return a.name == b.name && a.product == b.product && a.labSpecification == b.labSpecification &&
           a.labProduct == b.labProduct && a.labVersion == b.labVersion && a.retired == b.retired;
  };
  const auto order = [](const LabProductEntry& a, const LabProductEntry& b) {
    const int byName = a.name.compare(b.name);
    return byName != 0 ? byName < 0 : a.product.toString() < b.product.toString();
  };
  std::sort(before.begin(), before.end(), order);
  std::sort(entries.begin(), entries.end(), order);
  if (before.size() != entries.size() || !std::equal(before.begin(), before.end(), entries.begin(), same)) {
    if (Query(db_, "DELETE FROM lab_product") != SQLITE_OK) return SqlFailed("lab products");
    storage::Statement* s = Stmt(
        "INSERT OR REPLACE INTO lab_product (name, product_uuid, spec_uuid, lab_product_uuid, lab_version, retired)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    if (s == nullptr) return SqlFailed("lab products");
    for (const LabProductEntry& e : entries) {
      const Use use(s);
      const QString product = UuidText(e.product);
      const QString spec = UuidText(e.labSpecification);
      const QString labProduct = e.labProduct.isNull() ? QString() : UuidText(e.labProduct);
      BindText(*use, 1, e.name);
      BindText(*use, 2, product);
      BindText(*use, 3, spec);
      if (e.labProduct.isNull()) {
        sqlite3_bind_null(*use, 4);
      } else {
        BindText(*use, 4, labProduct);
      }
      sqlite3_bind_int(*use, 5, e.labVersion);
      sqlite3_bind_int(*use, 6, e.retired ? 1 : 0);
      if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("lab products");
    }
    changed = true;
  }
  return Commit();
}

std::vector<LabProductEntry> LabStore::LabProducts() {
  std::vector<LabProductEntry> entries;
  if (state_ != OpenState::Open) return entries;
  storage::Statement* s = Stmt(
      "SELECT name, product_uuid, spec_uuid, lab_product_uuid, lab_version, retired FROM lab_product ORDER BY name");
  if (s == nullptr) return entries;
  const Use use(s);
  while (sqlite3_step(*use) == SQLITE_ROW) {
    LabProductEntry& e = entries.emplace_back();
    e.name = ColumnText(*use, 0);
    e.product = QUuid::fromString(ColumnText(*use, 1));
    e.labSpecification = QUuid::fromString(ColumnText(*use, 2));
    e.labProduct = QUuid::fromString(ColumnText(*use, 3));
    e.labVersion = sqlite3_column_int(*use, 4);
    e.retired = sqlite3_column_int(*use, 5) != 0;
  }
  return entries;
}

// ---- batches -------------------------------------------------------------------------------

namespace {

Batch BatchFromRow(sqlite3_stmt* stmt) {
  Batch b;
  b.id = sqlite3_column_int64(stmt, 0);
  b.uuid = QUuid::fromString(ColumnText(stmt, 1));
  b.batchId = ColumnText(stmt, 2);
  b.specification = ColumnOptional(stmt, 3);
  b.product = ColumnText(stmt, 4);
  b.operatorName = ColumnText(stmt, 5);
  b.started = {sqlite3_column_int64(stmt, 6), sqlite3_column_int(stmt, 7)};
  if (sqlite3_column_type(stmt, 8) != SQLITE_NULL) {
    b.closed = Instant{sqlite3_column_int64(stmt, 8), sqlite3_column_int(stmt, 9)};
  }
  b.readings = sqlite3_column_int(stmt, 10);
  b.passes = sqlite3_column_int(stmt, 11);
  b.warnings = sqlite3_column_int(stmt, 12);
  b.fails = sqlite3_column_int(stmt, 13);
  b.noValue = sqlite3_column_int(stmt, 14);
  b.withdrawn = sqlite3_column_int(stmt, 15);
  return b;
}

}  // namespace

std::optional<Batch> LabStore::ReadBatch(const char* where, std::int64_t number, const QString* text) {
  if (!Readable()) return std::nullopt;
  storage::Statement* s = Stmt(where);
  if (s == nullptr) return std::nullopt;
  const Use use(s);
  if (text != nullptr) {
    BindText(*use, 1, *text);
  } else {
    sqlite3_bind_int64(*use, 1, number);
  }
  if (sqlite3_step(*use) != SQLITE_ROW) return std::nullopt;
  return BatchFromRow(*use);
}

// The offsets are kept in the ISO texts; the numbers beside them give the moment.
#define KORVANTA_BATCH_SELECT                                                                            \
  "SELECT b.id, b.uuid, b.batch_id, b.specification, coalesce(s.name, ''), b.operator, b.started_ms,"    \
  " b.started_offset_s, b.closed_ms, b.closed_offset_s, b.n, b.passes, b.warnings, b.fails, b.no_value," \
  " b.withdrawn FROM batch b LEFT JOIN specification s ON s.id = b.specification "

std::optional<Batch> LabStore::FindBatch(const QString& batchId) {
  return ReadBatch(KORVANTA_BATCH_SELECT "WHERE b.batch_id = ?1", 0, &batchId);
}

std::optional<Batch> LabStore::BatchById(std::int64_t id) {
  return ReadBatch(KORVANTA_BATCH_SELECT "WHERE b.id = ?1", id, nullptr);
}

std::optional<Batch> LabStore::OpenBatch() {
  return ReadBatch(KORVANTA_BATCH_SELECT "WHERE b.closed_ms IS NULL AND ?1 = 0 ORDER BY b.id DESC LIMIT 1", 0, nullptr);
}

std::vector<Batch> LabStore::Batches() {
  std::vector<Batch> batches;
  if (!Readable()) return batches;
  storage::Statement* s = Stmt(KORVANTA_BATCH_SELECT "ORDER BY b.started_ms DESC, b.id DESC");
  if (s == nullptr) return batches;
  const Use use(s);
  while (sqlite3_step(*use) == SQLITE_ROW) batches.push_back(BatchFromRow(*use));
  return batches;
}

bool LabStore::AddBatchEvent(std::int64_t batch, BatchEvent::Kind kind, const Instant& at, const QUuid& event) {
  storage::Statement* s = Stmt("INSERT INTO batch_event (batch, kind, at, at_ms, uuid) VALUES (?1, ?2, ?3, ?4, ?5)");
  if (s == nullptr) return SqlFailed("batch event");
  const Use use(s);
  const QString kindText = QLatin1String(EventKey(kind));
  const QString atText = at.Iso();
  const QString uuid = UuidText(event);
  BindText(*use, 5, uuid);
  sqlite3_bind_int64(*use, 1, batch);
  BindText(*use, 2, kindText);
  BindText(*use, 3, atText);
  sqlite3_bind_int64(*use, 4, at.msecs);
  return sqlite3_step(*use) == SQLITE_DONE || SqlFailed("batch event");
}

bool LabStore::StartBatch(const QString& batchId, std::optional<std::int64_t> specification,
                          const QString& operatorName, const Instant& at, Batch& started) {
  if (CheckBatchId(batchId) != BatchIdProblem::None) {
    problem_ = QStringLiteral("the batch ID cannot be used");
    return false;
  }
  if (!Begin()) return false;
  if (OpenBatch()) {
    Rollback();
    problem_ = QStringLiteral("another batch is open");
    return false;
  }
  if (FindBatch(batchId)) {
    Rollback();
    problem_ = QStringLiteral("the batch exists");
    return false;
  }
  std::optional<Specification> spec;
  if (specification) {
    spec = SpecificationVersion(*specification);
    if (!spec) {
      Rollback();
      problem_ = QStringLiteral("the specification does not exist");
      return false;
    }
  }
  Batch b;
  b.uuid = QUuid::createUuid();
  b.batchId = batchId;
  b.specification = specification;
  b.product = spec ? spec->name : QString();
  b.operatorName = operatorName;
  b.started = at;
  {
    storage::Statement* s = Stmt(
        "INSERT INTO batch (uuid, batch_id, specification, operator, started, started_ms, started_offset_s)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (s == nullptr) return SqlFailed("start batch");
    const Use use(s);
    const QString uuid = UuidText(b.uuid);
    const QString startedText = at.Iso();
    BindText(*use, 1, uuid);
    BindText(*use, 2, batchId);
    BindOptional(*use, 3, specification);
    BindText(*use, 4, operatorName);
    BindText(*use, 5, startedText);
    sqlite3_bind_int64(*use, 6, at.msecs);
    sqlite3_bind_int(*use, 7, at.offsetSeconds);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("start batch");
  }
  b.id = sqlite3_last_insert_rowid(db_);
  QJsonObject payload = BatchJson(b, spec ? spec->uuid : QUuid());
  payload.insert(QStringLiteral("specification"), spec ? QJsonValue(SpecificationJson(*spec)) : QJsonValue());
  const QUuid event = QUuid::createUuid();
  if (!AddBatchEvent(b.id, BatchEvent::Kind::Started, at, event) || !AddOutbox("batch_started", at, payload, event) ||
      !Commit())
    return false;
  started = b;
  return true;
}

bool LabStore::CloseBatch(std::int64_t batch, const Instant& at) {
  if (!Begin()) return false;
  const std::optional<Batch> b = BatchById(batch);
  if (!b || !b->Open()) {
    Rollback();
    problem_ = QStringLiteral("the batch is not open");
    return false;
  }
  {
    storage::Statement* s = Stmt("UPDATE batch SET closed = ?2, closed_ms = ?3, closed_offset_s = ?4 WHERE id = ?1");
    if (s == nullptr) return SqlFailed("close batch");
    const Use use(s);
    const QString atText = at.Iso();
    sqlite3_bind_int64(*use, 1, batch);
    BindText(*use, 2, atText);
    sqlite3_bind_int64(*use, 3, at.msecs);
    sqlite3_bind_int(*use, 4, at.offsetSeconds);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("close batch");
  }
  const QJsonObject payload{{QStringLiteral("batch_uuid"), UuidText(b->uuid)},
                            {QStringLiteral("batch_id"), b->batchId},
                            {QStringLiteral("closed"), at.Iso()},
                            {QStringLiteral("readings"), b->readings},
                            {QStringLiteral("passes"), b->passes},
                            {QStringLiteral("warnings"), b->warnings},
                            {QStringLiteral("fails"), b->fails},
                            {QStringLiteral("no_value"), b->noValue},
                            {QStringLiteral("withdrawn"), b->withdrawn}};
  limitsBatch_ = 0;
  const QUuid event = QUuid::createUuid();
  return AddBatchEvent(batch, BatchEvent::Kind::Closed, at, event) && AddOutbox("batch_closed", at, payload, event) &&
         Commit();
}

bool LabStore::ReopenBatch(std::int64_t batch, const Instant& at) {
  if (!Begin()) return false;
  const std::optional<Batch> b = BatchById(batch);
  const std::optional<Batch> open = OpenBatch();
  if (!b || b->Open() || open) {
    Rollback();
    problem_ = !b ? QStringLiteral("the batch does not exist")
                  : (b->Open() ? QStringLiteral("the batch is open") : QStringLiteral("another batch is open"));
    return false;
  }
  {
    storage::Statement* s =
        Stmt("UPDATE batch SET closed = NULL, closed_ms = NULL, closed_offset_s = NULL WHERE id = ?1");
    if (s == nullptr) return SqlFailed("reopen batch");
    const Use use(s);
    sqlite3_bind_int64(*use, 1, batch);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("reopen batch");
  }
  const QJsonObject payload{{QStringLiteral("batch_uuid"), UuidText(b->uuid)},
                            {QStringLiteral("batch_id"), b->batchId},
                            {QStringLiteral("reopened"), at.Iso()}};
  const QUuid event = QUuid::createUuid();
  return AddBatchEvent(batch, BatchEvent::Kind::Reopened, at, event) &&
         AddOutbox("batch_reopened", at, payload, event) && Commit();
}

std::vector<BatchEvent> LabStore::BatchEvents(std::int64_t batch) {
  std::vector<BatchEvent> events;
  if (!Readable()) return events;
  storage::Statement* s = Stmt("SELECT kind, at_ms, at FROM batch_event WHERE batch = ?1 ORDER BY id");
  if (s == nullptr) return events;
  const Use use(s);
  sqlite3_bind_int64(*use, 1, batch);
  while (sqlite3_step(*use) == SQLITE_ROW) {
    const QString kind = ColumnText(*use, 0);
    BatchEvent e;
    e.kind = kind == QLatin1String("closed")     ? BatchEvent::Kind::Closed
             : kind == QLatin1String("reopened") ? BatchEvent::Kind::Reopened
                                                 : BatchEvent::Kind::Started;
    e.at = InstantFrom(sqlite3_column_int64(*use, 1), ColumnText(*use, 2));
    events.push_back(e);
  }
  return events;
}

// ---- readings ------------------------------------------------------------------------------

const Limits* LabStore::BatchLimits(std::int64_t batch) {
  if (limitsBatch_ == batch) return limits_ ? &*limits_ : nullptr;
  const std::optional<Batch> b = BatchById(batch);
  if (!b) return nullptr;
  limitsBatchInfo_ = b;
  limitsSpec_ = b->specification ? SpecificationVersion(*b->specification) : std::nullopt;
  limits_ = limitsSpec_ ? std::optional<Limits>(limitsSpec_->limits) : std::nullopt;
  limitsBatch_ = batch;
  return limits_ ? &*limits_ : nullptr;
}

bool LabStore::RecordReading(std::int64_t batch, const ReadingInput& input, Reading* recorded) {
  if (!Begin()) return false;
  // The batch readings were last recorded in is known, and open until this store closes it.
  const std::optional<Batch> b = limitsBatch_ == batch ? limitsBatchInfo_ : BatchById(batch);
  if (!b || !b->Open()) {
    Rollback();
    problem_ = QStringLiteral("the batch is not open");
    return false;
  }
  Reading r;
  r.batch = batch;
  r.input = input;
  r.comment = input.comment;
  r.values = {ParseCenti(input.texts[kValue20]), ParseCenti(input.texts[kValue60])};
  r.dark = input.texts[kMode20].contains(QLatin1Char('D')) || input.texts[kMode60].contains(QLatin1Char('D'));
  const Limits* limits = BatchLimits(batch);
  if (limits != nullptr) r.judgement = Judge(*limits, r.values, r.dark);
  const QString verdicts[4] = {
      QLatin1String(VerdictKey(r.judgement.angle[0])), QLatin1String(VerdictKey(r.judgement.angle[1])),
      QLatin1String(VerdictKey(r.judgement.haze)), QLatin1String(VerdictKey(r.judgement.reading))};
  const QString uuid = UuidText(input.uuid);
  const QString taken = input.taken.Iso();
  {
    storage::Statement* s = Stmt(
        "INSERT INTO reading (uuid, batch, taken, taken_ms, utc_offset_s, date_text, time_text, mode20_text,"
        " mode60_text, value20_text, value60_text, value20, value60, comment, serial, firmware, dark, verdict20,"
        " verdict60, verdict_haze, verdict)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21)");
    if (s == nullptr) return SqlFailed("record reading");
    const Use use(s);
    BindText(*use, 1, uuid);
    sqlite3_bind_int64(*use, 2, batch);
    BindText(*use, 3, taken);
    sqlite3_bind_int64(*use, 4, input.taken.msecs);
    sqlite3_bind_int(*use, 5, input.taken.offsetSeconds);
    for (int i = 0; i < 6; ++i) BindText(*use, 6 + i, input.texts[static_cast<std::size_t>(i)]);
    BindOptional(*use, 12, r.values[0]);
    BindOptional(*use, 13, r.values[1]);
    BindText(*use, 14, input.comment);
    BindText(*use, 15, input.serial);
    BindText(*use, 16, input.firmware);
    sqlite3_bind_int(*use, 17, r.dark ? 1 : 0);
    for (int i = 0; i < 4; ++i) BindText(*use, 18 + i, verdicts[i]);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("record reading");
  }
  r.id = sqlite3_last_insert_rowid(db_);
  {
    storage::Statement* s = Stmt(
        "UPDATE batch SET n = n + 1, passes = passes + ?2, warnings = warnings + ?3, fails = fails + ?4,"
        " no_value = no_value + ?5 WHERE id = ?1");
    if (s == nullptr) return SqlFailed("record reading");
    const Use use(s);
    const Verdict v = r.judgement.reading;
    sqlite3_bind_int64(*use, 1, batch);
    sqlite3_bind_int(*use, 2, v == Verdict::Pass ? 1 : 0);
    sqlite3_bind_int(*use, 3, v == Verdict::Warn ? 1 : 0);
    sqlite3_bind_int(*use, 4, v == Verdict::Fail ? 1 : 0);
    sqlite3_bind_int(*use, 5, v == Verdict::NoValue ? 1 : 0);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("record reading");
  }
  const auto angleJson = [&](int a) {
    const auto i = static_cast<std::size_t>(a);
    return QJsonObject{{QStringLiteral("mode"), input.texts[static_cast<std::size_t>(kMode20 + a)]},
                       {QStringLiteral("value_text"), input.texts[static_cast<std::size_t>(kValue20 + a)]},
                       {QStringLiteral("value"), CentiJson(r.values[i])},
                       {QStringLiteral("value_centi"), HundredthsJson(r.values[i])},
                       {QStringLiteral("verdict"), verdicts[a]}};
  };
  const QJsonObject payload{
      {QStringLiteral("reading_uuid"), uuid},
      {QStringLiteral("batch_uuid"), UuidText(b->uuid)},
      {QStringLiteral("batch_id"), b->batchId},
      {QStringLiteral("specification_uuid"),
       limitsSpec_ ? QJsonValue(UuidText(limitsSpec_->uuid)) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("taken"), taken},
      {QStringLiteral("date_text"), input.texts[kDate]},
      {QStringLiteral("time_text"), input.texts[kTime]},
      {QStringLiteral("angle20"), angleJson(0)},
      {QStringLiteral("angle60"), angleJson(1)},
      {QStringLiteral("haze"), r.values[0] && r.values[1] ? CentiJson(*r.values[1] - *r.values[0]) : QJsonValue()},
      {QStringLiteral("haze_verdict"), verdicts[2]},
      {QStringLiteral("verdict"), verdicts[3]},
      {QStringLiteral("dark"), r.dark},
      {QStringLiteral("comment"), input.comment},
      {QStringLiteral("serial"), input.serial},
      {QStringLiteral("firmware"), input.firmware}};
  if (!AddOutbox("reading_recorded", input.taken, payload, input.uuid) || !Commit()) return false;
  if (recorded != nullptr) *recorded = std::move(r);
  return true;
}

std::optional<std::int64_t> LabStore::BatchOfReading(const QUuid& reading) {
  if (!Readable() || reading.isNull()) return std::nullopt;
  storage::Statement* s = Stmt("SELECT batch FROM reading WHERE uuid = ?1");
  if (s == nullptr) return std::nullopt;
  const Use use(s);
  const QString uuid = UuidText(reading);
  BindText(*use, 1, uuid);
  if (sqlite3_step(*use) != SQLITE_ROW) return std::nullopt;
  return sqlite3_column_int64(*use, 0);
}

namespace {

constexpr const char* kReadingSelect =
    "SELECT r.id, r.batch, r.uuid, r.taken_ms, r.utc_offset_s, r.date_text, r.time_text, r.mode20_text,"
    " r.mode60_text, r.value20_text, r.value60_text, r.value20, r.value60, r.comment, r.serial, r.firmware, r.dark,"
    " r.verdict20, r.verdict60, r.verdict_haze, r.verdict,"
    " (SELECT e.comment FROM reading_event e WHERE e.reading = r.id AND e.kind = 'comment' ORDER BY e.id DESC"
    "  LIMIT 1),"
    " (SELECT e.at FROM reading_event e WHERE e.reading = r.id AND e.kind = 'withdrawn' LIMIT 1),"
    " (SELECT e.at_ms FROM reading_event e WHERE e.reading = r.id AND e.kind = 'withdrawn' LIMIT 1)"
    " FROM reading r ";

Reading ReadReading(sqlite3_stmt* stmt) {
  Reading r;
  r.id = sqlite3_column_int64(stmt, 0);
  r.batch = sqlite3_column_int64(stmt, 1);
  r.input.uuid = QUuid::fromString(ColumnText(stmt, 2));
  r.input.taken = {sqlite3_column_int64(stmt, 3), sqlite3_column_int(stmt, 4)};
  for (int i = 0; i < 6; ++i) r.input.texts[static_cast<std::size_t>(i)] = ColumnText(stmt, 5 + i);
  r.values = {ColumnOptional(stmt, 11), ColumnOptional(stmt, 12)};
  r.input.comment = ColumnText(stmt, 13);
  r.input.serial = ColumnText(stmt, 14);
  r.input.firmware = ColumnText(stmt, 15);
  r.dark = sqlite3_column_int(stmt, 16) != 0;
  r.judgement.angle = {VerdictFromKey(ColumnText(stmt, 17)), VerdictFromKey(ColumnText(stmt, 18))};
  r.judgement.haze = VerdictFromKey(ColumnText(stmt, 19));
  r.judgement.reading = VerdictFromKey(ColumnText(stmt, 20));
  r.comment = sqlite3_column_type(stmt, 21) == SQLITE_NULL ? r.input.comment : ColumnText(stmt, 21);
  if (sqlite3_column_type(stmt, 23) != SQLITE_NULL) {
    r.withdrawn = InstantFrom(sqlite3_column_int64(stmt, 23), ColumnText(stmt, 22));
  }
  return r;
}

}  // namespace

std::optional<Reading> LabStore::ReadingByUuid(const QUuid& uuid) {
  static const QByteArray sql = QByteArray(kReadingSelect) + "WHERE r.uuid = ?1";
  storage::Statement* s = Stmt(sql.constData());
  if (s == nullptr) return std::nullopt;
  const Use use(s);
  const QString text = UuidText(uuid);
  BindText(*use, 1, text);
  if (sqlite3_step(*use) != SQLITE_ROW) return std::nullopt;
  return ReadReading(*use);
}

std::vector<Reading> LabStore::Readings(std::int64_t batch) {
  std::vector<Reading> readings;
  if (!Readable()) return readings;
  static const QByteArray sql = QByteArray(kReadingSelect) + "WHERE r.batch = ?1 ORDER BY r.id";
  storage::Statement* s = Stmt(sql.constData());
  if (s == nullptr) return readings;
  const Use use(s);
  sqlite3_bind_int64(*use, 1, batch);
  while (sqlite3_step(*use) == SQLITE_ROW) readings.push_back(ReadReading(*use));
  return readings;
}

bool LabStore::WithdrawReading(const QUuid& reading, const Instant& at) {
  if (!Begin()) return false;
  const std::optional<Reading> r = ReadingByUuid(reading);
  if (!r || r->withdrawn) {
    Rollback();
    problem_ = !r ? QStringLiteral("the reading is not recorded") : QStringLiteral("the reading is withdrawn already");
    return false;
  }
  const std::optional<Batch> b = BatchById(r->batch);
  const QString atText = at.Iso();
  const QUuid event = QUuid::createUuid();
  const QString eventText = UuidText(event);
  {
    storage::Statement* s =
        Stmt("INSERT INTO reading_event (reading, kind, at, at_ms, uuid) VALUES (?1, 'withdrawn', ?2, ?3, ?4)");
    if (s == nullptr) return SqlFailed("withdraw");
    const Use use(s);
    BindText(*use, 4, eventText);
    sqlite3_bind_int64(*use, 1, r->id);
    BindText(*use, 2, atText);
    sqlite3_bind_int64(*use, 3, at.msecs);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("withdraw");
  }
  {
    storage::Statement* s = Stmt(
        "UPDATE batch SET n = n - 1, passes = passes - ?2, warnings = warnings - ?3, fails = fails - ?4,"
        " no_value = no_value - ?5, withdrawn = withdrawn + 1 WHERE id = ?1");
    if (s == nullptr) return SqlFailed("withdraw");
    const Use use(s);
    const Verdict v = r->judgement.reading;
    sqlite3_bind_int64(*use, 1, r->batch);
    sqlite3_bind_int(*use, 2, v == Verdict::Pass ? 1 : 0);
    sqlite3_bind_int(*use, 3, v == Verdict::Warn ? 1 : 0);
    sqlite3_bind_int(*use, 4, v == Verdict::Fail ? 1 : 0);
    sqlite3_bind_int(*use, 5, v == Verdict::NoValue ? 1 : 0);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("withdraw");
  }
  const QJsonObject payload{{QStringLiteral("reading_uuid"), UuidText(reading)},
                            {QStringLiteral("batch_uuid"), b ? UuidText(b->uuid) : QString()},
                            {QStringLiteral("withdrawn"), atText}};
  return AddOutbox("reading_withdrawn", at, payload, event) && Commit();
}

bool LabStore::ChangeComment(const QUuid& reading, const QString& comment, const Instant& at) {
  if (!Begin()) return false;
  const std::optional<Reading> r = ReadingByUuid(reading);
  if (!r) {
    Rollback();
    problem_ = QStringLiteral("the reading is not recorded");
    return false;
  }
  if (r->comment == comment) {
    Rollback();
    return true;
  }
  const std::optional<Batch> b = BatchById(r->batch);
  const QString atText = at.Iso();
  const QUuid event = QUuid::createUuid();
  const QString eventText = UuidText(event);
  {
    storage::Statement* s = Stmt(
        "INSERT INTO reading_event (reading, kind, at, at_ms, comment, uuid) VALUES (?1, 'comment', ?2, ?3, ?4, ?5)");
    if (s == nullptr) return SqlFailed("comment");
    const Use use(s);
    BindText(*use, 5, eventText);
    sqlite3_bind_int64(*use, 1, r->id);
    BindText(*use, 2, atText);
    sqlite3_bind_int64(*use, 3, at.msecs);
    BindText(*use, 4, comment);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("comment");
  }
  const QJsonObject payload{{QStringLiteral("reading_uuid"), UuidText(reading)},
                            {QStringLiteral("batch_uuid"), b ? UuidText(b->uuid) : QString()},
                            {QStringLiteral("comment"), comment},
                            {QStringLiteral("changed"), atText}};
  return AddOutbox("comment_changed", at, payload, event) && Commit();
}

// ---- the outbox ----------------------------------------------------------------------------

std::vector<OutboxEntry> LabStore::Outbox(std::int64_t afterSeq, int limit) {
  std::vector<OutboxEntry> entries;
  if (!Readable()) return entries;
  storage::Statement* s = Stmt("SELECT seq, kind, at, payload FROM outbox WHERE seq > ?1 ORDER BY seq LIMIT ?2");
  if (s == nullptr) return entries;
  const Use use(s);
  sqlite3_bind_int64(*use, 1, afterSeq);
  sqlite3_bind_int(*use, 2, limit);
  while (sqlite3_step(*use) == SQLITE_ROW) {
    OutboxEntry& e = entries.emplace_back();
    e.seq = sqlite3_column_int64(*use, 0);
    e.kind = ColumnText(*use, 1);
    e.at = ColumnText(*use, 2);
    e.payload = QJsonDocument::fromJson(ColumnText(*use, 3).toUtf8()).object();
  }
  return entries;
}

// ---- the disk ------------------------------------------------------------------------------

bool LabStore::WaitSynced() { return syncer_ ? syncer_->WaitSynced() : Writable(); }

void LabStore::SetPageLimit(int pages) {
  if (db_ == nullptr) return;
  const QByteArray sql = "PRAGMA max_page_count = " + QByteArray::number(pages);
  Query(db_, sql.constData());
}

}  // namespace lab
