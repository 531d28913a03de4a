// The readings of the measurement table as numbers, kept up to date from the table model's own
// change signals: rows inserted, removed, changed, or the whole model reset.
//
// The model stays the one source of the rows' texts. What is kept here per row is what its four
// texts mean as numbers (24 bytes a row): the trend plots every row on every repaint, and reading
// and parsing 100,000 rows of texts each time would cost tens of milliseconds; a deleted row's
// numbers also tell what to take out of the running statistics. The statistics of all rows are
// updated per row changed, never recomputed over the table.
#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <span>
#include <vector>

#include "analysis/ReadingStatistics.h"

namespace analysis {

// Where the model keeps the texts that are read.
struct TableColumns {
  int mode20 = 0;
  int mode60 = 0;
  int value20 = 0;
  int value60 = 0;
};

class ReadingSeries : public QObject {
  Q_OBJECT
 public:
  ReadingSeries(const QAbstractItemModel& model, TableColumns columns, QObject* parent = nullptr);

  // One entry per table row, in table order.
  const std::vector<RowNumbers>& Rows() const { return rows_; }
  const ReadingStatistics& AllRows() const { return all_; }
  // The statistics of the rows at these positions (positions out of range are skipped).
  ReadingStatistics Of(std::span<const int> rows) const;

 signals:
  // After every change of the numbers, the statistics of all rows already updated.
  void Changed();

 private:
  RowNumbers Read(int row) const;
  void Rebuild();
  void Inserted(const QModelIndex& parent, int first, int last);
  void Removed(const QModelIndex& parent, int first, int last);
  void DataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

  const QAbstractItemModel& model_;
  TableColumns columns_;
  std::vector<RowNumbers> rows_;
  ReadingStatistics all_;
};

}  // namespace analysis
