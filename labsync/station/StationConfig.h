// How this station joins a lab database: `$XDG_CONFIG_HOME/korvanta/lab.conf` (one `key = value` a
// line, as korvanta.conf, readable by its owner only) and the command line's --lab-database.
//
//   connection = host=db.lab.example dbname=korvanta user=station01 sslmode=verify-full
//   station = Line 3                  # the name the lab sees; the host name when not set
//   station_uuid = ...                # made at the first join and kept: the station's identity
//
// The identity is a UUID rather than the host name, since cloned machines share host names. A run
// on the virtual instrument never uses the file's connection, only --lab-database on its own command
// line, and joins as a station of its own (simulated_station_uuid, its name marked as simulated), so
// that a demonstration never mixes with the station's real batches. Without a connection the file
// is neither read further nor written, and nothing of the lab database runs.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <chrono>
#include <optional>

#include "labsync/Outcome.h"

namespace labsync::station {

struct StationConfig {
  bool configured = false;  // a connection was given
  QByteArray conninfo;
  QUuid station;
  QString stationName;
  std::chrono::milliseconds connectTimeout{10'000};  // the string's connect_timeout, if it sets one
  // Why the station cannot join although a connection was given: the string cannot be read or
  // holds a password (problem), or the identity cannot be kept (fileProblem, the reason).
  Outcome problem;
  QString fileProblem;
};

// $XDG_CONFIG_HOME/korvanta/lab.conf, or ~/.config/korvanta/lab.conf.
QString DefaultLabConfPath();

// The configuration at `path`, with `commandLine` (--lab-database's value, when given) in place of
// the file's connection. Makes and keeps the station's UUID when a connection is given.
StationConfig ReadStationConfig(const QString& path, const std::optional<QString>& commandLine, bool simulated);

}  // namespace labsync::station
