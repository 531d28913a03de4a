// korvanta --report=BATCH_ID --output=FILE.pdf: a batch's report written from the lab record with
// no display at all (the caller has made the application object on the offscreen platform), for a
// lab's scripts that write every closed batch's report overnight. The record is only read, so a
// copy of the program measuring meanwhile goes on undisturbed.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace report {

struct ReportCommand {
  QString batchId;
  QString output;
  // None: the language of the settings file 318qx.ini in the working folder, else English.
  std::optional<int> language;
  // The station the batch was measured at; empty: any.
  QString station;
  QString recordPath;
  // korvanta.conf: the lab name, the logo, the calibration standard.
  QString settingsPath;
  // The name of the station whose record `recordPath` is (ThisStationName()).
  QString stationName;
};

// The language of --language: "en", "de" or "fr" (any case); none for anything else.
std::optional<int> LanguageOfCode(const QString& code);

// This station's name, as the lab database knows it: `station` in lab.conf beside korvanta.conf,
// else the host name.
QString ThisStationName(const QString& settingsPath);

// A batch with the ID asked for, and the station it was measured at.
struct StationBatch {
  QString station;
  std::int64_t id = 0;
  QDateTime started;
};

// Which of the batches with the ID asked for is meant: the one of `station` (compared without
// regard to case or surrounding blanks; empty: any station), when exactly one is left.
struct BatchChoice {
  enum class Kind { Found, Missing, Ambiguous };
  Kind kind = Kind::Missing;
  std::int64_t id = 0;
  // Missing: the stations that have a batch of the ID (none at all when empty). Ambiguous: one
  // line per match, "station (started ...)".
  QStringList others;
};
BatchChoice ChooseBatch(const std::vector<StationBatch>& sameId, const QString& station);

// Writes the report and returns the exit status: 0 when the file was written (a note such as an
// unreadable logo as one line on standard error), 1 with one line on standard error when the
// record cannot be read, the batch is not there, its ID is ambiguous or the file cannot be written.
// Messages are in the report's language.
int RunReportCommand(const ReportCommand& command);

}  // namespace report
