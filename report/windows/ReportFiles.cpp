#include "report/windows/ReportFiles.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>

#include "i18n/ExtraTexts.h"
#include "report/Log.h"
#include "report/ReportPdf.h"
#include "report/ReportSettings.h"
#include "report/ReportTexts.h"

namespace report {

QString WithPdfSuffix(const QString& path) {
  if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) return path;
  return path + QStringLiteral(".pdf");
}

QString SafeFileName(const QString& text) {
  QString safe = text.trimmed();
  for (QChar& c : safe) {
    if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_')) c = QLatin1Char('_');
  }
  return safe;
}

ReportFiles::ReportFiles(const i18n::LanguageState& language, QString settingsPath)
    : AskPath(AskReportPathWithDialog), language_(language), settingsPath_(std::move(settingsPath)) {}

QString ReportFiles::LastFolder() const { return ReadReportSettings(settingsPath_).lastFolder; }

QString ReportFiles::SuggestedPath(const QString& name) const {
  QString folder = LastFolder();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  }
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = language_.BasePath;
  return QDir(folder).filePath(name);
}

bool ReportFiles::Write(QWidget* owner, const QString& suggestedName, const Gather& gather) {
  const int lang = language_.LanguageIndex;
  const QString title = Text(ReportText::ReportTitle, lang);
  const QString chosen = AskPath(owner, Text(ReportText::SaveTitle, lang), Text(ReportText::PdfFilter, lang),
                                 SuggestedPath(suggestedName));
  if (chosen.isEmpty()) return false;
  const QString path = WithPdfSuffix(chosen);
  // The dialog asked about replacing the name it was given, not about the one with ".pdf" added.
  if (path != chosen && QFileInfo::exists(path) &&
      QMessageBox::question(owner, title, Text(ReportText::Replace, lang).arg(QDir::toNativeSeparators(path)),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
    return false;
  }

  std::optional<ReportData> gathered = gather();
  if (!gathered) return false;
  ReportData& content = *gathered;
  content.language = lang;
  ApplyReportSettings(ReadReportSettings(settingsPath_), content);
  QProgressDialog progress(Text(ReportText::Writing, lang), Text(ReportText::Cancel, lang), 0, 1, owner);
  progress.setObjectName(QStringLiteral("ReportProgress"));
  progress.setWindowTitle(title);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(ProgressDelayMs);
  progress.setAutoClose(true);
  const WriteOutcome outcome = WritePdfReport(content, path, [&progress](int done, int total) {
    progress.setMaximum(total);
    progress.setValue(done);
    return !progress.wasCanceled();
  });
  progress.reset();

  switch (outcome.status) {
    case WriteOutcome::Status::Cancelled:
      return false;
    case WriteOutcome::Status::Failed:
      QMessageBox::critical(owner, i18n::ExtraText(i18n::Extra::ErrorTitle, lang), outcome.error);
      return false;
    case WriteOutcome::Status::Written:
      break;
  }
  QString error;
  if (!WriteLastReportFolder(settingsPath_, QFileInfo(path).absolutePath(), error)) {
    // Only the next proposal suffers: the report itself is written.
    qCWarning(lcReport, "korvanta: the report's folder could not be kept in %s: %s",
              qPrintable(QDir::toNativeSeparators(settingsPath_)), qPrintable(error));
  }
  QString question = Text(ReportText::Written, lang).arg(QDir::toNativeSeparators(path));
  if (!outcome.notes.isEmpty()) question = outcome.notes.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + question;
  if (QMessageBox::question(owner, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
      QMessageBox::Yes) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    const bool opened = language_.OpenDocument ? language_.OpenDocument(url) : QDesktopServices::openUrl(url);
    if (!opened) {
      QMessageBox::warning(owner, title, Text(ReportText::OpenFailed, lang).arg(QDir::toNativeSeparators(path)));
    }
  }
  return true;
}

QString AskReportPathWithDialog(QWidget* parent, const QString& title, const QString& filter,
                                const QString& suggested) {
  QFileDialog dialog(parent, title, QFileInfo(suggested).absolutePath(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.selectFile(suggested);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace report
