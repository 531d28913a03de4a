// The three-language text table and the current text set.
//
// Four blocks of 100 slots: German at 0, English at 100, French at 200 and the current text set
// at 300. Each language block fills entries 0 to 42; the other slots stay absent. Every text the
// window shows in the operator's language is read from the current set when it is shown.
#pragma once

#include <QString>
#include <array>
#include <optional>

namespace i18n {

// The entries by what they are used for.
namespace Txt {
enum : int {
  OpenFailed = 0,
  ConnectionLost = 1,
  AreYouSure = 2,
  Question = 3,
  ColDate = 4,
  ColTime = 5,
  ColMode20 = 6,
  ColValue20 = 7,
  ColComment = 8,
  Data = 9,
  Measure = 10,
  Light = 11,
  SerialNo = 12,
  Firmware = 13,
  ClearData = 14,
  ClearLine = 15,
  Export = 16,
  Options = 17,
  ExportClipboard = 18,
  ExportFile = 19,
  ExportPrint = 20,
  Cancel = 21,
  ChangeComment = 22,
  FlagFile = 23,
  Language = 24,
  ColMode60 = 25,
  ColValue60 = 26,
  MeasuringGeometry = 27,
  SetupWarning = 28,
  SetupWarningTitle = 29,
  Angle = 30,
  Geometry20 = 31,
  Geometry60 = 32,
  DarkMeasurement20 = 33,
  DarkMeasurement60 = 34,
  Undefined = 35,
  Available = 36,
  Locked = 37,
  Setup = 38,
  DarkMeasurement = 39,
  ReleaseAll = 40,
  Number = 41,
  End = 42,
};
}  // namespace Txt

inline constexpr int kEntryCount = 43;
inline constexpr int kBlockSize = 100;
inline constexpr int kGermanBlock = 0;
inline constexpr int kEnglishBlock = 100;
inline constexpr int kFrenchBlock = 200;
inline constexpr int kCurrentBlock = 300;

// LanguageIndex values: the order of the language dialog's list.
inline constexpr int kEnglish = 0;
inline constexpr int kGerman = 1;
inline constexpr int kFrench = 2;

class TextTable {
 public:
  // Fills the three language blocks (German first).
  void FillLanguageBlocks();
  // Makes the block of `languageIndex` the current text set: entries are copied from 0 upwards
  // up to the first absent slot. Any other index copies nothing and keeps the current set.
  void LoadTextSet(int languageIndex);
  // Text entry k of the current set; the empty text while the slot is absent.
  QString Entry(int k) const;
  // Slot n of the whole table (0 to 399).
  const std::optional<QString>& Slot(int n) const { return slots_.at(static_cast<std::size_t>(n)); }

 private:
  std::array<std::optional<QString>, 4 * kBlockSize> slots_;
};

}  // namespace i18n
