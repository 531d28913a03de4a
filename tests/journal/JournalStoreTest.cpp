#include <gtest/gtest.h>

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <condition_variable>
#include <memory>
#include <mutex>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "journal/JournalStore.h"
#include "tests/support/TestEnvironment.h"

namespace {

using journal::JournalStore;
using journal::OpenState;
using journal::RowTexts;
using Rows = std::vector<RowTexts>;

// Comments the table may hold and that must come back unchanged: blanks kept, a TAB, text beyond
// Latin-1, a lone surrogate, an embedded NUL, a long one.
QString AwkwardComment(int i) {
  switch (i % 7) {
    case 0:
      return QString();
    case 1:
      return QStringLiteral("  lead and trail  ");
    case 2:
      return QStringLiteral("tab\there");
    case 3:
      return QStringLiteral("Ω € ü ✓");
    case 4:
      return QString(QChar(0xD800)) + QStringLiteral("lone");
    case 5:
      return QString(QStringLiteral("nul|inside")).replace(QLatin1Char('|'), QChar(0));
    default:
      return QString(2000, QLatin1Char('x'));
  }
}

RowTexts Row(int i) {
  return {QStringLiteral("01.02.2024"),
          QStringLiteral("12:00:%1").arg(i, 2, 10, QLatin1Char('0')),
          i % 3 == 0 ? QStringLiteral("L") : QString(),
          QStringLiteral("C"),
          QString::number(i) + QStringLiteral(",5"),
          QStringLiteral("---"),
          AwkwardComment(i)};
}

// The texts of the rows left over.
template <typename Store>
bool ReadTexts(Store&& store, Rows& texts) {
  std::vector<journal::LeftOverRow> rows;
  const bool ok = store.ReadLeftOver(rows);
  texts.clear();
  for (journal::LeftOverRow& row : rows) texts.push_back(std::move(row.texts));
  return ok;
}

// A table and the journal that follows it, as the program keeps them, through runs that end
// abnormally ("Crash") and start again.
struct Session {
  explicit Session(const QString& journalFolder) : folder(journalFolder) { Start(); }

  void Start() {
    store.reset();
    store = std::make_unique<JournalStore>(folder);
    ASSERT_EQ(store->State(), OpenState::Open) << store->Problem().toStdString();
  }
  const journal::RowAt rowAt = [this](int i) -> const RowTexts& { return table[static_cast<std::size_t>(i)]; };

  QString folder;
  std::unique_ptr<JournalStore> store;
  Rows table;     // this run's table
  Rows leftOver;  // rows of earlier runs not yet answered for
  int nextRow = 0;
};

struct Op {
  enum Kind { Append, InsertAt, Remove, Comment, Clear, Crash, Adopt, Discard, EndSession } kind;
  int a = 0;
  int b = 1;
};

void Apply(Session& s, const Op& op) {
  Rows& t = s.table;
  switch (op.kind) {
    case Op::Append:
      for (int i = 0; i < op.a; ++i) {
        t.push_back(Row(s.nextRow++));
        ASSERT_TRUE(s.store->Insert(static_cast<int>(t.size()) - 1, 1, s.rowAt)) << s.store->Problem().toStdString();
      }
      break;
    case Op::InsertAt:
      t.insert(t.begin() + op.a, Row(s.nextRow++));
      ASSERT_TRUE(s.store->Insert(op.a, 1, s.rowAt));
      break;
    case Op::Remove:
      t.erase(t.begin() + op.a, t.begin() + op.a + op.b);
      ASSERT_TRUE(s.store->Remove(op.a, op.b));
      break;
    case Op::Comment:
      t[static_cast<std::size_t>(op.a)][6] = QStringLiteral("changed %1").arg(s.nextRow++) + AwkwardComment(op.b);
      ASSERT_TRUE(s.store->Update(op.a, 1, s.rowAt));
      break;
    case Op::Clear:
      t.clear();
      ASSERT_TRUE(s.store->Replace(0, s.rowAt));
      break;
    case Op::Crash: {
      // Gone without its normal end; the next start finds what it left, unanswered rows first.
      s.store.reset();
      s.leftOver.insert(s.leftOver.end(), t.begin(), t.end());
      t.clear();
      s.Start();
      ASSERT_EQ(s.store->LeftOverCount(), static_cast<int>(s.leftOver.size()));
      Rows read;
      ASSERT_TRUE(ReadTexts(*s.store, read));
      ASSERT_EQ(read.size(), s.leftOver.size());
      for (std::size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i], s.leftOver[i]) << "row " << i;
      break;
    }
    case Op::Adopt:
      t.insert(t.begin(), s.leftOver.begin(), s.leftOver.end());
      s.leftOver.clear();
      ASSERT_TRUE(s.store->AdoptLeftOver());
      break;
    case Op::Discard:
      s.leftOver.clear();
      ASSERT_TRUE(s.store->DiscardLeftOver());
      break;
    case Op::EndSession:
      s.store->EndSession();
      t.clear();
      s.Start();
      ASSERT_EQ(s.store->LeftOverCount(), static_cast<int>(s.leftOver.size()));
      break;
  }
}

TEST(JournalStore, EveryChangeOfTheTableIsWhatTheNextStartFinds) {
  struct Case {
    const char* name;
    std::vector<Op> ops;
  };
  const Case cases[] = {
      {"readings and comments", {{Op::Append, 9}, {Op::Comment, 1, 3}, {Op::Comment, 8, 4}, {Op::Comment, 1, 5}}},
      {"Clear Line at either end, in the middle, several at once",
       {{Op::Append, 10}, {Op::Remove, 0}, {Op::Remove, 8}, {Op::Remove, 3}, {Op::Remove, 1, 3}, {Op::Append, 1}}},
      {"Clear Data, then more readings", {{Op::Append, 3}, {Op::Clear}, {Op::Append, 2}, {Op::Comment, 0, 2}}},
      {"Clear Data last", {{Op::Append, 3}, {Op::Clear}}},
      {"rows that come back go ahead, journal on and survive a second crash",
       {{Op::Append, 3},
        {Op::Crash},
        {Op::Append, 2},
        {Op::Adopt},
        {Op::Comment, 0, 1},
        {Op::Comment, 4, 2},
        {Op::Remove, 3},
        {Op::Append, 1},
        {Op::Crash},
        {Op::Append, 1},
        {Op::Adopt},
        {Op::Remove, 0, 2}}},
      {"rows not taken back are gone, this run's stay",
       {{Op::Append, 3}, {Op::Crash}, {Op::Append, 1}, {Op::Discard}, {Op::Append, 1}, {Op::Comment, 0, 6}}},
      {"rows never answered for stay ahead of the next run's", {{Op::Append, 2}, {Op::Crash}, {Op::Append, 2}}},
      {"Clear Data while the question is open leaves the old rows",
       {{Op::Append, 2}, {Op::Crash}, {Op::Append, 2}, {Op::Clear}, {Op::Append, 1}}},
      {"rows inserted anywhere but the end", {{Op::Append, 3}, {Op::InsertAt, 1}, {Op::InsertAt, 0}, {Op::Remove, 2}}},
      {"a normal end leaves nothing of this run", {{Op::Append, 4}, {Op::Comment, 2, 1}, {Op::EndSession}}},
      {"a normal end before the question keeps the rows not answered for",
       {{Op::Append, 2}, {Op::Crash}, {Op::Append, 3}, {Op::EndSession}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    Session s(dir.filePath(QStringLiteral("state/korvanta")));
    for (const Op& op : c.ops) {
      Apply(s, op);
      if (testing::Test::HasFatalFailure()) return;
    }
    Apply(s, {Op::Crash});
  }
}

// A journal file in the folder before the store opens it.
void Prepare(const QString& folder, const std::function<void(const QString& db)>& make) {
  ASSERT_TRUE(QDir().mkpath(folder));
  make(folder + QStringLiteral("/journal.db"));
}

void Sql(const QString& db, const char* sql) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(db).constData(), &h), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(h, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
  sqlite3_close(h);
}

TEST(JournalStore, AFileItCannotUseIsKeptAsideAndAFreshJournalStarted) {
  const auto damaged = [](const QString& db) {
    {
      JournalStore store(QFileInfo(db).path());
      Rows rows;
      for (int i = 0; i < 300; ++i) rows.push_back(Row(i));
      ASSERT_TRUE(store.Insert(0, 300, [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; }));
    }
    QByteArray bytes = testing_support::ReadFileBytes(db);
    ASSERT_GT(bytes.size(), 5 * 4096);
    for (int i = 0; i < 2000; ++i) bytes[3 * 4096 + i] = static_cast<char>(0x5A);
    testing_support::WriteFileBytes(db, bytes);
  };
  struct Case {
    const char* name;
    std::function<void(const QString& db)> make;
  };
  const Case cases[] = {
      {"not a database", [](const QString& db) { testing_support::WriteFileBytes(db, QByteArray(9000, '\x17')); }},
      {"the database of another program",
       [](const QString& db) { Sql(db, "CREATE TABLE t (x); INSERT INTO t VALUES (1);"); }},
      {"a damaged journal", damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("korvanta"));
    Prepare(folder, c.make);
    if (testing::Test::HasFatalFailure()) return;
    const QByteArray before = testing_support::ReadFileBytes(folder + QStringLiteral("/journal.db"));

    JournalStore store(folder);
    ASSERT_EQ(store.State(), OpenState::Open) << store.Problem().toStdString();
    EXPECT_FALSE(store.SetAsideReason().isEmpty());
    EXPECT_EQ(QFileInfo(store.SetAsidePath()).path(), folder);
    EXPECT_EQ(testing_support::ReadFileBytes(store.SetAsidePath()), before);
    EXPECT_EQ(store.LeftOverCount(), 0);
    const Rows rows{Row(1)};
    EXPECT_TRUE(store.Insert(0, 1, [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; }));
  }
}

TEST(JournalStore, AJournalOfANewerVersionIsLeftAsItIsLikeOneInUse) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("korvanta"));
  const QString db = folder + QStringLiteral("/journal.db");
  // As the newer version leaves it when killed: its last changes still in the log.
  ASSERT_TRUE(QDir().mkpath(folder));
  sqlite3* newer = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(db).constData(), &newer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(newer,
                         "PRAGMA journal_mode = WAL; CREATE TABLE reading (x); PRAGMA user_version = 7;"
                         "INSERT INTO reading VALUES ('kept');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_db_config(newer, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_close(newer);
  const QByteArray database = testing_support::ReadFileBytes(db);
  const QByteArray log = testing_support::ReadFileBytes(db + QStringLiteral("-wal"));
  ASSERT_FALSE(log.isEmpty());

  const Rows rows{Row(1)};
  for (int start = 0; start < 2; ++start) {
    JournalStore store(folder);
    EXPECT_EQ(store.State(), OpenState::Newer);
    EXPECT_TRUE(store.Problem().contains(QStringLiteral("newer version"))) << store.Problem().toStdString();
    EXPECT_EQ(store.LeftOverCount(), 0);
    EXPECT_FALSE(store.Insert(0, 1, [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; }));
    store.EndSession();
  }
  EXPECT_EQ(testing_support::ReadFileBytes(db), database);
  EXPECT_EQ(testing_support::ReadFileBytes(db + QStringLiteral("-wal")), log);
  EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*unusable*")}, QDir::Files), QStringList());
}

TEST(JournalStore, RowsComeBackWithTheirIdentityAndAFirstVersionJournalIsTakenOn) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("korvanta"));
  // A journal as the first version left it, killed with one row in it.
  ASSERT_TRUE(QDir().mkpath(folder));
  sqlite3* old = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(folder + QStringLiteral("/journal.db")).constData(), &old), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(old,
                         "PRAGMA encoding = 'UTF-16'; PRAGMA journal_mode = WAL;"
                         "CREATE TABLE reading (position INTEGER PRIMARY KEY, date TEXT NOT NULL, time TEXT NOT NULL,"
                         " mode20 TEXT NOT NULL, mode60 TEXT NOT NULL, value20 TEXT NOT NULL, value60 TEXT NOT NULL,"
                         " comment TEXT NOT NULL); PRAGMA user_version = 1;"
                         "INSERT INTO reading VALUES (0, '01.02.2024', '12:00:00', '', 'C', '1,5', '---', 'old');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(old);

  const RowTexts taken = Row(2);
  const journal::RowIdentity identity{QUuid::createUuid(), 1'765'000'000'123, -18000};
  {
    JournalStore store(folder);
    ASSERT_EQ(store.State(), OpenState::Open) << store.Problem().toStdString();
    std::vector<journal::LeftOverRow> left;
    ASSERT_TRUE(store.ReadLeftOver(left));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].texts[6], QStringLiteral("old"));
    EXPECT_TRUE(left[0].identity.uuid.isNull());
    ASSERT_TRUE(store.AdoptLeftOver());
    // A reading appended, its comment changed: killed again.
    ASSERT_TRUE(store.Insert(1, 1, [&](int) { return journal::RowRef{taken, identity}; }));
    RowTexts edited = taken;
    edited[6] = QStringLiteral("edited");
    ASSERT_TRUE(store.Update(1, 1, [&](int) { return journal::RowRef{edited, identity}; }));
  }
  JournalStore next(folder);
  std::vector<journal::LeftOverRow> left;
  ASSERT_TRUE(next.ReadLeftOver(left));
  ASSERT_EQ(left.size(), 2u);
  EXPECT_TRUE(left[0].identity.uuid.isNull());
  EXPECT_EQ(left[1].texts[6], QStringLiteral("edited"));
  EXPECT_EQ(left[1].identity.uuid, identity.uuid);
  EXPECT_EQ(left[1].identity.takenMsecs, identity.takenMsecs);
  EXPECT_EQ(left[1].identity.utcOffsetSeconds, identity.utcOffsetSeconds);
}

#ifdef Q_OS_UNIX
int Mode(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
  return static_cast<int>(info.st_mode & 07777);
}

TEST(JournalStore, ItsFolderAndFilesAreTheUsersAloneWhateverTheUmask) {
  const mode_t previous = ::umask(022);
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("korvanta"));
  const QString db = folder + QStringLiteral("/journal.db");
  // An older version's folder and files, readable by anyone: a database set aside, and one that
  // cannot be used and is set aside now.
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
  testing_support::WriteFileBytes(folder + QStringLiteral("/journal-unusable-20240101-120000.db"), "old");
  testing_support::WriteFileBytes(db, QByteArray(5000, 'z'));
  {
    JournalStore store(folder);
    ASSERT_EQ(store.State(), OpenState::Open);
    const Rows rows{Row(1)};
    ASSERT_TRUE(store.Insert(0, 1, [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; }));
    EXPECT_EQ(Mode(folder), 0700);
    const QStringList files = QDir(folder).entryList(QDir::Files);
    for (const char* name : {"journal.db", "journal.db-wal", "journal.db-shm", "journal.lock"}) {
      EXPECT_TRUE(files.contains(QLatin1String(name))) << name;
    }
    ASSERT_EQ(files.filter(QStringLiteral("unusable")).size(), 2) << files.join(' ').toStdString();
    for (const QString& file : files) EXPECT_EQ(Mode(folder + '/' + file), 0600) << file.toStdString();
  }
  // A fresh journal in a fresh folder.
  const QString fresh = dir.filePath(QStringLiteral("fresh/korvanta"));
  {
    JournalStore store(fresh);
    ASSERT_EQ(store.State(), OpenState::Open);
    EXPECT_EQ(Mode(fresh), 0700);
    for (const QString& file : QDir(fresh).entryList(QDir::Files))
      EXPECT_EQ(Mode(fresh + '/' + file), 0600) << file.toStdString();
  }
  ::umask(previous);
}
#endif

TEST(JournalStore, JournalsOfDifferentNamesShareTheFolderAndNothingElse) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("korvanta"));
  const Rows real{Row(1), Row(2)};
  const Rows simulated{Row(3)};
  {
    // Both at once, each with its own lock; both end abnormally.
    JournalStore a(folder);
    JournalStore b(folder, journal::Durability::SyncAway, QStringLiteral("journal-simulated"));
    ASSERT_EQ(a.State(), OpenState::Open);
    ASSERT_EQ(b.State(), OpenState::Open);
    EXPECT_NE(a.DatabasePath(), b.DatabasePath());
    ASSERT_TRUE(a.Insert(0, 2, [&](int i) -> const RowTexts& { return real[static_cast<std::size_t>(i)]; }));
    ASSERT_TRUE(b.Insert(0, 1, [&](int i) -> const RowTexts& { return simulated[static_cast<std::size_t>(i)]; }));
  }
  Rows read;
  ASSERT_TRUE(ReadTexts(JournalStore(folder), read));
  EXPECT_EQ(read, real);
  ASSERT_TRUE(
      ReadTexts(JournalStore(folder, journal::Durability::SyncAway, QStringLiteral("journal-simulated")), read));
  EXPECT_EQ(read, simulated);
}

TEST(JournalStore, AnAnswerToTheRestoreQuestionHoldsWhenTheJournalHasFailed) {
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("korvanta"));
    Rows table{Row(1), Row(2)};
    const journal::RowAt rowAt = [&](int i) -> const RowTexts& { return table[static_cast<std::size_t>(i)]; };
    ASSERT_TRUE(JournalStore(folder).Insert(0, 2, rowAt));
    {
      JournalStore store(folder);
      ASSERT_EQ(store.LeftOverCount(), 2);
      // The disk fills up while the question is open.
      table.clear();
      store.SetPageLimit(1);
      for (int i = 0; i < 1000 && store.Usable(); ++i) {
        table.push_back(Row(i));
        store.Insert(i, 1, rowAt);
      }
      ASSERT_FALSE(store.Usable());
      EXPECT_FALSE(yes ? store.AdoptLeftOver() : store.DiscardLeftOver());
      EXPECT_EQ(store.LeftOverCount(), 0);
      // Refused rows go at once, with the journal's files; taken ones with this run's normal end.
      EXPECT_EQ(QFileInfo::exists(store.DatabasePath()), yes);
      store.EndSession();
    }
    EXPECT_EQ(JournalStore(folder).LeftOverCount(), 0);
  }
}

TEST(JournalStore, ACommitMadeWhileTheLogIsBeingSyncedGetsASyncOfItsOwn) {
  QTemporaryDir dir;
  JournalStore store(dir.filePath(QStringLiteral("korvanta")));
  ASSERT_EQ(store.State(), OpenState::Open);
  Rows table;
  const journal::RowAt rowAt = [&](int i) -> const RowTexts& { return table[static_cast<std::size_t>(i)]; };

  // The first sync is held until the second commit is made.
  std::mutex mutex;
  std::condition_variable changed;
  bool holding = false;
  bool released = false;
  store.SetBeforeSync([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (released) return;
    holding = true;
    changed.notify_all();
    changed.wait(lock, [&] { return released; });
  });
  table.push_back(Row(0));
  ASSERT_TRUE(store.Insert(0, 1, rowAt));
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return holding; });
  }
  table.push_back(Row(1));
  ASSERT_TRUE(store.Insert(1, 1, rowAt));
  {
    const std::lock_guard<std::mutex> lock(mutex);
    released = true;
  }
  changed.notify_all();
  ASSERT_TRUE(store.WaitSynced());
  // The held sync began before the second commit and cannot have covered it.
  EXPECT_EQ(store.Syncs().syncs, 2u);
  store.SetBeforeSync({});
}

TEST(JournalStore, WhereItCannotWriteItSaysWhyAndEveryChangeFailsQuietly) {
  QTemporaryDir dir;
  const Rows rows{Row(1), Row(2)};
  const journal::RowAt rowAt = [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; };

  // A folder that cannot exist (a file stands where it would go; this holds for root too).
  testing_support::WriteFileBytes(dir.filePath(QStringLiteral("state")), "a file");
  JournalStore blocked(dir.filePath(QStringLiteral("state/korvanta")));
  EXPECT_EQ(blocked.State(), OpenState::Unwritable);
  EXPECT_FALSE(blocked.Problem().isEmpty());
  EXPECT_FALSE(blocked.Insert(0, 2, rowAt));
  blocked.EndSession();

  // A full database: the change that does not fit is rolled back, and the journal stops.
  const QString folder = dir.filePath(QStringLiteral("full"));
  Rows written;
  {
    JournalStore store(folder);
    ASSERT_EQ(store.State(), OpenState::Open);
    store.SetPageLimit(1);
    Rows table;
    bool failed = false;
    for (int i = 0; i < 1000 && !failed; ++i) {
      table.push_back(Row(i));
      failed = !store.Insert(i, 1, [&](int r) -> const RowTexts& { return table[static_cast<std::size_t>(r)]; });
      if (!failed) written.push_back(table.back());
    }
    ASSERT_TRUE(failed);
    EXPECT_TRUE(store.Problem().contains(QStringLiteral("full"))) << store.Problem().toStdString();
    EXPECT_FALSE(store.Usable());
    EXPECT_FALSE(store.Remove(0, 1));
  }
  JournalStore next(folder);
  Rows read;
  ASSERT_TRUE(ReadTexts(next, read));
  EXPECT_EQ(read, written);
}

TEST(JournalStore, ASecondCopyLeavesTheFirstOnesJournalAlone) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("korvanta"));
  const Rows rows{Row(1), Row(2)};
  const journal::RowAt rowAt = [&](int i) -> const RowTexts& { return rows[static_cast<std::size_t>(i)]; };
  auto first = std::make_unique<JournalStore>(folder);
  ASSERT_EQ(first->State(), OpenState::Open);
  ASSERT_TRUE(first->Insert(0, 1, rowAt));
  {
    JournalStore second(folder);
    EXPECT_EQ(second.State(), OpenState::InUse);
    EXPECT_EQ(second.LeftOverCount(), 0);
    EXPECT_FALSE(second.Insert(0, 2, rowAt));
    second.EndSession();  // its normal end must not empty the first one's journal
  }
  ASSERT_TRUE(first->Insert(1, 1, rowAt));
  first.reset();  // ends abnormally; its lock goes with it

  JournalStore next(folder);
  ASSERT_EQ(next.State(), OpenState::Open);
  Rows read;
  ASSERT_TRUE(ReadTexts(next, read));
  EXPECT_EQ(read, rows);
}

TEST(JournalStore, ItsLogIsSyncedAfterEachCommitAndFoldedIntoTheDatabaseFileOnceItHasGrown) {
  QTemporaryDir dir;
  const QString folder = dir.filePath(QStringLiteral("korvanta"));
  JournalStore store(folder);
  ASSERT_EQ(store.State(), OpenState::Open);
  Rows table;
  const journal::RowAt rowAt = [&](int i) -> const RowTexts& { return table[static_cast<std::size_t>(i)]; };
  table.push_back(Row(0));
  ASSERT_TRUE(store.Insert(0, 1, rowAt));
  ASSERT_TRUE(store.WaitSynced());
  EXPECT_GE(store.Syncs().syncs, 1u);

  // A log that only grew would fill the disk in a long session: past its size limit it is copied
  // into the database file, which then holds the rows without it.
  for (int i = 1; i < 1300; ++i) {
    table.push_back(Row(i));
    ASSERT_TRUE(store.Insert(i, 1, rowAt));
  }
  ASSERT_TRUE(store.WaitSynced());
  const QString copy = dir.filePath(QStringLiteral("copy/korvanta"));
  ASSERT_TRUE(QDir().mkpath(copy));
  ASSERT_TRUE(QFile::copy(store.DatabasePath(), copy + QStringLiteral("/journal.db")));
  JournalStore fromDatabaseFile(copy);
  Rows read;
  ASSERT_TRUE(ReadTexts(fromDatabaseFile, read));
  ASSERT_GE(read.size(), 500u);
  EXPECT_TRUE(std::equal(read.begin(), read.end(), table.begin()));
}

}  // namespace
