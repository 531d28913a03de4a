// The journal of the measurement table: the table's rows kept in an SQLite database beside the
// program's other state, changed in one transaction per change of the table, so that the rows of a
// session that ended abnormally (a crash, a kill, a power cut) can be brought back at the next
// start. It knows rows only as seven texts, their identity and their index in the table; the table
// itself stays the one place that holds them.
//
// The database (user_version 2): one table `reading` with one row per table row, `position`
// (ascending in table order, with gaps), the seven texts exactly as the table holds them, in
// UTF-16 so that any text comes back unchanged, and the reading's identity (`uuid`, '' for none;
// `taken_ms`, `utc_offset_s`). Version 1 had no identity columns: such a journal gets them, empty,
// when it is opened. A normal end of the program empties it; whatever
// it holds at the next start are the rows of a session that did not end normally ("left over").
// Rows this run journals always get positions above the left-over ones.
#pragma once

#include <QString>
#include <QUuid>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "storage/Sqlite.h"

struct sqlite3;
struct sqlite3_stmt;

namespace journal {

inline constexpr int kTextsPerRow = 7;
// A row as the table holds it: date, time, mode letters 20° and 60°, values 20° and 60°, comment.
using RowTexts = std::array<QString, kTextsPerRow>;
// The identity of a reading, given when the polling cycle took it: its UUID (null for the test
// button's rows), the instant and its UTC offset. A row brought back keeps it, so that the lab
// record knows the reading again and never records it twice.
struct RowIdentity {
  QUuid uuid;
  std::int64_t takenMsecs = 0;
  std::int32_t utcOffsetSeconds = 0;
};
// Row `index` of the table as it stands when the call is made.
struct RowRef {
  // A row of texts alone has no identity.
  RowRef(const RowTexts& rowTexts, RowIdentity rowIdentity = {})  // NOLINT(google-explicit-constructor)
      : texts(rowTexts), identity(rowIdentity) {}
  const RowTexts& texts;
  RowIdentity identity;
};
using RowAt = std::function<RowRef(int index)>;
struct LeftOverRow {
  RowTexts texts;
  RowIdentity identity;
};

// Where the journal lives: $XDG_STATE_HOME/korvanta, or ~/.local/state/korvanta when that is not
// set to an absolute path.
QString DefaultFolder();
// The journal's name: its files are <name>.db (with SQLite's -wal and -shm beside it), <name>.lock
// and, for a database that could not be used, <name>-unusable-<date>.db. Journals of different
// names share a folder and nothing else: each has its own lock, so one program may run on each.
inline constexpr const char* kDefaultName = "journal";

enum class OpenState {
  Open,        // journaling
  InUse,       // another copy of the program holds the journal; this one must not touch it
  Newer,       // a newer version of the program wrote it: left as it is, for that version to restore
  Unwritable,  // the folder or the database cannot be created or written
};

// How a commit reaches the disk.
enum class Durability {
  // The commit is written to the write-ahead log in the calling thread without waiting for the
  // disk; a thread of the journal's own syncs it within moments. The program's choice.
  SyncAway,
  // SQLite syncs the log in every commit (synchronous=FULL). For comparison in the benchmark.
  SyncEachCommit,
};

class JournalStore {
 public:
  // 2: each row's identity beside its texts; a journal of version 1 is read and taken on.
  static constexpr int kSchemaVersion = 2;

  // Opens the journal `name` in `folder` (created when missing) and holds it against other copies
  // of the program until destroyed. A database that cannot be used is renamed aside and replaced by
  // a fresh one; one that a newer version of the program wrote is left alone. The folder and the
  // files are the user's own (0700 and 0600, whatever the umask; wider rights found are narrowed),
  // since the readings and comments are nobody else's business.
  explicit JournalStore(const QString& folder, Durability durability = Durability::SyncAway,
                        const QString& name = QLatin1String(kDefaultName));
  // Closes the journal and leaves its rows in place (see EndSession).
  ~JournalStore();
  JournalStore(const JournalStore&) = delete;
  JournalStore& operator=(const JournalStore&) = delete;

  OpenState State() const { return state_; }
  // Open and no change has failed since.
  bool Usable() const { return state_ == OpenState::Open && !failed_; }
  QString Folder() const { return folder_; }
  QString DatabasePath() const;
  // Why the journal is not open, or why the change that failed failed.
  QString Problem() const { return problem_; }
  // When a database found at start could not be used: the name it was kept under, and why.
  QString SetAsidePath() const { return setAsidePath_; }
  QString SetAsideReason() const { return setAsideReason_; }

  // Rows left over from a session that did not end normally, in their order.
  int LeftOverCount() const { return leftOver_; }
  bool ReadLeftOver(std::vector<LeftOverRow>& rows);
  // The operator's answer to the restore question. It holds whatever state the journal is in, so
  // that rows once taken back or refused are never offered again:
  // The left-over rows now stand at the front of the table, ahead of this run's rows. Writes
  // nothing: they are in the journal already, in that order; after a failed change they are this
  // run's rows all the same, and its normal end removes them. False when the journal has failed.
  bool AdoptLeftOver();
  // Deletes the left-over rows. Where that cannot be written (or the journal has failed already)
  // the journal's files are removed instead, and the journal is given up; false then.
  bool DiscardLeftOver();

  // Changes of the table, by row index. Each is one transaction, committed before it returns. A
  // failed change leaves the journal as the last good one left it, and every later change fails
  // at once.
  bool Insert(int at, int count, const RowAt& rowAt);
  bool Remove(int first, int count);
  bool Update(int first, int count, const RowAt& rowAt);
  // The table holds `count` rows that may have nothing in common with the ones before.
  bool Replace(int count, const RowAt& rowAt);

  // The program ends normally: the journal is emptied (its files removed if even that fails),
  // synced and closed. Without this the rows stay for the next start.
  void EndSession();

  // A ceiling on the database's size in pages; a change that needs more fails as on a full disk.
  void SetPageLimit(int pages);

  // The syncs away from the caller's thread, for the benchmark: how many ran and how long the
  // last one took; WaitSynced blocks until everything committed so far is on the disk.
  using SyncFigures = storage::LogSyncer::Figures;
  SyncFigures Syncs() const;
  bool WaitSynced();
  // For tests: runs in the sync thread before each sync of the log, so that a sync can be held
  // while the caller commits on.
  void SetBeforeSync(std::function<void()> hook);

 private:
  enum class DbOutcome { Ready, Unusable, Newer, Failed };
  DbOutcome OpenDatabase(QString& reason);
  void CloseDatabase();
  bool SetAside(const QString& reason);
  void RemoveFiles();

  bool Fail(const QString& what);
  bool SqlFailed(const char* what);
  bool Begin();
  bool Commit();
  void Rollback();
  bool LocatePosition(int index, std::int64_t& position);
  bool InsertRow(std::int64_t position, const RowRef& row);
  bool WriteAll(int count, const RowAt& rowAt);

  QString folder_;
  QString name_;
  Durability durability_;
  OpenState state_ = OpenState::Unwritable;
  bool failed_ = false;
  QString problem_;
  QString setAsidePath_;
  QString setAsideReason_;

  std::unique_ptr<storage::FolderLock> lock_;
  sqlite3* db_ = nullptr;
  std::vector<std::unique_ptr<storage::Statement>> statements_;
  storage::Statement* begin_ = nullptr;
  storage::Statement* commit_ = nullptr;
  storage::Statement* rollback_ = nullptr;
  storage::Statement* insert_ = nullptr;
  storage::Statement* update_ = nullptr;
  storage::Statement* positionFromFront_ = nullptr;
  storage::Statement* positionFromBack_ = nullptr;
  storage::Statement* removeRun_ = nullptr;
  storage::Statement* removeFrom_ = nullptr;
  storage::Statement* removeBelow_ = nullptr;
  std::unique_ptr<storage::LogSyncer> syncer_;

  // Left-over rows have positions below first_; this run's rows have first_ and above.
  int leftOver_ = 0;
  std::int64_t leftOverFirst_ = 0;
  std::int64_t first_ = 0;
  std::int64_t next_ = 0;  // the position of the next appended row
  int count_ = 0;          // this run's rows, as the table holds them
  int logFrames_ = 0;      // pages in the write-ahead log after the last commit
};

}  // namespace journal
