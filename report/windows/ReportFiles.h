// What every "Report…" does once its report's content is gathered, whatever it reports (the
// table's rows, a batch of the lab record, a batch of the lab database): the save dialog (".pdf"
// added, the folder of the last report proposed, remembered across runs), the report settings
// (lab name, logo, calibration) and the operator's language put in, the writing with progress and
// Cancel (no file left by a cancel or a failure), and the offer to open the file with the desktop's
// viewer.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "i18n/Language.h"
#include "report/ReportData.h"

namespace report {

// The path the operator chose, with ".pdf" added when it has another ending or none.
QString WithPdfSuffix(const QString& path);

// A file name made of `text` that every file system takes: letters, digits, '-' and '_' kept.
QString SafeFileName(const QString& text);

class ReportFiles {
 public:
  using AskPathFunction =
      std::function<QString(QWidget* parent, const QString& title, const QString& filter, const QString& suggested)>;

  // `settingsPath`: korvanta.conf, where the report settings and the last folder are kept.
  ReportFiles(const i18n::LanguageState& language, QString settingsPath);

  // What a report prints, gathered once the file is chosen (so that readings taken while the save
  // dialog was open are in it); none when it cannot be had (the gatherer has said why).
  using Gather = std::function<std::optional<ReportData>()>;

  // Asks for the file (proposing `suggestedName` in the last folder), writes what `gather` gives
  // with the report settings in the operator's language, and offers to open it; true when a file
  // was written. The entry of every batch report, wherever its batch is read from: `gather` fills
  // the report with BatchReportData (report/BatchReportData.h).
  bool Write(QWidget* owner, const QString& suggestedName, const Gather& gather);

  // The folder the last report was written to (kept in the settings); empty before the first.
  QString LastFolder() const;
  const QString& SettingsPath() const { return settingsPath_; }
  const i18n::LanguageState& Language() const { return language_; }

  // Seam for tests: the save dialog.
  AskPathFunction AskPath;
  // How long writing runs before its progress dialog appears.
  int ProgressDelayMs = 500;

 private:
  QString SuggestedPath(const QString& name) const;

  const i18n::LanguageState& language_;
  QString settingsPath_;
};

// The save dialog of a report: a PDF file, overwriting asked about.
QString AskReportPathWithDialog(QWidget* parent, const QString& title, const QString& filter, const QString& suggested);

}  // namespace report
