// The program on the virtual instrument, wired to its journal and its lab record as main() wires
// them, for the record's kill test: it continues the open batch (or starts batch "KILL" with a
// product), brings back the journal's rows when there are any, and then takes a reading as often as the
// polling cycle fetches one, through the instrument's own button, printing "lab-child: <uuid>" once each reading
// has reached the table, until it is killed. The journal and the record go where XDG_STATE_HOME and
// XDG_DATA_HOME say.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/Application.h"
#include "app/Program.h"
#include "journal/TableJournal.h"
#include "lab/Settings.h"
#include "lab/windows/LabWindows.h"
#include "protocol/Messages.h"
#include "sim/SimulatedInstrument.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "lab-child: %s\n", what);
  std::fflush(stderr);
  std::_Exit(3);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  app::Application application(argc, argv);

  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  // As often as the polling cycle can fetch a reading: every fetch takes five ticks.
  scenario.autoReading = std::chrono::milliseconds(300);
  scenario.readings = {{75.3, 88.5, 0x00}, {12.0, 35.2, 0x00}, {4.4, 79.1, 0x00}, {101.7, 96.0, 0x00}};
  sim::SimulatedInstrument instrument(bus, scenario);
  app::ProcessState state;
  app::Program program(state, bus);
  app::TMainForm& w = *program.MainForm;
  journal::TableJournal journal(w.Rows(), state.Language, &w);
  lab::LabWindows lab(w.Rows(), w.Analysis(), state.Language, &w, lab::RecordPath(QStringLiteral("lab-simulated")),
                      lab::DefaultSettingsPath(), [&] {
                        return lab::BatchSession::Instrument{protocol::SerialNumber(state.Cycle.SerialChars),
                                                             w.Label7->text().trimmed()};
                      });
  if (!journal.Active() || lab.Session() == nullptr) Fail("no journal or no record");
  // After the journal and the record: a row printed here is in both.
  QObject::connect(&w.Rows(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
    for (int i = first; i <= last; ++i) {
      std::printf("lab-child: %s\n", qPrintable(w.Rows().Row(i).uuid.toString(QUuid::WithoutBraces)));
    }
    std::fflush(stdout);
  });
  if (!lab.Session()->Current()) {
    lab::Specification spec;
    spec.name = QStringLiteral("Gloss 80");
    spec.limits.angle[1] = lab::AngleLimits::Around(8000, 500);
    if (!lab.Store().AddProduct(spec) || !lab.Session()->Start(QStringLiteral("KILL"), spec.id, QString()))
      Fail("cannot start the batch");
  }
  // The journal's question, answered Yes, as the operator would after a kill.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->button(QMessageBox::Yes)->click();
    }
  });
  answer.start(5);
  QTimer::singleShot(0, &journal, &journal::TableJournal::StartupSequenceEnded);
  return QApplication::exec();
}
