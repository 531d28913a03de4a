// The program's command line: its options as one table, its exit statuses as another, and a parser
// that needs no display, so that a command line that cannot be followed is told as such (status 2,
// one line on standard error) whether or not a window could be opened.
//
// An option is one row of kOptions; --help prints the rows and the exit statuses, the man page
// repeats both. The window toolkit's own options (-platform, -style, ...) are accepted and left to
// it.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <span>

namespace app {

// The program's exit statuses, the only ones it ends with.
enum class ExitStatus : int {
  Done = 0,     // the main window was closed, or what the command line asked was answered
  Failure = 1,  // a failure at run time: no display, the windows could not be built, ...
  Usage = 2,    // a command line that cannot be followed: a bad option, a stray argument, a bad file it names
};

struct ExitStatusRow {
  ExitStatus status;
  const char* meaning;  // as --help prints it
};
std::span<const ExitStatusRow> ExitStatusTable();

enum class OptionValue {
  None,      // a switch
  Required,  // --name=VALUE or --name VALUE
  Optional,  // --name, --name=VALUE, or --name VALUE when VALUE does not begin with '-'
};

struct OptionRow {
  const char* name;       // the long name, without its dashes
  OptionValue value;      //
  const char* valueName;  // shown in --help; nullptr for a switch
  const char* help;       // one sentence, as --help prints it
};

// The program's own options. A new option is a new row here; the code that acts on it asks the
// parsed CommandLine for it by name.
std::span<const OptionRow> OptionTable();

struct CommandLine {
  enum class Request { Run, Help, HelpAll, Version };
  Request request = Request::Run;
  // The program's options that were given, with their values ("" for a switch or a value left out).
  std::map<QString, QString> options;
  // Not empty: the command line cannot be followed, and this says why (one line, no program name).
  QString error;

  bool IsSet(const QString& name) const { return options.count(name) != 0; }
  QString Value(const QString& name) const;
  // The option's value when it was given.
  std::optional<QString> Given(const QString& name) const;
};

// Parses the arguments after the program's name. Each long option may be written with one dash or
// two; the toolkit's options and their values are passed over.
CommandLine ParseCommandLine(const QStringList& arguments);

// What --help prints (with the toolkit's options too for --help-all): usage, options, exit statuses.
QString HelpText(bool withToolkitOptions);

}  // namespace app
