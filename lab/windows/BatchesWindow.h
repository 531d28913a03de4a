// The Batches window: every batch of the record, newest first, filtered by a text (batch ID,
// product or operator) and by the day it started; the chosen one opens read-only in the statistics
// and the trend, is continued (reopened), or is written as a CSV file. With a lab database
// (SetSharedList) "Whole lab" shows every station's batches instead, with the same filters, each
// opened read-only.
#pragma once

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <vector>

#include "i18n/Language.h"
#include "lab/LabStore.h"
#include "lab/windows/SharedLab.h"

namespace lab {

// The batches as a table: ID, product, operator, start, end, n, pass, warn, fail.
class BatchListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit BatchListModel(const i18n::LanguageState& language, QObject* parent = nullptr);
  void SetBatches(std::vector<Batch> batches);
  // Shows the batches whose ID, product or operator contain `text` (without regard to case) and
  // that started on a day from `from` to `to` (an invalid date: no bound).
  void SetFilter(const QString& text, const QDate& from, const QDate& to);
  const Batch* At(int row) const;
  // The batch as the record holds it now, in its row (the open batch's counts as readings arrive).
  void Update(const Batch& batch);
  int Shown() const { return static_cast<int>(shown_.size()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void Apply();
  const i18n::LanguageState& language_;
  std::vector<Batch> batches_;
  std::vector<QString> haystacks_;  // ID, product and operator, folded, per batch
  std::vector<int> shown_;
  QString text_;
  QDate from_;
  QDate to_;
};

class BatchesWindow : public QWidget {
  Q_OBJECT
 public:
  BatchesWindow(LabStore& store, const i18n::LanguageState& language, QWidget* parent = nullptr);

  void ApplyLanguage();
  // The list as the record holds it now.
  void Reload();
  // One batch's row as the record holds it now.
  void UpdateBatch(const Batch& batch) { model_.Update(batch); }
  // The chosen batch; null without one.
  const Batch* Chosen() const;
  void Choose(int row);
  // A button of another part of the program (a report, ...), beside "Export CSV…".
  void AddButton(QPushButton* button);
  // Offers "This station" and "Whole lab", the lab's batches from `list`.
  void SetSharedList(SharedBatchList* list);
  bool WholeLab() const;
  // A batch of the whole lab's list is chosen; OpenSharedReport reports it (see SharedBatchList).
  bool ChosenInWholeLab() const;
  void OpenSharedReport();

  // Seam for tests: the file the CSV goes to (empty: cancelled).
  std::function<QString(QWidget* parent, const QString& suggested)> AskCsvPath;

  QComboBox* ScopeBox;  // hidden without a lab database
  QLabel* FilterLabel;
  QLineEdit* FilterEdit;
  QLabel* FromLabel;
  QDateEdit* FromEdit;
  QLabel* ToLabel;
  QDateEdit* ToEdit;
  QTableView* BatchTable;
  QPushButton* StatisticsButton;
  QPushButton* TrendButton;
  QPushButton* ContinueButton;
  QPushButton* ExportButton;
  QLabel* StatusLabel;

  BatchListModel& Model() { return model_; }

 signals:
  void StatisticsRequested(std::int64_t batch);
  void TrendRequested(std::int64_t batch);
  void ContinueRequested(std::int64_t batch);
  // Another batch, or none, is chosen.
  void ChoiceChanged();

 private:
  void ApplyFilter();
  void ExportClick();
  void UpdateButtons();
  void ScopeChanged();
  void OpenShared(SharedBatchList::View view);

  LabStore& store_;
  QPointer<SharedBatchList> shared_;
  const i18n::LanguageState& language_;
  BatchListModel model_;
  QHBoxLayout* buttons_ = nullptr;
};

}  // namespace lab
