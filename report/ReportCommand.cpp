#include "report/ReportCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <cstdio>

#include "i18n/Language.h"
#include "lab/LabStore.h"
#include "lab/Settings.h"
#include "report/BatchReportData.h"
#include "report/ReportPdf.h"
#include "report/ReportSettings.h"
#include "report/ReportTexts.h"

namespace report {
namespace {

// One line, whatever the message's own line breaks: scripts read standard error line by line.
void Tell(const QString& message) {
  QString line = message;
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  std::fprintf(stderr, "korvanta: %s\n", line.simplified().toLocal8Bit().constData());
  std::fflush(stderr);
}

QString Folded(const QString& name) { return name.trimmed().toCaseFolded(); }

}  // namespace

std::optional<int> LanguageOfCode(const QString& code) {
  const QString c = code.trimmed().toLower();
  if (c == QLatin1String("en")) return i18n::kEnglish;
  if (c == QLatin1String("de")) return i18n::kGerman;
  if (c == QLatin1String("fr")) return i18n::kFrench;
  return std::nullopt;
}

QString ThisStationName(const QString& settingsPath) {
  const QString labConf = QFileInfo(settingsPath).absolutePath() + QStringLiteral("/lab.conf");
  const QString named = lab::ReadSetting(labConf, QStringLiteral("station")).value_or(QString()).trimmed();
  return named.isEmpty() ? QSysInfo::machineHostName() : named;
}

BatchChoice ChooseBatch(const std::vector<StationBatch>& sameId, const QString& station) {
  BatchChoice choice;
  std::vector<const StationBatch*> left;
  for (const StationBatch& b : sameId) {
    if (station.trimmed().isEmpty() || Folded(b.station) == Folded(station)) {
      left.push_back(&b);
    } else if (!choice.others.contains(b.station)) {
      choice.others << b.station;
    }
  }
  if (left.size() == 1) {
    choice.kind = BatchChoice::Kind::Found;
    choice.id = left.front()->id;
    choice.others.clear();
  } else if (left.size() > 1) {
    choice.kind = BatchChoice::Kind::Ambiguous;
    choice.others.clear();
    for (const StationBatch* b : left) {
      choice.others << QStringLiteral("%1 (%2)").arg(b->station, b->started.toString(Qt::ISODate));
    }
  }
  return choice;
}

int RunReportCommand(const ReportCommand& command) {
  const int lang = command.language ? *command.language : i18n::ReadLanguageSetting(i18n::WorkingDirectoryBasePath());
  const QString record = QDir::toNativeSeparators(command.recordPath);
  if (!QFileInfo::exists(command.recordPath)) {
    Tell(Text(ReportText::CommandNoRecord, lang).arg(record));
    return 1;
  }
  const std::unique_ptr<lab::LabStore> store = lab::LabStore::OpenForReading(command.recordPath);
  if (!store->Readable()) {
    Tell(Text(ReportText::CommandRecordUnreadable, lang).arg(record, store->Problem()));
    return 1;
  }

  // Every batch of the local record was measured at this station.
  std::vector<StationBatch> sameId;
  if (const std::optional<lab::Batch> b = store->FindBatch(command.batchId)) {
    sameId.push_back({command.stationName, b->id, b->started.ToDateTime()});
  }
  const BatchChoice choice = ChooseBatch(sameId, command.station);
  switch (choice.kind) {
    case BatchChoice::Kind::Missing:
      if (choice.others.isEmpty()) {
        Tell(Text(ReportText::CommandNoBatch, lang).arg(command.batchId, record));
      } else {
        Tell(Text(ReportText::CommandNoBatchAtStation, lang)
                 .arg(command.batchId, command.station.trimmed(), choice.others.join(QStringLiteral(", "))));
      }
      return 1;
    case BatchChoice::Kind::Ambiguous:
      Tell(Text(ReportText::CommandAmbiguous, lang).arg(command.batchId, choice.others.join(QStringLiteral("; "))));
      return 1;
    case BatchChoice::Kind::Found:
      break;
  }

  std::optional<ReportData> data = BatchReportData(*store, choice.id, lang);
  if (!data) {
    Tell(Text(ReportText::CommandRecordUnreadable, lang)
             .arg(record, Text(ReportText::CommandBatchUnreadable, lang).arg(command.batchId)));
    return 1;
  }
  ApplyReportSettings(ReadReportSettings(command.settingsPath), *data);
  const WriteOutcome outcome = WritePdfReport(*data, command.output);
  for (const QString& note : outcome.notes) Tell(note);
  if (outcome.status != WriteOutcome::Status::Written) {
    Tell(outcome.error);
    return 1;
  }
  return 0;
}

}  // namespace report
