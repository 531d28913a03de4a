// State of the table and its exports that lives as long as the process.
#pragma once

#include <QString>
#include <QStringList>

namespace table {

struct TableState {
  // The comment that each new row takes; holds the comment being edited while the comment
  // dialog is open, and is empty otherwise.
  QString CommentBuffer;
  // The lines of the last export (refilled by every export, emptied by Clear Data).
  QStringList ExportLines;
  // The option chosen in the export dialog: 0 clipboard and spreadsheet, 1 file, 2 print, -1 none.
  int ExportOption = -1;
};

}  // namespace table
