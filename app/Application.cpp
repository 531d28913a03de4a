#include "app/Application.h"

#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "app/Backend.h"
#include "app/CommandLine.h"
#include "app/Diagnostics.h"
#include "app/Program.h"
#include "app/ReportRun.h"
#include "i18n/DataFiles.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Language.h"
#include "i18n/widgets/Help.h"
#include "labsync/ConnInfo.h"
#include "labsync/InitCommand.h"
#include "labsync/LabSyncTexts.h"

namespace app {
namespace {

CommandLine& TheCommandLine() {
  static CommandLine line;
  return line;
}

std::function<int()>& LanguageSource() {
  static std::function<int()> source;
  return source;
}

QStringList Arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  return arguments;
}

int Status(ExitStatus status) { return static_cast<int>(status); }

// Standard error gets one line per failure, whatever the message's own line breaks.
QString OneLine(QString text) {
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text.simplified();
}

int Usage(const QString& why) {
  std::fprintf(stderr, "korvanta: %s\n", qPrintable(OneLine(why)));
  return Status(ExitStatus::Usage);
}

// What the toolkit says while it starts is held back: if it cannot start (no display) it would
// end the process with several lines and an abort; the operator gets one line and a failure
// status instead. Otherwise what it said is passed on as it would have been.
struct HeldMessage {
  QtMsgType type;
  QByteArray category;
  QString text;
};
QtMessageHandler g_previousHandler = nullptr;
std::vector<HeldMessage>* g_held = nullptr;

void HoldToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    // The first thing it said names the cause ("could not connect to display"); the fatal message
    // itself is the toolkit's general advice.
    QString cause = text.section(QLatin1Char('\n'), 0, 0);
    for (const HeldMessage& m : *g_held) {
      if (m.type != QtDebugMsg && m.type != QtInfoMsg) {
        cause = m.text;
        break;
      }
    }
    std::fprintf(stderr, "korvanta: the window system cannot be used (%s); the program needs a display\n",
                 qPrintable(OneLine(cause)));
    std::fflush(stderr);
    std::_Exit(Status(ExitStatus::Failure));
  }
  g_held->push_back({type, QByteArray(context.category != nullptr ? context.category : ""), text});
}

std::unique_ptr<Application> StartToolkit(int& argc, char** argv) {
  std::vector<HeldMessage> held;
  g_held = &held;
  g_previousHandler = qInstallMessageHandler(HoldToolkitMessage);
  auto application = std::make_unique<Application>(argc, argv);
  qInstallMessageHandler(g_previousHandler);
  g_held = nullptr;
  for (const HeldMessage& m : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.isEmpty() ? nullptr : m.category.constData());
    if (g_previousHandler != nullptr) {
      g_previousHandler(m.type, context, m.text);
    } else {
      std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(m.type, context, m.text)));
    }
  }
  return application;
}

// A packaged program whose manual went missing says so at start, not only when help is asked for.
void WarnIfManualMissing(const i18n::LanguageState& language) {
  const int lang = language.LanguageIndex;
  if (!i18n::FindDataFile(language, i18n::HelpFileName(lang)).isEmpty() ||
      !i18n::FindDataFile(language, i18n::HelpManualName(lang)).isEmpty()) {
    return;
  }
  QStringList folders;
  for (const QString& folder : i18n::SearchedFolders(language)) folders.append(QDir::toNativeSeparators(folder));
  qCWarning(lcApp, "%s",
            qPrintable(i18n::ExtraText(i18n::Extra::HelpMissing, lang)
                           .arg(i18n::HelpFileName(lang), i18n::HelpManualName(lang), folders.join('\n'))));
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("korvanta"));
  // No display name: the toolkit would append it to every window title on Linux desktops. The
  // desktop entry gives the task bar the program's name and icon.
  setDesktopFileName(QString::fromLatin1(kDesktopId));
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ReportException(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ReportException(QString());
  }
  return false;
}

void Application::ReportException(const QString& message) {
  const int language = LanguageSource() ? LanguageSource()() : 0;
  QMessageBox::critical(nullptr, i18n::ExtraText(i18n::Extra::ErrorTitle, language),
                        i18n::ExtraText(i18n::Extra::UnexpectedError, language).arg(message));
}

void Application::SetLanguageSource(std::function<int()> source) { LanguageSource() = std::move(source); }

const CommandLine& ProgramCommandLine() { return TheCommandLine(); }

int RunProgram(int argc, char** argv, const WindowMaker& makeWindows) {
  QCoreApplication::setApplicationName(QStringLiteral("korvanta"));
  // The command line is read in full before the window toolkit starts, since the toolkit ends the
  // process where no display can be opened: a usage error is told as one, display or not.
  QStringList arguments = Arguments(argc, argv);
  if (!arguments.isEmpty()) arguments.removeFirst();
  const CommandLine line = ParseCommandLine(arguments);
  if (!line.error.isEmpty()) return Usage(line.error + QStringLiteral("; 'korvanta --help' lists the options"));
  switch (line.request) {
    case CommandLine::Request::Help:
    case CommandLine::Request::HelpAll:
      std::fputs(qPrintable(HelpText(line.request == CommandLine::Request::HelpAll)), stdout);
      return Status(ExitStatus::Done);
    case CommandLine::Request::Version:
      std::printf("%s %s\n%s\n", qPrintable(QCoreApplication::applicationName()),
                  qPrintable(QCoreApplication::applicationVersion()),
                  "Free software under the GNU General Public License, version 3 or later.");
      return Status(ExitStatus::Done);
    case CommandLine::Request::Run:
      break;
  }
  // A batch's report, written without a window.
  if (line.IsSet(QStringLiteral("report"))) {
    report::ReportCommand command;
    QString problem;
    if (!ReadReportCommand(line, command, problem))
      return Usage(problem + QStringLiteral("; 'korvanta --help' lists the options"));
    return RunReport(argc, argv, command, line.IsSet(QStringLiteral("debug")));
  }
  // A command for the lab's administrator, answered without a window.
  if (line.IsSet(QStringLiteral("init-lab-database"))) {
    return labsync::InitLabDatabase(line.Value(QStringLiteral("init-lab-database")).toLocal8Bit());
  }
  // A lab database's connection string that cannot be used (one holding a password, say) is told
  // before anything starts, with where the password belongs, in the operator's language.
  if (const std::optional<QString> lab = line.Given(QStringLiteral("lab-database"))) {
    if (const labsync::Outcome checked = labsync::CheckConnInfo(lab->toUtf8()); !checked.Ok()) {
      const int lang = i18n::ReadLanguageSetting(i18n::WorkingDirectoryBasePath());
      return Usage(QStringLiteral("--lab-database: ") + labsync::ReasonText(checked, lang));
    }
  }
  TheCommandLine() = line;
  BackendChoice choice;
  QString problem;
  if (!ChooseBackend(line, choice, problem)) return Usage(problem);

  std::unique_ptr<Application> application = StartToolkit(argc, argv);
  // From here on every diagnostic goes through the program's categories; --debug keeps a copy.
  if (const QString logProblem = InstallDiagnostics(line.IsSet(QStringLiteral("debug"))); !logProblem.isEmpty()) {
    qCWarning(lcApp, "korvanta: the debug log %s cannot be written (%s); its lines go to standard error only",
              qPrintable(QDir::toNativeSeparators(DebugLogPath())), qPrintable(logProblem));
  }

  // The state outlives the windows, so that the error box of a failed start can still ask it for
  // the operator's language.
  ProcessState state;
  state.Language.DataFolders = i18n::ProgramDataFolders();
  Application::SetLanguageSource([&state] { return state.Language.LanguageIndex; });
  ExitStatus status = ExitStatus::Done;
  const auto failed = [&status](const QString& message) {
    std::fprintf(stderr, "korvanta: %s\n",
                 qPrintable(OneLine(message.isEmpty() ? QStringLiteral("unexpected error") : message)));
    Application::ReportException(message);
    status = ExitStatus::Failure;
  };
  try {
    const std::unique_ptr<Backend> backend = MakeBackend(choice);
    const std::unique_ptr<Program> program = makeWindows(state, *backend);
    WarnIfManualMissing(state.Language);
    program->MainForm->show();
    QApplication::exec();
  } catch (const std::exception& e) {
    failed(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    failed(QString());
  }
  Application::SetLanguageSource({});
  RemoveDiagnostics();
  return Status(status);
}

}  // namespace app
