// The lab database's schema: the tables in the PostgreSQL schema `korvanta`, its version, its
// creation and upgrades, and the rights of the two roles a lab may create.
//
// The version has a major and a minor number, kept in korvanta.schema_version. A minor step only
// adds (tables, columns with defaults, indexes), so a program that knows 1.0 works unchanged on a
// server at 1.3; a major step changes what is there, and a program that knows an older major
// writes nothing. Every table a station writes is append-only and keyed by a UUID the station
// made, so that sending a change twice is harmless (INSERT ... ON CONFLICT DO NOTHING): a reading is
// one row of `readings` for ever; a withdrawal or a comment change is a row of its own that refers
// to it, so the server keeps the history of every change. Each row keeps the station's instant
// (timestamptz, with the station's UTC offset beside it where it is shown) and the server's time
// of arrival, so that a station's wrong clock shows.
//
// Rights (given by --init-lab-database when the roles exist):
//   korvanta_station  reads everything; inserts stations, specifications, batches and their
//                     events, readings, withdrawals and comment changes; updates only a station's
//                     name and last-seen time. No update or delete of anything else.
//   korvanta_lead     what a station may, and edits the lab's products (which specification version
//                     a product name stands for, its name, and whether it is retired).
#pragma once

#include <QString>
#include <QStringList>

#include "labsync/Connection.h"

namespace labsync {

struct SchemaVersion {
  int major = 0;
  int minor = 0;
  QString Text() const { return QStringLiteral("%1.%2").arg(major).arg(minor); }
  friend bool operator==(const SchemaVersion&, const SchemaVersion&) = default;
};

// The version this program writes and understands. 1.1 added to 1.0 a specification version's
// product identity and state (active, retired, deleted), so that a station's products keep who
// they are across renames and a deleted product is told as such, and lets a lead rename a product.
inline constexpr SchemaVersion kSchemaVersion{1, 1};

inline constexpr const char* kStationRole = "korvanta_station";
inline constexpr const char* kLeadRole = "korvanta_lead";

// Lengths the tables accept (characters). The sender checks changes against them before it sends,
// and the lab view refuses longer texts from the server.
namespace limits {
inline constexpr int kName = 200;      // product, operator, station names
inline constexpr int kBatchId = 64;    // as the Batch window accepts
inline constexpr int kComment = 4000;  // a reading's comment
inline constexpr int kShortText = 40;  // date, time and value texts as the table shows them
inline constexpr int kCode = 16;       // mode letters, serial number, firmware
// numeric(12,2): values, targets, tolerances and limits below 10^10 GU, in hundredths.
inline constexpr long long kHundredths = 999'999'999'999LL;
}  // namespace limits

// What a database holds: no lab schema (exists false), or its version.
struct ServerSchema {
  bool exists = false;
  bool usable = false;  // the schema may be used by this role (USAGE)
  SchemaVersion version;
};

// Reads the lab schema's state in one round trip (two when it exists). A version row that is
// missing, doubled or NULL is BadData.
Outcome ReadServerSchema(Connection& connection, Deadline deadline, ServerSchema& schema);

// Whether a program that knows kSchemaVersion may write to a server at `server`: None, or
// SchemaTooNew (newer major), or SchemaTooOld (older major, or an older minor of ours).
Failure Compatibility(const SchemaVersion& server);

// What --init-lab-database did.
struct InitReport {
  enum class Action { Created, Upgraded, Renewed, LeftNewerMinor } action = Action::Created;
  SchemaVersion before;  // {0, 0} when there was no schema
  SchemaVersion after;
  QStringList rolesGranted;
};

// Creates the schema in the database `connection` is open on, or upgrades it to `target`
// (kSchemaVersion; an older one only for tests of the upgrades), in one transaction under an
// advisory lock (two administrators at once wait for each other), and gives the rights to the
// roles that exist. A schema with a newer minor version is left as it is, rights included; a newer
// major is SchemaTooNew. Either way nothing is changed then.
Outcome InitSchema(Connection& connection, Deadline deadline, InitReport& report,
                   SchemaVersion target = kSchemaVersion);

}  // namespace labsync
