// "Report…" in the measurement table's context menu: a readings report of the table's rows as
// they are, written to a PDF file the operator names, with progress and cancel for long tables,
// then offered to the desktop's viewer.
#pragma once

#include <QMenu>
#include <QObject>
#include <QString>
#include <functional>

#include "analysis/windows/ReadingAnalysis.h"
#include "i18n/Language.h"
#include "report/ReportData.h"
#include "table/MeasurementModel.h"

namespace report {

// A readings report of every row of `rows`, in language `language`; `instrument` as the main
// window shows it (its placeholders while none is connected count as unknown).
ReportData ReadingsReportData(const table::MeasurementModel& rows, int language, const Instrument& instrument);

// The path the operator chose, with ".pdf" added when it has another ending or none.
QString WithPdfSuffix(const QString& path);

class ReadingsReport : public QObject {
  Q_OBJECT
 public:
  using AskPathFunction =
      std::function<QString(QWidget* parent, const QString& title, const QString& filter, const QString& suggested)>;

  ReadingsReport(const table::MeasurementModel& rows, const i18n::LanguageState& language, QWidget* owner);

  // Adds "Report…" (object name "ReportAction") to `menu`.
  void AddMenuItem(QMenu* menu);
  // "Report…" in every table menu `analysis` builds from now on, after the items of those that
  // were offered there before.
  void OfferIn(analysis::ReadingAnalysis& analysis);
  // Asks for the file, writes the report of the table's rows and offers to open it; true when a
  // file was written.
  bool WriteReport();

  // The folder of the last report written this session; empty before.
  QString LastFolder() const { return lastFolder_; }

  // The instrument the main window shows. Unknown when not set.
  std::function<Instrument()> CurrentInstrument;
  // Seam for tests: the save dialog.
  AskPathFunction AskPath;
  // How long writing runs before its progress dialog appears.
  int ProgressDelayMs = 500;

 private:
  QString SuggestedPath() const;

  const table::MeasurementModel& rows_;
  const i18n::LanguageState& language_;
  QWidget* owner_;
  QString lastFolder_;
};

// The save dialog of a report: a PDF file, overwriting asked about.
QString AskReportPathWithDialog(QWidget* parent, const QString& title, const QString& filter, const QString& suggested);

}  // namespace report
