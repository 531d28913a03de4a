// Starting the spreadsheet program beside the clipboard export, without a file: the operator
// pastes the table into it.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace table {

// A program and its fixed arguments, started directly: no shell, nothing taken from data.
struct ProgramCall {
  QString program;
  QStringList arguments;
};

// The first spreadsheet program installed, looked up in `searchPaths` (the PATH when empty).
std::optional<ProgramCall> FindSpreadsheetProgram(const QStringList& searchPaths = {});

// Starts the spreadsheet program detached, its input and output on the null device; false when
// none was found or it did not start.
bool StartSpreadsheetProgram(const QStringList& searchPaths = {});

}  // namespace table
