// A lab database's connection string, as the operator or the administrator gives it: a libpq
// connection string ("host=db.lab dbname=korvanta"), a postgresql:// URI or "service=NAME".
#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>

#include "labsync/Outcome.h"

namespace labsync {

// Checks a connection string before anything connects with it: libpq must be able to read it, and
// it must hold no password (nor the passphrase of a TLS key). The program never keeps a password:
// libpq's password file, a service file or a TLS client certificate carry it. Empty is valid (all
// of libpq's defaults and PG* environment variables). The outcome's detail names the offending
// keyword, never its value.
Outcome CheckConnInfo(const QByteArray& conninfo);

// The string's own connect_timeout (seconds, as libpq reads it, at least 2 where it is set lower),
// which libpq itself applies only to blocking connects; nothing when it does not set one.
std::optional<std::chrono::seconds> ConnectTimeoutOf(const QByteArray& conninfo);

}  // namespace labsync
