// The lab's products on the server: which specification version each product name stands for, as
// the table `products` holds it, and the station's side of it.
//
// A station keeps a copy of the lab's products in its own record and measures against it, online
// or not. The sender reads the lab's products when it connects and now and then after that, and
// hands them to a ProductCopy. Before that it makes the station's own products whose names the lab
// does not have (compared without regard to case) lab products: it claims the name for the
// product's latest version, which the outbox has put on the server by then. Where the lab has the
// name, the lab's product stays, and the station's copy takes it for new batches.
//
// Only a lead (a member of korvanta_lead) changes a lab product: a new version and the name
// pointed at it, in one transaction that first locks the product's row and checks that it still
// stands for the version the lead edited, so that two leads editing at once never overwrite each
// other unseen (Failure::Conflict, detail "changed"), and that no other product has the new name
// (detail "name").
#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <vector>

#include "labsync/Changes.h"
#include "labsync/Connection.h"

namespace labsync {

struct LabProduct {
  QString name;  // the lab's name for it (the key of `products`)
  bool retired = false;
  // The version the name stands for. Its `product` is the name the version was made with.
  SpecificationAdded version;
  QString changedBy;
  QDateTime changedAt;
};

// The lab's products, by name. A version whose limits this program cannot judge by (a target
// without a tolerance, a minimum beside a maximum, a tolerance of 0 or less), and every field the
// tables should not hold, refuses the answer with BadData.
Outcome ReadLabProducts(Connection& connection, Deadline deadline, std::vector<LabProduct>& out);

// One specification version by its UUID (a batch's, for the lab view); NotFound-free: a version
// that is not there is BadData, since a batch refers to it.
Outcome ReadSpecificationVersion(Connection& connection, const QUuid& specification, Deadline deadline,
                                 SpecificationAdded& out);

// Whether the session's user is a lead: pg_has_role(current_user, 'korvanta_lead', 'MEMBER'), false
// where the role does not exist.
Outcome ReadIsLead(Connection& connection, Deadline deadline, bool& lead);

struct ProductClaim {
  QString name;
  QUuid specification;  // its latest version, already on the server
};
// Makes each claimed name a lab product unless the lab has it already (in any case) or its version
// is not on the server yet. `claimed` gets how many became lab products.
Outcome ClaimProducts(Connection& connection, const std::vector<ProductClaim>& claims, Deadline deadline, int& claimed);

struct ProductEdit {
  QString name;    // the lab product edited; empty: a new one
  QUuid expected;  // the version it stood for when the lead began (null for a new one)
  // The new version: its `product` is the name from now on (a rename where it differs), its state
  // Active or Retired.
  SpecificationAdded version;
};
// A lead's edit, written by `station` (recorded if it is not yet). Conflict when the product changed
// meanwhile ("changed") or the name is another product's ("name"); NotAllowed for a user who is not
// a lead.
Outcome EditLabProduct(Connection& connection, const QUuid& station, const QString& stationName,
                       const ProductEdit& edit, Deadline deadline);

// A station's own products, as its record holds them (the latest version of each, not retired or
// deleted), and the copy of the lab's products it keeps. Called on the sender's thread.
struct LocalProduct {
  QString name;
  QUuid specification;
};
class ProductCopy {
 public:
  virtual ~ProductCopy() = default;
  // False when they cannot be read now.
  virtual bool LocalProducts(std::vector<LocalProduct>& products) = 0;
  // The lab's products as just read.
  virtual void LabProductsRead(const std::vector<LabProduct>& products) = 0;
};

}  // namespace labsync
