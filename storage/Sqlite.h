// What the program's SQLite stores share: the thread that syncs a write-ahead log away from the
// caller, the folder lock, and prepared statements with UTF-16 texts.
//
// How a commit reaches the disk: a store runs in WAL mode with synchronous=NORMAL, so a commit
// appends its pages to the log with write() and returns without waiting for the disk. From that
// moment the change survives a crash or a kill of the program: it is in the kernel's page cache,
// and the next open replays the log. To survive a power cut it must be synced as well: the store's
// LogSyncer does that after each commit, away from the caller, with an fdatasync of the log that
// involves none of SQLite's locks, so the caller's next commit never waits for it. Once the log has
// grown past kCheckpointFrames pages the same thread folds it into the database file (a passive
// checkpoint, which syncs log and database); the caller's own connection makes no checkpoints.
//
// A kill at any point leaves the store as its last commit or the one before left it: a commit
// whose log frames were only partly written has no valid commit frame, and the next open ignores
// it. A power cut loses at most the commits since the last sync, i.e. those of the last moments.
#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#ifndef Q_OS_UNIX
#include <QLockFile>
#endif

struct sqlite3;
struct sqlite3_stmt;

namespace storage {

// A lock SQLite takes inside this process (the sync thread's checkpoint) is held for moments.
inline constexpr int kBusyTimeoutMs = 2000;
// The log is folded into the database file once it holds this many pages (SQLite's own default).
inline constexpr int kCheckpointFrames = 1000;

QString FromUtf8(const char* text);

// Errors that say the file is not a database the program can use, as opposed to a disk or a
// folder that does not let it write.
bool IsUnusable(int rc);

// Runs `sql` and gives the first column of its first row as text.
int Query(sqlite3* db, const char* sql, QString* firstValue = nullptr);

// A text bound as UTF-16; an empty text is stored as '' and not as NULL. The text must outlive
// the statement's use.
void BindText(sqlite3_stmt* stmt, int index, const QString& text);
// A number, or NULL without one.
void BindOptional(sqlite3_stmt* stmt, int index, std::optional<std::int64_t> value);
QString ColumnText(sqlite3_stmt* stmt, int column);
std::optional<std::int64_t> ColumnOptional(sqlite3_stmt* stmt, int column);

// A prepared statement that lives as long as its store's connection.
class Statement {
 public:
  // `rc` receives SQLite's result of preparing it.
  Statement(sqlite3* db, const char* sql, int& rc);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// One use of a prepared statement: reset when the use ends, so that no read transaction stays
// open behind it (an open one would hold back the sync thread's checkpoint).
class Use {
 public:
  explicit Use(sqlite3_stmt* stmt) : stmt_(stmt) {}
  explicit Use(const Statement* statement) : stmt_(statement->get()) {}
  ~Use();
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  sqlite3_stmt* operator*() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_;
};

// Gives `path` (a file or folder, never a symbolic link) the rights `mode` (0600, 0700) when it
// has others: a store's files are the user's alone, whatever the umask or an older version left.
void KeepToOwner(const QString& path, int mode);

// Keeps a second copy of the program away from a store's folder while held.
class FolderLock {
 public:
  enum class Result { Held, InUse, Failed };
  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // Takes the lock on the file `path` (created with `mode` when missing); `problem` says why not.
  Result Take(const QString& path, QString& problem, int mode = 0600);

 private:
#ifdef Q_OS_UNIX
  int fd_ = -1;
#else
  std::unique_ptr<QLockFile> file_;
#endif
};

// The thread that syncs a database's write-ahead log after each commit, away from the caller.
class LogSyncer {
 public:
  struct Figures {
    std::uint64_t syncs = 0;
    std::chrono::nanoseconds last{0};
  };

  // Opens a connection of its own to the database at `path`, which must be in WAL mode with its
  // log present (another connection has it open).
  static std::unique_ptr<LogSyncer> Start(const QString& path, QString& error);
  // Syncs what is left, and stops.
  ~LogSyncer();
  LogSyncer(const LogSyncer&) = delete;
  LogSyncer& operator=(const LogSyncer&) = delete;

  // Something was committed: sync it; fold the log into the database file too when it has grown.
  void Poke(bool checkpoint);
  // Why a sync failed; empty while none did.
  QString Error();
  Figures SyncFigures();
  // Blocks until everything committed before the call is on the disk.
  bool WaitSynced();
  // For tests: runs in the sync thread before each sync of the log, so that a sync can be held
  // while the caller commits on.
  void SetBeforeSync(std::function<void()> hook);

 private:
  LogSyncer(sqlite3* db, int log);
  QString SyncLog();
  QString Checkpoint();
  void Run();

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
  Figures figures_;
  std::thread thread_;  // last, so that it starts with everything above in place
};

}  // namespace storage
