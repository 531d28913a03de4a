// How a change reaches the disk, and what a kill leaves behind: as every store of the program,
// in WAL mode with its log synced by a thread of its own (storage/Sqlite.h says how). A kill at any
// point leaves the journal as its last commit or the one before left it; a power cut loses at most
// the commits since the last sync, i.e. those of the last moments.
//
// Measured with bench_journal on the development machine (ext4 on a virtual disk, 2 loaded
// cores): an fdatasync of the log takes milliseconds, and with synchronous=FULL that would be
// part of the tick; SQLite's checkpoint holds a lock across its two syncs that a commit beginning
// meanwhile waits for, which made commits 10 ms apart take up to 12 ms at the 99th percentile when
// every commit was checkpointed. Figures in bench/README.md.
#include "journal/JournalStore.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace journal {
namespace {

using storage::BindText;
using storage::ColumnText;
using storage::FromUtf8;
using storage::Query;
using storage::Use;

// The journal's folder and files are the user's alone, whatever the umask: they hold the readings
// and comments. Rights found wider (an older version, a copied folder) are narrowed.
constexpr int kFolderMode = 0700;
constexpr int kFileMode = 0600;

}  // namespace

QString DefaultFolder() {
  QString base = qEnvironmentVariable("XDG_STATE_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/state");
  return base + QStringLiteral("/korvanta");
}

// ---- opening -------------------------------------------------------------------------------

JournalStore::JournalStore(const QString& folder, Durability durability, const QString& name)
    : folder_(QDir::cleanPath(folder)), name_(name), durability_(durability) {
  if (!QDir().mkpath(folder_)) {
    problem_ = QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder_));
    return;
  }
  storage::KeepToOwner(folder_, kFolderMode);
  // The journal's files as an older version or a copy left them (its database, log, index, lock
  // and the files set aside).
  for (const QString& file : QDir(folder_).entryList({name_ + QLatin1Char('*')}, QDir::Files | QDir::Hidden))
    storage::KeepToOwner(folder_ + QLatin1Char('/') + file, kFileMode);
  lock_ = std::make_unique<storage::FolderLock>();
  QString why;
  switch (lock_->Take(folder_ + QLatin1Char('/') + name_ + QStringLiteral(".lock"), why)) {
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

  DbOutcome outcome = OpenDatabase(why);
  if (outcome == DbOutcome::Newer) {
    // As with a journal in use: the version that wrote it restores its rows; this one neither
    // reads nor changes it.
    lock_.reset();
    state_ = OpenState::Newer;
    problem_ = why;
    return;
  }
  if (outcome == DbOutcome::Unusable) {
    if (!SetAside(why)) return;
    outcome = OpenDatabase(why);
  }
  if (outcome != DbOutcome::Ready) {
    CloseDatabase();
    problem_ = why;
    return;
  }
  if (durability_ == Durability::SyncAway) {
    syncer_ = storage::LogSyncer::Start(DatabasePath(), why);
    if (!syncer_) {
      CloseDatabase();
      problem_ = why;
      return;
    }
  }
  state_ = OpenState::Open;
}

JournalStore::~JournalStore() {
  syncer_.reset();
  CloseDatabase();
}

QString JournalStore::DatabasePath() const { return folder_ + QLatin1Char('/') + name_ + QStringLiteral(".db"); }

JournalStore::DbOutcome JournalStore::OpenDatabase(QString& reason) {
#ifdef Q_OS_UNIX
  // SQLite would create the database with the umask's rights (and its log and index with the
  // database's): it is created here first, the user's alone.
  const int made = ::open(QFile::encodeName(DatabasePath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
  if (made >= 0) ::close(made);
#endif
  int rc = sqlite3_open_v2(QFile::encodeName(DatabasePath()).constData(), &db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  const auto failed = [&](int code) {
    reason = FromUtf8(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
    CloseDatabase();
    return storage::IsUnusable(code) ? DbOutcome::Unusable : DbOutcome::Failed;
  };
  if (rc != SQLITE_OK) return failed(rc);
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, storage::kBusyTimeoutMs);

  // Reading it also replays the log a killed session left behind.
  QString version;
  if ((rc = Query(db_, "PRAGMA user_version", &version)) != SQLITE_OK) return failed(rc);
  if (version.toInt() > kSchemaVersion) {
    reason = QStringLiteral("it was written by a newer version of the program (schema %1)").arg(version);
    // Closing would fold that version's log into its database: leave both as they are.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    CloseDatabase();
    return DbOutcome::Newer;
  }
  QString check;
  if ((rc = Query(db_, "PRAGMA quick_check", &check)) != SQLITE_OK) return failed(rc);
  if (check != QLatin1String("ok")) {
    reason = QStringLiteral("the database is damaged (%1)").arg(check);
    CloseDatabase();
    return DbOutcome::Unusable;
  }
  QString tables;
  if ((rc = Query(db_, "SELECT count(*) FROM sqlite_schema", &tables)) != SQLITE_OK) return failed(rc);
  if (version.toInt() == 0 && tables.toInt() == 0) {
    // A new journal. The text encoding can only be chosen before the first table exists.
    rc = sqlite3_exec(db_,
                      "PRAGMA encoding = 'UTF-16';"
                      "CREATE TABLE reading ("
                      "  position INTEGER PRIMARY KEY,"
                      "  date TEXT NOT NULL, time TEXT NOT NULL, mode20 TEXT NOT NULL, mode60 TEXT NOT NULL,"
                      "  value20 TEXT NOT NULL, value60 TEXT NOT NULL, comment TEXT NOT NULL,"
                      "  uuid TEXT NOT NULL DEFAULT '', taken_ms INTEGER NOT NULL DEFAULT 0,"
                      "  utc_offset_s INTEGER NOT NULL DEFAULT 0);"
                      "PRAGMA user_version = 2;",
                      nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return failed(rc);
  } else if (version.toInt() == 1) {
    // The first version's rows had no identity: they come back as rows without one (no batch has
    // them), and the journal goes on in this version.
    rc = sqlite3_exec(db_,
                      "BEGIN IMMEDIATE;"
                      "ALTER TABLE reading ADD COLUMN uuid TEXT NOT NULL DEFAULT '';"
                      "ALTER TABLE reading ADD COLUMN taken_ms INTEGER NOT NULL DEFAULT 0;"
                      "ALTER TABLE reading ADD COLUMN utc_offset_s INTEGER NOT NULL DEFAULT 0;"
                      "PRAGMA user_version = 2;"
                      "COMMIT;",
                      nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return failed(rc);
    }
  } else if (version.toInt() != kSchemaVersion) {
    reason = QStringLiteral("it is not a journal of this program");
    CloseDatabase();
    return DbOutcome::Unusable;
  }

  QString mode;
  if ((rc = Query(db_, "PRAGMA journal_mode = WAL", &mode)) != SQLITE_OK) return failed(rc);
  if (mode != QLatin1String("wal")) {
    reason = QStringLiteral("the file system does not allow a write-ahead log");
    CloseDatabase();
    return DbOutcome::Failed;
  }
  const bool syncAway = durability_ == Durability::SyncAway;
  if ((rc = Query(db_, syncAway ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = FULL")) != SQLITE_OK) {
    return failed(rc);
  }
  // Checkpoints sync the disk; they belong to the sync thread, never to the caller's commits. The
  // hook (which replaces SQLite's own automatic checkpoints) tells how long the log has grown.
  if (syncAway) {
    sqlite3_wal_hook(
        db_,
        [](void* self, sqlite3*, const char*, int frames) {
          static_cast<JournalStore*>(self)->logFrames_ = frames;
          return SQLITE_OK;
        },
        this);
  }

  struct Prepared {
    storage::Statement** statement;
    const char* sql;
  };
  const Prepared prepared[] = {
      {&begin_, "BEGIN IMMEDIATE"},
      {&commit_, "COMMIT"},
      {&rollback_, "ROLLBACK"},
      {&insert_,
       "INSERT INTO reading (position, date, time, mode20, mode60, value20, value60, comment, uuid, taken_ms,"
       " utc_offset_s) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"},
      {&update_,
       "UPDATE reading SET date = ?2, time = ?3, mode20 = ?4, mode60 = ?5, value20 = ?6, value60 = ?7,"
       " comment = ?8, uuid = ?9, taken_ms = ?10, utc_offset_s = ?11 WHERE position = ?1"},
      {&positionFromFront_, "SELECT position FROM reading WHERE position >= ?1 ORDER BY position LIMIT 1 OFFSET ?2"},
      {&positionFromBack_,
       "SELECT position FROM reading WHERE position >= ?1 ORDER BY position DESC LIMIT 1 OFFSET ?2"},
      {&removeRun_,
       "DELETE FROM reading WHERE position IN"
       " (SELECT position FROM reading WHERE position >= ?1 ORDER BY position LIMIT ?2)"},
      {&removeFrom_, "DELETE FROM reading WHERE position >= ?1"},
      {&removeBelow_, "DELETE FROM reading WHERE position < ?1"},
  };
  for (const Prepared& p : prepared) {
    auto statement = std::make_unique<storage::Statement>(db_, p.sql, rc);
    if (rc != SQLITE_OK) return failed(rc);
    *p.statement = statement.get();
    statements_.push_back(std::move(statement));
  }

  sqlite3_stmt* range = nullptr;
  rc = sqlite3_prepare_v2(db_, "SELECT count(*), min(position), max(position) FROM reading", -1, &range, nullptr);
  if (rc != SQLITE_OK) return failed(rc);
  rc = sqlite3_step(range);
  if (rc == SQLITE_ROW) {
    leftOver_ = sqlite3_column_int(range, 0);
    leftOverFirst_ = sqlite3_column_int64(range, 1);
    first_ = leftOver_ > 0 ? sqlite3_column_int64(range, 2) + 1 : 0;
    next_ = first_;
    count_ = 0;
  }
  sqlite3_finalize(range);
  if (rc != SQLITE_ROW) return failed(rc);
  return DbOutcome::Ready;
}

void JournalStore::CloseDatabase() {
  begin_ = commit_ = rollback_ = insert_ = update_ = nullptr;
  positionFromFront_ = positionFromBack_ = removeRun_ = removeFrom_ = removeBelow_ = nullptr;
  statements_.clear();
  // The last connection to close folds the log into the database and removes it.
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
}

bool JournalStore::SetAside(const QString& reason) {
  CloseDatabase();
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString aside;
  for (int n = 1;; ++n) {
    aside = folder_ + QLatin1Char('/') + name_ + QStringLiteral("-unusable-") + stamp +
            (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) + QStringLiteral(".db");
    if (!QFileInfo::exists(aside)) break;
  }
  const QString db = DatabasePath();
  if (!QFile::rename(db, aside)) {
    problem_ = QStringLiteral("%1 cannot be used (%2) and cannot be renamed").arg(QDir::toNativeSeparators(db), reason);
    return false;
  }
  // The log goes with its database, so that the pair can still be looked into; the shared-memory
  // index holds nothing that is not in them.
  if (QFileInfo::exists(db + QStringLiteral("-wal")))
    QFile::rename(db + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
  QFile::remove(db + QStringLiteral("-shm"));
  setAsidePath_ = aside;
  setAsideReason_ = reason;
  return true;
}

// ---- changes -------------------------------------------------------------------------------

bool JournalStore::Fail(const QString& what) {
  failed_ = true;
  problem_ = what;
  return false;
}

bool JournalStore::SqlFailed(const char* what) {
  const QString message = FromUtf8(sqlite3_errmsg(db_));
  Rollback();
  return Fail(QStringLiteral("%1 (%2)").arg(message, QLatin1String(what)));
}

bool JournalStore::Begin() {
  const Use use(begin_->get());
  return sqlite3_step(*use) == SQLITE_DONE || SqlFailed("begin");
}

bool JournalStore::Commit() {
  {
    const Use use(commit_->get());
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("commit");
  }
  if (syncer_) {
    syncer_->Poke(logFrames_ >= storage::kCheckpointFrames);
    const QString error = syncer_->Error();
    if (!error.isEmpty()) return Fail(error + QStringLiteral(" (sync)"));
  }
  return true;
}

void JournalStore::Rollback() {
  if (db_ == nullptr || sqlite3_get_autocommit(db_) != 0) return;
  const Use use(rollback_->get());
  sqlite3_step(*use);
}

bool JournalStore::LocatePosition(int index, std::int64_t& position) {
  // From the nearer end: the rows the operator works on are mostly the newest.
  const bool fromFront = index < count_ / 2;
  const Use use((fromFront ? positionFromFront_ : positionFromBack_)->get());
  sqlite3_bind_int64(*use, 1, first_);
  sqlite3_bind_int(*use, 2, fromFront ? index : count_ - 1 - index);
  const int rc = sqlite3_step(*use);
  if (rc == SQLITE_ROW) {
    position = sqlite3_column_int64(*use, 0);
    return true;
  }
  if (rc == SQLITE_DONE) {
    Rollback();
    return Fail(QStringLiteral("the journal has lost track of the table"));
  }
  return SqlFailed("locate");
}

namespace {

// The texts and the identity of a row, as ?2 to ?11 of the insert and the update.
void BindRow(sqlite3_stmt* stmt, const RowRef& row, QString& uuid) {
  for (int i = 0; i < kTextsPerRow; ++i) BindText(stmt, i + 2, row.texts[static_cast<std::size_t>(i)]);
  uuid = row.identity.uuid.isNull() ? QString() : row.identity.uuid.toString(QUuid::WithoutBraces);
  BindText(stmt, 9, uuid);
  sqlite3_bind_int64(stmt, 10, row.identity.takenMsecs);
  sqlite3_bind_int(stmt, 11, row.identity.utcOffsetSeconds);
}

}  // namespace

bool JournalStore::InsertRow(std::int64_t position, const RowRef& row) {
  const Use use(insert_->get());
  sqlite3_bind_int64(*use, 1, position);
  QString uuid;
  BindRow(*use, row, uuid);
  return sqlite3_step(*use) == SQLITE_DONE || SqlFailed("insert");
}

bool JournalStore::WriteAll(int count, const RowAt& rowAt) {
  {
    const Use use(removeFrom_->get());
    sqlite3_bind_int64(*use, 1, first_);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("replace");
  }
  for (int i = 0; i < count; ++i) {
    if (!InsertRow(first_ + i, rowAt(i))) return false;
  }
  return true;
}

bool JournalStore::Insert(int at, int count, const RowAt& rowAt) {
  if (!Usable()) return false;
  if (count <= 0) return true;
  if (at < 0 || at > count_) return Fail(QStringLiteral("the journal has lost track of the table"));
  // The table appends; rows anywhere else make it write the whole table anew (rows brought back
  // from an earlier session are adopted, not inserted).
  if (at != count_) return Replace(count_ + count, rowAt);
  if (!Begin()) return false;
  for (int i = 0; i < count; ++i) {
    if (!InsertRow(next_ + i, rowAt(at + i))) return false;
  }
  if (!Commit()) return false;
  next_ += count;
  count_ += count;
  return true;
}

bool JournalStore::Remove(int first, int count) {
  if (!Usable()) return false;
  if (count <= 0) return true;
  if (first < 0 || first + count > count_) return Fail(QStringLiteral("the journal has lost track of the table"));
  std::int64_t position = 0;
  if (!Begin() || !LocatePosition(first, position)) return false;
  {
    const Use use(removeRun_->get());
    sqlite3_bind_int64(*use, 1, position);
    sqlite3_bind_int(*use, 2, count);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("remove");
  }
  if (!Commit()) return false;
  count_ -= count;
  return true;
}

bool JournalStore::Update(int first, int count, const RowAt& rowAt) {
  if (!Usable()) return false;
  if (count <= 0) return true;
  if (first < 0 || first + count > count_) return Fail(QStringLiteral("the journal has lost track of the table"));
  if (!Begin()) return false;
  for (int i = first; i < first + count; ++i) {
    std::int64_t position = 0;
    if (!LocatePosition(i, position)) return false;
    const Use use(update_->get());
    sqlite3_bind_int64(*use, 1, position);
    QString uuid;
    BindRow(*use, rowAt(i), uuid);
    if (sqlite3_step(*use) != SQLITE_DONE) return SqlFailed("update");
  }
  return Commit();
}

bool JournalStore::Replace(int count, const RowAt& rowAt) {
  if (!Usable()) return false;
  if (!Begin() || !WriteAll(count, rowAt) || !Commit()) return false;
  next_ = first_ + count;
  count_ = count;
  return true;
}

bool JournalStore::ReadLeftOver(std::vector<LeftOverRow>& rows) {
  rows.clear();
  if (!Usable()) return false;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_,
                              "SELECT date, time, mode20, mode60, value20, value60, comment, uuid, taken_ms,"
                              " utc_offset_s FROM reading WHERE position < ?1 ORDER BY position",
                              -1, &stmt, nullptr);
  if (rc != SQLITE_OK) return SqlFailed("read");
  sqlite3_bind_int64(stmt, 1, first_);
  rows.reserve(static_cast<std::size_t>(leftOver_));
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    LeftOverRow& row = rows.emplace_back();
    for (int i = 0; i < kTextsPerRow; ++i) row.texts[static_cast<std::size_t>(i)] = ColumnText(stmt, i);
    row.identity.uuid = QUuid::fromString(ColumnText(stmt, 7));
    row.identity.takenMsecs = sqlite3_column_int64(stmt, 8);
    row.identity.utcOffsetSeconds = sqlite3_column_int(stmt, 9);
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) {
    rows.clear();
    return SqlFailed("read");
  }
  return true;
}

bool JournalStore::AdoptLeftOver() {
  if (state_ != OpenState::Open) return false;
  if (leftOver_ > 0) {
    // Even after a failed change: the normal end removes this run's rows, these now among them.
    first_ = leftOverFirst_;
    count_ += leftOver_;
    leftOver_ = 0;
  }
  return Usable();
}

bool JournalStore::DiscardLeftOver() {
  if (state_ != OpenState::Open) return false;
  if (leftOver_ == 0) return Usable();
  if (Usable() && Begin()) {
    bool deleted = false;
    {
      const Use use(removeBelow_->get());
      sqlite3_bind_int64(*use, 1, first_);
      deleted = sqlite3_step(*use) == SQLITE_DONE;
    }
    if (deleted && Commit()) {
      leftOver_ = 0;
      return true;
    }
    if (!deleted) SqlFailed("discard");
  }
  // The refusal cannot be written: the refused rows must not come back all the same, so the
  // journal's files go, this run's rows with them (the journal has failed, which the operator is
  // told).
  RemoveFiles();
  leftOver_ = 0;
  return false;
}

void JournalStore::RemoveFiles() {
  syncer_.reset();
  if (db_ != nullptr) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  CloseDatabase();
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(DatabasePath() + QLatin1String(suffix));
  failed_ = true;
  if (problem_.isEmpty()) problem_ = QStringLiteral("the journal cannot be written");
}

void JournalStore::EndSession() {
  if (state_ != OpenState::Open || db_ == nullptr) return;
  // This run's rows go, even after a failed change: the session ended as sessions end. Rows left
  // over from an earlier session that nobody was asked about yet stay for the next start.
  Rollback();
  bool emptied = false;
  {
    const Use use(removeFrom_->get());
    sqlite3_bind_int64(*use, 1, first_);
    emptied = sqlite3_step(*use) == SQLITE_DONE;
  }
  syncer_.reset();
  CloseDatabase();
  if (!emptied && leftOver_ == 0) {
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(DatabasePath() + QLatin1String(suffix));
  }
  failed_ = true;
  problem_ = QStringLiteral("the session has ended");
}

void JournalStore::SetPageLimit(int pages) {
  if (db_ == nullptr) return;
  const QByteArray sql = "PRAGMA max_page_count = " + QByteArray::number(pages);
  Query(db_, sql.constData());
}

JournalStore::SyncFigures JournalStore::Syncs() const { return syncer_ ? syncer_->SyncFigures() : SyncFigures{}; }

void JournalStore::SetBeforeSync(std::function<void()> hook) {
  if (syncer_) syncer_->SetBeforeSync(std::move(hook));
}

bool JournalStore::WaitSynced() { return syncer_ ? syncer_->WaitSynced() : Usable(); }

}  // namespace journal
