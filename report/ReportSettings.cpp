#include "report/ReportSettings.h"

#include "lab/Settings.h"

namespace report {
namespace {

const QString kLabName = QStringLiteral("report.lab_name");
const QString kLogo = QStringLiteral("report.logo");
const QString kCalibrationStandard = QStringLiteral("report.calibration_standard");
const QString kCalibrationDate = QStringLiteral("report.calibration_date");
const QString kLastFolder = QStringLiteral("report.last_folder");

}  // namespace

ReportSettings ReadReportSettings(const QString& path) {
  ReportSettings s;
  s.labName = lab::ReadSetting(path, kLabName).value_or(QString());
  s.logoPath = lab::ReadSetting(path, kLogo).value_or(QString());
  s.calibrationStandard = lab::ReadSetting(path, kCalibrationStandard).value_or(QString());
  s.calibrationDate = QDate::fromString(lab::ReadSetting(path, kCalibrationDate).value_or(QString()), Qt::ISODate);
  s.lastFolder = lab::ReadSetting(path, kLastFolder).value_or(QString());
  return s;
}

bool WriteReportSettings(const QString& path, const ReportSettings& settings, QString& error) {
  const std::pair<const QString&, QString> values[] = {
      {kLabName, settings.labName},
      {kLogo, settings.logoPath},
      {kCalibrationStandard, settings.calibrationStandard},
      {kCalibrationDate,
       settings.calibrationDate.isValid() ? settings.calibrationDate.toString(Qt::ISODate) : QString()},
  };
  for (const auto& [key, value] : values) {
    // Only what changed is written: the file is replaced on each write.
    if (lab::ReadSetting(path, key).value_or(QString()) == value.trimmed()) continue;
    if (!lab::WriteSetting(path, key, value, error)) return false;
  }
  return true;
}

bool WriteLastReportFolder(const QString& path, const QString& folder, QString& error) {
  if (lab::ReadSetting(path, kLastFolder).value_or(QString()) == folder) return true;
  return lab::WriteSetting(path, kLastFolder, folder, error);
}

void ApplyReportSettings(const ReportSettings& settings, ReportData& data) {
  data.labName = settings.labName.trimmed();
  data.logoPath = settings.logoPath.trimmed();
  data.calibration.reset();
  if (!settings.calibrationStandard.trimmed().isEmpty() || settings.calibrationDate.isValid()) {
    data.calibration = CalibrationStandard{settings.calibrationStandard.trimmed(), settings.calibrationDate};
  }
}

}  // namespace report
