#include "labsync/Changes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <array>
#include <cstdlib>

#include "labsync/Schema.h"

namespace labsync {
namespace {

// The tables a round trip may write, in the order of their references.
enum Table { kSpecifications, kRetirements, kBatches, kBatchEvents, kReadings, kWithdrawals, kComments, kTables };

struct Column {
  const char* name;
  const char* type;
};

struct TableShape {
  const char* table;
  std::vector<Column> columns;  // besides station_uuid, which the statement adds
};

const std::array<TableShape, kTables>& Shapes() {
  static const std::array<TableShape, kTables> shapes = {{
      {"korvanta.specifications",
       {{"spec_uuid", "uuid"},
        {"station_sequence", "bigint"},
        {"product", "text"},
        {"product_uuid", "uuid"},
        {"version", "integer"},
        {"state", "text"},
        {"target_20", "numeric"},
        {"tolerance_20", "numeric"},
        {"minimum_20", "numeric"},
        {"maximum_20", "numeric"},
        {"target_60", "numeric"},
        {"tolerance_60", "numeric"},
        {"minimum_60", "numeric"},
        {"maximum_60", "numeric"},
        {"warning_band", "numeric"},
        {"largest_haze", "numeric"},
        {"created_at", "timestamptz"}}},
      {"korvanta.specification_retirements",
       {{"event_uuid", "uuid"}, {"spec_uuid", "uuid"}, {"station_sequence", "bigint"}, {"retired_at", "timestamptz"}}},
      {"korvanta.batches",
       {{"batch_uuid", "uuid"},
        {"station_sequence", "bigint"},
        {"batch_id", "text"},
        {"product", "text"},
        {"spec_uuid", "uuid"},
        {"operator", "text"},
        {"started_at", "timestamptz"},
        {"started_utc_offset", "integer"}}},
      {"korvanta.batch_events",
       {{"event_uuid", "uuid"},
        {"batch_uuid", "uuid"},
        {"station_sequence", "bigint"},
        {"event", "text"},
        {"happened_at", "timestamptz"}}},
      {"korvanta.readings",
       {{"reading_uuid", "uuid"},
        {"batch_uuid", "uuid"},
        {"station_sequence", "bigint"},
        {"taken_at", "timestamptz"},
        {"taken_utc_offset", "integer"},
        {"date_text", "text"},
        {"time_text", "text"},
        {"mode_20", "text"},
        {"mode_60", "text"},
        {"value_20_text", "text"},
        {"value_60_text", "text"},
        {"value_20", "numeric"},
        {"value_60", "numeric"},
        {"comment", "text"},
        {"verdict_20", "text"},
        {"verdict_60", "text"},
        {"verdict_haze", "text"},
        {"verdict", "text"},
        {"serial", "text"},
        {"firmware", "text"}}},
      {"korvanta.withdrawals",
       {{"event_uuid", "uuid"},
        {"reading_uuid", "uuid"},
        {"station_sequence", "bigint"},
        {"withdrawn_at", "timestamptz"}}},
      {"korvanta.comment_changes",
       {{"event_uuid", "uuid"},
        {"reading_uuid", "uuid"},
        {"station_sequence", "bigint"},
        {"comment", "text"},
        {"changed_at", "timestamptz"}}},
  }};
  return shapes;
}

// INSERT INTO t (station_uuid, a, b) SELECT $2::uuid, r.a, r.b FROM jsonb_to_recordset($1::jsonb)
// AS r(a uuid, b text) ON CONFLICT DO NOTHING: the rows travel as one JSON array, so a round trip's
// worth of them is one parameter, whatever its size.
QByteArray InsertSql(const TableShape& shape) {
  QByteArray names = "station_uuid";
  QByteArray picks = "$2::uuid";
  QByteArray types;
  for (const Column& c : shape.columns) {
    names += QByteArray(", ") + c.name;
    picks += QByteArray(", r.") + c.name;
    if (!types.isEmpty()) types += ", ";
    types += QByteArray(c.name) + " " + c.type;
  }
  return QByteArray("INSERT INTO ") + shape.table + " (" + names + ") SELECT " + picks +
         " FROM jsonb_to_recordset($1::jsonb) AS r(" + types + ") ON CONFLICT DO NOTHING";
}

// PostgreSQL's text cannot hold U+0000; it is the one character a text is changed in.
QJsonValue Text(const QString& text) {
  if (!text.contains(QChar(0))) return text;
  QString copy = text;
  copy.replace(QChar(0), QChar(0xFFFD));
  return copy;
}

QJsonValue Uuid(const QUuid& uuid) {
  if (uuid.isNull()) return QJsonValue::Null;
  return uuid.toString(QUuid::WithoutBraces);
}

// The instant with the station's offset written out, which timestamptz reads exactly.
QJsonValue Instant(const QDateTime& at) { return at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODateWithMs); }

// Hundredths as an exact decimal text, which numeric reads without rounding.
QJsonValue Hundredths(std::optional<std::int64_t> value) {
  if (!value) return QJsonValue::Null;
  const std::int64_t v = *value;
  const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  return QStringLiteral("%1%2.%3")
      .arg(v < 0 ? QStringLiteral("-") : QString())
      .arg(magnitude / 100)
      .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

QJsonValue Sequence(std::int64_t sequence) { return QString::number(sequence); }

QJsonValue VerdictValue(Verdict verdict) {
  const std::optional<QByteArray> text = VerdictText(verdict);
  if (!text) return QJsonValue::Null;
  return QString::fromLatin1(*text);
}

struct Rows {
  std::array<QJsonArray, kTables> tables;

  void Add(std::int64_t sequence, const SpecificationAdded& c) {
    tables[kSpecifications].append(QJsonObject{
        {"spec_uuid", Uuid(c.specification)},
        {"station_sequence", Sequence(sequence)},
        {"product", Text(c.product)},
        {"product_uuid", Uuid(c.productUuid)},
        {"version", c.version},
        {"state", QString::fromLatin1(StateText(c.state))},
        {"target_20", Hundredths(c.at20.target)},
        {"tolerance_20", Hundredths(c.at20.tolerance)},
        {"minimum_20", Hundredths(c.at20.minimum)},
        {"maximum_20", Hundredths(c.at20.maximum)},
        {"target_60", Hundredths(c.at60.target)},
        {"tolerance_60", Hundredths(c.at60.tolerance)},
        {"minimum_60", Hundredths(c.at60.minimum)},
        {"maximum_60", Hundredths(c.at60.maximum)},
        {"warning_band", Hundredths(c.warningBand)},
        {"largest_haze", Hundredths(c.largestHaze)},
        {"created_at", Instant(c.at)},
    });
    // A retired version is a retirement too, under a UUID of its own made from the version's, so
    // that sending it again lands on the same row.
    if (c.state == SpecificationState::Retired) {
      Add(sequence,
          SpecificationRetired{QUuid::createUuidV5(c.specification, QByteArray("retirement")), c.specification, c.at});
    }
  }
  void Add(std::int64_t sequence, const SpecificationRetired& c) {
    tables[kRetirements].append(QJsonObject{{"event_uuid", Uuid(c.event)},
                                            {"spec_uuid", Uuid(c.specification)},
                                            {"station_sequence", Sequence(sequence)},
                                            {"retired_at", Instant(c.at)}});
  }
  void Add(std::int64_t sequence, const BatchStarted& c) {
    tables[kBatches].append(QJsonObject{
        {"batch_uuid", Uuid(c.batch)},
        {"station_sequence", Sequence(sequence)},
        {"batch_id", Text(c.batchId)},
        {"product", c.product.isEmpty() ? QJsonValue(QJsonValue::Null) : Text(c.product)},
        {"spec_uuid", Uuid(c.specification)},
        {"operator", Text(c.operatorName)},
        {"started_at", Instant(c.at)},
        {"started_utc_offset", c.at.offsetFromUtc()},
    });
  }
  void AddEvent(std::int64_t sequence, const QUuid& event, const QUuid& batch, const char* kind, const QDateTime& at) {
    tables[kBatchEvents].append(QJsonObject{{"event_uuid", Uuid(event)},
                                            {"batch_uuid", Uuid(batch)},
                                            {"station_sequence", Sequence(sequence)},
                                            {"event", QString::fromLatin1(kind)},
                                            {"happened_at", Instant(at)}});
  }
  void Add(std::int64_t sequence, const BatchClosed& c) { AddEvent(sequence, c.event, c.batch, "closed", c.at); }
  void Add(std::int64_t sequence, const BatchReopened& c) { AddEvent(sequence, c.event, c.batch, "reopened", c.at); }
  void Add(std::int64_t sequence, const ReadingRecorded& c) {
    tables[kReadings].append(QJsonObject{
        {"reading_uuid", Uuid(c.reading)},
        {"batch_uuid", Uuid(c.batch)},
        {"station_sequence", Sequence(sequence)},
        {"taken_at", Instant(c.takenAt)},
        {"taken_utc_offset", c.takenAt.offsetFromUtc()},
        {"date_text", Text(c.date)},
        {"time_text", Text(c.time)},
        {"mode_20", Text(c.mode20)},
        {"mode_60", Text(c.mode60)},
        {"value_20_text", Text(c.value20Text)},
        {"value_60_text", Text(c.value60Text)},
        {"value_20", Hundredths(c.value20)},
        {"value_60", Hundredths(c.value60)},
        {"comment", Text(c.comment)},
        {"verdict_20", VerdictValue(c.verdict20)},
        {"verdict_60", VerdictValue(c.verdict60)},
        {"verdict_haze", VerdictValue(c.verdictHaze)},
        {"verdict", VerdictValue(c.verdict)},
        {"serial", Text(c.serial)},
        {"firmware", Text(c.firmware)},
    });
  }
  void Add(std::int64_t sequence, const ReadingWithdrawn& c) {
    tables[kWithdrawals].append(QJsonObject{{"event_uuid", Uuid(c.event)},
                                            {"reading_uuid", Uuid(c.reading)},
                                            {"station_sequence", Sequence(sequence)},
                                            {"withdrawn_at", Instant(c.at)}});
  }
  void Add(std::int64_t sequence, const CommentChanged& c) {
    tables[kComments].append(QJsonObject{{"event_uuid", Uuid(c.event)},
                                         {"reading_uuid", Uuid(c.reading)},
                                         {"station_sequence", Sequence(sequence)},
                                         {"comment", Text(c.comment)},
                                         {"changed_at", Instant(c.at)}});
  }
  // Never sent: validation holds it back.
  void Add(std::int64_t, const Undecodable&) {}
};

// ---- validation ----

// Characters as PostgreSQL counts them: code points, not UTF-16 units.
qsizetype CodePoints(const QString& text) {
  qsizetype n = text.size();
  for (const QChar c : text) {
    if (c.isHighSurrogate()) --n;
  }
  return n;
}

class Checker {
 public:
  explicit Checker(const OutboxRow& row) : row_(row) {}

  Outcome Result() const { return outcome_; }

  void Uuid(const char* field, const QUuid& uuid) {
    if (uuid.isNull()) Fail(field);
  }
  void Instant(const char* field, const QDateTime& at) {
    // timestamptz reaches from 4713 BC to 294276 AD; a station's clock stays well within years
    // 1 to 9999, which ISO 8601 writes without surprises.
    if (!at.isValid() || at.date().year() < 1 || at.date().year() > 9999) Fail(field);
  }
  void Text(const char* field, const QString& text, int longest, bool mayBeEmpty = true) {
    if (CodePoints(text) > longest || (!mayBeEmpty && text.isEmpty())) Fail(field);
  }
  void Require(const char* field, bool ok) {
    if (!ok) Fail(field);
  }
  void Number(const char* field, std::optional<std::int64_t> value) {
    if (value && (*value > limits::kHundredths || *value < -limits::kHundredths)) Fail(field);
  }
  void Undecodable(const QString& kind, const QString& problem) {
    if (!outcome_.Ok()) return;
    outcome_ = Outcome::Fail(Failure::BadLocalData,
                             QStringLiteral("outbox row %1, %2: %3").arg(row_.sequence).arg(kind, problem));
  }

 private:
  void Fail(const char* field) {
    if (!outcome_.Ok()) return;
    outcome_ = Outcome::Fail(Failure::BadLocalData,
                             QStringLiteral("outbox row %1, %2").arg(row_.sequence).arg(QLatin1String(field)));
  }

  const OutboxRow& row_;
  Outcome outcome_;
};

}  // namespace

const char* StateText(SpecificationState state) {
  switch (state) {
    case SpecificationState::Retired:
      return "retired";
    case SpecificationState::Deleted:
      return "deleted";
    case SpecificationState::Active:
      break;
  }
  return "active";
}

QByteArray SpecificationRows(const std::vector<std::pair<std::int64_t, SpecificationAdded>>& versions) {
  Rows rows;
  for (const auto& [sequence, version] : versions) rows.Add(sequence, version);
  return QJsonDocument(rows.tables[kSpecifications]).toJson(QJsonDocument::Compact);
}

QByteArray SpecificationInsertSql() { return InsertSql(Shapes()[kSpecifications]); }

std::optional<QByteArray> VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return QByteArray("PASS");
    case Verdict::Warn:
      return QByteArray("WARN");
    case Verdict::Fail:
      return QByteArray("FAIL");
    case Verdict::NoValue:
      return QByteArray("NO VALUE");
    case Verdict::NotJudged:
      break;
  }
  return std::nullopt;
}

Outcome Validate(const OutboxRow& row) {
  Checker check(row);
  std::visit(
      [&check](const auto& c) {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, SpecificationAdded>) {
          check.Uuid("specification", c.specification);
          check.Text("product", c.product, limits::kName, false);
          check.Require("version", c.version >= 1);
          for (const AngleLimits* a : {&c.at20, &c.at60}) {
            check.Number("target", a->target);
            check.Number("tolerance", a->tolerance);
            check.Number("minimum", a->minimum);
            check.Number("maximum", a->maximum);
          }
          check.Require("warning band", c.warningBand >= 0 && c.warningBand <= 5000);
          check.Number("largest haze", c.largestHaze);
          check.Instant("time", c.at);
        } else if constexpr (std::is_same_v<T, SpecificationRetired>) {
          check.Uuid("event", c.event);
          check.Uuid("specification", c.specification);
          check.Instant("time", c.at);
        } else if constexpr (std::is_same_v<T, BatchStarted>) {
          check.Uuid("batch", c.batch);
          check.Text("batch ID", c.batchId, limits::kBatchId, false);
          check.Text("product", c.product, limits::kName);
          check.Text("operator", c.operatorName, limits::kName);
          check.Instant("time", c.at);
        } else if constexpr (std::is_same_v<T, BatchClosed> || std::is_same_v<T, BatchReopened>) {
          check.Uuid("event", c.event);
          check.Uuid("batch", c.batch);
          check.Instant("time", c.at);
        } else if constexpr (std::is_same_v<T, ReadingRecorded>) {
          check.Uuid("reading", c.reading);
          check.Uuid("batch", c.batch);
          check.Instant("time", c.takenAt);
          check.Text("date", c.date, limits::kShortText);
          check.Text("time", c.time, limits::kShortText);
          check.Text("mode 20", c.mode20, limits::kCode);
          check.Text("mode 60", c.mode60, limits::kCode);
          check.Text("value 20", c.value20Text, limits::kShortText);
          check.Text("value 60", c.value60Text, limits::kShortText);
          check.Number("value 20", c.value20);
          check.Number("value 60", c.value60);
          check.Text("comment", c.comment, limits::kComment);
          check.Text("serial number", c.serial, limits::kCode);
          check.Text("firmware", c.firmware, limits::kCode);
        } else if constexpr (std::is_same_v<T, ReadingWithdrawn>) {
          check.Uuid("event", c.event);
          check.Uuid("reading", c.reading);
          check.Instant("time", c.at);
        } else if constexpr (std::is_same_v<T, CommentChanged>) {
          check.Uuid("event", c.event);
          check.Uuid("reading", c.reading);
          check.Text("comment", c.comment, limits::kComment);
          check.Instant("time", c.at);
        } else if constexpr (std::is_same_v<T, Undecodable>) {
          check.Undecodable(c.kind, c.problem);
        }
      },
      row.change);
  return check.Result();
}

std::vector<Statement> InsertStatements(const std::vector<OutboxRow>& rows, const QUuid& station) {
  Rows sorted;
  for (const OutboxRow& row : rows) {
    std::visit([&sorted, &row](const auto& c) { sorted.Add(row.sequence, c); }, row.change);
  }
  std::vector<Statement> statements;
  const QByteArray stationText = station.toString(QUuid::WithoutBraces).toLatin1();
  for (int t = 0; t < kTables; ++t) {
    if (sorted.tables[t].isEmpty()) continue;
    statements.push_back(
        {InsertSql(Shapes()[t]), {QJsonDocument(sorted.tables[t]).toJson(QJsonDocument::Compact), stationText}});
  }
  return statements;
}

}  // namespace labsync
