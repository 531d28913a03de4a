#include "report/windows/ReadingsReport.h"

#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

#include "i18n/ExtraTexts.h"
#include "report/ReportPdf.h"
#include "report/ReportTexts.h"

namespace report {
namespace {

// The window shows "???" before the first connection and dashes after a loss: no identity.
QString Known(const QString& shown) {
  const QString text = shown.trimmed();
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); }) ? text : QString();
}

}  // namespace

ReportData ReadingsReportData(const table::MeasurementModel& rows, int language, const Instrument& instrument) {
  ReportData data;
  data.language = language;
  data.paper = PaperSizeFor(QLocale::system());
  data.programVersion = QCoreApplication::applicationVersion();
  data.created = QDateTime::currentDateTime();
  const Instrument known{Known(instrument.serial), Known(instrument.firmware)};
  if (!known.serial.isEmpty() || !known.firmware.isEmpty()) data.instruments.push_back(known);
  data.readings.reserve(static_cast<std::size_t>(rows.Count()));
  for (int i = 0; i < rows.Count(); ++i) {
    const auto& t = rows.Row(i).texts;
    ReportReading r;
    r.date = t[table::ColDate];
    r.time = t[table::ColTime];
    r.mode20 = t[table::ColMode20];
    r.mode60 = t[table::ColMode60];
    r.value20 = t[table::ColValue20];
    r.value60 = t[table::ColValue60];
    r.comment = t[table::ColComment];
    data.readings.push_back(std::move(r));
  }
  return data;
}

QString WithPdfSuffix(const QString& path) {
  if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) return path;
  return path + QStringLiteral(".pdf");
}

ReadingsReport::ReadingsReport(const table::MeasurementModel& rows, const i18n::LanguageState& language, QWidget* owner)
    : AskPath(AskReportPathWithDialog), rows_(rows), language_(language), owner_(owner) {}

void ReadingsReport::AddMenuItem(QMenu* menu) {
  QAction* action = menu->addAction(Text(ReportText::MenuReport, language_.LanguageIndex));
  action->setObjectName(QStringLiteral("ReportAction"));
  connect(action, &QAction::triggered, this, &ReadingsReport::WriteReport);
}

void ReadingsReport::OfferIn(analysis::ReadingAnalysis& analysis) {
  connect(&analysis, &analysis::ReadingAnalysis::TableMenuBuilt, this, &ReadingsReport::AddMenuItem);
}

QString ReadingsReport::SuggestedPath() const {
  QString folder = lastFolder_;
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = language_.BasePath;
  const QString name = QStringLiteral("readings-report-%1.pdf").arg(QDate::currentDate().toString(Qt::ISODate));
  return QDir(folder).filePath(name);
}

bool ReadingsReport::WriteReport() {
  const int lang = language_.LanguageIndex;
  const QString title = Text(ReportText::ReportTitle, lang);
  if (rows_.Count() == 0) {
    QMessageBox::information(owner_, title, Text(ReportText::NoReadings, lang));
    return false;
  }
  const QString chosen =
      AskPath(owner_, Text(ReportText::SaveTitle, lang), Text(ReportText::PdfFilter, lang), SuggestedPath());
  if (chosen.isEmpty()) return false;
  const QString path = WithPdfSuffix(chosen);
  // The dialog asked about replacing the name it was given, not about the one with ".pdf" added.
  if (path != chosen && QFileInfo::exists(path) &&
      QMessageBox::question(owner_, title, Text(ReportText::Replace, lang).arg(QDir::toNativeSeparators(path)),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
    return false;
  }
  lastFolder_ = QFileInfo(path).absolutePath();

  const ReportData data = ReadingsReportData(rows_, lang, CurrentInstrument ? CurrentInstrument() : Instrument{});
  QProgressDialog progress(Text(ReportText::Writing, lang), Text(ReportText::Cancel, lang), 0, 1, owner_);
  progress.setObjectName(QStringLiteral("ReportProgress"));
  progress.setWindowTitle(title);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(ProgressDelayMs);
  progress.setAutoClose(true);
  const WriteOutcome outcome = WritePdfReport(data, path, [&progress](int done, int total) {
    progress.setMaximum(total);
    progress.setValue(done);
    return !progress.wasCanceled();
  });
  progress.reset();

  switch (outcome.status) {
    case WriteOutcome::Status::Cancelled:
      return false;
    case WriteOutcome::Status::Failed:
      QMessageBox::critical(owner_, i18n::ExtraText(i18n::Extra::ErrorTitle, lang), outcome.error);
      return false;
    case WriteOutcome::Status::Written:
      break;
  }
  QString question = Text(ReportText::Written, lang).arg(QDir::toNativeSeparators(path));
  if (!outcome.notes.isEmpty()) question = outcome.notes.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + question;
  if (QMessageBox::question(owner_, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
      QMessageBox::Yes) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    const bool opened = language_.OpenDocument ? language_.OpenDocument(url) : QDesktopServices::openUrl(url);
    if (!opened) {
      QMessageBox::warning(owner_, title, Text(ReportText::OpenFailed, lang).arg(QDir::toNativeSeparators(path)));
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
