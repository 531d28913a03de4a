// The lab database's logging category, "korvanta.labsync": each connection, failure (by name and
// SQLSTATE, never a server's or libpq's text, so never a password) and round trip at debug level,
// and a station's configuration that cannot be used as a warning.
#pragma once

#include <QLoggingCategory>

namespace labsync {
Q_DECLARE_LOGGING_CATEGORY(lcLabSync)
}
