#include "table/Spreadsheet.h"

#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace table {
namespace {

struct Candidate {
  const char* program;
  const char* argument;  // nullptr: none
};

// The usual spreadsheet programs of Linux desktops, the most common first.
constexpr Candidate kCandidates[] = {
    {"localc", nullptr},   {"libreoffice", "--calc"},   {"soffice", "--calc"},
    {"gnumeric", nullptr}, {"calligrasheets", nullptr},
};

}  // namespace

std::optional<ProgramCall> FindSpreadsheetProgram(const QStringList& searchPaths) {
  for (const Candidate& c : kCandidates) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program), searchPaths);
    if (path.isEmpty()) continue;
    ProgramCall call{path, {}};
    if (c.argument != nullptr) call.arguments.append(QString::fromLatin1(c.argument));
    return call;
  }
  return std::nullopt;
}

bool StartSpreadsheetProgram(const QStringList& searchPaths) {
#ifdef Q_OS_WIN
  // The shell finds Excel through its registered application path.
  if (searchPaths.isEmpty()) {
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"Excel.exe", nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
  }
#endif
  const std::optional<ProgramCall> call = FindSpreadsheetProgram(searchPaths);
  if (!call) return false;
  // Its own talk (start-up warnings and the like) is not ours: it would end up among the program's
  // messages on standard error.
  QProcess process;
  process.setProgram(call->program);
  process.setArguments(call->arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  return process.startDetached();
}

}  // namespace table
