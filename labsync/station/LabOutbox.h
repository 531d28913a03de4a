// The lab record's outbox as the sender reads it: lab::OutboxReader's own connection to the record,
// opened on the sender's thread when it first looks, each row's payload read back into the change
// it carries. A payload that cannot be read (damaged, or of a kind this program does not know)
// becomes an Undecodable change: it fails validation and holds back the rows after it with a
// message, and is never skipped.
//
// It is the sender's ProductCopy as well: the record's own products for the lab to claim, and the
// lab's products handed on to whoever keeps the copy (on the window's thread, through
// OnLabProducts).
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "lab/LabStore.h"
#include "labsync/OutboxSource.h"
#include "labsync/Products.h"

namespace lab {
class OutboxReader;
}

namespace labsync::station {

// The change an outbox row carries.
OutboxRow DecodeOutboxEntry(const lab::OutboxEntry& entry);

class LabOutbox : public OutboxSource, public ProductCopy {
 public:
  explicit LabOutbox(QString recordPath);
  ~LabOutbox() override;
  LabOutbox(const LabOutbox&) = delete;
  LabOutbox& operator=(const LabOutbox&) = delete;

  // Called on the sender's thread with the lab's products as read; set before the sender starts.
  std::function<void(const std::vector<LabProduct>&)> OnLabProducts;

  bool Peek(int limit, std::vector<OutboxRow>& rows) override;
  void Acknowledge(std::int64_t sequence) override;
  std::int64_t Waiting() override;
  bool LocalProducts(std::vector<LocalProduct>& products) override;
  void LabProductsRead(const std::vector<LabProduct>& products) override;

 private:
  lab::OutboxReader* Reader();

  const QString path_;
  std::unique_ptr<lab::OutboxReader> reader_;
};

}  // namespace labsync::station
