// The report's words and the messages around it, in the three languages.
#pragma once

#include <QString>

namespace report {

enum class ReportText {
  TitleBatch,     // the report's title
  TitleReadings,  // the title of a report of loose readings
  BatchId,        // %1 batch ID
  PageOf,         // %1 page, %2 pages
  Provisional,    // on every page of an open batch's report
  Product,
  ProductNone,
  ProductVersion,  // %1 product, %2 specification version
  Specification,
  SpecTarget,    // %1 angle, %2 target, %3 tolerance, %4 unit
  SpecMinimum,   // %1 angle, %2 limit, %3 unit
  SpecMaximum,   // %1 angle, %2 limit, %3 unit
  SpecBetween,   // %1 angle, %2 minimum, %3 maximum, %4 unit
  SpecNoLimits,  // %1 angle
  SpecBand,      // %1 percentage
  SpecHaze,      // %1 largest haze index
  Operator,
  Instrument,
  InstrumentLine,  // %1 serial number, %2 firmware
  Program,
  FirstReading,
  LastReading,
  Standards,
  StandardsLine,
  Calibration,
  Readings,
  ReadingCount,  // %1 readings (a readings report)
  Summary,       // %1 readings, %2 passes, %3 warnings, %4 fails, %5 withdrawn, %6 without value
  BatchVerdict,
  VerdictPass,
  VerdictWarn,
  VerdictFail,
  VerdictNoValue,
  NoVerdict,
  Withdrawn,
  Unit,  // gloss unit
  StatisticsHeading,
  HazeColumn,
  StatCount,
  StatMean,
  StatDeviation,
  StatMinimum,
  StatMaximum,
  StatRange,
  TrendHeading,
  ChartTarget,  // %1 angle
  ChartLower,   // %1 angle
  ChartUpper,   // %1 angle
  ChartHazeNote,
  ColumnNumber,
  ColumnDate,
  ColumnTime,
  ColumnMode,
  ColumnHaze,
  ColumnVerdict,
  ColumnComment,
  TestedBy,
  ApprovedBy,
  SignatureDate,
  Created,  // %1 date and time, %2 program and version
  // Messages around writing it.
  LogoUnreadable,  // %1 file, %2 reason
  LogoNoFile,      // reason: the file is not there
  LogoNoPicture,   // reason: no picture could be read from it
  WriteFailed,     // %1 file, %2 reason
  Cancelled,
  MenuReport,
  SaveTitle,
  PdfFilter,
  Replace,     // %1 file; a Yes/No question
  Written,     // %1 file; a Yes/No question: open it?
  OpenFailed,  // %1 file
  Writing,
  Cancel,
  NoReadings,
  ReportTitle,  // title of the report's message boxes
  // The batch reports of the Batch and Batches windows.
  ReportOfBatch,    // %1 batch ID; the tooltip of "Report…"
  BatchUnreadable,  // %1 the record's file
  // The report settings.
  MenuSettings,
  SettingsTitle,
  SettingsLabName,
  SettingsLogo,
  SettingsChooseLogo,
  SettingsLogoFilter,
  SettingsCalibration,
  SettingsCalibrationDate,
  SettingsNotSet,
  SettingsLogoProblem,  // %1 reason
  SettingsNotStored,    // %1 file, %2 reason
  // korvanta --report.
  CommandNoRecord,          // %1 the record's file
  CommandRecordUnreadable,  // %1 the record's file, %2 reason
  CommandBatchUnreadable,   // %1 batch ID; a reason for CommandRecordUnreadable
  CommandNoBatch,           // %1 batch ID, %2 the record's file
  CommandNoBatchAtStation,  // %1 batch ID, %2 station asked for, %3 stations that have it
  CommandAmbiguous,         // %1 batch ID, %2 the matches
};

// The text in language `languageIndex` (English for any other value).
QString Text(ReportText id, int languageIndex);

}  // namespace report
