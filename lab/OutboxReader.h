// The outbox of a lab record as the lab database's sender reads it: a connection of its own to the
// record, for one thread (the sender's), beside the program's own, which goes on writing; WAL lets
// both work at once. It reads the oldest rows and deletes those the server has committed, each
// delete a transaction of its own, and never touches anything else.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "lab/LabStore.h"

struct sqlite3;

namespace lab {

class OutboxReader {
 public:
  // Opens the record at `path`, which a LabStore has created; Open() tells whether that worked.
  explicit OutboxReader(const QString& path);
  ~OutboxReader();
  OutboxReader(const OutboxReader&) = delete;
  OutboxReader& operator=(const OutboxReader&) = delete;

  bool Open() const { return db_ != nullptr; }
  QString Problem() const { return problem_; }
  // The record's identity (the same in every payload).
  QUuid RecordUuid() const { return recordUuid_; }

  // The oldest rows, in ascending sequence, at most `limit` of them. False when the outbox
  // cannot be read now (the record busy beyond a moment, or gone).
  bool Peek(int limit, std::vector<OutboxEntry>& rows);
  // Every row up to and including `seq` has reached the server: they leave the outbox.
  bool Acknowledge(std::int64_t seq);
  // How many rows wait; -1 when that cannot be told.
  std::int64_t Waiting();
  // The record's products that new batches may start with: the name and UUID of each one's latest
  // version. False when they cannot be read now.
  bool ActiveProducts(std::vector<std::pair<QString, QUuid>>& products);

 private:
  sqlite3* db_ = nullptr;
  QString problem_;
  QUuid recordUuid_;
};

}  // namespace lab
