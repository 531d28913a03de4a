// Batches as the main window offers them: opens the lasting record, follows the table into it,
// and owns the Batch, Specifications and Batches windows (created when first asked for), opened
// with Ctrl+B and from the table's context menu. Problems with the record are told on standard
// error at once and, once the start-up sequence has ended, in a message box (never one that a
// reading opens). The statistics and the trend follow the open batch; a batch chosen in Batches…
// opens in a read-only pair of its own.
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/windows/ReadingAnalysis.h"
#include "i18n/Language.h"
#include "lab/BatchSession.h"
#include "lab/LabStore.h"
#include "lab/windows/BatchWindow.h"
#include "lab/windows/BatchesWindow.h"
#include "lab/windows/SharedLab.h"
#include "lab/windows/SpecificationsWindow.h"

namespace lab {

class LabWindows : public QObject {
  Q_OBJECT
 public:
  LabWindows(table::MeasurementModel& rows, analysis::ReadingAnalysis& analysis, const i18n::LanguageState& language,
             QWidget* owner, const QString& recordPath, const QString& settingsPath,
             std::function<BatchSession::Instrument()> instrument);
  ~LabWindows() override;

  LabStore& Store() { return *store_; }
  // Null when the record cannot be written.
  BatchSession* Session() { return session_.get(); }

  void OpenBatchWindow();
  void OpenSpecifications();
  void OpenBatches();
  // The batch's readings, read-only, in a statistics or trend window of their own.
  void OpenBatchStatistics(std::int64_t batch);
  void OpenBatchTrend(std::int64_t batch);
  void ContinueBatch(std::int64_t batch);

  void StartupSequenceEnded();
  void ApplyLanguage();

  // A lab database, when the station has joined one (labsync/station): the link's line in the
  // Batch window, the lab's products in the Specifications window, every station's batches in the
  // Batches window. Each stays for windows opened later.
  void ShowLink(const QString& line, const QString& reason);
  void SetSharedProducts(SharedProducts* products);
  void SetSharedBatches(SharedBatchList* batches);
  // The products changed under the windows (the station's copy of the lab's took a new version).
  void RefreshProducts();
  // A batch from elsewhere (the lab database), read-only in a statistics or trend window of its
  // own, as a batch of the record opens from Batches…; `key` tells one batch from another.
  void OpenReadOnly(const QString& key, const QString& batchId, const std::optional<Specification>& spec,
                    std::vector<Reading> readings, bool trend);

  // The same batch as a batch report: asks for it with ReportRequested.
  void ReportReadOnly(const lab::Batch& batch, const std::optional<Specification>& spec,
                      const std::vector<Reading>& readings);

  BatchWindow* Batch() const { return batch_; }
  SpecificationsWindow* Specifications() const { return specifications_; }
  BatchesWindow* Batches() const { return batches_; }
  // The read-only windows of the batch last opened from Batches…; null until then.
  analysis::StatisticsWindow* BatchStatistics() const;
  analysis::TrendWindow* BatchTrend() const;

 signals:
  // The Batch and the Batches window were made (once each, when first asked for): other parts of
  // the program add their buttons to them here.
  void BatchWindowMade(BatchWindow* window);
  void BatchesWindowMade(BatchesWindow* window);
  // A batch from elsewhere is to be reported (ReportReadOnly); the report's part of the program
  // writes it, over the Batches window.
  void ReportRequested(const lab::Batch& batch, const std::optional<lab::Specification>& spec,
                       const std::vector<lab::Reading>& readings);
  // The windows took the program's language.
  void LanguageApplied();

 private:
  struct ReadOnlyPair;
  void AddMenuItem(QMenu* menu);
  void FollowOpenBatch();
  void Tell(const QString& text);
  ReadOnlyPair& PairFor(const QString& key, const std::function<std::vector<Reading>()>& readings);
  void PresentPair(ReadOnlyPair& pair, const QString& batchId, const std::optional<Specification>& spec, bool trend);

  table::MeasurementModel& rows_;
  // Null once the main window's destruction has taken it.
  QPointer<analysis::ReadingAnalysis> analysis_;
  const i18n::LanguageState& language_;
  QPointer<QWidget> owner_;
  QString settingsPath_;
  std::unique_ptr<LabStore> store_;
  std::unique_ptr<BatchSession> session_;
  QPointer<BatchWindow> batch_;
  QPointer<SpecificationsWindow> specifications_;
  QPointer<BatchesWindow> batches_;
  std::unique_ptr<ReadOnlyPair> pair_;
  QShortcut* shortcut_ = nullptr;
  // Problems of the record, the last shown in the Batch window when it opens; those met while
  // opening the record wait for the end of the start-up sequence to be told in a box.
  std::vector<QString> untold_;
  std::vector<QString> atStartup_;
  bool startupEnded_ = false;
  QString linkLine_;
  QString linkReason_;
  QPointer<SharedProducts> sharedProducts_;
  QPointer<SharedBatchList> sharedBatches_;
};

}  // namespace lab
