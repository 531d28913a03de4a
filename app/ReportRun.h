// korvanta --report=BATCH_ID --output=FILE.pdf [--language=en|de|fr] [--station=NAME] [--simulate]:
// the command line read into report::ReportCommand, and the command run with no display at all.
#pragma once

#include <QString>

#include "app/CommandLine.h"
#include "report/ReportCommand.h"

namespace app {

// The report the command line asks for; false with the reason for a usage error (no --output, an
// empty batch ID or file name, a --language other than en, de or fr, a scenario file, another
// command beside it).
bool ReadReportCommand(const CommandLine& line, report::ReportCommand& command, QString& problem);

// Writes it on the offscreen platform, whatever display there is or is not, and returns the exit
// status (ExitStatus::Done or ExitStatus::Failure).
int RunReport(int& argc, char** argv, const report::ReportCommand& command, bool debug);

}  // namespace app
