#include "labsync/Products.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "labsync/RowReader.h"
#include "labsync/Schema.h"

namespace labsync {
namespace {

// A version's columns, from the 4th on in both queries below: times as milliseconds since the epoch.
#define KORVANTA_VERSION_COLUMNS                                                                            \
  "s.spec_uuid, s.product_uuid, s.product, s.version, s.state, s.target_20, s.tolerance_20, s.minimum_20, " \
  "s.maximum_20, s.target_60, s.tolerance_60, s.minimum_60, s.maximum_60, s.warning_band, s.largest_haze, " \
  "(extract(epoch FROM s.created_at) * 1000)::bigint"
constexpr int kVersionColumns = 16;

constexpr const char* kProductsSql =
    "SELECT p.product, p.retired, p.changed_by, (extract(epoch FROM p.changed_at) * "
    "1000)::bigint, " KORVANTA_VERSION_COLUMNS
    " FROM korvanta.products p JOIN korvanta.specifications s ON s.spec_uuid = p.spec_uuid ORDER BY p.product";

constexpr const char* kVersionSql =
    "SELECT NULL, NULL, NULL, NULL, " KORVANTA_VERSION_COLUMNS " FROM korvanta.specifications s WHERE s.spec_uuid = $1";

// The version from column 4 on.
SpecificationAdded ReadVersion(RowReader& r) {
  SpecificationAdded v;
  v.specification = r.Uuid(4, "spec_uuid");
  if (!r.IsNull(5)) v.productUuid = r.Uuid(5, "product_uuid");
  v.product = r.Text(6, "product", limits::kName, false, false);
  v.version = static_cast<int>(r.Integer(7, "version", 1, std::numeric_limits<int>::max()).value_or(1));
  const QString state = r.Text(8, "state", limits::kCode);
  if (state == QLatin1String("retired")) {
    v.state = SpecificationState::Retired;
  } else if (state == QLatin1String("deleted")) {
    v.state = SpecificationState::Deleted;
  } else if (state != QLatin1String("active")) {
    r.Fail("state");
  }
  const char* names[2][4] = {{"target_20", "tolerance_20", "minimum_20", "maximum_20"},
                             {"target_60", "tolerance_60", "minimum_60", "maximum_60"}};
  AngleLimits* angles[2] = {&v.at20, &v.at60};
  for (int a = 0; a < 2; ++a) {
    AngleLimits& l = *angles[a];
    const int first = 9 + a * 4;
    l.target = r.Hundredths(first, names[a][0]);
    l.tolerance = r.Hundredths(first + 1, names[a][1]);
    l.minimum = r.Hundredths(first + 2, names[a][2]);
    l.maximum = r.Hundredths(first + 3, names[a][3]);
    // One kind of limit per angle, as a station judges: a target with a tolerance above 0, or
    // only a minimum, or only a maximum, or none.
    const int kinds = (l.target || l.tolerance ? 1 : 0) + (l.minimum ? 1 : 0) + (l.maximum ? 1 : 0);
    if (kinds > 1) r.Fail(l.minimum ? names[a][2] : names[a][3]);
    if (l.target.has_value() != l.tolerance.has_value() || (l.tolerance && *l.tolerance <= 0)) r.Fail(names[a][1]);
  }
  v.warningBand = r.Hundredths(17, "warning_band").value_or(-1);
  if (r.IsNull(17) || v.warningBand < 0 || v.warningBand > 5000) r.Fail("warning_band");
  v.largestHaze = r.Hundredths(18, "largest_haze");
  v.at = r.Instant(19, "created_at", 0).value_or(QDateTime());
  return v;
}

QByteArray UuidText(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toLatin1(); }

}  // namespace

Outcome ReadLabProducts(Connection& connection, Deadline deadline, std::vector<LabProduct>& out) {
  out.clear();
  Result result;
  Outcome outcome = connection.Query({kProductsSql, {}}, deadline, result);
  if (!outcome.Ok()) return outcome;
  if (result.Columns() != 4 + kVersionColumns) return Outcome::Fail(Failure::BadData, QStringLiteral("products"));
  std::vector<LabProduct> products;
  products.reserve(static_cast<std::size_t>(result.Rows()));
  for (int row = 0; row < result.Rows(); ++row) {
    RowReader r(result, row, "products");
    LabProduct p;
    p.name = r.Text(0, "product", limits::kName, false, false);
    if (r.IsNull(1)) r.Fail("retired");
    p.retired = result.Bytes(row, 1) == "t";
    p.changedBy = r.Text(2, "changed_by", limits::kName);
    p.changedAt = r.Instant(3, "changed_at", 0).value_or(QDateTime());
    p.version = ReadVersion(r);
    if (!r.Problem().Ok()) return r.Problem();
    products.push_back(std::move(p));
  }
  out = std::move(products);
  return {};
}

Outcome ReadSpecificationVersion(Connection& connection, const QUuid& specification, Deadline deadline,
                                 SpecificationAdded& out) {
  Result result;
  Outcome outcome = connection.Query({kVersionSql, {UuidText(specification)}}, deadline, result);
  if (!outcome.Ok()) return outcome;
  if (result.Columns() != 4 + kVersionColumns || result.Rows() != 1) {
    return Outcome::Fail(Failure::BadData, QStringLiteral("specifications.spec_uuid"));
  }
  RowReader r(result, 0, "specifications");
  out = ReadVersion(r);
  return r.Problem();
}

Outcome ReadIsLead(Connection& connection, Deadline deadline, bool& lead) {
  lead = false;
  Result result;
  // pg_has_role fails for a role that does not exist: the lab may have none.
  Outcome outcome = connection.Query({"SELECT CASE WHEN EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = $1) "
                                      "THEN pg_catalog.pg_has_role(current_user, $1, 'MEMBER') ELSE false END",
                                      {QByteArray(kLeadRole)}},
                                     deadline, result);
  if (!outcome.Ok()) return outcome;
  if (result.Rows() != 1 || result.IsNull(0, 0)) return Outcome::Fail(Failure::BadData, QStringLiteral("pg_has_role"));
  lead = result.Bytes(0, 0) == "t";
  return {};
}

Outcome ClaimProducts(Connection& connection, const std::vector<ProductClaim>& claims, Deadline deadline,
                      int& claimed) {
  claimed = 0;
  if (claims.empty()) return {};
  QJsonArray rows;
  for (const ProductClaim& c : claims) {
    rows.append(QJsonObject{{"product", c.name}, {"spec_uuid", QString::fromLatin1(UuidText(c.specification))}});
  }
  std::vector<Result> results;
  Outcome outcome = connection.Run(
      {{"INSERT INTO korvanta.products (product, spec_uuid) "
        "SELECT r.product, r.spec_uuid FROM jsonb_to_recordset($1::jsonb) AS r(product text, spec_uuid uuid) "
        "WHERE EXISTS (SELECT 1 FROM korvanta.specifications s WHERE s.spec_uuid = r.spec_uuid) "
        "AND NOT EXISTS (SELECT 1 FROM korvanta.products p WHERE lower(p.product) = lower(r.product)) "
        "ON CONFLICT DO NOTHING",
        {QJsonDocument(rows).toJson(QJsonDocument::Compact)}}},
      deadline, &results);
  if (!outcome.Ok()) return outcome;
  claimed = static_cast<int>(results.front().Affected());
  return {};
}

Outcome EditLabProduct(Connection& connection, const QUuid& station, const QString& stationName,
                       const ProductEdit& edit, Deadline deadline) {
  const bool isNew = edit.name.isEmpty();
  const QByteArray newName = edit.version.product.toUtf8();
  const QByteArray oldName = edit.name.toUtf8();
  // First the product's row, locked until the end, and whether another product has the new name.
  std::vector<Result> found;
  Outcome outcome =
      connection.Run({{"BEGIN", {}},
                      {"SELECT spec_uuid FROM korvanta.products WHERE product = $1 FOR UPDATE", {oldName}},
                      {"SELECT product FROM korvanta.products WHERE lower(product) = lower($1) AND product <> $2",
                       {newName, oldName}}},
                     deadline, &found);
  const auto rollBack = [&connection, deadline](Outcome o) {
    if (connection.IsOpen() && !connection.Run({{"ROLLBACK", {}}}, deadline).Ok()) connection.Drop();
    return o;
  };
  if (!outcome.Ok()) return rollBack(outcome);
  const Result& current = found[1];
  const bool unchanged =
      isNew ? current.Rows() == 0 : current.Rows() == 1 && QUuid::fromString(current.Text(0, 0)) == edit.expected;
  if (!unchanged) return rollBack(Outcome::Fail(Failure::Conflict, QStringLiteral("changed")));
  if (found[2].Rows() != 0) return rollBack(Outcome::Fail(Failure::Conflict, QStringLiteral("name")));

  const QByteArray stationText = UuidText(station);
  const QByteArray specText = UuidText(edit.version.specification);
  const QByteArray retired = edit.version.state == SpecificationState::Retired ? "true" : "false";
  std::vector<Statement> statements = {
      {"INSERT INTO korvanta.stations (station_uuid, name) VALUES ($1, $2) ON CONFLICT (station_uuid) DO NOTHING",
       {stationText, stationName.toUtf8()}},
      {SpecificationInsertSql(), {SpecificationRows({{0, edit.version}}), stationText}},
  };
  if (isNew) {
    statements.push_back({"INSERT INTO korvanta.products (product, spec_uuid, retired) VALUES ($1, $2, $3)",
                          {newName, specText, retired}});
  } else {
    statements.push_back(
        {"UPDATE korvanta.products SET product = $1, spec_uuid = $2, retired = $3, changed_at = now(), "
         "changed_by = current_user WHERE product = $4",
         {newName, specText, retired, oldName}});
  }
  statements.push_back({"COMMIT", {}});
  outcome = connection.Run(statements, deadline);
  if (outcome.failure == Failure::Refused && outcome.sqlState == QLatin1String("23505")) {
    // Another lead added the same name in the moment between.
    return rollBack(Outcome::Fail(Failure::Conflict, QStringLiteral("name"), outcome.sqlState));
  }
  if (!outcome.Ok()) return rollBack(outcome);
  return {};
}

}  // namespace labsync
