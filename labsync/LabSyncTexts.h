// The lab database's texts in the three languages: the link's status line, why it is down, and
// what --init-lab-database says.
#pragma once

#include <QString>

#include "labsync/Outcome.h"
#include "labsync/Sender.h"

namespace labsync {

enum class LabSyncText {
  // The status line; %1 waiting count (%2 with a time first).
  StatusConnecting,
  StatusConnected,
  StatusUnreachable,  // %1 HH:MM, %2 waiting
  StatusStopped,
  // Why: one per Failure.
  BadConnInfo,
  PasswordInConnInfo,
  Unreachable,
  TimedOut,
  ConnectionLost,
  PasswordMissing,
  WrongPassword,
  NoDatabase,
  NotAllowed,
  SchemaMissing,
  SchemaTooOld,  // %1 server's version, %2 ours
  SchemaTooNew,  // %1 server's version, %2 ours
  BadData,       // %1 where
  Refused,       // %1 SQLSTATE, %2 which rows
  ServerError,   // %1 SQLSTATE
  BadLocalData,  // %1 which change and field
  OutboxUnreadable,
  ConflictChanged,  // a lead's edit met another's
  ConflictName,     // the name is another product's
  // --init-lab-database.
  InitCreated,         // %1 version
  InitUpgraded,        // %1 from, %2 to
  InitRenewed,         // %1 version
  InitLeftNewerMinor,  // %1 server's version, %2 ours
  InitRolesGranted,    // %1 role names
  InitNoRoles,         // %1, %2 the two role names
  InitFailed,          // %1 the reason
};

// The text `id` in language `languageIndex` (0 English, 1 German, 2 French).
QString Text(LabSyncText id, int languageIndex);

// Why the lab database cannot be used, in the operator's language: one or two sentences, with
// what to do where someone can do something.
QString ReasonText(const Outcome& outcome, int languageIndex);

// "Lab database: connected · 0 waiting", "Lab database: unreachable since 14:02 · 37 waiting".
QString StatusLine(const LinkStatus& status, int languageIndex);

}  // namespace labsync
