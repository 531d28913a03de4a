// The report settings, kept per user with the other settings of the program's additions in
// korvanta.conf (lab::ReadSetting / lab::WriteSetting), never in 318qx.ini: the lab's name and logo
// in every report's header, the calibration standard printed on the first page, and the folder
// the last report was written to.
#pragma once

#include <QDate>
#include <QString>

#include "report/ReportData.h"

namespace report {

struct ReportSettings {
  QString labName;
  // A PNG or SVG file; empty for none.
  QString logoPath;
  // The gloss standard the instrument was calibrated on, as entered ("black glass 94.6 GU at 60°"),
  // and the day of the calibration; the report leaves out what is not set.
  QString calibrationStandard;
  QDate calibrationDate;
  QString lastFolder;

  bool operator==(const ReportSettings&) const = default;
};

// The settings in the file `path`; a missing file or key reads as not set.
ReportSettings ReadReportSettings(const QString& path);
// Writes the lab name, the logo and the calibration (not the last folder). On failure false with
// the reason in `error`.
bool WriteReportSettings(const QString& path, const ReportSettings& settings, QString& error);
// Keeps `folder` as the one the next report is proposed in.
bool WriteLastReportFolder(const QString& path, const QString& folder, QString& error);

// Puts the settings' lab name, logo and calibration standard into `data`.
void ApplyReportSettings(const ReportSettings& settings, ReportData& data);

}  // namespace report
