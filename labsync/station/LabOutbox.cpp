#include "labsync/station/LabOutbox.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

#include "lab/OutboxReader.h"

namespace labsync::station {
namespace {

// Reads a payload's fields and remembers the first one that is missing or does not read.
class PayloadReader {
 public:
  explicit PayloadReader(const QJsonObject& payload) : payload_(payload) {}

  QString Problem() const { return problem_; }

  QUuid Uuid(const char* key, bool nullable = false) {
    const QJsonValue v = payload_.value(QLatin1String(key));
    if (nullable && v.isNull()) return {};
    const QUuid uuid = v.isString() ? QUuid::fromString(v.toString()) : QUuid();
    if (uuid.isNull()) Fail(key);
    return uuid;
  }
  QString Text(const char* key) { return TextOf(payload_, key); }
  QDateTime Instant(const char* key) {
    const QDateTime at = QDateTime::fromString(Text(key), Qt::ISODateWithMs);
    if (!at.isValid()) Fail(key);
    return at;
  }
  // An integer (hundredths, a version) or null.
  std::optional<std::int64_t> Integer(const QJsonObject& from, const char* key, bool nullable = true) {
    const QJsonValue v = from.value(QLatin1String(key));
    if (v.isNull() && nullable) return std::nullopt;
    const double d = v.toDouble(std::nan(""));
    // Exact in a double up to 2^53, far beyond any value a table takes.
    if (!v.isDouble() || !std::isfinite(d) || std::floor(d) != d || std::fabs(d) > 9.0e15) {
      Fail(key);
      return std::nullopt;
    }
    return static_cast<std::int64_t>(d);
  }
  std::optional<std::int64_t> Integer(const char* key, bool nullable = true) {
    return Integer(payload_, key, nullable);
  }
  QJsonObject Object(const char* key) {
    const QJsonValue v = payload_.value(QLatin1String(key));
    if (!v.isObject()) Fail(key);
    return v.toObject();
  }
  QString TextOf(const QJsonObject& from, const char* key) {
    const QJsonValue v = from.value(QLatin1String(key));
    if (!v.isString()) Fail(key);
    return v.toString();
  }
  Verdict VerdictOf(const QJsonObject& from, const char* key) {
    const QString word = TextOf(from, key);
    if (word.isEmpty()) return Verdict::NotJudged;
    if (word == QLatin1String("pass")) return Verdict::Pass;
    if (word == QLatin1String("warn")) return Verdict::Warn;
    if (word == QLatin1String("fail")) return Verdict::Fail;
    if (word == QLatin1String("no_value")) return Verdict::NoValue;
    Fail(key);
    return Verdict::NotJudged;
  }
  void Fail(const char* key) {
    if (problem_.isEmpty()) problem_ = QLatin1String(key);
  }

 private:
  const QJsonObject& payload_;
  QString problem_;
};

AngleLimits LimitsOf(PayloadReader& r, const QJsonObject& angle) {
  AngleLimits l;
  l.target = r.Integer(angle, "target_centi");
  l.tolerance = r.Integer(angle, "tolerance_centi");
  l.minimum = r.Integer(angle, "minimum_centi");
  l.maximum = r.Integer(angle, "maximum_centi");
  return l;
}

Change Decode(const QString& kind, const QJsonObject& p, QString& problem) {
  PayloadReader r(p);
  Change change;
  if (kind == QLatin1String("specification_added") || kind == QLatin1String("specification_retired") ||
      kind == QLatin1String("specification_deleted")) {
    SpecificationAdded c;
    c.specification = r.Uuid("specification_uuid");
    c.productUuid = r.Uuid("product_uuid");
    c.product = r.Text("name");
    c.version = static_cast<int>(r.Integer("version", false).value_or(0));
    c.state = kind == QLatin1String("specification_retired")   ? SpecificationState::Retired
              : kind == QLatin1String("specification_deleted") ? SpecificationState::Deleted
                                                               : SpecificationState::Active;
    c.at20 = LimitsOf(r, r.Object("angle20"));
    c.at60 = LimitsOf(r, r.Object("angle60"));
    c.warningBand = r.Integer("warning_band_basis_points", false).value_or(0);
    c.largestHaze = r.Integer("largest_haze_index_centi");
    c.at = r.Instant("created");
    change = c;
  } else if (kind == QLatin1String("batch_started")) {
    BatchStarted c;
    c.batch = r.Uuid("batch_uuid");
    c.batchId = r.Text("batch_id");
    c.product = r.Text("product");
    c.specification = r.Uuid("specification_uuid", true);
    c.operatorName = r.Text("operator");
    c.at = r.Instant("started");
    change = c;
  } else if (kind == QLatin1String("batch_closed")) {
    change = BatchClosed{r.Uuid("event_uuid"), r.Uuid("batch_uuid"), r.Instant("closed")};
  } else if (kind == QLatin1String("batch_reopened")) {
    change = BatchReopened{r.Uuid("event_uuid"), r.Uuid("batch_uuid"), r.Instant("reopened")};
  } else if (kind == QLatin1String("reading_recorded")) {
    ReadingRecorded c;
    c.reading = r.Uuid("reading_uuid");
    c.batch = r.Uuid("batch_uuid");
    c.takenAt = r.Instant("taken");
    c.date = r.Text("date_text");
    c.time = r.Text("time_text");
    const QJsonObject a20 = r.Object("angle20");
    const QJsonObject a60 = r.Object("angle60");
    c.mode20 = r.TextOf(a20, "mode");
    c.mode60 = r.TextOf(a60, "mode");
    c.value20Text = r.TextOf(a20, "value_text");
    c.value60Text = r.TextOf(a60, "value_text");
    c.value20 = r.Integer(a20, "value_centi");
    c.value60 = r.Integer(a60, "value_centi");
    c.verdict20 = r.VerdictOf(a20, "verdict");
    c.verdict60 = r.VerdictOf(a60, "verdict");
    c.verdictHaze = r.VerdictOf(p, "haze_verdict");
    c.verdict = r.VerdictOf(p, "verdict");
    c.comment = r.Text("comment");
    c.serial = r.Text("serial");
    c.firmware = r.Text("firmware");
    change = c;
  } else if (kind == QLatin1String("reading_withdrawn")) {
    change = ReadingWithdrawn{r.Uuid("event_uuid"), r.Uuid("reading_uuid"), r.Instant("withdrawn")};
  } else if (kind == QLatin1String("comment_changed")) {
    change = CommentChanged{r.Uuid("event_uuid"), r.Uuid("reading_uuid"), r.Text("comment"), r.Instant("changed")};
  } else {
    problem = QStringLiteral("unknown kind");
    return Undecodable{kind, problem};
  }
  problem = r.Problem();
  return change;
}

}  // namespace

OutboxRow DecodeOutboxEntry(const lab::OutboxEntry& entry) {
  OutboxRow row;
  row.sequence = entry.seq;
  // A payload that is not a JSON object reads as an empty one, which has none of the fields.
  QString problem;
  row.change = Decode(entry.kind, entry.payload, problem);
  if (!problem.isEmpty()) row.change = Undecodable{entry.kind, problem};
  return row;
}

LabOutbox::LabOutbox(QString recordPath) : path_(std::move(recordPath)) {}

LabOutbox::~LabOutbox() = default;

lab::OutboxReader* LabOutbox::Reader() {
  // Opened again after a failure: the record may have been busy for a moment.
  if (!reader_ || !reader_->Open()) reader_ = std::make_unique<lab::OutboxReader>(path_);
  return reader_->Open() ? reader_.get() : nullptr;
}

bool LabOutbox::Peek(int limit, std::vector<OutboxRow>& rows) {
  rows.clear();
  lab::OutboxReader* reader = Reader();
  std::vector<lab::OutboxEntry> entries;
  if (reader == nullptr || !reader->Peek(limit, entries)) return false;
  rows.reserve(entries.size());
  for (const lab::OutboxEntry& e : entries) rows.push_back(DecodeOutboxEntry(e));
  return true;
}

void LabOutbox::Acknowledge(std::int64_t sequence) {
  // A delete that fails leaves the rows to be sent again, which the server takes as sent once.
  if (lab::OutboxReader* reader = Reader()) reader->Acknowledge(sequence);
}

std::int64_t LabOutbox::Waiting() {
  lab::OutboxReader* reader = Reader();
  return reader != nullptr ? reader->Waiting() : -1;
}

bool LabOutbox::LocalProducts(std::vector<LocalProduct>& products) {
  products.clear();
  lab::OutboxReader* reader = Reader();
  std::vector<std::pair<QString, QUuid>> found;
  if (reader == nullptr || !reader->ActiveProducts(found)) return false;
  for (auto& [name, uuid] : found) products.push_back({std::move(name), uuid});
  return true;
}

void LabOutbox::LabProductsRead(const std::vector<LabProduct>& products) {
  if (OnLabProducts) OnLabProducts(products);
}

}  // namespace labsync::station
