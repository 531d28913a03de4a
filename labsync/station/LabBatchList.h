// The Batches window's "Whole lab": every station's batches from the lab database, read through the
// LabClient's thread, filtered on the server as the record's list is filtered here (the text in
// the batch ID, product, operator or station, the days of the start), newest first, at most 1000.
// A batch opens read-only in the statistics and the trend once its readings are read.
#pragma once

#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "i18n/Language.h"
#include "lab/LabStore.h"
#include "lab/windows/SharedLab.h"
#include "labsync/LabQueries.h"
#include "labsync/station/LabClient.h"

namespace labsync::station {

class LabBatchList : public lab::SharedBatchList {
  Q_OBJECT
 public:
  // Where a batch read from the lab database opens: its key, ID, specification and readings, and
  // whether in the trend (else the statistics).
  // `key` tells one batch from another; `batch` is the lab's row as the record's (its ID, operator,
  // product, start and close).
  using Opener =
      std::function<void(const QString& key, const lab::Batch& batch, const QString& stationName,
                         const std::optional<lab::Specification>& spec, std::vector<lab::Reading> readings, View view)>;

  LabBatchList(LabClient& client, const i18n::LanguageState& language, Opener opener, QObject* parent = nullptr);

  QString ScopeName(bool wholeLab) const override;
  void SetFilter(const QString& text, const QDate& from, const QDate& to) override;
  void Reload() override;
  QString Status() const override { return status_; }
  bool Offers(View) const override { return true; }
  void Open(int row, View view) override;

  // The headings, words and status in the operator's language anew.
  void ApplyLanguage();
  const LabBatch* At(int row) const;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  static constexpr int kLimit = 1000;

 private:
  void Ask();
  void SetStatus(const QString& status);
  QString StatusOf(const Outcome& outcome, std::size_t shown) const;

  LabClient& client_;
  const i18n::LanguageState& language_;
  Opener opener_;
  BatchFilter filter_;
  std::vector<LabBatch> batches_;
  QString status_;
  Outcome lastOutcome_;  // of the last list read, for its status in another language
  QTimer debounce_;
  int asked_ = 0;  // the newest list asked for; older answers are dropped
};

}  // namespace labsync::station
