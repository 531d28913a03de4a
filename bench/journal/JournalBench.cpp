// What the journal adds to a tick that appends a reading, and what its sync costs away from the
// tick. Figures per row: median, 99th percentile and maximum, in microseconds.
//
// Usage: bench_journal [rows] [folder]   (default 2000 rows in a temporary folder beside the
// others; give a folder on the disk the journal will live on, e.g. under ~/.local/state)
//
// Rows are appended 10 ms apart, so that the sync thread runs between and during appends as it
// does while the program polls (a reading comes at most every 250 ms).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "i18n/Language.h"
#include "journal/JournalStore.h"
#include "journal/TableJournal.h"
#include "table/MeasurementModel.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPace = std::chrono::milliseconds(10);

table::MeasurementRow Reading(int i) {
  return {{"01.02.2024", "12:00:00", i % 3 == 0 ? "D" : "", "", QString::number(i % 100) + ",5", "33,1",
           "batch " + QString::number(i / 50)}};
}

struct Figures {
  double median = 0;
  double p99 = 0;
  double max = 0;
};

Figures Summarise(std::vector<double> us) {
  if (us.empty()) return {};
  std::sort(us.begin(), us.end());
  const auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<std::size_t>(q * us.size()))]; };
  return {at(0.5), at(0.99), us.back()};
}

void Print(const char* what, const Figures& f, const char* unit = "µs") {
  std::printf("%-52s %9.1f %9.1f %9.1f %s\n", what, f.median, f.p99, f.max, unit);
}

double Micro(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Appends `rows` readings to `model`, paced, timing each append with whatever follows the model.
std::vector<double> TimeAppends(table::MeasurementModel& model, int rows) {
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    const table::MeasurementRow row = Reading(i);
    const auto start = Clock::now();
    model.AppendRow(row);
    us.push_back(Micro(Clock::now() - start));
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(kPace);
  }
  return us;
}

// The same through the store alone, with the given durability.
std::vector<double> TimeStoreInserts(const QString& folder, journal::Durability durability, int rows) {
  journal::JournalStore store(folder, durability);
  std::vector<journal::RowTexts> table;
  table.reserve(static_cast<std::size_t>(rows));
  const journal::RowAt rowAt = [&](int i) -> const journal::RowTexts& { return table[static_cast<std::size_t>(i)]; };
  std::vector<double> us;
  for (int i = 0; i < rows && store.Usable(); ++i) {
    table.push_back(Reading(i).texts);
    const auto start = Clock::now();
    store.Insert(i, 1, rowAt);
    us.push_back(Micro(Clock::now() - start));
    std::this_thread::sleep_for(kPace);
  }
  store.EndSession();
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int rows = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  QTemporaryDir temporary(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench-journal-XXXXXX")
                                   : QDir::tempPath() + QStringLiteral("/bench-journal-XXXXXX"));
  if (!temporary.isValid()) {
    std::fprintf(stderr, "bench_journal: no folder %s\n", qPrintable(temporary.path()));
    return 1;
  }
  const auto folder = [&](const char* name) { return temporary.filePath(QString::fromLatin1(name)); };
  std::printf("journal in %s, %d rows appended %lld ms apart\n\n", qPrintable(temporary.path()), rows,
              static_cast<long long>(kPace.count()));
  std::printf("%-52s %9s %9s %9s\n", "per appended row", "median", "p99", "max");

  // The append as the tick makes it, without and with the journal following the table.
  table::MeasurementModel bare;
  const Figures without = Summarise(TimeAppends(bare, rows));
  Print("append, no journal", without);

  i18n::LanguageState language;
  table::MeasurementModel model;
  Figures with;
  journal::JournalStore::SyncFigures syncs;
  std::vector<double> syncTimes;
  {
    journal::TableJournal journal(model, language, nullptr, folder("program"));
    if (!journal.Active()) {
      std::fprintf(stderr, "bench_journal: %s\n", qPrintable(journal.Store().Problem()));
      return 1;
    }
    with = Summarise(TimeAppends(model, rows));
    syncs = journal.Store().Syncs();

    // The sync alone: one row, then the time the sync thread takes for it.
    for (int i = 0; i < std::min(rows, 300); ++i) {
      model.AppendRow(Reading(i));
      journal.Store().WaitSynced();
      syncTimes.push_back(Micro(journal.Store().Syncs().last));
    }

    // Operator actions on a long table: the row is found from the nearer end.
    for (int i = model.Count(); i < 100000; ++i) model.AppendRow(Reading(i));
    std::vector<double> comment;
    std::vector<double> clearLine;
    for (int i = 0; i < 50; ++i) {
      const int row = model.Count() / 2 - i;
      auto start = Clock::now();
      model.SetComment(row, QStringLiteral("changed"));
      comment.push_back(Micro(Clock::now() - start));
      start = Clock::now();
      model.RemoveRowAt(row);
      clearLine.push_back(Micro(Clock::now() - start));
    }
    const Figures longAppend = Summarise(TimeAppends(model, std::min(rows, 500)));
    const auto clearStart = Clock::now();
    const int cleared = model.Count();
    model.Clear();
    const double clearUs = Micro(Clock::now() - clearStart);
    Print("append, journal following the table", with);
    std::printf("%-52s %9.1f %9.1f\n", "  added by the journal", with.median - without.median, with.p99 - without.p99);
    Print("append at 100,000 rows, journal following", longAppend);
    Print("comment changed mid-table at 100,000 rows", Summarise(comment));
    Print("Clear Line mid-table at 100,000 rows", Summarise(clearLine));
    std::printf("%-52s %9.1f ms for %d rows\n", "Clear Data", clearUs / 1000.0, cleared);
  }

  std::printf("\nthe store alone\n");
  Print("insert, synced away from the caller (the program's)",
        Summarise(TimeStoreInserts(folder("away"), journal::Durability::SyncAway, rows)));
  Print("insert, synchronous=FULL (a sync in every commit)",
        Summarise(TimeStoreInserts(folder("full"), journal::Durability::SyncEachCommit, rows)));

  std::printf("\nthe sync thread (an fdatasync of the log; a checkpoint once the log passes 1000 pages)\n");
  Print("the sync of one row's commit", Summarise(syncTimes));
  std::printf("%-52s %9llu for %d rows\n", "syncs while appending paced", static_cast<unsigned long long>(syncs.syncs),
              rows);
  return 0;
}
