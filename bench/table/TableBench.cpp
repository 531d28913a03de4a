// Figures for the measurement table at the sizes a long session reaches: appending a reading
// (with focus, selection and scrolling, through the real table view), clearing, building and
// writing the export, printing to PDF.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPrinter>
#include <QTemporaryDir>

#include "app/Unit1.h"
#include "bench/BenchSupport.h"
#include "table/ExportText.h"
#include "table/Printout.h"
#include "table/TableActions.h"
#include "usb/simbus/SimBus.h"

namespace {

table::MeasurementRow Reading(int i) {
  return {{"01.02.2024", "12:00:00", i % 3 == 0 ? "D" : "", "", QString::number(i % 100) + ",5", "33.1",
           "batch " + QString::number(i / 50)}};
}

// The main window without an instrument, its table holding `rows` readings.
struct Window {
  explicit Window(int rows) : w(state, bus) {
    w.show();
    for (int i = 0; i < rows; ++i) w.Rows().AppendRow(Reading(i));
    QApplication::processEvents();
  }
  usb::simbus::SimBus bus;
  app::ProcessState state = bench::ProgramState();
  app::TMainForm w;
};

// The append alone: the row added, focused, selected and scrolled into view. The view lays out
// and repaints outside the timing, and the row goes again, so that the size stays put.
void BM_AppendReadingRow(benchmark::State& s) {
  Window window(static_cast<int>(s.range(0)));
  int i = 0;
  for (auto _ : s) {
    window.w.AppendReadingRow(Reading(i++));
    s.PauseTiming();
    QApplication::processEvents();
    window.w.Rows().RemoveRowAt(window.w.Rows().Count() - 1);
    s.ResumeTiming();
  }
}
BENCHMARK(BM_AppendReadingRow)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// A whole tick's worth for the window: the append and the repaint of the window that follows.
void BM_AppendReadingRowAndRepaint(benchmark::State& s) {
  Window window(static_cast<int>(s.range(0)));
  int i = 0;
  for (auto _ : s) {
    window.w.AppendReadingRow(Reading(i++));
    QApplication::processEvents();
    s.PauseTiming();
    window.w.Rows().RemoveRowAt(window.w.Rows().Count() - 1);
    s.ResumeTiming();
  }
}
BENCHMARK(BM_AppendReadingRowAndRepaint)->Arg(1000)->Arg(100000)->Iterations(500)->Unit(benchmark::kMicrosecond);

void BM_ClearData(benchmark::State& s) {
  Window window(0);
  for (auto _ : s) {
    s.PauseTiming();
    for (int i = 0; i < s.range(0); ++i) window.w.Rows().AppendRow(Reading(i));
    QApplication::processEvents();
    s.ResumeTiming();
    table::ClearAllRows(window.w.Rows(), window.state.Table);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ClearData)->Arg(100000)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_ExportToFile(benchmark::State& s) {
  table::MeasurementModel rows;
  for (int i = 0; i < s.range(0); ++i) rows.AppendRow(Reading(i));
  const QStringList headings = {"Date", "Time", "Mode 20°", "Mode 60°", "Value 20°", "Value 60°", "Comment"};
  QTemporaryDir dir;
  const QString path = dir.filePath("readings.dat");
  for (auto _ : s) {
    const QStringList lines = table::BuildExportLines(headings, rows);
    const table::EncodedExport encoded = table::EncodeExportText(table::JoinExportLines(lines));
    QString error;
    if (table::WriteExportFile(path, encoded.bytes, error, [] { return true; }) != table::WriteOutcome::Written) {
      s.SkipWithError(qPrintable(error));
    }
  }
}
BENCHMARK(BM_ExportToFile)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PrintToPdf(benchmark::State& s) {
  table::MeasurementModel rows;
  for (int i = 0; i < s.range(0); ++i) rows.AppendRow(Reading(i));
  const QStringList headings = {"Date", "Time", "Mode 20°", "Mode 60°", "Value 20°", "Value 60°", "Comment"};
  QTemporaryDir dir;
  for (auto _ : s) {
    const table::Printout printout = table::LayOutPrintout(rows, headings, 0);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("print.pdf"));
    if (!table::PrintPrintout(printout, printer)) s.SkipWithError("printing failed");
    s.counters["pages"] = printout.pageCount;
  }
}
BENCHMARK(BM_PrintToPdf)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
