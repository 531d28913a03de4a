// TMainForm: the main window. It owns the connection to the instrument and the polling timers,
// shows what the instrument reports, holds the measurement table and wires every control to its
// handler.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/ProcessState.h"
#include "protocol/PollingCycle.h"
#include "table/Export.h"
#include "table/MeasurementModel.h"
#include "usb/InstrumentLink.h"
#include "widgets/AutoLabel.h"
#include "widgets/ClickLabel.h"
#include "widgets/RadioGroup.h"

namespace dialogs {
class TForm5;
class TForm6;
class TForm7;
}  // namespace dialogs
namespace table {
class TForm2;
class TForm3;
}  // namespace table
namespace i18n {
class TselectLanguage;
}
namespace analysis {
class ReadingAnalysis;
}

namespace app {

// The dialogs the main window shows, created after it.
struct Forms {
  dialogs::TForm5* Form5 = nullptr;
  table::TForm2* Form2 = nullptr;
  table::TForm3* Form3 = nullptr;
  i18n::TselectLanguage* selectLanguage = nullptr;
  dialogs::TForm6* Form6 = nullptr;
  dialogs::TForm7* Form7 = nullptr;
};

class TMainForm : public QWidget, private protocol::CycleView {
  Q_OBJECT
 public:
  // Builds the window, makes the first connection attempt and runs FormCreate.
  TMainForm(ProcessState& state, usb::UsbAccess& access, QWidget* parent = nullptr);
  ~TMainForm() override;

  void SetForms(const Forms& forms) { forms_ = forms; }

  // Text of status field 0 (connection messages) or 1 (measuring geometry).
  QString StatusText(int field) const;
  void SetStatusText(int field, const QString& text);

  usb::InstrumentLink& Link() { return link_; }
  protocol::PollingCycle& Cycle() { return cycle_; }
  table::MeasurementModel& Rows() { return rows_; }
  // The save and print dialogs and the spreadsheet program the export uses.
  table::ExportPlatform& ExportServices() { return exportPlatform_; }
  // The text entry k of the current text set.
  QString Text(int k) const { return state_.Language.Text(k); }

  // Title area
  QLabel* Image1;               // the banner across the top
  QLabel* langFlag;             // the flag of the current language, left of langButton
  QPushButton* langButton;      // TselectLanguage
  QLabel* Label25;              // the title "KORVANTA III   318 QX"
  QLabel* Label9;               // its registered mark
  QPushButton* geometrie;       // Setup: a warning, then TForm7
  widgets::ClickLabel* Image4;  // the help icon: the manual of the current language
  widgets::ClickLabel* Image7;  // the info icon: TForm5
  QLabel* Image2;               // hidden: the light button's glyph for a dark measurement
  QLabel* Image3;               // hidden: its glyph for a normal one
  // Readings area
  widgets::AutoLabel* Label13;   // caption "Data" above the readings
  widgets::AutoLabel* Label21;   // caption "No." of the running number
  widgets::AutoLabel* Label23;   // running number of the latest reading
  widgets::AutoLabel* Label104;  // caption "20°"
  widgets::AutoLabel* Label36;   // value at 20°
  widgets::AutoLabel* Label49;   // 20° mode letter places L, C, D
  widgets::AutoLabel* Label52;
  widgets::AutoLabel* Label87;
  widgets::AutoLabel* Label103;  // caption "60°"
  widgets::AutoLabel* Label8;    // value at 60°
  widgets::AutoLabel* Label17;   // 60° mode letter places L, C, D
  widgets::AutoLabel* Label18;
  widgets::AutoLabel* Label19;
  QToolButton* messen;           // Measure: a normal or a dark measurement, after licht
  QToolButton* licht;            // the light button: switches between normal and dark, raises no request
  QToolButton* winkel;           // the angle button: TForm6, then a geometry request
  widgets::AutoLabel* Label12;   // caption "Firmware:"
  widgets::AutoLabel* Label7;    // firmware version; "-----" after a lost connection
  widgets::AutoLabel* Label2;    // caption "Serial No.:"
  widgets::AutoLabel* SerialNr;  // serial number
  QCheckBox* CheckBox1;          // hidden "AutoSample": switches Timer3
  widgets::RadioGroup* Shot;     // beneath the table: None, Shot, Dark
  widgets::RadioGroup* MeasGeo;  // beneath the table: 20°, 60°, 20° + 60°
  widgets::RadioGroup* ori;      // beneath the table: display orientation
  // Table and bottom row
  QTableView* ListView1;  // the measurement table
  QPushButton* clearD;    // Clear Data, after a question
  QPushButton* clearL;    // Clear Line: the selected row, after a question
  QPushButton* exportB;   // Export: TForm3, then clipboard, file or printer
  QPushButton* Button1;   // hidden "Test": two sample rows
  QStatusBar* StatusBar;  // field 0 connection messages, field 1 measuring geometry
  // Components without a face
  QTimer* Timer1;  // 50 ms, precise: one tick of the polling cycle
  QTimer* Timer2;  // 5 s: the next attempt to open the instrument
  QTimer* Timer3;  // 2 s: the automatic measurement (hidden CheckBox1)

  // Handlers
  void FormCreate();
  void FormDestroy();
  void InitGeo();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void langButtonClick();
  void geometrieClick();
  void Image4Click();
  void Image7Click();
  void messenClick();
  void lichtClick();
  void winkelClick();
  void CheckBox1Click();
  void RefHiClick(QObject* sender);
  void ListView1DblClick();
  void clearDClick();
  void clearLClick();
  void exportBClick();
  void Button1Click();

  // Appends a reading at the end of the table and makes it the focused and selected row,
  // scrolled into view.
  void AppendReadingRow(const table::MeasurementRow& row);

  // Seam for tests: draws the test button's numbers (0 to 998).
  std::function<int()> DrawTestNumber = [] { return std::rand() % 999; };

  // Puts the current text set on the window's controls.
  void ApplyLanguage();
  // The statistics and trend windows that the table's context menu opens.
  analysis::ReadingAnalysis& Analysis() { return *analysis_; }
  // After each failed exchange: the second failure since the last (re)connection is a loss.
  void ConnectionLossStep();

 signals:
  // The start-up geometry sequence has closed its dialog (end of InitGeo).
  void StartupSequenceEnded();
  // At the end of every ApplyLanguage: windows of their own follow the language.
  void LanguageApplied();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void WireHandlers();

  // What the polling cycle shows.
  void ShowSerial(const QString& text) override;
  void ShowFirmware(const QString& text) override;
  void ShowValue60(const QString& text, const std::array<QString, 3>& letters) override;
  void ShowValue20(const QString& text, const std::array<QString, 3>& letters) override;
  void ShowMeasCount(const QString& text) override;
  void ResetShot() override;
  QString CommentText() const override;
  void AppendReading(const protocol::ReadingRow& row) override;
  void ShowGeometry(const QString& suffix) override;
  void ClearConnectionMessage() override;
  void ExchangeFailed() override;

  ProcessState& state_;
  usb::InstrumentLink link_;
  protocol::PollingCycle cycle_;
  table::MeasurementModel rows_;
  table::ExportPlatform exportPlatform_ = table::ExportPlatform::Default();
  Forms forms_;
  QLabel* statusFields_[2] = {nullptr, nullptr};
  bool firstAttemptFailed_ = false;
  bool shown_ = false;
  std::unique_ptr<analysis::ReadingAnalysis> analysis_;
};

}  // namespace app
