// How a change reaches the disk, and what a kill leaves behind.
//
// The journal runs in WAL mode with synchronous=NORMAL: a commit appends its pages to the
// write-ahead log with write() and returns without waiting for the disk. From that moment the
// change survives a crash or a kill of the program: it is in the kernel's page cache, and the next
// open replays the log. To survive a power cut it must be synced as well. A thread of the
// journal's own does that after each commit, away from the caller: an fdatasync of the log, which
// involves none of SQLite's locks, so the caller's next commit never waits for it. Once the log
// has grown past 1000 pages the same thread folds it into the database file (a passive
// checkpoint, which syncs log and database), so that the log starts again instead of growing; the
// caller's own connection makes no checkpoints.
//
// Measured with bench_journal on the development machine (ext4 on a virtual disk, 2 loaded
// cores): an fdatasync of the log takes milliseconds, and with synchronous=FULL that would be
// part of the tick; SQLite's checkpoint holds a lock across its two syncs that a commit beginning
// meanwhile waits for, which made commits 10 ms apart take up to 12 ms at the 99th percentile when
// every commit was checkpointed. Figures in bench/README.md.
//
// A kill at any point leaves one of two states: the journal as the last commit left it, or as the
// commit before. A commit whose log frames were only partly written when the process died has no
// valid commit frame, and the next open ignores it. A power cut loses at most the commits since the
// last sync, i.e. those of the last moments.
#include "journal/JournalStore.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#else
#include <QLockFile>
#endif

namespace journal {
namespace {

// A lock SQLite takes inside this process (the sync thread's checkpoint) is held for moments.
constexpr int kBusyTimeoutMs = 2000;
// The log is folded into the database file once it holds this many pages (SQLite's own default).
constexpr int kCheckpointFrames = 1000;

QString FromUtf8(const char* text) { return QString::fromUtf8(text != nullptr ? text : ""); }

// Errors that say the file is not a journal this program can use, as opposed to a disk or a
// folder that does not let it write.
// The journal's folder and files are the user's alone, whatever the umask: they hold the readings
// and comments. Rights found wider (an older version, a copied folder) are narrowed.
constexpr int kFolderMode = 0700;
constexpr int kFileMode = 0600;

void KeepToOwner(const QString& path, int mode) {
#ifdef Q_OS_UNIX
  const QByteArray name = QFile::encodeName(path);
  struct stat info {};
  if (::lstat(name.constData(), &info) != 0 || S_ISLNK(info.st_mode)) return;
  if (static_cast<int>(info.st_mode & 07777) != mode) ::chmod(name.constData(), static_cast<mode_t>(mode));
#else
  Q_UNUSED(path);
  Q_UNUSED(mode);
#endif
}

bool IsUnusable(int rc) {
  switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
    case SQLITE_MISMATCH:
    case SQLITE_FORMAT:
    case SQLITE_RANGE:
      return true;
    default:
      return false;
  }
}

}  // namespace

QString DefaultFolder() {
  QString base = qEnvironmentVariable("XDG_STATE_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/state");
  return base + QStringLiteral("/korvanta");
}

// ---- the lock that keeps a second copy of the program away ---------------------------------

class JournalStore::FolderLock {
 public:
  enum class Result { Held, InUse, Failed };

  Result Take(const QString& path, QString& problem) {
#ifdef Q_OS_UNIX
    // flock, because the kernel drops it when the process dies, however it dies; close-on-exec,
    // so that a program the export starts does not inherit it and outlive us holding it.
    const QByteArray name = QFile::encodeName(path);
    fd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd_ < 0) {
      problem = QString::fromLocal8Bit(std::strerror(errno));
      return Result::Failed;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return Result::Held;
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    problem = QString::fromLocal8Bit(std::strerror(error));
    return error == EWOULDBLOCK ? Result::InUse : Result::Failed;
#else
    file_ = std::make_unique<QLockFile>(path);
    file_->setStaleLockTime(0);
    if (file_->tryLock(0)) return Result::Held;
    const bool inUse = file_->error() == QLockFile::LockFailedError;
    file_.reset();
    problem = QStringLiteral("the lock file cannot be created");
    return inUse ? Result::InUse : Result::Failed;
#endif
  }

  ~FolderLock() {
#ifdef Q_OS_UNIX
    if (fd_ >= 0) ::close(fd_);
#endif
  }

 private:
#ifdef Q_OS_UNIX
  int fd_ = -1;
#else
  std::unique_ptr<QLockFile> file_;
#endif
};

// ---- prepared statements -------------------------------------------------------------------

class JournalStore::Statement {
 public:
  Statement(sqlite3* db, const char* sql, int& rc) {
    rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

namespace {

// One use of a prepared statement: reset when the use ends, so that no read transaction stays
// open behind it (an open one would hold back the sync thread's checkpoint).
class Use {
 public:
  explicit Use(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~Use() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  sqlite3_stmt* operator*() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_;
};

void BindText(sqlite3_stmt* stmt, int index, const QString& text) {
  // constData() is never null, so an empty text is stored as '' and not as NULL.
  sqlite3_bind_text16(stmt, index, text.constData(), static_cast<int>(text.size() * 2), SQLITE_STATIC);
}

QString ColumnText(sqlite3_stmt* stmt, int column) {
  const void* data = sqlite3_column_text16(stmt, column);
  const int bytes = sqlite3_column_bytes16(stmt, column);
  if (data == nullptr) return QString();
  return QString(static_cast<const QChar*>(data), bytes / 2);
}

// Runs `sql` and gives the first column of its first row as text.
int Query(sqlite3* db, const char* sql, QString* firstValue = nullptr) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) return rc;
  bool first = true;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (first && firstValue != nullptr)
      *firstValue = FromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    first = false;
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

// ---- the sync thread -----------------------------------------------------------------------

class JournalStore::Syncer {
 public:
  static std::unique_ptr<Syncer> Start(const QString& path, QString& error) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      error = FromUtf8(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
      sqlite3_close(db);
      return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // A connection that has not read the database yet does not know it is in WAL mode, and its
    // checkpoints would do nothing.
    QString mode;
    if (Query(db, "PRAGMA journal_mode", &mode) != SQLITE_OK || mode != QLatin1String("wal")) {
      error = FromUtf8(sqlite3_errmsg(db));
      sqlite3_close(db);
      return nullptr;
    }
    int log = -1;
#ifdef Q_OS_UNIX
    // The log of a database in WAL mode exists while a connection has it open, and keeps its
    // inode until the last connection closes.
    log = ::open(QFile::encodeName(path + QStringLiteral("-wal")).constData(), O_RDONLY | O_CLOEXEC);
    if (log < 0) {
      error = QStringLiteral("the log cannot be opened: ") + QString::fromLocal8Bit(std::strerror(errno));
      sqlite3_close(db);
      return nullptr;
    }
#endif
    return std::unique_ptr<Syncer>(new Syncer(db, log));
  }

  ~Syncer() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
#ifdef Q_OS_UNIX
    ::close(log_);
#endif
    sqlite3_close(db_);
  }
  Syncer(const Syncer&) = delete;
  Syncer& operator=(const Syncer&) = delete;

  // Something was committed: sync it; fold the log into the database file too when it has grown.
  void Poke(bool checkpoint) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++requested_;
      checkpointDue_ = checkpointDue_ || checkpoint;
    }
    wake_.notify_one();
  }

  QString Error() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }

  SyncFigures Figures() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return figures_;
  }

  void SetBeforeSync(std::function<void()> hook) {
    const std::lock_guard<std::mutex> lock(mutex_);
    beforeSync_ = std::move(hook);
  }

  bool WaitSynced() {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t target = requested_;
    synced_.wait(lock, [&] { return done_ >= target || !error_.isEmpty(); });
    return error_.isEmpty();
  }

 private:
  Syncer(sqlite3* db, int log) : db_(db), log_(log), thread_([this] { Run(); }) {}

  // The commits are in the log: one fdatasync of it makes them survive a power cut. SQLite's locks
  // are not involved, so the caller's commits never wait for it.
  QString SyncLog() {
#ifdef Q_OS_UNIX
    if (::fdatasync(log_) != 0) return QString::fromLocal8Bit(std::strerror(errno));
    return QString();
#else
    return Checkpoint();
#endif
  }

  // Copies the log into the database file, syncing both, so that the log starts again from its
  // beginning instead of growing. While the log and the database are synced the checkpoint holds a
  // lock that a commit may have to wait for; it runs once per many commits.
  QString Checkpoint() {
    int logFrames = 0;
    int copied = 0;
    const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &copied);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) return QString();  // again with the next commit
    if (rc != SQLITE_OK) return FromUtf8(sqlite3_errmsg(db_));
    if (logFrames < 0) return QStringLiteral("the journal is not in WAL mode");
    return QString();
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return requested_ != done_ || stop_; });
      if (requested_ == done_) break;  // stopping with nothing left to sync
      // Commits that arrive while this sync runs are not in it: they wait for the next one.
      const std::uint64_t target = requested_;
      const bool checkpoint = checkpointDue_ || stop_;
      checkpointDue_ = false;
      const std::function<void()> beforeSync = beforeSync_;
      lock.unlock();
      if (beforeSync) beforeSync();
      const auto start = std::chrono::steady_clock::now();
      QString error = checkpoint ? Checkpoint() : QString();
      if (error.isEmpty()) error = SyncLog();
      const auto took = std::chrono::steady_clock::now() - start;
      lock.lock();
      if (!error.isEmpty()) {
        error_ = error;
        break;
      }
      ++figures_.syncs;
      figures_.last = std::chrono::duration_cast<std::chrono::nanoseconds>(took);
      done_ = target;
      synced_.notify_all();
    }
    synced_.notify_all();
  }

  sqlite3* db_;
  int log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable synced_;
  std::uint64_t requested_ = 0;
  std::uint64_t done_ = 0;
  bool checkpointDue_ = false;
  bool stop_ = false;
  std::function<void()> beforeSync_;
  QString error_;
  SyncFigures figures_;
  std::thread thread_;  // last, so that it starts with everything above in place
};

// ---- opening -------------------------------------------------------------------------------

JournalStore::JournalStore(const QString& folder, Durability durability, const QString& name)
    : folder_(QDir::cleanPath(folder)), name_(name), durability_(durability) {
  if (!QDir().mkpath(folder_)) {
    problem_ = QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder_));
    return;
  }
  KeepToOwner(folder_, kFolderMode);
  // The journal's files as an older version or a copy left them (its database, log, index, lock
  // and the files set aside).
  for (const QString& file : QDir(folder_).entryList({name_ + QLatin1Char('*')}, QDir::Files | QDir::Hidden))
    KeepToOwner(folder_ + QLatin1Char('/') + file, kFileMode);
  lock_ = std::make_unique<FolderLock>();
  QString why;
  switch (lock_->Take(folder_ + QLatin1Char('/') + name_ + QStringLiteral(".lock"), why)) {
    case FolderLock::Result::Held:
      break;
    case FolderLock::Result::InUse:
      lock_.reset();
      state_ = OpenState::InUse;
      problem_ = QStringLiteral("another copy of the program uses it");
      return;
    case FolderLock::Result::Failed:
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
    syncer_ = Syncer::Start(DatabasePath(), why);
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
    return IsUnusable(code) ? DbOutcome::Unusable : DbOutcome::Failed;
  };
  if (rc != SQLITE_OK) return failed(rc);
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);

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
                      "  value20 TEXT NOT NULL, value60 TEXT NOT NULL, comment TEXT NOT NULL);"
                      "PRAGMA user_version = 1;",
                      nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return failed(rc);
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
    Statement** statement;
    const char* sql;
  };
  const Prepared prepared[] = {
      {&begin_, "BEGIN IMMEDIATE"},
      {&commit_, "COMMIT"},
      {&rollback_, "ROLLBACK"},
      {&insert_,
       "INSERT INTO reading (position, date, time, mode20, mode60, value20, value60, comment)"
       " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"},
      {&update_,
       "UPDATE reading SET date = ?2, time = ?3, mode20 = ?4, mode60 = ?5, value20 = ?6, value60 = ?7,"
       " comment = ?8 WHERE position = ?1"},
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
    auto statement = std::make_unique<Statement>(db_, p.sql, rc);
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
    syncer_->Poke(logFrames_ >= kCheckpointFrames);
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

bool JournalStore::InsertRow(std::int64_t position, const RowTexts& texts) {
  const Use use(insert_->get());
  sqlite3_bind_int64(*use, 1, position);
  for (int i = 0; i < kTextsPerRow; ++i) BindText(*use, i + 2, texts[static_cast<std::size_t>(i)]);
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
    const RowTexts& texts = rowAt(i);
    for (int t = 0; t < kTextsPerRow; ++t) BindText(*use, t + 2, texts[static_cast<std::size_t>(t)]);
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

bool JournalStore::ReadLeftOver(std::vector<RowTexts>& rows) {
  rows.clear();
  if (!Usable()) return false;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_,
                              "SELECT date, time, mode20, mode60, value20, value60, comment FROM reading"
                              " WHERE position < ?1 ORDER BY position",
                              -1, &stmt, nullptr);
  if (rc != SQLITE_OK) return SqlFailed("read");
  sqlite3_bind_int64(stmt, 1, first_);
  rows.reserve(static_cast<std::size_t>(leftOver_));
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    RowTexts& texts = rows.emplace_back();
    for (int i = 0; i < kTextsPerRow; ++i) texts[static_cast<std::size_t>(i)] = ColumnText(stmt, i);
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

JournalStore::SyncFigures JournalStore::Syncs() const { return syncer_ ? syncer_->Figures() : SyncFigures{}; }

void JournalStore::SetBeforeSync(std::function<void()> hook) {
  if (syncer_) syncer_->SetBeforeSync(std::move(hook));
}

bool JournalStore::WaitSynced() { return syncer_ ? syncer_->WaitSynced() : Usable(); }

}  // namespace journal
