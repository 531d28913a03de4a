// The program with windows that cannot be built: its main window comes up (and reads the settings
// file of the working folder), then the rest fails with an exception, std::exception or another
// type after the first argument ("std" or "other"). The error box that follows is answered here:
// its title and text go to standard output, so that a test can check the failure path of a whole
// process, exit code included.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "app/Application.h"
#include "app/Backend.h"
#include "app/Program.h"

namespace {

struct NotAStdException {};

// Presses OK on the first message box and prints what it said.
void AnswerTheErrorBox() {
  auto* poll = new QTimer(qApp);  // the application deletes it
  QObject::connect(poll, &QTimer::timeout, poll, [poll] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    std::printf("%s\n%s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
    std::fflush(stdout);
    poll->stop();
    box->button(QMessageBox::Ok)->click();
  });
  poll->start(10);
}

}  // namespace

int main(int argc, char** argv) {
  const bool other = argc > 1 && std::strcmp(argv[1], "other") == 0;
  // The program's own command line follows the first argument.
  if (argc > 1) {
    argv[1] = argv[0];
    ++argv;
    --argc;
  }
  return app::RunProgram(argc, argv, [other](app::ProcessState& state, app::Backend& backend) {
    AnswerTheErrorBox();
    const app::TMainForm mainForm(state, backend.Access());
    if (other) throw NotAStdException();
    throw std::runtime_error("no room for the dialogs");
    return std::unique_ptr<app::Program>();
  });
}
