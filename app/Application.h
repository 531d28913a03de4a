// The application object: an exception that escapes an event handler is shown to the operator in
// an error box and the message loop goes on. RunProgram is the whole of main().
#pragma once

#include <QApplication>
#include <functional>
#include <memory>

namespace app {

class Backend;
class Program;
struct ProcessState;

// The name the desktop knows the program by: its desktop entry, its icon and its AppStream
// metadata carry it.
inline constexpr char kDesktopId[] = "com.example.Korvanta";

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the message of an exception that reached the message loop.
  static void ReportException(const QString& message);
  // The language of error messages (LanguageIndex); English until set.
  static void SetLanguageSource(std::function<int()> source);
};

// Builds the program's windows on the process-wide state and the chosen backend (its USB access
// and the records it keeps).
using WindowMaker = std::function<std::unique_ptr<Program>(ProcessState& state, Backend& backend)>;

// The program from its command line to its end: the command line is read in full and --help and
// --version are answered without a display, then the application object, the backend, the windows
// from `makeWindows` and the message loop. Returns one of the statuses of ExitStatus
// (app/CommandLine.h): a usage error and a failure at run time are each told in one line on
// standard error, and a failure with windows in an error box in the operator's language too.
int RunProgram(int argc, char** argv, const WindowMaker& makeWindows);

struct CommandLine;
// The command line RunProgram read, for the windows' makers (empty before it ran).
const CommandLine& ProgramCommandLine();

}  // namespace app
