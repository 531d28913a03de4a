#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <array>

#include "app/Diagnostics.h"

namespace app {
namespace {

constexpr std::array kExitStatuses = {
    ExitStatusRow{ExitStatus::Done,
                  "done: the main window was closed, the help or the version was printed, the lab database "
                  "was set up, or --report wrote its report"},
    ExitStatusRow{ExitStatus::Failure,
                  "a failure at run time: no display, the windows could not be built (the reason is on standard "
                  "error and, with a display, in an error box), the lab database could not be set up, or --report "
                  "wrote no report: the batch is not in the record or its ID is ambiguous, the file cannot be written, "
                  "or the record cannot be read (one line on standard error says which)"},
    ExitStatusRow{ExitStatus::Usage,
                  "a usage error: an unknown option, a stray argument, a missing value, a scenario file "
                  "that cannot be read or holds a mistake, a lab database's connection string that cannot be "
                  "used, or an option without the one it belongs to (--output without --report) or with a value "
                  "it does not take (--language=xx)"},
};

constexpr std::array kOptions = {
    OptionRow{"simulate", OptionValue::Optional, "FILE",
              "Run on the built-in virtual instrument instead of a real one, optionally playing the scenario "
              "file FILE."},
    OptionRow{"debug", OptionValue::None, nullptr,
              "Switch on the diagnostic lines of every part of the program (see Diagnostics below) and write "
              "them to the debug log as well."},
    OptionRow{"report", OptionValue::Required, "BATCH_ID",
              "Write the report of batch BATCH_ID from the lab record to the PDF file --output names, and exit; "
              "needs no display. The record is only read, so a copy of the program measuring meanwhile goes on. "
              "With --simulate the record of the simulated runs."},
    OptionRow{"output", OptionValue::Required, "FILE.pdf", "The file --report writes (replaced when it exists)."},
    OptionRow{"language", OptionValue::Required, "en|de|fr",
              "The language of --report's report. Without it the language kept in the settings file 318qx.ini "
              "of the current folder, else English."},
    OptionRow{"station", OptionValue::Required, "NAME",
              "With --report: the batch measured at station NAME, where stations share a batch ID. A station's "
              "name is the one it has in the lab database: station in lab.conf, else its host name."},
    OptionRow{"lab-database", OptionValue::Required, "CONNINFO",
              "Join the lab database CONNINFO for this run, in place of the connection in lab.conf (a run with "
              "--simulate joins only this way); CONNINFO is a libpq connection string, a postgresql:// address or "
              "service=NAME, without a password."},
    OptionRow{"init-lab-database", OptionValue::Required, "CONNINFO",
              "Create or upgrade the lab database's tables in an existing PostgreSQL database and exit; CONNINFO "
              "is a libpq connection string, a postgresql:// address or service=NAME, without a password."},
};

// Options that mean something only beside another: given without it, a usage error.
struct Companion {
  const char* option;
  const char* needs;
};
constexpr std::array kCompanions = {
    Companion{"output", "report"},
    Companion{"language", "report"},
    Companion{"station", "report"},
};

// Options of the program itself that every program has.
enum class Builtin { Help, HelpAll, Version };
struct BuiltinRow {
  Builtin which;
  QLatin1StringView names[3];
};
constexpr std::array kBuiltins = {
    BuiltinRow{Builtin::Help, {QLatin1StringView("help"), QLatin1StringView("h"), QLatin1StringView("?")}},
    BuiltinRow{Builtin::HelpAll, {QLatin1StringView("help-all"), {}, {}}},
    BuiltinRow{Builtin::Version, {QLatin1StringView("version"), QLatin1StringView("v"), {}}},
};

// The window toolkit's documented options: it takes them off the command line itself when the
// application object is made. They are passed over here, with their values.
struct ToolkitOption {
  const char* name;
  const char* valueName;  // nullptr: a switch
  const char* help;
};
constexpr std::array kToolkitOptions = {
    ToolkitOption{"platform", "name[:options]", "The window system plugin (xcb, wayland, offscreen, ...)."},
    ToolkitOption{"platformpluginpath", "path", "A folder with window system plugins."},
    ToolkitOption{"platformtheme", "name", "The desktop theme plugin."},
    ToolkitOption{"plugin", "plugin", "An extra input plugin."},
    ToolkitOption{"qwindowgeometry", "geometry", "The main window's geometry, as in -geometry."},
    ToolkitOption{"qwindowicon", "icon", "The default window icon."},
    ToolkitOption{"qwindowtitle", "title", "The title of the first window."},
    ToolkitOption{"reverse", nullptr, "Lay the windows out right to left."},
    ToolkitOption{"session", "session", "Restore the given desktop session."},
    ToolkitOption{"display", "hostname:screen", "The X display to use."},
    ToolkitOption{"geometry", "geometry", "The main window's geometry on X11."},
    ToolkitOption{"style", "style", "The widget style."},
    ToolkitOption{"stylesheet", "file", "A style sheet for the widgets."},
    ToolkitOption{"widgetcount", nullptr, "Print the number of widgets left at the end."},
    ToolkitOption{"qmljsdebugger", "=port", "The script debugger's port (with '=')."},
};

const BuiltinRow* FindBuiltin(QStringView name) {
  for (const BuiltinRow& row : kBuiltins) {
    for (const QLatin1StringView n : row.names) {
      if (!n.isEmpty() && name == n) return &row;
    }
  }
  return nullptr;
}

const OptionRow* FindOption(QStringView name) {
  for (const OptionRow& row : kOptions) {
    if (name == QLatin1StringView(row.name)) return &row;
  }
  return nullptr;
}

const ToolkitOption* FindToolkitOption(QStringView name) {
  for (const ToolkitOption& row : kToolkitOptions) {
    if (name == QLatin1StringView(row.name)) return &row;
  }
  return nullptr;
}

bool LooksLikeOption(const QString& argument) { return argument.size() > 1 && argument.startsWith(QLatin1Char('-')); }

QString Quoted(const QString& text) { return QLatin1Char('\'') + text + QLatin1Char('\''); }

}  // namespace

std::span<const ExitStatusRow> ExitStatusTable() { return kExitStatuses; }

std::span<const OptionRow> OptionTable() { return kOptions; }

QString CommandLine::Value(const QString& name) const {
  const auto it = options.find(name);
  return it != options.end() ? it->second : QString();
}

std::optional<QString> CommandLine::Given(const QString& name) const {
  const auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
  CommandLine line;
  const auto usage = [&line](const QString& why) {
    if (line.error.isEmpty()) line.error = why;
    return line;
  };
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (!LooksLikeOption(argument)) return usage(QStringLiteral("unexpected argument %1").arg(Quoted(argument)));
    const qsizetype dashes = argument.startsWith(QLatin1String("--")) ? 2 : 1;
    if (argument.size() == dashes) return usage(QStringLiteral("unexpected argument %1").arg(Quoted(argument)));
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    const QString name = argument.mid(dashes, equals < 0 ? -1 : equals - dashes);
    const bool hasInlineValue = equals >= 0;
    const QString inlineValue = hasInlineValue ? argument.mid(equals + 1) : QString();
    const bool hasNext = i + 1 < arguments.size();

    if (const BuiltinRow* builtin = FindBuiltin(name)) {
      if (hasInlineValue) return usage(QStringLiteral("option %1 takes no value").arg(Quoted(argument)));
      // The first request wins, as the toolkit's parser does: --help --version prints the help.
      if (line.request == CommandLine::Request::Run) {
        line.request = builtin->which == Builtin::Help      ? CommandLine::Request::Help
                       : builtin->which == Builtin::HelpAll ? CommandLine::Request::HelpAll
                                                            : CommandLine::Request::Version;
      }
      continue;
    }
    if (const OptionRow* option = FindOption(name)) {
      const QString key = QLatin1String(option->name);
      if (line.IsSet(key)) return usage(QStringLiteral("option --%1 is given twice").arg(key));
      QString value;
      switch (option->value) {
        case OptionValue::None:
          if (hasInlineValue) return usage(QStringLiteral("option --%1 takes no value").arg(key));
          break;
        case OptionValue::Required:
          if (hasInlineValue) {
            value = inlineValue;
          } else if (hasNext) {
            value = arguments[++i];
          } else {
            return usage(QStringLiteral("option --%1 needs a value (%2)").arg(key, QLatin1String(option->valueName)));
          }
          break;
        case OptionValue::Optional:
          if (hasInlineValue) {
            value = inlineValue;
          } else if (hasNext && !arguments[i + 1].startsWith(QLatin1Char('-'))) {
            value = arguments[++i];
          }
          break;
      }
      line.options[key] = value;
      continue;
    }
    if (const ToolkitOption* toolkit = FindToolkitOption(name)) {
      // "-qmljsdebugger" takes its value only after '='; the others take the next argument too.
      const bool takesNext = toolkit->valueName != nullptr && toolkit->valueName[0] != '=';
      if (takesNext && !hasInlineValue) {
        if (!hasNext) return usage(QStringLiteral("option %1 needs a value").arg(Quoted(argument)));
        ++i;
      }
      continue;
    }
    return usage(QStringLiteral("unknown option %1").arg(Quoted(argument)));
  }
  for (const Companion& c : kCompanions) {
    if (line.IsSet(QLatin1String(c.option)) && !line.IsSet(QLatin1String(c.needs)))
      return usage(QStringLiteral("option --%1 needs --%2").arg(QLatin1String(c.option), QLatin1String(c.needs)));
  }
  return line;
}

QString HelpText(bool withToolkitOptions) {
  struct Line {
    QString left;
    QString right;
  };
  const auto table = [](const std::vector<Line>& lines) {
    qsizetype width = 0;
    for (const Line& l : lines) width = std::max(width, l.left.size());
    QString text;
    // Wrapped at 79 columns, each line's continuation under its start.
    const qsizetype indent = width + 4;
    for (const Line& l : lines) {
      QString line = QStringLiteral("  ") + l.left.leftJustified(width + 2);
      for (const QString& word : l.right.split(QLatin1Char(' '))) {
        if (line.size() > indent && line.size() + 1 + word.size() > 79) {
          text += line + '\n';
          line = QString(indent, QLatin1Char(' '));
        } else if (line.size() > indent) {
          line += QLatin1Char(' ');
        }
        line += word;
      }
      text += line + '\n';
    }
    return text;
  };

  std::vector<Line> options = {
      {QStringLiteral("-h, --help"), QStringLiteral("Print the options and the exit statuses, and exit.")},
      {QStringLiteral("--help-all"), QStringLiteral("Print the window toolkit's options too, and exit.")},
      {QStringLiteral("-v, --version"), QStringLiteral("Print the program's version and exit.")},
  };
  for (const OptionRow& row : kOptions) {
    QString left = QStringLiteral("--") + QLatin1String(row.name);
    if (row.value == OptionValue::Required) left += QStringLiteral(" <%1>").arg(QLatin1String(row.valueName));
    if (row.value == OptionValue::Optional) left += QStringLiteral(" [<%1>]").arg(QLatin1String(row.valueName));
    options.push_back({left, QLatin1String(row.help)});
  }
  QString text = QStringLiteral("Usage: %1 [options]\n").arg(QCoreApplication::applicationName());
  text += QStringLiteral("KORVANTA III, the companion of the LUMARIS 318QX gloss meter.\n\nOptions:\n");
  text += table(options);
  if (withToolkitOptions) {
    std::vector<Line> toolkit;
    for (const ToolkitOption& row : kToolkitOptions) {
      QString left = QStringLiteral("-") + QLatin1String(row.name);
      if (row.valueName != nullptr)
        left += (row.valueName[0] == '=' ? QString() : QStringLiteral(" ")) + QLatin1String(row.valueName);
      toolkit.push_back({left, QLatin1String(row.help)});
    }
    text += QStringLiteral("\nWindow toolkit options:\n") + table(toolkit);
  }
  std::vector<Line> statuses;
  for (const ExitStatusRow& row : kExitStatuses)
    statuses.push_back({QString::number(static_cast<int>(row.status)), QLatin1String(row.meaning)});
  text += QStringLiteral("\nExit status:\n") + table(statuses);
  text += QStringLiteral(
              "\nDiagnostics:\n"
              "  Every part of the program has a logging category, silent below warnings:\n"
              "  korvanta.usb, korvanta.protocol, korvanta.journal, korvanta.app,\n"
              "  korvanta.analysis, korvanta.lab, korvanta.report and korvanta.labsync.\n"
              "  To see each exchange with the instrument, the polling cycle's phases and\n"
              "  reconnects on standard error:\n"
              "    QT_LOGGING_RULES=\"korvanta.*.debug=true\" %1\n"
              "  --debug switches the same lines on and also writes them to the debug log,\n"
              "    %2\n"
              "  private to the user, at most 10 MB (its oldest half is dropped when full).\n")
              .arg(QCoreApplication::applicationName(), QDir::toNativeSeparators(DebugLogPath()));
  return text;
}

}  // namespace app
