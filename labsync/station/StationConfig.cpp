#include "labsync/station/StationConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include "lab/Settings.h"
#include "labsync/ConnInfo.h"
#include "labsync/Schema.h"

namespace labsync::station {

QString DefaultLabConfPath() {
  return QFileInfo(lab::DefaultSettingsPath()).absolutePath() + QStringLiteral("/lab.conf");
}

StationConfig ReadStationConfig(const QString& path, const std::optional<QString>& commandLine, bool simulated) {
  StationConfig config;
  std::optional<QString> connection = commandLine;
  if (!connection && !simulated) connection = lab::ReadSetting(path, QStringLiteral("connection"));
  if (!connection) return config;
  config.configured = true;
  config.conninfo = connection->trimmed().toUtf8();
  config.problem = CheckConnInfo(config.conninfo);
  if (const std::optional<std::chrono::seconds> timeout = ConnectTimeoutOf(config.conninfo)) {
    config.connectTimeout = *timeout;
  }

  const QString uuidKey = simulated ? QStringLiteral("simulated_station_uuid") : QStringLiteral("station_uuid");
  config.station = QUuid::fromString(lab::ReadSetting(path, uuidKey).value_or(QString()));
  if (config.station.isNull()) {
    const QUuid made = QUuid::createUuid();
    QString error;
    if (lab::WriteSetting(path, uuidKey, made.toString(QUuid::WithoutBraces), error)) {
      config.station = made;
    } else {
      config.fileProblem = error;
    }
  }
  QString name = lab::ReadSetting(path, QStringLiteral("station")).value_or(QString()).simplified();
  if (name.isEmpty()) name = QSysInfo::machineHostName().simplified();
  if (name.isEmpty()) name = QStringLiteral("station");
  if (simulated) name += QStringLiteral(" (simulated)");
  config.stationName = name.left(limits::kName);
  return config;
}

}  // namespace labsync::station
