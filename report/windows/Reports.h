// The reports as the main window offers them: "Report…" and "Report settings…" in the measurement
// table's context menu (after the items offered there before, "Batch…" among them), "Report…" and
// "Report settings…" in the Batch window (the batch it shows), "Report…" in the Batches window (the
// batch chosen there). Every report goes through one ReportFiles, which other windows reporting a
// batch (the lab database's) use too. main() creates one beside the main window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/windows/ReadingAnalysis.h"
#include "lab/LabStore.h"
#include "lab/windows/LabWindows.h"
#include "report/ReportTexts.h"
#include "report/windows/ReadingsReport.h"
#include "report/windows/ReportFiles.h"
#include "table/MeasurementModel.h"

namespace report {

class Reports : public QObject {
  Q_OBJECT
 public:
  // `settingsPath`: korvanta.conf.
  Reports(const table::MeasurementModel& rows, const i18n::LanguageState& language, QWidget* owner,
          const QString& settingsPath);

  // "Report…" (object name "ReportAction") and "Report settings…" ("ReportSettingsAction") in every
  // table menu `analysis` builds from now on.
  void OfferIn(analysis::ReadingAnalysis& analysis);
  // The buttons in the Batch and the Batches window of `lab`, once each is made.
  void OfferIn(lab::LabWindows& lab);

  // The report of batch `batch` (its row) of `store`, asked for from `owner`; true when written.
  bool WriteBatchReport(QWidget* owner, lab::LabStore& store, std::int64_t batch);
  // The report settings dialog; true when the settings were stored.
  bool EditSettings(QWidget* owner);

  void ApplyLanguage();

  ReportFiles Files;
  ReadingsReport Readings;

 private:
  void AddButtons(lab::LabWindows& lab, lab::BatchWindow* window);
  void AddButton(lab::LabWindows& lab, lab::BatchesWindow* window);
  QPushButton* MakeButton(QWidget* parent, const char* name, ReportText text);

  const i18n::LanguageState& language_;
  QWidget* owner_;
  // The buttons made, for their texts in another language, and what updates their tooltips.
  std::vector<std::pair<QPointer<QPushButton>, ReportText>> buttons_;
  std::vector<std::function<void()>> tooltips_;
};

}  // namespace report
