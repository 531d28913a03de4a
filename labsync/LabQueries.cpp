#include "labsync/LabQueries.h"

#include <algorithm>
#include <limits>

#include "labsync/RowReader.h"
#include "labsync/Schema.h"

namespace labsync {
namespace {

// Times come as milliseconds since the epoch, so that no time format of the server's needs reading.
// The days of the filter are the station's own, as its clock showed the start (its UTC offset),
// as the record's own list filters them.
constexpr const char* kListSql = R"(
SELECT b.batch_uuid, b.station_uuid, s.name, b.batch_id, b.product, b.spec_uuid, b.operator,
       (extract(epoch FROM b.started_at) * 1000)::bigint, b.started_utc_offset,
       CASE WHEN last.event = 'closed' THEN (extract(epoch FROM last.happened_at) * 1000)::bigint END,
       coalesce(c.readings, 0), coalesce(c.passes, 0), coalesce(c.warnings, 0), coalesce(c.fails, 0)
  FROM korvanta.batches b
  JOIN korvanta.stations s ON s.station_uuid = b.station_uuid
  LEFT JOIN LATERAL (SELECT e.event, e.happened_at FROM korvanta.batch_events e
                      WHERE e.batch_uuid = b.batch_uuid
                      ORDER BY e.happened_at DESC, e.station_sequence DESC LIMIT 1) last ON true
  LEFT JOIN korvanta.batch_counts c ON c.batch_uuid = b.batch_uuid
 WHERE ($1::text = '' OR b.batch_id ILIKE $1 OR b.product ILIKE $1 OR b.operator ILIKE $1 OR s.name ILIKE $1)
   AND ($2::date IS NULL OR (b.started_at AT TIME ZONE 'UTC') + b.started_utc_offset * interval '1 second'
                              >= $2::date)
   AND ($3::date IS NULL OR (b.started_at AT TIME ZONE 'UTC') + b.started_utc_offset * interval '1 second'
                              < $3::date + 1)
   AND ($4::uuid IS NULL OR b.station_uuid = $4::uuid)
 ORDER BY b.started_at DESC, b.batch_uuid
 LIMIT $5)";

constexpr const char* kBatchSql = R"(
SELECT r.reading_uuid, (extract(epoch FROM r.taken_at) * 1000)::bigint, r.taken_utc_offset,
       r.date_text, r.time_text, r.mode_20, r.mode_60, r.value_20_text, r.value_60_text,
       r.value_20, r.value_60, coalesce(cc.comment, r.comment),
       r.verdict_20, r.verdict_60, r.verdict_haze, r.verdict, r.serial, r.firmware,
       (SELECT (extract(epoch FROM min(w.withdrawn_at)) * 1000)::bigint
          FROM korvanta.withdrawals w WHERE w.reading_uuid = r.reading_uuid)
  FROM korvanta.readings r
  LEFT JOIN LATERAL (SELECT c.comment FROM korvanta.comment_changes c
                      WHERE c.reading_uuid = r.reading_uuid
                      ORDER BY c.changed_at DESC, c.station_sequence DESC LIMIT 1) cc ON true
 WHERE r.batch_uuid = $1::uuid
 ORDER BY r.taken_at, r.station_sequence)";

std::optional<QByteArray> DayParam(const QDate& day) {
  if (!day.isValid()) return std::nullopt;
  return day.toString(Qt::ISODate).toLatin1();
}

// ILIKE's pattern for "contains", with its wildcards in the operator's text taken literally.
QByteArray ContainsPattern(const QString& text) {
  if (text.isEmpty()) return QByteArray("");
  QString escaped;
  for (const QChar c : text) {
    if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_')) escaped += QLatin1Char('\\');
    escaped += c;
  }
  return (QLatin1Char('%') + escaped + QLatin1Char('%')).toUtf8();
}

}  // namespace

Outcome ListBatches(Connection& connection, const BatchFilter& filter, Deadline deadline, std::vector<LabBatch>& out) {
  out.clear();
  Result result;
  Outcome outcome = connection.Query(
      {kListSql,
       {ContainsPattern(filter.text), DayParam(filter.from), DayParam(filter.to),
        filter.station.isNull() ? std::nullopt
                                : std::optional<QByteArray>(filter.station.toString(QUuid::WithoutBraces).toLatin1()),
        QByteArray::number(std::max(1, filter.limit))}},
      deadline, result);
  if (!outcome.Ok()) return outcome;
  if (result.Columns() != 14) return Outcome::Fail(Failure::BadData, QStringLiteral("batches"));
  std::vector<LabBatch> batches;
  batches.reserve(static_cast<std::size_t>(result.Rows()));
  for (int row = 0; row < result.Rows(); ++row) {
    RowReader r(result, row, "batches");
    LabBatch b;
    b.batch = r.Uuid(0, "batch_uuid");
    b.station = r.Uuid(1, "station_uuid");
    b.stationName = r.Text(2, "station", limits::kName, false, false);
    b.batchId = r.Text(3, "batch_id", limits::kBatchId, false, false);
    b.product = r.Text(4, "product", limits::kName, true, false);
    if (!result.IsNull(row, 5)) b.specification = r.Uuid(5, "spec_uuid");
    b.operatorName = r.Text(6, "operator", limits::kName);
    const int offset = r.Offset(8, "started_utc_offset");
    b.startedAt = r.Instant(7, "started_at", offset).value_or(QDateTime());
    b.closedAt = r.Instant(9, "closed_at", offset, true);
    b.readings = r.Count(10, "readings");
    b.passes = r.Count(11, "passes");
    b.warnings = r.Count(12, "warnings");
    b.fails = r.Count(13, "fails");
    if (!r.Problem().Ok()) return r.Problem();
    batches.push_back(std::move(b));
  }
  out = std::move(batches);
  return {};
}

Outcome ReadBatch(Connection& connection, const QUuid& batch, Deadline deadline, std::vector<LabReading>& out) {
  out.clear();
  Result result;
  Outcome outcome = connection.Query({kBatchSql, {batch.toString(QUuid::WithoutBraces).toLatin1()}}, deadline, result);
  if (!outcome.Ok()) return outcome;
  if (result.Columns() != 19) return Outcome::Fail(Failure::BadData, QStringLiteral("readings"));
  std::vector<LabReading> readings;
  readings.reserve(static_cast<std::size_t>(result.Rows()));
  for (int row = 0; row < result.Rows(); ++row) {
    RowReader r(result, row, "readings");
    LabReading x;
    x.reading = r.Uuid(0, "reading_uuid");
    const int offset = r.Offset(2, "taken_utc_offset");
    x.takenAt = r.Instant(1, "taken_at", offset).value_or(QDateTime());
    x.date = r.Text(3, "date_text", limits::kShortText);
    x.time = r.Text(4, "time_text", limits::kShortText);
    x.mode20 = r.Text(5, "mode_20", limits::kCode);
    x.mode60 = r.Text(6, "mode_60", limits::kCode);
    x.value20Text = r.Text(7, "value_20_text", limits::kShortText);
    x.value60Text = r.Text(8, "value_60_text", limits::kShortText);
    x.value20 = r.Hundredths(9, "value_20");
    x.value60 = r.Hundredths(10, "value_60");
    x.comment = r.Text(11, "comment", limits::kComment);
    x.verdict20 = r.VerdictOf(12, "verdict_20");
    x.verdict60 = r.VerdictOf(13, "verdict_60");
    x.verdictHaze = r.VerdictOf(14, "verdict_haze");
    x.verdict = r.VerdictOf(15, "verdict");
    x.serial = r.Text(16, "serial", limits::kCode);
    x.firmware = r.Text(17, "firmware", limits::kCode);
    x.withdrawnAt = r.Instant(18, "withdrawn_at", offset, true);
    if (!r.Problem().Ok()) return r.Problem();
    readings.push_back(std::move(x));
  }
  out = std::move(readings);
  return {};
}

}  // namespace labsync
