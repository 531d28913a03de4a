// An outbox in memory for the sender's tests and benchmark, and the changes a station makes: a
// batch started, its readings, a withdrawal, a comment change, the batch closed and reopened, a
// specification version and its retirement.
#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "labsync/OutboxSource.h"

namespace testing_support {

class MemoryOutbox : public labsync::OutboxSource {
 public:
  void Add(labsync::Change change) {
    const std::lock_guard<std::mutex> lock(mutex_);
    rows_.push_back({++last_, std::move(change)});
  }
  void Add(const std::vector<labsync::Change>& changes) {
    for (const labsync::Change& c : changes) Add(c);
  }

  bool Peek(int limit, std::vector<labsync::OutboxRow>& rows) override {
    if (beforePeek) beforePeek();
    const std::lock_guard<std::mutex> lock(mutex_);
    rows.assign(rows_.begin(), rows_.begin() + std::min<std::ptrdiff_t>(limit, std::ssize(rows_)));
    return true;
  }
  void Acknowledge(std::int64_t sequence) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    while (!rows_.empty() && rows_.front().sequence <= sequence) rows_.pop_front();
    acknowledged_ = std::max(acknowledged_.load(), sequence);
  }
  std::int64_t Waiting() override {
    const std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::int64_t>(rows_.size());
  }

  std::int64_t Acknowledged() const { return acknowledged_.load(); }
  std::int64_t Last() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }

  // Runs on the sender's thread before each look into the outbox.
  std::function<void()> beforePeek;

 private:
  mutable std::mutex mutex_;
  std::deque<labsync::OutboxRow> rows_;
  std::int64_t last_ = 0;
  std::atomic<std::int64_t> acknowledged_{0};
};

// A station's instant with a UTC offset of its own (+02:00), so that offsets are seen to survive.
inline QDateTime StationTime(int secondsAfterStart) {
  return QDateTime(QDate(2026, 5, 4), QTime(14, 2), QTimeZone(7200)).addSecs(secondsAfterStart);
}

inline labsync::BatchStarted MakeBatch(const QString& id, const QUuid& spec = {}) {
  labsync::BatchStarted b;
  b.batch = QUuid::createUuid();
  b.batchId = id;
  b.product = spec.isNull() ? QString() : QStringLiteral("Satin white");
  b.specification = spec;
  b.operatorName = QStringLiteral("Müller");
  b.at = StationTime(0);
  return b;
}

inline labsync::ReadingRecorded MakeReading(const QUuid& batch, int n) {
  labsync::ReadingRecorded r;
  r.reading = QUuid::createUuid();
  r.batch = batch;
  r.takenAt = StationTime(n);
  r.date = r.takenAt.toString(QStringLiteral("dd.MM.yyyy"));
  r.time = r.takenAt.toString(QStringLiteral("HH:mm:ss"));
  r.value20 = 7000 + n % 1000;
  r.value60 = 8800 + n % 100;
  r.value20Text = QString::number(static_cast<double>(*r.value20) / 100.0, 'f', 1);
  r.value60Text = QString::number(static_cast<double>(*r.value60) / 100.0, 'f', 1);
  r.mode60 = QStringLiteral("C");
  r.comment = QStringLiteral("reading %1").arg(n);
  r.verdict20 = labsync::Verdict::Pass;
  r.verdict60 = n % 7 == 0 ? labsync::Verdict::Warn : labsync::Verdict::Pass;
  r.verdict = r.verdict60;
  r.serial = QStringLiteral("QX31804711");
  r.firmware = QStringLiteral("08 15");
  return r;
}

// A batch and `readings` readings in it, as a station's outbox holds them.
inline std::vector<labsync::Change> BatchOfReadings(const QString& id, int readings) {
  std::vector<labsync::Change> changes;
  const labsync::BatchStarted batch = MakeBatch(id);
  changes.emplace_back(batch);
  for (int n = 0; n < readings; ++n) changes.emplace_back(MakeReading(batch.batch, n));
  return changes;
}

}  // namespace testing_support
