#include "table/Export.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>

#include "i18n/ExtraTexts.h"
#include "table/ExportText.h"
#include "table/Printout.h"
#include "table/Spreadsheet.h"

namespace table {
namespace {

enum ExportChoice : int { kToSpreadsheet = 0, kToFile = 1, kToPrinter = 2 };

bool PutOnClipboard(const QString& text) {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->setText(text);
  // The clipboard gives no result of its own: what it hands out again tells whether it took it.
  const QMimeData* data = clipboard->mimeData();
  return data != nullptr && data->text() == text;
}

void ShowError(const ExportContext& c, const QString& message) {
  QMessageBox::critical(c.parent, i18n::ExtraText(i18n::Extra::ErrorTitle, c.language.LanguageIndex), message);
}

// A name with '*' or '?' is a pattern, as the save dialog's name field first shows ("*.txt"),
// not a file to write.
bool IsNamePattern(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.contains(u'*') || name.contains(u'?');
}

void SaveToFile(const ExportContext& c) {
  QString path;
  do {
    path = c.platform.AskSaveFileName(c.parent, c.language.BasePath);
    if (path.isEmpty()) return;
  } while (IsNamePattern(path));
  const EncodedExport encoded = EncodeExportText(JoinExportLines(c.state.ExportLines));
  if (encoded.unmappable > 0) {
    // Characters the code page cannot hold are not dropped without the operator's word.
    const QString question = i18n::ExtraText(i18n::Extra::ExportUnmappable, c.language.LanguageIndex)
                                 .arg(encoded.unmappable)
                                 .arg(encoded.firstUnmappable);
    if (QMessageBox::question(c.parent, c.language.Text(i18n::Txt::Question), question,
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
      return;
    }
  }
  const int language = c.language.LanguageIndex;
  const QString shownPath = QDir::toNativeSeparators(path);
  const auto confirmInPlace = [&] {
    return QMessageBox::question(c.parent, c.language.Text(i18n::Txt::Question),
                                 i18n::ExtraText(i18n::Extra::ExportInPlace, language).arg(shownPath),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  };
  QString reason;
  const WriteOutcome outcome = WriteExportFile(path, encoded.bytes, reason, confirmInPlace);
  if (outcome == WriteOutcome::Written || outcome == WriteOutcome::Declined) return;
  QString message = i18n::ExtraText(i18n::Extra::ExportWriteFailed, language).arg(shownPath, reason);
  if (outcome == WriteOutcome::FailedInPlace) {
    message += QLatin1Char('\n') + i18n::ExtraText(i18n::Extra::ExportOldContentKept, language);
  } else if (outcome == WriteOutcome::FailedOldContentLost) {
    message += QLatin1Char('\n') + i18n::ExtraText(i18n::Extra::ExportOldContentLost, language);
  }
  ShowError(c, message);
}

void Print(const ExportContext& c) {
  // No reading is appended and nothing is exchanged while the job is built.
  c.pollTimer.stop();
  bool failed = false;
  {
    QPrinter printer(QPrinter::HighResolution);
    if (c.platform.AskPrinter(printer, c.parent)) {
      const Printout printout = LayOutPrintout(c.rows, ColumnHeadings(c.language), c.language.LanguageIndex);
      failed = !PrintPrintout(printout, printer);
    }
  }
  // Polling goes on afterwards whatever became of the job, a failed one included.
  c.pollTimer.start();
  if (failed) ShowError(c, i18n::ExtraText(i18n::Extra::PrintFailed, c.language.LanguageIndex));
}

}  // namespace

ExportPlatform ExportPlatform::Default() {
  return {AskSaveFileNameWithDialog, AskPrinterWithDialog, [] { return StartSpreadsheetProgram(); }};
}

QString AskSaveFileNameWithDialog(QWidget* parent, const QString& basePath) {
  QFileDialog dialog(parent, QStringLiteral("Save"), basePath, QStringLiteral("dat-Datei (*.dat)"));
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("dat"));
  dialog.selectFile(QStringLiteral("*.txt"));
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

bool AskPrinterWithDialog(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setObjectName(QStringLiteral("PrintDialog1"));
  return dialog.exec() == QDialog::Accepted;
}

void RunExport(const ExportContext& c) {
  c.state.ExportLines = BuildExportLines(ColumnHeadings(c.language), c.rows);
  if (!PutOnClipboard(JoinExportLines(c.state.ExportLines))) {
    ShowError(c, i18n::ExtraText(i18n::Extra::ClipboardFailed, c.language.LanguageIndex));
    return;
  }
  if (c.options.ShowModal() != widgets::mrOk) return;

  switch (c.state.ExportOption) {
    case kToSpreadsheet:
      if (!c.platform.StartSpreadsheet()) {
        QMessageBox::information(c.parent, c.language.Text(i18n::Txt::Export),
                                 i18n::ExtraText(i18n::Extra::SpreadsheetNotFound, c.language.LanguageIndex));
      }
      break;
    case kToFile:
      SaveToFile(c);
      break;
    case kToPrinter:
      Print(c);
      break;
    default:  // OK without a choice
      break;
  }
}

}  // namespace table
