#include "report/windows/ReadingsReport.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QMessageBox>
#include <algorithm>

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
    const table::MeasurementRow& row = rows.Row(i);
    const auto& t = row.texts;
    ReportReading r;
    r.date = t[table::ColDate];
    r.time = t[table::ColTime];
    if (row.IsReading()) {
      SetDateAndTime(r, QDateTime::fromMSecsSinceEpoch(row.takenMsecs, Qt::OffsetFromUTC, row.utcOffsetSeconds));
    }
    r.mode20 = t[table::ColMode20];
    r.mode60 = t[table::ColMode60];
    r.value20 = t[table::ColValue20];
    r.value60 = t[table::ColValue60];
    r.comment = t[table::ColComment];
    data.readings.push_back(std::move(r));
  }
  return data;
}

ReadingsReport::ReadingsReport(const table::MeasurementModel& rows, ReportFiles& files, QWidget* owner)
    : rows_(rows), files_(files), owner_(owner) {}

bool ReadingsReport::WriteReport() {
  const int lang = files_.Language().LanguageIndex;
  if (rows_.Count() == 0) {
    QMessageBox::information(owner_, Text(ReportText::ReportTitle, lang), Text(ReportText::NoReadings, lang));
    return false;
  }
  const QString name = QStringLiteral("readings-report-%1.pdf").arg(QDate::currentDate().toString(Qt::ISODate));
  return files_.Write(owner_, name, [this, lang]() -> std::optional<ReportData> {
    // Cleared while the save dialog was open.
    if (rows_.Count() == 0) {
      QMessageBox::information(owner_, Text(ReportText::ReportTitle, lang), Text(ReportText::NoReadings, lang));
      return std::nullopt;
    }
    return ReadingsReportData(rows_, lang, CurrentInstrument ? CurrentInstrument() : Instrument{});
  });
}

}  // namespace report
