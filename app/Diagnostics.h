// The program's diagnostics: a logging category per layer ("korvanta.usb", "korvanta.protocol",
// "korvanta.journal", "korvanta.app", and one per addition), off below warnings unless switched on
// by QT_LOGGING_RULES or `--debug`. Debug lines start with their category's name; the warnings the
// program has always written keep their text. With `--debug` every line goes to the debug log as
// well: a private file in the state folder, capped, its oldest half dropped when full.
#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <memory>

namespace app {

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcUsb)

// $XDG_STATE_HOME/korvanta/debug.log (default ~/.local/state/korvanta/debug.log).
QString DebugLogPath();

// The debug log: created 0600 (in a folder made 0700), whatever the umask. A line that would take
// the file over `capBytes` first drops the oldest half of it, at a line's end.
class DebugLogFile {
 public:
  static constexpr qint64 kCapBytes = 10 * 1024 * 1024;

  explicit DebugLogFile(const QString& path, qint64 capBytes = kCapBytes);
  ~DebugLogFile();
  DebugLogFile(const DebugLogFile&) = delete;
  DebugLogFile& operator=(const DebugLogFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  QString Problem() const { return problem_; }
  // Appends one line (its line feed added).
  void Append(const QByteArray& line);

 private:
  void DropOldestHalf();

  QString path_;
  qint64 cap_;
  qint64 size_ = 0;
  int fd_ = -1;
  QString problem_;
};

// Installs the program's message handler and hands the USB layer its sink. `debug`: every
// "korvanta.*" debug line on, and written to `debugLogPath` as well. Returns the problem when the
// debug log cannot be opened (the lines still go to standard error), else an empty text.
QString InstallDiagnostics(bool debug, const QString& debugLogPath = DebugLogPath());
// Back to the toolkit's own handler, the debug log closed (the end of RunProgram, and tests).
void RemoveDiagnostics();

}  // namespace app
