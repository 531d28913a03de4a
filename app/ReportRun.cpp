#include "app/ReportRun.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app/Backend.h"
#include "app/Diagnostics.h"
#include "lab/LabStore.h"
#include "lab/Settings.h"

namespace app {
namespace {

QtMessageHandler g_toolkitHandler = nullptr;

// A script reads one line on standard error for a failure and none for a success: what the toolkit
// says on its way (a runtime folder it had to choose, ...) is not passed on. Only a toolkit that
// cannot start at all is told, as the program's one line.
void QuietToolkit(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "korvanta: the report cannot be written without a window system (%s)\n",
                 qPrintable(text.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(static_cast<int>(ExitStatus::Failure));
  }
  const QLatin1StringView category(context.category != nullptr ? context.category : "");
  if (!category.startsWith(QLatin1StringView("korvanta."))) return;
  if (g_toolkitHandler != nullptr) {
    g_toolkitHandler(type, context, text);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
  }
}

}  // namespace

bool ReadReportCommand(const CommandLine& line, report::ReportCommand& command, QString& problem) {
  command = report::ReportCommand();
  command.batchId = line.Value(QStringLiteral("report")).trimmed();
  if (command.batchId.isEmpty()) {
    problem = QStringLiteral("option --report needs a batch ID");
    return false;
  }
  if (!line.IsSet(QStringLiteral("output"))) {
    problem = QStringLiteral("option --report needs --output=FILE.pdf");
    return false;
  }
  command.output = line.Value(QStringLiteral("output"));
  if (command.output.trimmed().isEmpty()) {
    problem = QStringLiteral("option --output needs a file name");
    return false;
  }
  if (line.IsSet(QStringLiteral("language"))) {
    const QString code = line.Value(QStringLiteral("language"));
    command.language = report::LanguageOfCode(code);
    if (!command.language) {
      problem = QStringLiteral("option --language takes en, de or fr, not '%1'").arg(code);
      return false;
    }
  }
  if (line.IsSet(QStringLiteral("station"))) {
    command.station = line.Value(QStringLiteral("station")).trimmed();
    if (command.station.isEmpty()) {
      problem = QStringLiteral("option --station needs a station's name");
      return false;
    }
  }
  if (line.IsSet(QStringLiteral("init-lab-database"))) {
    problem = QStringLiteral("--report and --init-lab-database are two commands; give one at a time");
    return false;
  }
  // The simulated runs' record, never a scenario: nothing is measured.
  const bool simulated = line.IsSet(QStringLiteral("simulate"));
  if (simulated && !line.Value(QStringLiteral("simulate")).isEmpty()) {
    problem =
        QStringLiteral("with --report, --simulate takes no scenario file: it only chooses the simulated runs' record");
    return false;
  }
  command.recordPath = lab::RecordPath(
      RecordName(simulated ? RecordSet::Simulated : RecordSet::Instrument, QLatin1String(lab::kRecordBaseName)));
  command.settingsPath = lab::DefaultSettingsPath();
  command.stationName = report::ThisStationName(command.settingsPath);
  return true;
}

int RunReport(int& argc, char** argv, const report::ReportCommand& command, bool debug) {
  // No display at all: fonts and the PDF writer need only the toolkit's offscreen platform.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // --debug shows everything, as it does for a run with windows.
  if (!debug) g_toolkitHandler = qInstallMessageHandler(QuietToolkit);
  QGuiApplication application(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("korvanta"));
  if (debug) InstallDiagnostics(true);
  const int written = report::RunReportCommand(command);
  if (debug) RemoveDiagnostics();
  if (!debug) qInstallMessageHandler(g_toolkitHandler);
  return static_cast<int>(written == 0 ? ExitStatus::Done : ExitStatus::Failure);
}

}  // namespace app
