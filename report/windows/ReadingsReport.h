// "Report…" in the measurement table's context menu: a readings report of the table's rows as
// they are, written to a PDF file the operator names, with progress and cancel for long tables,
// then offered to the desktop's viewer (ReportFiles).
#pragma once

#include <QObject>
#include <functional>

#include "report/ReportData.h"
#include "report/windows/ReportFiles.h"
#include "table/MeasurementModel.h"

namespace report {

// A readings report of every row of `rows`, in language `language`; `instrument` as the main
// window shows it (its placeholders while none is connected count as unknown). A row that is a
// reading of the instrument's is dated by the instant it was taken.
ReportData ReadingsReportData(const table::MeasurementModel& rows, int language, const Instrument& instrument);

class ReadingsReport : public QObject {
  Q_OBJECT
 public:
  ReadingsReport(const table::MeasurementModel& rows, ReportFiles& files, QWidget* owner);

  // Asks for the file, writes the report of the table's rows and offers to open it; true when a
  // file was written.
  bool WriteReport();

  // The instrument the main window shows. Unknown when not set.
  std::function<Instrument()> CurrentInstrument;

 private:
  const table::MeasurementModel& rows_;
  ReportFiles& files_;
  QWidget* owner_;
};

}  // namespace report
