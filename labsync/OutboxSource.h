// Where the sender finds the changes to send: the station's outbox, written in the same
// transaction as each change of the local record. The sender only reads it and acknowledges what
// the server has committed; a row leaves the outbox only through Acknowledge, so whatever the
// sender did not get onto the server stays for the next run.
#pragma once

#include <cstdint>
#include <vector>

#include "labsync/Changes.h"

namespace labsync {

class OutboxSource {
 public:
  virtual ~OutboxSource() = default;

  // The oldest rows not yet acknowledged, in ascending sequence, at most `limit` of them. False
  // when the outbox cannot be read now. Called on the sender's thread only.
  virtual bool Peek(int limit, std::vector<OutboxRow>& rows) = 0;
  // Every row up to and including `sequence` is committed on the server. Called on the sender's
  // thread only, once the server's commit has been confirmed.
  virtual void Acknowledge(std::int64_t sequence) = 0;
  // How many rows wait; -1 when it cannot be told. Called on the sender's thread only.
  virtual std::int64_t Waiting() = 0;
};

}  // namespace labsync
