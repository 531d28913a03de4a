// What a step with the lab database came to: done, or why not. The reasons are the ones an
// operator or a lab's administrator can act on, found from libpq's state, the server's SQLSTATE
// and catalogue queries, never from message texts (libpq and the server translate those).
#pragma once

#include <QString>

namespace labsync {

enum class Failure {
  None,
  Stopped,             // the sender was asked to stop; nothing went wrong
  BadConnInfo,         // the connection string cannot be read
  PasswordInConnInfo,  // the connection string holds a password (or a key's passphrase)
  Unreachable,         // no connection to the server could be made
  TimedOut,            // the server did not answer within the deadline
  ConnectionLost,      // the connection broke (server stopped, session ended, network gone)
  PasswordMissing,     // the server asks for a password and none is configured
  WrongPassword,       // the server refused the password (28P01)
  NoDatabase,          // no such database (3D000)
  NotAllowed,          // the role may not log in, connect from here, or use the tables
  SchemaMissing,       // the database has no lab schema yet
  SchemaTooOld,        // the lab schema is older than this program needs
  SchemaTooNew,        // the lab schema has a newer major version: nothing is written
  BadData,             // the server sent something that cannot be used; refused
  Refused,             // the server refused a change as invalid (SQLSTATE classes 22, 23)
  ServerError,         // any other error the server reported
  BadLocalData,        // a change waiting locally cannot be sent as it stands
  OutboxUnreadable,    // the local changes cannot be read
  Conflict,            // an edit met a change made meanwhile by someone else (detail: what)
};

struct Outcome {
  Failure failure = Failure::None;
  // The server's SQLSTATE when it gave one.
  QString sqlState;
  // Our own words on where: "batches.product", a schema version, a reading's UUID. Never a text
  // from libpq or the server, never a password.
  QString detail;

  bool Ok() const { return failure == Failure::None; }
  static Outcome Fail(Failure f, QString detail = {}, QString sqlState = {}) {
    return Outcome{f, std::move(sqlState), std::move(detail)};
  }
};

// The failure a SQLSTATE stands for (28P01 WrongPassword, 3D000 NoDatabase, 42501 NotAllowed,
// class 08 ConnectionLost, ...).
Failure FailureOfSqlState(const QString& sqlState);

// The network and the server's availability fail by themselves and heal by themselves: the sender
// retries them soon. Every other failure needs someone to act, and is retried less often.
bool HealsByItself(Failure failure);

// A line for a log: the failure's name, the SQLSTATE and the detail. Holds no message text of the
// server or libpq, so no password can reach it.
QString Describe(const Outcome& outcome);

}  // namespace labsync
