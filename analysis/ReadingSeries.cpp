#include "analysis/ReadingSeries.h"

#include <algorithm>

namespace analysis {

ReadingSeries::ReadingSeries(const QAbstractItemModel& model, TableColumns columns, QObject* parent)
    : QObject(parent), model_(model), columns_(columns) {
  connect(&model_, &QAbstractItemModel::rowsInserted, this, &ReadingSeries::Inserted);
  connect(&model_, &QAbstractItemModel::rowsRemoved, this, &ReadingSeries::Removed);
  connect(&model_, &QAbstractItemModel::dataChanged, this, &ReadingSeries::DataChanged);
  connect(&model_, &QAbstractItemModel::modelReset, this, &ReadingSeries::Rebuild);
  // The table never moves or sorts its rows; should a model do so, the order is read again.
  connect(&model_, &QAbstractItemModel::layoutChanged, this, &ReadingSeries::Rebuild);
  connect(&model_, &QAbstractItemModel::rowsMoved, this, &ReadingSeries::Rebuild);
  Rebuild();
}

ReadingStatistics ReadingSeries::Of(std::span<const int> rows) const {
  ReadingStatistics s;
  for (const int r : rows) {
    if (r >= 0 && r < static_cast<int>(rows_.size())) s.Add(rows_[static_cast<std::size_t>(r)]);
  }
  return s;
}

RowNumbers ReadingSeries::Read(int row) const {
  const auto text = [&](int column) { return model_.data(model_.index(row, column), Qt::DisplayRole).toString(); };
  return ReadRow(text(columns_.mode20), text(columns_.mode60), text(columns_.value20), text(columns_.value60));
}

void ReadingSeries::Rebuild() {
  const int count = model_.rowCount();
  rows_.clear();
  rows_.reserve(static_cast<std::size_t>(count));
  all_ = ReadingStatistics();
  for (int r = 0; r < count; ++r) {
    rows_.push_back(Read(r));
    all_.Add(rows_.back());
  }
  emit Changed();
}

void ReadingSeries::Inserted(const QModelIndex& parent, int first, int last) {
  if (parent.isValid()) return;
  if (first < 0 || first > static_cast<int>(rows_.size()) || last < first) {
    Rebuild();
    return;
  }
  std::vector<RowNumbers> added;
  added.reserve(static_cast<std::size_t>(last - first + 1));
  for (int r = first; r <= last; ++r) {
    added.push_back(Read(r));
    all_.Add(added.back());
  }
  rows_.insert(rows_.begin() + first, added.begin(), added.end());
  emit Changed();
}

void ReadingSeries::Removed(const QModelIndex& parent, int first, int last) {
  if (parent.isValid()) return;
  if (first < 0 || last < first || last >= static_cast<int>(rows_.size())) {
    Rebuild();  // not a removal these numbers can follow: read the table again
    return;
  }
  const auto begin = rows_.begin() + first;
  const auto end = rows_.begin() + last + 1;
  std::for_each(begin, end, [this](const RowNumbers& row) { all_.Remove(row); });
  rows_.erase(begin, end);
  emit Changed();
}

void ReadingSeries::DataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
  if (topLeft.parent().isValid()) return;
  const int read[] = {columns_.mode20, columns_.mode60, columns_.value20, columns_.value60};
  const bool touched = std::any_of(std::begin(read), std::end(read),
                                   [&](int c) { return c >= topLeft.column() && c <= bottomRight.column(); });
  if (!touched) return;  // a comment, say
  const int last = std::min(bottomRight.row(), static_cast<int>(rows_.size()) - 1);
  for (int r = std::max(topLeft.row(), 0); r <= last; ++r) {
    RowNumbers& row = rows_[static_cast<std::size_t>(r)];
    all_.Remove(row);
    row = Read(r);
    all_.Add(row);
  }
  emit Changed();
}

}  // namespace analysis
