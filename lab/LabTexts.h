// The texts of batches, specifications and the lab record, in the three languages, kept beside
// their code.
#pragma once

#include <QString>

namespace lab {

enum class LabText {
  // The table's context menu and the Batch window.
  MenuBatch,
  BatchTitle,
  BatchId,
  Product,
  Operator,
  StartBatch,
  CloseBatch,
  SpecificationsButton,
  BatchesButton,
  NoProduct,
  NoBatchOpen,
  BatchOpen,  // %1 batch ID, %2 product, %3 start
  Verdict20,
  Verdict60,
  Verdict,
  Passes,
  Warnings,
  Fails,
  NoValue,
  Pass,
  Warn,
  Fail,
  NoValueWord,
  NotJudged,
  // Batch IDs.
  BatchIdEmpty,
  BatchIdTooLong,
  BatchIdControl,
  BatchExists,  // %1 batch ID
  // Specifications.
  SpecificationsTitle,
  Name,
  Target20,
  Tolerance20,
  Minimum20,
  Maximum20,
  Target60,
  Tolerance60,
  Minimum60,
  Maximum60,
  WarningBand,
  LargestHaze,
  Add,
  Duplicate,
  Delete,
  Retire,
  Save,
  Retired,
  CopyOf,  // %1 name
  NameEmpty,
  NameTaken,
  TargetInvalid,
  ToleranceInvalid,
  LimitInvalid,
  BandInvalid,
  HazeInvalid,
  LimitsMixed,
  ProductInUse,
  DeleteQuestion,  // %1 name
  Saved,
  // Batches.
  BatchesTitle,
  Filter,
  From,
  To,
  Start,
  End,
  Count,
  PassCount,
  WarnCount,
  FailCount,
  OpenBatchState,
  StatisticsButton,
  TrendButton,
  ContinueBatch,
  ExportCsv,
  CsvFilter,
  CsvWriteFailed,  // %1 file, %2 reason
  // Statistics and trend of a batch.
  Specification,
  Withdrawn,
  // The record.
  RecordTitle,
  RecordUnwritable,   // %1 file, %2 reason
  RecordReadOnly,     // %1 file
  RecordInUse,        // %1 file
  RecordUnusable,     // %1 file, %2 reason
  RecordFailed,       // %1 file, %2 reason
  OperatorNotStored,  // %1 file, %2 reason
};

QString Text(LabText id, int languageIndex);

}  // namespace lab
