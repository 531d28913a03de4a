#include "app/Application.h"

#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "app/Backend.h"
#include "app/Diagnostics.h"
#include "app/Program.h"
#include "i18n/DataFiles.h"
#include "i18n/ExtraTexts.h"
#include "i18n/widgets/Help.h"

namespace app {
namespace {

std::function<int()>& LanguageSource() {
  static std::function<int()> source;
  return source;
}

QStringList Arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  return arguments;
}

// True when the command line asks only to be told something (help or version): these are answered
// before the window toolkit starts, since it ends the process where no display can be opened.
bool AsksForInformation(QCommandLineParser& parser, int argc, char** argv) {
  parser.parse(PrepareArguments(Arguments(argc, argv)));  // errors are reported by process() later
  return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
         parser.isSet(QStringLiteral("version"));
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

int RunProgram(int argc, char** argv, const WindowMaker& makeWindows) {
  QCoreApplication::setApplicationName(QStringLiteral("korvanta"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("KORVANTA III, the companion of the LUMARIS 318QX gloss meter."));
  parser.addHelpOption();
  parser.addVersionOption();
  AddBackendOptions(parser);
  if (AsksForInformation(parser, argc, argv)) {
    const QCoreApplication core(argc, argv);
    parser.process(PrepareArguments(QCoreApplication::arguments()));  // prints and ends the process
  }

  Application application(argc, argv);
  parser.process(PrepareArguments(QCoreApplication::arguments()));

  // The state outlives the windows, so that the error box of a failed start can still ask it for
  // the operator's language.
  ProcessState state;
  state.Language.DataFolders = i18n::ProgramDataFolders();
  Application::SetLanguageSource([&state] { return state.Language.LanguageIndex; });
  int status = 0;
  try {
    QString problem;
    const std::unique_ptr<Backend> backend = MakeBackend(parser, problem);
    if (backend) {
      const std::unique_ptr<Program> program = makeWindows(state, backend->Access());
      WarnIfManualMissing(state.Language);
      program->MainForm->show();
      QApplication::exec();
    } else {
      std::fprintf(stderr, "korvanta: %s\n", qPrintable(problem));
      status = 2;
    }
  } catch (const std::exception& e) {
    Application::ReportException(QString::fromLocal8Bit(e.what()));
    status = 1;
  } catch (...) {
    Application::ReportException(QString());
    status = 1;
  }
  Application::SetLanguageSource({});
  return status;
}

}  // namespace app
