// Messages of our own that the text table does not hold, in the three languages (failures the
// operator must hear about in their language).
#pragma once

#include <QString>

namespace i18n {

enum class Extra {
  ErrorTitle,           // title of an error box
  SettingsWriteFailed,  // %1 file, %2 reason
  UnexpectedError,      // %1 message of an exception
  AddressOpenFailed,    // %1 a web or mail address the desktop could not open
  // The table's exports.
  ClipboardFailed,      // the table could not be put on the clipboard
  SpreadsheetNotFound,  // no spreadsheet program could be started
  ExportUnmappable,     // %1 number of characters, %2 the first of them; a Yes/No question
  ExportWriteFailed,    // %1 file, %2 reason
  PrintFailed,          // the printer did not take the job
  LanguageNotStored,    // after SettingsWriteFailed when the language dialog closes
  FlagMissing,          // %1 file name
  FlagUnreadable,       // %1 file
  HelpTitle,            // title of a help message
  HelpMissing,          // %1 compiled help name, %2 manual name, %3 folders searched
  HelpOpenFailed,       // %1 file
  // The data file, where it can only be overwritten in place.
  ExportInPlace,         // %1 file; a Yes/No question
  ExportOldContentKept,  // after ExportWriteFailed: the old content was written back
  ExportOldContentLost,  // after ExportWriteFailed: it could not be
  // The journal of the measurement table.
  JournalTitle,         // title of the journal's messages
  JournalRestore,       // %1 number of readings, more than one; a Yes/No question
  JournalRestoreOne,    // the same question for a single reading
  JournalWriteFailed,   // %1 file, %2 reason
  JournalSetAside,      // %1 reason, %2 the name the unusable file is kept under
  JournalRestoreLater,  // the restore question's button that leaves the rows for the next start
  JournalNewer,         // %1 file: a newer version of the program wrote it; this one runs without a journal
  // Statistics and trend of the readings, opened from the table's context menu.
  MenuStatistics,           // menu item
  MenuTrend,                // menu item
  StatisticsTitle,          // window title
  TrendTitle,               // window title
  StatisticsAllRows,        // %1 number of rows
  StatisticsSelected,       // %1 number of selected rows
  StatisticsHaze,           // column heading of the haze index
  StatisticsValues,         // row: values counted
  StatisticsLeftOut,        // row: rows whose value is no number
  StatisticsMean,           // row
  StatisticsDeviation,      // row: sample standard deviation
  StatisticsMinimum,        // row
  StatisticsMaximum,        // row
  StatisticsRange,          // row
  StatisticsWithLetter,     // row: %1 a mode letter
  StatisticsHazeNote,       // the window's one-line note on the haze index
  StatisticsCopy,           // button
  StatisticsCopyFailed,     // the statistics could not be put on the clipboard
  StatisticsBatch,          // %1 batch ID, %2 number of readings
  StatisticsSpecification,  // row: the limits of a batch's specification
  TrendSaveImage,           // button
  TrendValueAxis,           // the value axis, in gloss units
  TrendRowAxis,             // the row number axis
  TrendEmpty,               // the plot while no value is a number
  TrendImageFilter,         // file type of the save dialog
  TrendImageWriteFailed,    // %1 file, %2 reason
  TrendSaveImageTitle,      // title of the save dialog
};

// The text in language `languageIndex` (English for any other value).
QString ExtraText(Extra id, int languageIndex);

}  // namespace i18n
