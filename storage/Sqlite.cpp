#include "storage/Sqlite.h"

#include <sqlite3.h>
#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

namespace storage {

QString FromUtf8(const char* text) { return QString::fromUtf8(text != nullptr ? text : ""); }

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

int Query(sqlite3* db, const char* sql, QString* firstValue) {
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

void BindText(sqlite3_stmt* stmt, int index, const QString& text) {
  // constData() is never null, so an empty text is stored as '' and not as NULL.
  sqlite3_bind_text16(stmt, index, text.constData(), static_cast<int>(text.size() * 2), SQLITE_STATIC);
}

void BindOptional(sqlite3_stmt* stmt, int index, std::optional<std::int64_t> value) {
  if (value) {
    sqlite3_bind_int64(stmt, index, *value);
  } else {
    sqlite3_bind_null(stmt, index);
  }
}

QString ColumnText(sqlite3_stmt* stmt, int column) {
  const void* data = sqlite3_column_text16(stmt, column);
  const int bytes = sqlite3_column_bytes16(stmt, column);
  if (data == nullptr) return QString();
  return QString(static_cast<const QChar*>(data), bytes / 2);
}

std::optional<std::int64_t> ColumnOptional(sqlite3_stmt* stmt, int column) {
  if (sqlite3_column_type(stmt, column) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int64(stmt, column);
}

Statement::Statement(sqlite3* db, const char* sql, int& rc) {
  rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Use::~Use() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

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

// ---- the folder lock -----------------------------------------------------------------------

FolderLock::Result FolderLock::Take(const QString& path, QString& problem, int mode) {
#ifdef Q_OS_UNIX
  // flock, because the kernel drops it when the process dies, however it dies; close-on-exec, so
  // that a program the export starts does not inherit it and outlive us holding it.
  const QByteArray name = QFile::encodeName(path);
  fd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode));
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
  Q_UNUSED(mode);
  file_ = std::make_unique<QLockFile>(path);
  file_->setStaleLockTime(0);
  if (file_->tryLock(0)) return Result::Held;
  const bool inUse = file_->error() == QLockFile::LockFailedError;
  file_.reset();
  problem = QStringLiteral("the lock file cannot be created");
  return inUse ? Result::InUse : Result::Failed;
#endif
}

FolderLock::~FolderLock() {
#ifdef Q_OS_UNIX
  if (fd_ >= 0) ::close(fd_);
#endif
}

// ---- the sync thread -----------------------------------------------------------------------

std::unique_ptr<LogSyncer> LogSyncer::Start(const QString& path, QString& error) {
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
  // The log of a database in WAL mode exists while a connection has it open, and keeps its inode
  // until the last connection closes.
  log = ::open(QFile::encodeName(path + QStringLiteral("-wal")).constData(), O_RDONLY | O_CLOEXEC);
  if (log < 0) {
    error = QStringLiteral("the log cannot be opened: ") + QString::fromLocal8Bit(std::strerror(errno));
    sqlite3_close(db);
    return nullptr;
  }
#endif
  return std::unique_ptr<LogSyncer>(new LogSyncer(db, log));
}

LogSyncer::LogSyncer(sqlite3* db, int log) : db_(db), log_(log), thread_([this] { Run(); }) {}

LogSyncer::~LogSyncer() {
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

void LogSyncer::Poke(bool checkpoint) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++requested_;
    checkpointDue_ = checkpointDue_ || checkpoint;
  }
  wake_.notify_one();
}

QString LogSyncer::Error() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

LogSyncer::Figures LogSyncer::SyncFigures() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return figures_;
}

void LogSyncer::SetBeforeSync(std::function<void()> hook) {
  const std::lock_guard<std::mutex> lock(mutex_);
  beforeSync_ = std::move(hook);
}

bool LogSyncer::WaitSynced() {
  std::unique_lock<std::mutex> lock(mutex_);
  const std::uint64_t target = requested_;
  synced_.wait(lock, [&] { return done_ >= target || !error_.isEmpty(); });
  return error_.isEmpty();
}

// The commits are in the log: one fdatasync of it makes them survive a power cut. SQLite's locks
// are not involved, so the caller's commits never wait for it.
QString LogSyncer::SyncLog() {
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
QString LogSyncer::Checkpoint() {
  int logFrames = 0;
  int copied = 0;
  const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &copied);
  if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) return QString();  // again with the next commit
  if (rc != SQLITE_OK) return FromUtf8(sqlite3_errmsg(db_));
  if (logFrames < 0) return QStringLiteral("the database is not in WAL mode");
  return QString();
}

void LogSyncer::Run() {
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

}  // namespace storage
