// The export: the table as text on the clipboard, then, by the operator's choice in TForm3, the
// spreadsheet program beside it, the data file, or the printed list.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

#include "i18n/Language.h"
#include "table/MeasurementModel.h"
#include "table/TableState.h"
#include "table/Unit3.h"

class QPrinter;

namespace table {

// The platform's dialogs and programs the export uses. Tests put their own answers in.
struct ExportPlatform {
  // The data file's name from the save dialog; empty when the operator cancels.
  std::function<QString(QWidget* parent, const QString& basePath)> AskSaveFileName;
  // The print dialog for `printer`; false when the operator cancels.
  std::function<bool(QPrinter& printer, QWidget* parent)> AskPrinter;
  // Starts the spreadsheet program; false when none could be started.
  std::function<bool()> StartSpreadsheet;

  // The real dialogs and programs.
  static ExportPlatform Default();
};

// The save dialog "SaveDialog1": title "Save", the "*.dat" filter, default extension "dat", a
// question before an existing file is replaced.
QString AskSaveFileNameWithDialog(QWidget* parent, const QString& basePath);
// The print dialog "PrintDialog1".
bool AskPrinterWithDialog(QPrinter& printer, QWidget* parent);

struct ExportContext {
  const MeasurementModel& rows;
  TableState& state;
  const i18n::LanguageState& language;
  TForm3& options;
  // The polling timer, paused while printing.
  QTimer& pollTimer;
  const ExportPlatform& platform;
  // Owner of the dialogs and message boxes.
  QWidget* parent = nullptr;
};

void RunExport(const ExportContext& context);

}  // namespace table
