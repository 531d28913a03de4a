#include "table/TableActions.h"

#include <QMessageBox>
#include <QPersistentModelIndex>
#include <algorithm>

namespace table {
namespace {

QList<int> SelectedRowNumbers(const QItemSelectionModel& selection) {
  QList<int> numbers;
  for (const QModelIndex& index : selection.selectedRows()) numbers.append(index.row());
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

}  // namespace

bool ConfirmClear(const i18n::LanguageState& language) {
  return QMessageBox::question(nullptr, language.Text(i18n::Txt::Question), language.Text(i18n::Txt::AreYouSure),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void ClearAllRows(MeasurementModel& rows, TableState& state) {
  state.ExportLines.clear();
  rows.Clear();
}

bool ClearSelectedRows(const i18n::LanguageState& language, MeasurementModel& rows,
                       const QItemSelectionModel& selection) {
  // Persistent indexes follow their rows through appends and deletions while the question is open.
  QList<QPersistentModelIndex> chosen;
  for (const int r : SelectedRowNumbers(selection)) chosen.append(QPersistentModelIndex(rows.index(r, 0)));
  if (!ConfirmClear(language)) return false;
  QList<int> remaining;
  for (const QPersistentModelIndex& row : chosen) {
    if (row.isValid()) remaining.append(row.row());
  }
  std::sort(remaining.begin(), remaining.end());
  // From the last, so that the numbers of the others stay valid.
  for (auto r = remaining.crbegin(); r != remaining.crend(); ++r) rows.RemoveRowAt(*r);
  return true;
}

void EditSelectedComment(MeasurementModel& rows, const QItemSelectionModel& selection, TableState& state,
                         TForm2& dialog) {
  const QList<int> selected = SelectedRowNumbers(selection);
  if (!selected.isEmpty()) {
    // The row double-clicked keeps its comment slot while the cycle appends rows behind the
    // dialog, and the dialog opens once even though each appended row takes the selection.
    const QPersistentModelIndex row(rows.index(selected.first(), ColComment));
    state.CommentBuffer = rows.Row(row.row()).texts[ColComment];
    if (dialog.ShowModal() == widgets::mrOk && row.isValid()) rows.SetComment(row.row(), state.CommentBuffer);
  }
  state.CommentBuffer.clear();
}

}  // namespace table
