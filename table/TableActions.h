// What the operator does to the rows of the table: clear them all, delete the selected one,
// edit the selected row's comment.
#pragma once

#include <QItemSelectionModel>

#include "i18n/Language.h"
#include "table/MeasurementModel.h"
#include "table/TableState.h"
#include "table/Unit2.h"

namespace table {

// The question before either clear: no owner, Yes and No. True only for Yes.
bool ConfirmClear(const i18n::LanguageState& language);

// Deletes every row and the lines of the last export.
void ClearAllRows(MeasurementModel& rows, TableState& state);

// Asks the question before a clear line and deletes the rows that were selected when it was
// asked: a reading appended while the question is open takes the selection, but it is not the
// row the operator chose. True when the operator answered Yes.
bool ClearSelectedRows(const i18n::LanguageState& language, MeasurementModel& rows,
                       const QItemSelectionModel& selection);

// Opens the comment dialog with the selected row's comment; OK stores the edited text, untrimmed.
// CommentBuffer holds the comment while the dialog is open (rows appended meanwhile take it) and
// is empty afterwards. Without a selected row nothing happens.
void EditSelectedComment(MeasurementModel& rows, const QItemSelectionModel& selection, TableState& state,
                         TForm2& dialog);

}  // namespace table
