// The program on the virtual instrument, wired to its journal as main() wires it, driven by its
// arguments for the journal's tests, which kill it or let it close:
//
//   test_journal_child <export file> <step>...
//
// Steps: "measure" (one reading through the measure button), "comment <row> <text>" (through the
// comment dialog), "clearline <row>" and "cleardata" (both answered Yes), "close" (the window
// closed: the normal end). After the last step it writes the table's export text, UTF-16, to
// <export file>, prints "journal-child: ready" and goes on polling until it is killed; after
// "close" it ends. The journal goes where XDG_STATE_HOME says.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/Application.h"
#include "app/Program.h"
#include "journal/TableJournal.h"
#include "sim/SimulatedInstrument.h"
#include "table/ExportText.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "journal-child: %s\n", what);
  std::fflush(stderr);
  std::_Exit(3);
}

void WaitFor(const std::function<bool()>& done, const char* what) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 120000) Fail(what);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

// Runs `action` on the next modal window once it is up.
void AnswerNextModal(const std::function<void(QWidget*)>& action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(modal);
  });
  timer->start();
}

void PressYes(QWidget* modal) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (box == nullptr) Fail("the question is no message box");
  box->button(QMessageBox::Yes)->click();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  app::Application application(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 2) Fail("usage: test_journal_child <export file> <step>...");

  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.autoReading = std::chrono::milliseconds(0);
  scenario.readings = {{75.3, 88.5, 0x02}, {12.0, 35.2, 0x00}, {4.4, 9.1, 0x08}, {101.7, 96.0, 0x01}};
  sim::SimulatedInstrument instrument(bus, scenario);
  app::ProcessState state;
  app::Program program(state, bus);
  app::TMainForm& w = *program.MainForm;
  journal::TableJournal journal(w.Rows(), state.Language, &w);
  QObject::connect(&w, &app::TMainForm::StartupSequenceEnded, &journal, &journal::TableJournal::StartupSequenceEnded);
  if (!journal.Active()) Fail("no journal");

  WaitFor([&] { return state.Cycle.HandshakeDone == protocol::kCycleRunning && !w.Label7->text().startsWith('?'); },
          "the instrument never answered");
  for (int i = 2; i < args.size(); ++i) {
    const QString& step = args[i];
    if (step == QLatin1String("measure")) {
      const int before = w.Rows().Count();
      w.messen->click();
      WaitFor([&] { return w.Rows().Count() == before + 1; }, "no reading");
    } else if (step == QLatin1String("comment") && i + 2 < args.size()) {
      const int row = args[++i].toInt();
      const QString text = args[++i];
      w.ListView1->selectRow(row);
      AnswerNextModal([&](QWidget*) {
        program.Form2->Edit1->setText(text);
        program.Form2->Button1->click();
      });
      w.ListView1DblClick();
    } else if (step == QLatin1String("clearline") && i + 1 < args.size()) {
      w.ListView1->selectRow(args[++i].toInt());
      AnswerNextModal(PressYes);
      w.clearLClick();
    } else if (step == QLatin1String("cleardata")) {
      AnswerNextModal(PressYes);
      w.clearDClick();
    } else if (step == QLatin1String("close")) {
      w.close();
      return 0;
    } else {
      Fail("unknown step");
    }
    if (!journal.Active()) Fail("the journal stopped");
  }

  const QString text = table::JoinExportLines(table::BuildExportLines(table::ColumnHeadings(state.Language), w.Rows()));
  QFile file(args[1]);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("cannot write the export");
  file.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  file.close();
  std::printf("journal-child: ready\n");
  std::fflush(stdout);
  return QApplication::exec();
}
