// KORVANTA III: the desktop companion of the LUMARIS 318QX gloss meter.
#include <QCoreApplication>

#include "app/Application.h"
#include "app/Backend.h"
#include "app/CommandLine.h"
#include "app/Program.h"
#include "journal/TableJournal.h"
#include "lab/Settings.h"
#include "lab/windows/LabWindows.h"
#include "labsync/station/StationLink.h"
#include "protocol/Messages.h"
#include "report/windows/Reports.h"

int main(int argc, char** argv) {
  QCoreApplication::setApplicationVersion(QStringLiteral(KORVANTA_VERSION));
  return app::RunProgram(argc, argv, [](app::ProcessState& state, app::Backend& backend) {
    auto program = std::make_unique<app::Program>(state, backend.Access());
    // The table's rows survive an abnormal end; a normal one (the window closed) empties the
    // journal, which lives as long as the main window. The virtual instrument's readings go to a
    // journal of their own.
    app::TMainForm* window = program->MainForm.get();
    auto* journal = new journal::TableJournal(window->Rows(), state.Language, window, journal::DefaultFolder(),
                                              app::RecordName(backend.Records(), journal::kDefaultName));
    journal->setParent(window);
    QObject::connect(window, &app::TMainForm::StartupSequenceEnded, journal,
                     &journal::TableJournal::StartupSequenceEnded);
    // Batches, specifications and their lasting record; a simulated run keeps its own. "Batch…"
    // follows "Statistics…" and "Trend…" in the table's menu.
    auto* lab =
        new lab::LabWindows(window->Rows(), window->Analysis(), state.Language, window,
                            lab::RecordPath(app::RecordName(backend.Records(), QLatin1String(lab::kRecordBaseName))),
                            lab::DefaultSettingsPath(), [window, &state] {
                              return lab::BatchSession::Instrument{protocol::SerialNumber(state.Cycle.SerialChars),
                                                                   window->Label7->text().trimmed()};
                            });
    lab->setParent(window);
    QObject::connect(window, &app::TMainForm::StartupSequenceEnded, lab, &lab::LabWindows::StartupSequenceEnded);
    QObject::connect(window, &app::TMainForm::LanguageApplied, lab, &lab::LabWindows::ApplyLanguage);
    // The lab database, when one is configured (lab.conf, or --lab-database): the outbox's sender,
    // the link in the Batch window, the lab's products and the whole lab's batches.
    labsync::station::Join(*lab, state.Language, app::ProgramCommandLine().Given(QStringLiteral("lab-database")),
                           backend.Records() == app::RecordSet::Simulated, window);
    // PDF reports: of the table's rows ("Report…" after "Batch…" in the table's menu) and of a
    // batch (in the Batch and Batches windows), with the report settings.
    auto* reports = new report::Reports(window->Rows(), state.Language, window, lab::DefaultSettingsPath());
    reports->setParent(window);
    reports->Readings.CurrentInstrument = [window] {
      return report::Instrument{window->SerialNr->text(), window->Label7->text()};
    };
    reports->OfferIn(window->Analysis());
    reports->OfferIn(*lab);
    QObject::connect(window, &app::TMainForm::LanguageApplied, reports, &report::Reports::ApplyLanguage);
    return program;
  });
}
