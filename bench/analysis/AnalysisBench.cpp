// Figures for the statistics and the trend at 1,000, 10,000 and 100,000 rows: what an appended
// or deleted row and Clear Data cost, against the table's own cost for the same; counting chosen
// rows afresh; laying out and painting the trend.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>

#include "analysis/ReadingSeries.h"
#include "analysis/windows/StatisticsWindow.h"
#include "analysis/windows/TrendPainting.h"
#include "analysis/windows/TrendWindow.h"
#include "i18n/Language.h"
#include "table/MeasurementModel.h"

namespace {

table::MeasurementRow Reading(int i) {
  const QString v60 = QString::number(50 + (i * 37 % 400) / 10.0, 'f', 1);
  const QString v20 = i % 50 == 7 ? QStringLiteral("---") : QString::number(20 + (i * 17 % 300) / 10.0, 'f', 1);
  return {{"01.02.2024", "12:00:00", i % 3 == 0 ? "D" : "", i % 11 == 0 ? "L" : "", QString(v20).replace('.', ','), v60,
           "batch " + QString::number(i / 50)}};
}

constexpr analysis::TableColumns kColumns{table::ColMode20, table::ColMode60, table::ColValue20, table::ColValue60};

// What is attached to the table: nothing (the table's own cost, for comparison), the numbers
// and the statistics of all rows (as from the program's start), or also both windows open.
enum Attached : int { kTableAlone = 0, kNumbers = 1, kWindows = 2 };

// The table with `rows` readings, the last one selected as after a reading. The time from the
// table's change signal to the end of the last handler attached here is summed up: the update's
// own cost, without the table's.
struct Session {
  Session(int rows, int attached) {
    selection.setModel(&model);
    Bracket([this] { clock.start(); });
    if (attached >= kNumbers) series = std::make_unique<analysis::ReadingSeries>(model, kColumns);
    for (int i = 0; i < rows; ++i) model.AppendRow(Reading(i));
    selection.setCurrentIndex(model.index(rows - 1, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (attached >= kWindows) {
      statistics = std::make_unique<analysis::StatisticsWindow>(*series, &selection, language);
      trend = std::make_unique<analysis::TrendWindow>(*series, language);
      statistics->show();
      trend->show();
    }
    Bracket([this] { updateNs += clock.nsecsElapsed(); });
    QApplication::processEvents();
    updateNs = 0;
  }
  template <typename F>
  void Bracket(F f) {
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, f);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, f);
    QObject::connect(&model, &QAbstractItemModel::modelReset, f);
  }
  // Reports the update's own cost per iteration.
  void Report(benchmark::State& s) const {
    s.counters["update_us"] = benchmark::Counter(static_cast<double>(updateNs) / 1000.0 / s.iterations());
  }

  table::MeasurementModel model;
  std::unique_ptr<analysis::ReadingSeries> series;
  QItemSelectionModel selection;
  i18n::LanguageState language;
  std::unique_ptr<analysis::StatisticsWindow> statistics;
  std::unique_ptr<analysis::TrendWindow> trend;
  QElapsedTimer clock;
  qint64 updateNs = 0;
};

const std::vector<std::vector<int64_t>> kSizesAndAttached = {{1000, 10000, 100000}, {kTableAlone, kNumbers, kWindows}};

// A reading appended: with the numbers, the statistics of all rows updated; with the windows,
// the statistics window refreshed and the trend's repaint requested (the repaint itself runs
// later, in the event loop, and is measured below). The row goes again outside the timing, so
// that the size stays put.
void BM_Append(benchmark::State& s) {
  Session session(static_cast<int>(s.range(0)), static_cast<int>(s.range(1)));
  int i = 0;
  for (auto _ : s) {
    session.model.AppendRow(Reading(i++));
    s.PauseTiming();
    const qint64 kept = session.updateNs;
    session.model.RemoveRowAt(session.model.Count() - 1);
    QApplication::processEvents();
    session.updateNs = kept;
    s.ResumeTiming();
  }
  session.Report(s);
}
BENCHMARK(BM_Append)
    ->ArgsProduct(kSizesAndAttached)
    ->ArgNames({"rows", "attached"})
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

// A row in the middle deleted (Clear Line).
void BM_Delete(benchmark::State& s) {
  Session session(static_cast<int>(s.range(0)), static_cast<int>(s.range(1)));
  int i = 0;
  for (auto _ : s) {
    session.model.RemoveRowAt(session.model.Count() / 2);
    s.PauseTiming();
    const qint64 kept = session.updateNs;
    session.model.AppendRow(Reading(i++));
    QApplication::processEvents();
    session.updateNs = kept;
    s.ResumeTiming();
  }
  session.Report(s);
}
BENCHMARK(BM_Delete)
    ->ArgsProduct(kSizesAndAttached)
    ->ArgNames({"rows", "attached"})
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

// Clear Data.
void BM_Clear(benchmark::State& s) {
  Session session(0, static_cast<int>(s.range(1)));
  for (auto _ : s) {
    s.PauseTiming();
    const qint64 kept = session.updateNs;
    for (int i = 0; i < s.range(0); ++i) session.model.AppendRow(Reading(i));
    QApplication::processEvents();
    session.updateNs = kept;
    s.ResumeTiming();
    session.model.Clear();
  }
  session.Report(s);
}
BENCHMARK(BM_Clear)
    ->ArgsProduct({{100000}, {kTableAlone, kNumbers, kWindows}})
    ->ArgNames({"rows", "attached"})
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);

// The statistics of chosen rows, counted afresh: every row chosen (the program's table selects
// one row at most, so there the statistics always run over all rows).
void BM_ChosenRowsCounted(benchmark::State& s) {
  Session session(static_cast<int>(s.range(0)), kNumbers);
  std::vector<int> rows(static_cast<std::size_t>(s.range(0)));
  for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = static_cast<int>(r);
  for (auto _ : s) benchmark::DoNotOptimize(session.series->Of(rows));
}
BENCHMARK(BM_ChosenRowsCounted)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The trend's picture laid out for a 700 x 400 canvas, and laid out and painted in the window.
void BM_TrendLayout(benchmark::State& s) {
  Session session(static_cast<int>(s.range(0)), kNumbers);
  const analysis::TrendWords words{"Gloss (GU)", "Row", "", QLatin1Char('.')};
  const analysis::TextMeasure measure = analysis::MeasureFor(QApplication::font());
  for (auto _ : s) {
    benchmark::DoNotOptimize(analysis::LayOutTrend(session.series->Rows(), {700, 400}, words, measure));
  }
}
BENCHMARK(BM_TrendLayout)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_TrendRepaint(benchmark::State& s) {
  Session session(static_cast<int>(s.range(0)), kWindows);
  for (auto _ : s) session.trend->Canvas->repaint();
  s.counters["width"] = session.trend->Canvas->width();
}
BENCHMARK(BM_TrendRepaint)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
