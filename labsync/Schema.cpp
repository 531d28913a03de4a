#include "labsync/Schema.h"

#include <QStringList>

namespace labsync {
namespace {

// The texts' limits as SQL checks, from the same constants the sender checks against.
QByteArray Sql(const char* text) {
  QString sql = QString::fromUtf8(text);
  sql.replace(QLatin1String("{NAME}"), QString::number(limits::kName));
  sql.replace(QLatin1String("{BATCH_ID}"), QString::number(limits::kBatchId));
  sql.replace(QLatin1String("{COMMENT}"), QString::number(limits::kComment));
  sql.replace(QLatin1String("{SHORT}"), QString::number(limits::kShortText));
  sql.replace(QLatin1String("{CODE}"), QString::number(limits::kCode));
  return sql.toUtf8();
}

// Schema 1.0, from nothing.
constexpr const char* kCreate_1_0[] = {
    "CREATE SCHEMA korvanta",
    "COMMENT ON SCHEMA korvanta IS 'KORVANTA III lab database: batches and readings of every station'",
    R"(CREATE TABLE korvanta.schema_version (
         only_row boolean PRIMARY KEY DEFAULT true CHECK (only_row),
         major integer NOT NULL,
         minor integer NOT NULL,
         changed_at timestamptz NOT NULL DEFAULT now()))",
    R"(CREATE TABLE korvanta.stations (
         station_uuid uuid PRIMARY KEY,
         name text NOT NULL CHECK (char_length(name) BETWEEN 1 AND {NAME}),
         joined_at timestamptz NOT NULL DEFAULT now(),
         last_seen_at timestamptz NOT NULL DEFAULT now()))",
    // One version of a product's specification, as the station that made it had it. Limits are
    // GU in hundredths' precision; a side without a limit is NULL.
    R"(CREATE TABLE korvanta.specifications (
         spec_uuid uuid PRIMARY KEY,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         product text NOT NULL CHECK (char_length(product) BETWEEN 1 AND {NAME}),
         version integer NOT NULL CHECK (version >= 1),
         target_20 numeric(12,2), tolerance_20 numeric(12,2), minimum_20 numeric(12,2), maximum_20 numeric(12,2),
         target_60 numeric(12,2), tolerance_60 numeric(12,2), minimum_60 numeric(12,2), maximum_60 numeric(12,2),
         warning_band numeric(5,2) NOT NULL CHECK (warning_band BETWEEN 0 AND 50),
         largest_haze numeric(12,2),
         created_at timestamptz NOT NULL,
         received_at timestamptz NOT NULL DEFAULT now()))",
    R"(CREATE TABLE korvanta.specification_retirements (
         event_uuid uuid PRIMARY KEY,
         spec_uuid uuid NOT NULL REFERENCES korvanta.specifications,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         retired_at timestamptz NOT NULL,
         received_at timestamptz NOT NULL DEFAULT now()))",
    // The lab's products: which specification version a product name stands for. A station adds
    // a name the lab does not have yet; only a lead changes one.
    R"(CREATE TABLE korvanta.products (
         product text PRIMARY KEY CHECK (char_length(product) BETWEEN 1 AND {NAME}),
         spec_uuid uuid NOT NULL REFERENCES korvanta.specifications,
         retired boolean NOT NULL DEFAULT false,
         changed_at timestamptz NOT NULL DEFAULT now(),
         changed_by text NOT NULL DEFAULT current_user))",
    R"(CREATE TABLE korvanta.batches (
         batch_uuid uuid PRIMARY KEY,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         batch_id text NOT NULL CHECK (char_length(batch_id) BETWEEN 1 AND {BATCH_ID}),
         product text CHECK (char_length(product) BETWEEN 1 AND {NAME}),
         spec_uuid uuid REFERENCES korvanta.specifications,
         operator text NOT NULL CHECK (char_length(operator) <= {NAME}),
         started_at timestamptz NOT NULL,
         started_utc_offset integer NOT NULL CHECK (started_utc_offset BETWEEN -64800 AND 64800),
         received_at timestamptz NOT NULL DEFAULT now()))",
    "CREATE INDEX batches_started ON korvanta.batches (started_at DESC)",
    "CREATE INDEX batches_station ON korvanta.batches (station_uuid, started_at DESC)",
    R"(CREATE TABLE korvanta.batch_events (
         event_uuid uuid PRIMARY KEY,
         batch_uuid uuid NOT NULL REFERENCES korvanta.batches,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         event text NOT NULL CHECK (event IN ('closed', 'reopened')),
         happened_at timestamptz NOT NULL,
         received_at timestamptz NOT NULL DEFAULT now()))",
    "CREATE INDEX batch_events_batch ON korvanta.batch_events (batch_uuid, happened_at)",
    R"(CREATE TABLE korvanta.readings (
         reading_uuid uuid PRIMARY KEY,
         batch_uuid uuid NOT NULL REFERENCES korvanta.batches,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         taken_at timestamptz NOT NULL,
         taken_utc_offset integer NOT NULL CHECK (taken_utc_offset BETWEEN -64800 AND 64800),
         received_at timestamptz NOT NULL DEFAULT now(),
         date_text text NOT NULL CHECK (char_length(date_text) <= {SHORT}),
         time_text text NOT NULL CHECK (char_length(time_text) <= {SHORT}),
         mode_20 text NOT NULL CHECK (char_length(mode_20) <= {CODE}),
         mode_60 text NOT NULL CHECK (char_length(mode_60) <= {CODE}),
         value_20_text text NOT NULL CHECK (char_length(value_20_text) <= {SHORT}),
         value_60_text text NOT NULL CHECK (char_length(value_60_text) <= {SHORT}),
         value_20 numeric(12,2),
         value_60 numeric(12,2),
         comment text NOT NULL CHECK (char_length(comment) <= {COMMENT}),
         verdict_20 text CHECK (verdict_20 IN ('PASS', 'WARN', 'FAIL', 'NO VALUE')),
         verdict_60 text CHECK (verdict_60 IN ('PASS', 'WARN', 'FAIL', 'NO VALUE')),
         verdict_haze text CHECK (verdict_haze IN ('PASS', 'WARN', 'FAIL', 'NO VALUE')),
         verdict text CHECK (verdict IN ('PASS', 'WARN', 'FAIL', 'NO VALUE')),
         serial text NOT NULL CHECK (char_length(serial) <= {CODE}),
         firmware text NOT NULL CHECK (char_length(firmware) <= {CODE})))",
    "CREATE INDEX readings_batch ON korvanta.readings (batch_uuid, taken_at)",
    R"(CREATE TABLE korvanta.withdrawals (
         event_uuid uuid PRIMARY KEY,
         reading_uuid uuid NOT NULL REFERENCES korvanta.readings,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         withdrawn_at timestamptz NOT NULL,
         received_at timestamptz NOT NULL DEFAULT now()))",
    "CREATE INDEX withdrawals_reading ON korvanta.withdrawals (reading_uuid)",
    R"(CREATE TABLE korvanta.comment_changes (
         event_uuid uuid PRIMARY KEY,
         reading_uuid uuid NOT NULL REFERENCES korvanta.readings,
         station_uuid uuid NOT NULL REFERENCES korvanta.stations,
         station_sequence bigint NOT NULL,
         comment text NOT NULL CHECK (char_length(comment) <= {COMMENT}),
         changed_at timestamptz NOT NULL,
         received_at timestamptz NOT NULL DEFAULT now()))",
    "CREATE INDEX comment_changes_reading ON korvanta.comment_changes (reading_uuid, changed_at)",
};

// 1.0 to 1.1: a specification version's product (the same UUID in all versions of a product, as
// the station that made it keeps it) and its state; rows of 1.0 stations have no product and are
// active. And each batch's counts of readings not withdrawn and of their verdicts, kept by the
// server itself as readings and withdrawals arrive, so that the lab view lists a thousand batches
// without counting their readings again: a table no role may write, kept by statement triggers that
// run as the schema's owner (SECURITY DEFINER, with a search path of their own), whoever sends. A
// row sent twice is inserted once, and only inserted rows reach a trigger. Derived from `readings`
// and `withdrawals`: rows changed there by hand are not counted again.
constexpr const char* kUpgrade_1_1[] = {
    R"(ALTER TABLE korvanta.specifications
         ADD COLUMN product_uuid uuid,
         ADD COLUMN state text NOT NULL DEFAULT 'active' CHECK (state IN ('active', 'retired', 'deleted')))",
    "CREATE INDEX specifications_product ON korvanta.specifications (product_uuid, version)",
    R"(CREATE TABLE korvanta.batch_counts (
         batch_uuid uuid PRIMARY KEY REFERENCES korvanta.batches,
         readings bigint NOT NULL DEFAULT 0,
         passes bigint NOT NULL DEFAULT 0,
         warnings bigint NOT NULL DEFAULT 0,
         fails bigint NOT NULL DEFAULT 0))",
    R"(INSERT INTO korvanta.batch_counts (batch_uuid, readings, passes, warnings, fails)
         SELECT r.batch_uuid, count(*), count(*) FILTER (WHERE r.verdict = 'PASS'),
                count(*) FILTER (WHERE r.verdict = 'WARN'), count(*) FILTER (WHERE r.verdict = 'FAIL')
           FROM korvanta.readings r
          WHERE NOT EXISTS (SELECT 1 FROM korvanta.withdrawals w WHERE w.reading_uuid = r.reading_uuid)
          GROUP BY r.batch_uuid)",
    R"(CREATE FUNCTION korvanta.count_readings() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
         SET search_path = pg_catalog, pg_temp AS $body$
       BEGIN
         INSERT INTO korvanta.batch_counts AS c (batch_uuid, readings, passes, warnings, fails)
           SELECT n.batch_uuid, count(*), count(*) FILTER (WHERE n.verdict = 'PASS'),
                  count(*) FILTER (WHERE n.verdict = 'WARN'), count(*) FILTER (WHERE n.verdict = 'FAIL')
             FROM arrived n GROUP BY n.batch_uuid
           ON CONFLICT (batch_uuid) DO UPDATE SET readings = c.readings + EXCLUDED.readings,
             passes = c.passes + EXCLUDED.passes, warnings = c.warnings + EXCLUDED.warnings,
             fails = c.fails + EXCLUDED.fails;
         RETURN NULL;
       END $body$)",
    R"(CREATE FUNCTION korvanta.count_withdrawals() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
         SET search_path = pg_catalog, pg_temp AS $body$
       BEGIN
         -- A reading withdrawn before (by another event) was taken off already.
         UPDATE korvanta.batch_counts c SET readings = c.readings - w.n, passes = c.passes - w.passes,
                warnings = c.warnings - w.warnings, fails = c.fails - w.fails
           FROM (SELECT r.batch_uuid, count(*) AS n, count(*) FILTER (WHERE r.verdict = 'PASS') AS passes,
                        count(*) FILTER (WHERE r.verdict = 'WARN') AS warnings,
                        count(*) FILTER (WHERE r.verdict = 'FAIL') AS fails
                   FROM (SELECT DISTINCT a.reading_uuid FROM arrived a) x
                   JOIN korvanta.readings r ON r.reading_uuid = x.reading_uuid
                  WHERE NOT EXISTS (SELECT 1 FROM korvanta.withdrawals o
                                     WHERE o.reading_uuid = x.reading_uuid
                                       AND o.event_uuid NOT IN (SELECT a.event_uuid FROM arrived a))
                  GROUP BY r.batch_uuid) w
          WHERE c.batch_uuid = w.batch_uuid;
         RETURN NULL;
       END $body$)",
    "REVOKE ALL ON FUNCTION korvanta.count_readings(), korvanta.count_withdrawals() FROM PUBLIC",
    R"(CREATE TRIGGER readings_counted AFTER INSERT ON korvanta.readings REFERENCING NEW TABLE AS arrived
         FOR EACH STATEMENT EXECUTE FUNCTION korvanta.count_readings())",
    R"(CREATE TRIGGER withdrawals_counted AFTER INSERT ON korvanta.withdrawals REFERENCING NEW TABLE AS arrived
         FOR EACH STATEMENT EXECUTE FUNCTION korvanta.count_withdrawals())",
};

// One step of the schema's history. Later versions append a step from the one before.
struct Step {
  SchemaVersion from;
  SchemaVersion to;
  std::vector<const char*> statements;
};

const std::vector<Step>& Steps() {
  static const std::vector<Step> steps = {
      {{0, 0}, {1, 0}, std::vector<const char*>(std::begin(kCreate_1_0), std::end(kCreate_1_0))},
      {{1, 0}, {1, 1}, std::vector<const char*>(std::begin(kUpgrade_1_1), std::end(kUpgrade_1_1))},
  };
  return steps;
}

// The rights of the two roles, exactly: whatever else someone gave them on these tables is taken
// back first.
std::vector<QByteArray> Grants(bool station, bool lead) {
  std::vector<QByteArray> sql;
  QStringList roles;
  if (station) roles << QString::fromLatin1(kStationRole);
  if (lead) roles << QString::fromLatin1(kLeadRole);
  if (roles.isEmpty()) return sql;
  const QByteArray all = roles.join(QStringLiteral(", ")).toUtf8();
  sql.push_back("REVOKE ALL ON ALL TABLES IN SCHEMA korvanta FROM " + all);
  sql.push_back("GRANT USAGE ON SCHEMA korvanta TO " + all);
  sql.push_back("GRANT SELECT ON ALL TABLES IN SCHEMA korvanta TO " + all);
  sql.push_back(
      "GRANT INSERT ON korvanta.stations, korvanta.specifications, korvanta.specification_retirements, "
      "korvanta.products, korvanta.batches, korvanta.batch_events, korvanta.readings, korvanta.withdrawals, "
      "korvanta.comment_changes TO " +
      all);
  sql.push_back("GRANT UPDATE (name, last_seen_at) ON korvanta.stations TO " + all);
  if (lead) {
    sql.push_back(
        QByteArray("GRANT UPDATE (product, spec_uuid, retired, changed_at, changed_by) ON korvanta.products TO ") +
        kLeadRole);
  }
  return sql;
}

// A transaction that cannot go on: dropping the connection rolls back whatever it did.
Outcome Abandon(Connection& connection, Outcome outcome) {
  connection.Drop();
  return outcome;
}

bool ParseInt(const QByteArray& text, int& value) {
  bool ok = false;
  value = text.toInt(&ok);
  return ok;
}

}  // namespace

Failure Compatibility(const SchemaVersion& server) {
  if (server.major > kSchemaVersion.major) return Failure::SchemaTooNew;
  if (server.major < kSchemaVersion.major || server.minor < kSchemaVersion.minor) return Failure::SchemaTooOld;
  return Failure::None;
}

Outcome ReadServerSchema(Connection& connection, Deadline deadline, ServerSchema& schema) {
  schema = ServerSchema();
  Result found;
  Outcome outcome = connection.Query(
      {"SELECT pg_catalog.has_schema_privilege(oid, 'USAGE') FROM pg_catalog.pg_namespace WHERE nspname = 'korvanta'",
       {}},
      deadline, found);
  if (!outcome.Ok()) return outcome;
  if (found.Rows() == 0) return {};
  schema.exists = true;
  if (found.Rows() != 1 || found.IsNull(0, 0)) return Outcome::Fail(Failure::BadData, QStringLiteral("pg_namespace"));
  schema.usable = found.Bytes(0, 0) == "t";
  if (!schema.usable) return {};

  Result version;
  outcome = connection.Query({"SELECT major, minor FROM korvanta.schema_version", {}}, deadline, version);
  if (!outcome.Ok()) return outcome;
  const QString where = QStringLiteral("schema_version");
  if (version.Rows() != 1 || version.Columns() != 2 || version.IsNull(0, 0) || version.IsNull(0, 1) ||
      !ParseInt(version.Bytes(0, 0), schema.version.major) || !ParseInt(version.Bytes(0, 1), schema.version.minor) ||
      schema.version.major < 1 || schema.version.minor < 0) {
    return Outcome::Fail(Failure::BadData, where);
  }
  return {};
}

Outcome InitSchema(Connection& connection, Deadline deadline, InitReport& report, SchemaVersion target) {
  report = InitReport();
  // Two administrators (or two upgrades) at once: the second waits for the first and then finds
  // the schema done.
  Outcome outcome =
      connection.Run({{"BEGIN", {}}, {"SELECT pg_advisory_xact_lock(7306214899124570163)", {}}}, deadline);
  if (!outcome.Ok()) return Abandon(connection, outcome);

  ServerSchema schema;
  outcome = ReadServerSchema(connection, deadline, schema);
  if (!outcome.Ok()) return Abandon(connection, outcome);
  if (schema.exists && !schema.usable) {
    return Abandon(connection, Outcome::Fail(Failure::NotAllowed, QStringLiteral("korvanta")));
  }

  SchemaVersion current = schema.exists ? schema.version : SchemaVersion{0, 0};
  report.before = current;
  if (current.major > target.major) {
    return Abandon(connection, Outcome::Fail(Failure::SchemaTooNew, current.Text()));
  }

  std::vector<Statement> statements;
  if (current.major == target.major && current.minor > target.minor) {
    // Its rights are the newer program's to give: renewing ours would take back the rights on
    // what it added.
    report.action = InitReport::Action::LeftNewerMinor;
    report.after = current;
    return Abandon(connection, {});
  }
  if (current == target) {
    report.action = InitReport::Action::Renewed;
  } else {
    report.action = schema.exists ? InitReport::Action::Upgraded : InitReport::Action::Created;
    while (!(current == target)) {
      const Step* next = nullptr;
      for (const Step& step : Steps()) {
        if (step.from == current) next = &step;
      }
      if (next == nullptr) return Abandon(connection, Outcome::Fail(Failure::SchemaTooOld, current.Text()));
      for (const char* sql : next->statements) statements.push_back({Sql(sql), {}});
      current = next->to;
    }
    statements.push_back(
        {"INSERT INTO korvanta.schema_version (major, minor) VALUES ($1, $2) "
         "ON CONFLICT (only_row) DO UPDATE SET major = EXCLUDED.major, minor = EXCLUDED.minor, "
         "changed_at = now()",
         {QByteArray::number(target.major), QByteArray::number(target.minor)}});
  }
  report.after = current;

  Result roles;
  outcome = connection.Query({"SELECT rolname FROM pg_catalog.pg_roles WHERE rolname IN ($1, $2) ORDER BY rolname DESC",
                              {QByteArray(kStationRole), QByteArray(kLeadRole)}},
                             deadline, roles);
  if (!outcome.Ok()) return Abandon(connection, outcome);
  bool station = false;
  bool lead = false;
  for (int row = 0; row < roles.Rows(); ++row) {
    station = station || roles.Text(row, 0) == QLatin1String(kStationRole);
    lead = lead || roles.Text(row, 0) == QLatin1String(kLeadRole);
  }
  for (const QByteArray& sql : Grants(station, lead)) statements.push_back({sql, {}});
  if (station) report.rolesGranted << QString::fromLatin1(kStationRole);
  if (lead) report.rolesGranted << QString::fromLatin1(kLeadRole);

  statements.push_back({"COMMIT", {}});
  outcome = connection.Run(statements, deadline);
  if (!outcome.Ok()) return Abandon(connection, outcome);
  return {};
}

}  // namespace labsync
