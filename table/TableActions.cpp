#include "TableActions.h"

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

void DeleteSelectedRows(MeasurementModel& rows, const QItemSelectionModel& selection) {
  const QList<int> selected = SelectedRowNumbers(selection);
  // From the last, so that the numbers of the others stay valid.
  for (auto r = selected.crbegin(); r != selected.crend(); ++r) rows.RemoveRowAt(*r);
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
