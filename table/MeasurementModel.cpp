#include "table/MeasurementModel.h"

#include <iterator>

#include "protocol/Messages.h"

namespace table {

MeasurementModel::MeasurementModel(QObject* parent) : QAbstractTableModel(parent) {
  // The headings as loaded, before the language is applied.
  headings_ = {QStringLiteral("Date"),      QStringLiteral("Time"),      QStringLiteral("Modus 20°"),
               QStringLiteral("Modus 60°"), QStringLiteral("Value 20°"), QStringLiteral("Value 60°"),
               QStringLiteral("Comment")};
}

void MeasurementModel::SetHeadings(const QStringList& headings) {
  headings_ = headings;
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

namespace {

MeasurementRow OneLine(MeasurementRow row) {
  for (QString& text : row.texts) text = protocol::OneLineText(std::move(text));
  return row;
}

// Readings in a row mostly share their date and often their letters and values: an equal text
// shares the previous row's (the texts are implicitly shared), so a long table holds it once.
void ShareWithPrevious(MeasurementRow& row, const MeasurementRow& previous) {
  for (std::size_t c = 0; c < row.texts.size(); ++c) {
    if (row.texts[c] == previous.texts[c]) row.texts[c] = previous.texts[c];
  }
}

}  // namespace

void MeasurementModel::AppendRow(const MeasurementRow& row) {
  const int at = Count();
  MeasurementRow added = OneLine(row);
  if (!rows_.empty()) ShareWithPrevious(added, rows_.back());
  beginInsertRows({}, at, at);
  rows_.push_back(std::move(added));
  endInsertRows();
}

void MeasurementModel::InsertRowsAtFront(std::vector<MeasurementRow> rows) {
  if (rows.empty()) return;
  for (MeasurementRow& row : rows) row = OneLine(std::move(row));
  beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
  rows_.insert(rows_.begin(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  endInsertRows();
}

void MeasurementModel::RemoveRowAt(int row) {
  if (row < 0 || row >= Count()) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void MeasurementModel::Clear() {
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  endResetModel();
}

void MeasurementModel::SetComment(int row, const QString& comment) {
  if (row < 0 || row >= Count()) return;
  rows_[static_cast<std::size_t>(row)].texts[ColComment] = protocol::OneLineText(comment);
  const QModelIndex cell = index(row, ColComment);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int MeasurementModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int MeasurementModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant MeasurementModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return {};
  if (role == Qt::DisplayRole) return Row(index.row()).texts[static_cast<std::size_t>(index.column())];
  if (role == Qt::TextAlignmentRole) {
    const bool right = index.column() == ColValue20 || index.column() == ColValue60;
    return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
  }
  return {};
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return headings_.value(section);
  if (role == Qt::TextAlignmentRole) {
    const bool right = section == ColValue20 || section == ColValue60;
    return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
  }
  return {};
}

}  // namespace table
