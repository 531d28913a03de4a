// A station joined to a lab database: the sender of the lab record's outbox on its own thread, the
// link's line in the Batch window, the lab's products kept in the record and edited by a lead in the
// Specifications window, and the whole lab's batches in the Batches window.
//
// Made in main() beside the lab windows (Join), and only when a lab database is configured: without
// one nothing here exists, no thread runs and libpq is never called. Nothing network-bound runs on
// the window's thread or in the polling tick: the record's commits wake the sender through an
// event descriptor, and the sender's status comes back through a queued signal. Closing the main
// window destroys the link, which stops the sender (every wait of it ends at once) and the lab
// view's thread; what was not sent stays in the outbox for the next start.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

#include "i18n/Language.h"
#include "lab/windows/LabWindows.h"
#include "labsync/Sender.h"
#include "labsync/station/StationConfig.h"

namespace labsync::station {

class LabBatchList;
class LabClient;
class LabOutbox;
class LabProductsEditor;

class StationLink : public QObject {
  Q_OBJECT
 public:
  StationLink(lab::LabWindows& windows, const i18n::LanguageState& language, StationConfig config,
              QObject* parent = nullptr);
  ~StationLink() override;

  // The link as last told by the sender; Stopped without a sender (the configuration or the record
  // does not allow one).
  const LinkStatus& Status() const { return status_; }
  // The line and the reason the Batch window shows.
  QString Line() const { return line_; }
  QString Reason() const { return reason_; }
  bool Sending() const { return sender_ != nullptr; }
  const StationConfig& Config() const { return config_; }
  LabBatchList* WholeLab() const { return list_; }

  // Reads the lab's products again as soon as the outbox is through, rather than at the next look.
  void ReadProductsNow();
  // Stops the sender as closing the main window does.
  void Stop();

 signals:
  // From the sender's thread, queued to this object's.
  void StatusArrived(const labsync::LinkStatus& status);
  // The link's line or reason changed.
  void LineChanged();

 private:
  void OnStatus(const LinkStatus& status);
  void TakeProducts(const std::vector<LabProduct>& products);
  void ShowLine();
  void ApplyLanguage();

  QPointer<lab::LabWindows> windows_;
  const i18n::LanguageState& language_;
  const StationConfig config_;
  LinkStatus status_;
  QString line_;
  QString reason_;
  QString productsProblem_;
  std::unique_ptr<LabOutbox> outbox_;
  std::unique_ptr<Sender> sender_;
  LabClient* client_ = nullptr;
  LabBatchList* list_ = nullptr;
  LabProductsEditor* editor_ = nullptr;
  std::vector<lab::LabProductCopy> taken_;
  bool haveTaken_ = false;
};

// Joins the lab database configured in lab.conf or by --lab-database (`labDatabase`, when given),
// beside `windows`; a simulated run joins only with --lab-database. Null when no lab database is
// configured.
StationLink* Join(lab::LabWindows& windows, const i18n::LanguageState& language,
                  const std::optional<QString>& labDatabase, bool simulated, QObject* parent);

}  // namespace labsync::station
