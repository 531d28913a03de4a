#include "labsync/Outcome.h"

#include <iterator>

namespace labsync {

Failure FailureOfSqlState(const QString& sqlState) {
  if (sqlState.size() != 5) return Failure::ServerError;
  if (sqlState == QLatin1String("28P01")) return Failure::WrongPassword;
  if (sqlState == QLatin1String("3D000")) return Failure::NoDatabase;
  // 28000: no pg_hba.conf entry, a role that may not log in or does not exist; 42501: no right on
  // a schema or table; 42000 and 28xxx otherwise: refused on the same grounds.
  if (sqlState.startsWith(QLatin1String("28")) || sqlState == QLatin1String("42501")) return Failure::NotAllowed;
  // 42P01: a table of the lab schema is missing.
  if (sqlState == QLatin1String("42P01") || sqlState == QLatin1String("3F000")) return Failure::SchemaMissing;
  // 57014: the server ended the statement at our statement_timeout.
  if (sqlState == QLatin1String("57014")) return Failure::TimedOut;
  // 08: connection exceptions; 57P01-57P03: the server shuts down, crashed or is starting;
  // 53: out of resources (too many connections, disk full), which ends by itself too.
  if (sqlState.startsWith(QLatin1String("08")) || sqlState.startsWith(QLatin1String("57P")) ||
      sqlState.startsWith(QLatin1String("53"))) {
    return Failure::ConnectionLost;
  }
  if (sqlState.startsWith(QLatin1String("22")) || sqlState.startsWith(QLatin1String("23"))) return Failure::Refused;
  return Failure::ServerError;
}

bool HealsByItself(Failure failure) {
  switch (failure) {
    case Failure::Unreachable:
    case Failure::TimedOut:
    case Failure::ConnectionLost:
      return true;
    default:
      return false;
  }
}

QString Describe(const Outcome& outcome) {
  static const char* const kNames[] = {
      "ok",
      "stopped",
      "bad connection string",
      "password in connection string",
      "unreachable",
      "timed out",
      "connection lost",
      "password missing",
      "wrong password",
      "no such database",
      "not allowed",
      "schema missing",
      "schema too old",
      "schema too new",
      "bad data from server",
      "refused by server",
      "server error",
      "bad local data",
      "outbox unreadable",
      "conflict",
  };
  static_assert(std::size(kNames) == static_cast<std::size_t>(Failure::Conflict) + 1);
  QString text = QString::fromLatin1(kNames[static_cast<int>(outcome.failure)]);
  if (!outcome.sqlState.isEmpty()) text += QStringLiteral(" (SQLSTATE %1)").arg(outcome.sqlState);
  if (!outcome.detail.isEmpty()) text += QStringLiteral(": ") + outcome.detail;
  return text;
}

}  // namespace labsync
