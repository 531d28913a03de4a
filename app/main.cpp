// KORVANTA III: the desktop companion of the LUMARIS 318QX gloss meter.
#include <QCoreApplication>

#include "app/Application.h"
#include "app/Program.h"
#include "journal/TableJournal.h"
#include "labsync/InitCommand.h"

int main(int argc, char** argv) {
  QCoreApplication::setApplicationVersion(QStringLiteral(KORVANTA_VERSION));
  if (const std::optional<int> status = labsync::RunInitLabDatabase(argc, argv)) return *status;
  return app::RunProgram(argc, argv, [](app::ProcessState& state, usb::UsbAccess& access) {
    auto program = std::make_unique<app::Program>(state, access);
    // The table's rows survive an abnormal end; a normal one (the window closed) empties the
    // journal, which lives as long as the main window.
    app::TMainForm* window = program->MainForm.get();
    auto* journal = new journal::TableJournal(window->Rows(), state.Language, window);
    journal->setParent(window);
    QObject::connect(window, &app::TMainForm::StartupSequenceEnded, journal,
                     &journal::TableJournal::StartupSequenceEnded);
    return program;
  });
}
