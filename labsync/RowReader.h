// Reads a server's answer field by field for the lab view's and the products' queries: the first
// field that does not hold what it must (a NULL where a value belongs, a text beyond the tables'
// lengths, a UUID, number or time that does not read, a verdict that is none of the four words)
// becomes the answer's BadData, naming the table's column and the row. Internal to labsync.
#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <limits>
#include <optional>

#include "labsync/Changes.h"
#include "labsync/Connection.h"
#include "labsync/Schema.h"

namespace labsync {

class RowReader {
 public:
  RowReader(const Result& result, int row, const char* table) : result_(result), row_(row), table_(table) {}

  const Outcome& Problem() const { return problem_; }
  bool IsNull(int column) const { return result_.IsNull(row_, column); }

  QUuid Uuid(int column, const char* name) {
    const QUuid uuid = result_.IsNull(row_, column) ? QUuid() : QUuid::fromString(result_.Text(row_, column));
    if (uuid.isNull()) Fail(name);
    return uuid;
  }
  QString Text(int column, const char* name, int longest, bool nullable = false, bool mayBeEmpty = true) {
    if (result_.IsNull(row_, column)) {
      if (!nullable) Fail(name);
      return {};
    }
    const QString text = result_.Text(row_, column);
    qsizetype characters = text.size();
    for (const QChar c : text) {
      if (c.isHighSurrogate()) --characters;
    }
    if (characters > longest || (!mayBeEmpty && text.isEmpty())) Fail(name);
    return text;
  }
  std::optional<std::int64_t> Integer(int column, const char* name, std::int64_t least, std::int64_t most,
                                      bool nullable = false) {
    if (result_.IsNull(row_, column)) {
      if (!nullable) Fail(name);
      return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = result_.Bytes(row_, column).toLongLong(&ok);
    if (!ok || value < least || value > most) {
      Fail(name);
      return std::nullopt;
    }
    return value;
  }
  // A numeric's text with at most two decimals, as hundredths.
  std::optional<std::int64_t> Hundredths(int column, const char* name) {
    if (result_.IsNull(row_, column)) return std::nullopt;
    const QByteArray text = result_.Bytes(row_, column);
    const int point = text.indexOf('.');
    const QByteArray whole = point < 0 ? text : text.left(point);
    QByteArray fraction = point < 0 ? QByteArray() : text.mid(point + 1);
    bool ok = !whole.isEmpty() && whole.size() <= 13 && fraction.size() <= 2;
    for (char c : fraction) ok = ok && c >= '0' && c <= '9';
    const qlonglong units = ok ? whole.toLongLong(&ok) : 0;
    fraction = fraction.leftJustified(2, '0');
    const long long cents = ok ? fraction.toLongLong(&ok) : 0;
    const bool negative = whole.startsWith('-');
    const long long value = units * 100 + (negative ? -cents : cents);
    if (!ok || value > limits::kHundredths || value < -limits::kHundredths) {
      Fail(name);
      return std::nullopt;
    }
    return value;
  }
  std::int64_t Count(int column, const char* name) {
    return Integer(column, name, 0, std::numeric_limits<std::int64_t>::max()).value_or(0);
  }
  // Milliseconds since the epoch, shown at `offset` seconds from UTC.
  std::optional<QDateTime> Instant(int column, const char* name, int offset, bool nullable = false) {
    // Years 1 to 9999, the span QDateTime and ISO 8601 share.
    constexpr std::int64_t kFirst = -62135596800000LL;
    constexpr std::int64_t kLast = 253402300799999LL;
    const std::optional<std::int64_t> ms = Integer(column, name, kFirst, kLast, nullable);
    if (!ms) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(*ms, Qt::OffsetFromUTC, offset);
  }
  int Offset(int column, const char* name) {
    return static_cast<int>(Integer(column, name, -64800, 64800).value_or(0));
  }
  Verdict VerdictOf(int column, const char* name) {
    if (result_.IsNull(row_, column)) return Verdict::NotJudged;
    const QByteArray text = result_.Bytes(row_, column);
    for (Verdict v : {Verdict::Pass, Verdict::Warn, Verdict::Fail, Verdict::NoValue}) {
      if (VerdictText(v) == text) return v;
    }
    Fail(name);
    return Verdict::NotJudged;
  }

  // Refuses the answer at `name` (a check beyond one field's own).
  void Fail(const char* name) {
    if (!problem_.Ok()) return;
    problem_ =
        Outcome::Fail(Failure::BadData,
                      QStringLiteral("%1.%2, row %3").arg(QLatin1String(table_), QLatin1String(name)).arg(row_ + 1));
  }

 private:
  const Result& result_;
  const int row_;
  const char* const table_;
  Outcome problem_;
};

}  // namespace labsync
