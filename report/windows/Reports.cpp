#include "report/windows/Reports.h"

#include <QDir>
#include <QMenu>
#include <QMessageBox>

#include "report/BatchReportData.h"
#include "report/windows/ReportSettingsDialog.h"

namespace report {

Reports::Reports(const table::MeasurementModel& rows, const i18n::LanguageState& language, QWidget* owner,
                 const QString& settingsPath)
    : Files(language, settingsPath), Readings(rows, Files, owner), language_(language), owner_(owner) {}

void Reports::OfferIn(analysis::ReadingAnalysis& analysis) {
  connect(&analysis, &analysis::ReadingAnalysis::TableMenuBuilt, this, [this](QMenu* menu) {
    const int lang = language_.LanguageIndex;
    QAction* report = menu->addAction(Text(ReportText::MenuReport, lang));
    report->setObjectName(QStringLiteral("ReportAction"));
    connect(report, &QAction::triggered, &Readings, &ReadingsReport::WriteReport);
    QAction* settings = menu->addAction(Text(ReportText::MenuSettings, lang));
    settings->setObjectName(QStringLiteral("ReportSettingsAction"));
    connect(settings, &QAction::triggered, this, [this] { EditSettings(owner_); });
  });
}

void Reports::OfferIn(lab::LabWindows& lab) {
  connect(&lab, &lab::LabWindows::BatchWindowMade, this,
          [this, &lab](lab::BatchWindow* window) { AddButtons(lab, window); });
  connect(&lab, &lab::LabWindows::BatchesWindowMade, this,
          [this, &lab](lab::BatchesWindow* window) { AddButton(lab, window); });
  connect(&lab, &lab::LabWindows::ReportRequested, this,
          [this, &lab](const lab::Batch& batch, const std::optional<lab::Specification>& spec,
                       const std::vector<lab::Reading>& readings) {
            QWidget* owner = lab.Batches() != nullptr ? static_cast<QWidget*>(lab.Batches()) : owner_;
            const int lang = language_.LanguageIndex;
            Files.Write(owner, SafeFileName(batch.batchId) + QStringLiteral(".pdf"),
                        [&]() -> std::optional<ReportData> { return BatchReportData(batch, spec, readings, lang); });
          });
}

QPushButton* Reports::MakeButton(QWidget* parent, const char* name, ReportText text) {
  auto* button = new QPushButton(Text(text, language_.LanguageIndex), parent);
  button->setObjectName(QString::fromLatin1(name));
  buttons_.emplace_back(button, text);
  return button;
}

void Reports::AddButtons(lab::LabWindows& lab, lab::BatchWindow* window) {
  QPushButton* report = MakeButton(window, "ReportButton", ReportText::MenuReport);
  QPushButton* settings = MakeButton(window, "ReportSettingsButton", ReportText::MenuSettings);
  window->AddButton(report);
  window->AddButton(settings);
  // The batch the window shows: the open one, or the one just closed.
  const QPointer<lab::BatchWindow> guard(window);
  const auto update = [this, guard, report, &lab] {
    if (!guard) return;
    const std::optional<std::int64_t> shown = guard->ShownBatch();
    const std::optional<lab::Batch> batch = shown ? lab.Store().BatchById(*shown) : std::nullopt;
    report->setEnabled(batch.has_value());
    report->setToolTip(batch ? Text(ReportText::ReportOfBatch, language_.LanguageIndex).arg(batch->batchId)
                             : QString());
  };
  connect(window, &lab::BatchWindow::ShownBatchChanged, report, update);
  tooltips_.push_back(update);
  update();
  connect(report, &QPushButton::clicked, this, [this, window, &lab] {
    if (const std::optional<std::int64_t> shown = window->ShownBatch()) WriteBatchReport(window, lab.Store(), *shown);
  });
  connect(settings, &QPushButton::clicked, this, [this, window] { EditSettings(window); });
}

void Reports::AddButton(lab::LabWindows& lab, lab::BatchesWindow* window) {
  QPushButton* report = MakeButton(window, "ReportButton", ReportText::MenuReport);
  window->AddButton(report);
  const auto update = [window, report] {
    report->setEnabled(window->Chosen() != nullptr || window->ChosenInWholeLab());
  };
  connect(window, &lab::BatchesWindow::ChoiceChanged, report, update);
  update();
  connect(report, &QPushButton::clicked, this, [this, window, &lab] {
    // Another station's batch is read from the lab database first; its report follows.
    if (window->ChosenInWholeLab()) return window->OpenSharedReport();
    // The list may be reloaded while the save dialog is open: the batch is kept by its row.
    if (const lab::Batch* chosen = window->Chosen()) WriteBatchReport(window, lab.Store(), chosen->id);
  });
}

bool Reports::WriteBatchReport(QWidget* owner, lab::LabStore& store, std::int64_t batch) {
  const auto unreadable = [this, owner, &store] {
    const int lang = language_.LanguageIndex;
    QMessageBox::warning(owner, Text(ReportText::ReportTitle, lang),
                         Text(ReportText::BatchUnreadable, lang).arg(QDir::toNativeSeparators(store.Path())));
  };
  const std::optional<lab::Batch> b = store.BatchById(batch);
  if (!b) {
    unreadable();
    return false;
  }
  // Gathered once the file is chosen, so that readings of an open batch taken meanwhile are in it.
  return Files.Write(owner, SafeFileName(b->batchId) + QStringLiteral(".pdf"),
                     [this, &store, batch, &unreadable]() -> std::optional<ReportData> {
                       std::optional<ReportData> data = BatchReportData(store, batch, language_.LanguageIndex);
                       if (!data) unreadable();
                       return data;
                     });
}

bool Reports::EditSettings(QWidget* owner) {
  ReportSettingsDialog dialog(language_, Files.SettingsPath(), owner);
  return dialog.exec() == QDialog::Accepted;
}

void Reports::ApplyLanguage() {
  for (const auto& [button, text] : buttons_) {
    if (button) button->setText(Text(text, language_.LanguageIndex));
  }
  for (const auto& update : tooltips_) update();
}

}  // namespace report
