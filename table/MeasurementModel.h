// The rows of the measurement table: seven texts each, as the table shows them. There is no
// numeric model behind it; the exports read exactly these texts.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

namespace table {

enum Column : int { ColDate = 0, ColTime, ColMode20, ColMode60, ColValue20, ColValue60, ColComment, kColumnCount };

// One row: the caption (the date) and its six sub-texts, in column order, and the identity of the
// reading it shows. The table, its exports and its printout show only the texts.
struct MeasurementRow {
  MeasurementRow() = default;
  // A row of texts alone, as the test button's rows are.
  MeasurementRow(std::array<QString, kColumnCount> rowTexts) : texts(std::move(rowTexts)) {}  // NOLINT

  std::array<QString, kColumnCount> texts;
  // Given when the polling cycle completes a reading; null for the rows the test button adds.
  QUuid uuid;
  // The instant the reading was taken, and the UTC offset it was taken in.
  std::int64_t takenMsecs = 0;
  std::int32_t utcOffsetSeconds = 0;
  bool IsReading() const { return !uuid.isNull(); }
  const QString& Caption() const { return texts[ColDate]; }
  // Sub-text i (0: time ... 5: comment).
  const QString& SubText(int i) const { return texts[static_cast<std::size_t>(i + 1)]; }
};

class MeasurementModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit MeasurementModel(QObject* parent = nullptr);

  // The column headings, in column order.
  void SetHeadings(const QStringList& headings);
  QString Heading(int column) const { return headings_.value(column); }

  // Every text of the table is one line: a control character (a line break or TAB pasted into a
  // comment, a control byte from the instrument) becomes a blank here, so that no export line
  // ever splits or gains fields.
  void AppendRow(const MeasurementRow& row);
  // Puts `rows` ahead of the rows there are, in their order (rows brought back from an earlier
  // session). The rows there are keep their selection.
  void InsertRowsAtFront(std::vector<MeasurementRow> rows);
  void RemoveRowAt(int row);
  void Clear();
  int Count() const { return static_cast<int>(rows_.size()); }
  const MeasurementRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  void SetComment(int row, const QString& comment);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  // A deque: no spare capacity to carry at 100,000 rows, no copying of them all as the table
  // grows, and rows put at the front in one step.
  std::deque<MeasurementRow> rows_;
  QStringList headings_;
};

}  // namespace table
