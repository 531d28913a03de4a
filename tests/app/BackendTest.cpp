#include <gtest/gtest.h>

#include "app/Backend.h"
#include "app/CommandLine.h"
#include "tests/support/TestEnvironment.h"
#include "usb/libusb/LibusbAccess.h"
#include "usb/simbus/SimBus.h"

namespace {

using Request = app::CommandLine::Request;

TEST(CommandLine, TakesTheProgramsOptionsAndTheToolkitsAndRefusesTheRest) {
  struct Case {
    QStringList arguments;
    Request request;
    bool simulate;
    QString file;
    QString error;  // the usage error contains this; empty: none
  };
  const Case cases[] = {
      {{}, Request::Run, false, {}, {}},
      {{"--simulate"}, Request::Run, true, {}, {}},
      {{"-simulate"}, Request::Run, true, {}, {}},
      {{"--simulate=a.ini"}, Request::Run, true, "a.ini", {}},
      // The value after a space, as --help shows it; an option after it is no value.
      {{"--simulate", "a.ini"}, Request::Run, true, "a.ini", {}},
      {{"--simulate", "-platform", "offscreen"}, Request::Run, true, {}, {}},
      {{"-platform", "offscreen", "--simulate", "a.ini", "-style=Fusion", "-reverse"}, Request::Run, true, "a.ini", {}},
      {{"--simulate", "--version"}, Request::Version, true, {}, {}},
      {{"-h"}, Request::Help, false, {}, {}},
      {{"--help-all"}, Request::HelpAll, false, {}, {}},
      // Whatever the program cannot follow is a usage error, never ignored.
      {{"--simulate", "a.ini", "b.ini"}, Request::Run, true, "a.ini", "unexpected argument 'b.ini'"},
      {{"a.ini"}, Request::Run, false, {}, "unexpected argument 'a.ini'"},
      {{"-"}, Request::Run, false, {}, "unexpected argument '-'"},
      {{"--no-such-option"}, Request::Run, false, {}, "unknown option '--no-such-option'"},
      {{"--simulate=a.ini", "--simulate"}, Request::Run, true, "a.ini", "given twice"},
      {{"--version=2"}, Request::Run, false, {}, "takes no value"},
      {{"-platform"}, Request::Run, false, {}, "needs a value"},
  };
  for (const Case& c : cases) {
    const std::string what = c.arguments.join(' ').toStdString();
    const app::CommandLine line = app::ParseCommandLine(c.arguments);
    if (c.error.isEmpty()) {
      EXPECT_TRUE(line.error.isEmpty()) << what << ": " << line.error.toStdString();
      EXPECT_EQ(line.request, c.request) << what;
      EXPECT_EQ(line.IsSet("simulate"), c.simulate) << what;
      EXPECT_EQ(line.Value("simulate"), c.file) << what;
    } else {
      EXPECT_TRUE(line.error.contains(c.error)) << what << ": " << line.error.toStdString();
    }
  }
}

TEST(CommandLine, HelpListsEveryOptionAndEveryExitStatus) {
  const QString help = app::HelpText(false);
  for (const app::OptionRow& row : app::OptionTable()) {
    EXPECT_TRUE(help.contains(QStringLiteral("--") + QLatin1String(row.name))) << row.name;
  }
  const QString flowing = help.simplified();
  for (const app::ExitStatusRow& row : app::ExitStatusTable()) {
    EXPECT_TRUE(
        flowing.contains(QStringLiteral("%1 %2").arg(static_cast<int>(row.status)).arg(QLatin1String(row.meaning))))
        << row.meaning;
  }
  EXPECT_TRUE(app::HelpText(true).contains("-platform name[:options]"));
}

TEST(Backend, RealInstrumentsUnlessTheVirtualOneIsAskedFor) {
  testing_support::ScopedWorkingDir dir;
  testing_support::WriteFileBytes(dir.File("a.ini"), "[instrument]\nserial = QX1\n");
  testing_support::WriteFileBytes(dir.File("bad.ini"), "[instrument]\nserial = QX1\nnonsense\n");
  struct Case {
    QStringList arguments;
    bool chosen;
    bool real;
    std::string serial;
  };
  const Case cases[] = {
      {{}, true, true, {}},
      {{"--simulate"}, true, false, "QX31804711"},
      {{"--simulate", "a.ini"}, true, false, "QX1"},
      {{"--simulate", "missing.ini"}, false, false, {}},
      {{"--simulate=bad.ini"}, false, false, {}},
  };
  for (const Case& c : cases) {
    const std::string what = c.arguments.join(' ').toStdString();
    app::BackendChoice choice;
    QString problem;
    ASSERT_EQ(app::ChooseBackend(app::ParseCommandLine(c.arguments), choice, problem), c.chosen) << what;
    if (!c.chosen) {
      EXPECT_FALSE(problem.isEmpty()) << what;
      continue;
    }
    if (!c.real) {
      EXPECT_EQ(choice.scenario.serial, c.serial) << what;
    }
    const std::unique_ptr<app::Backend> backend = app::MakeBackend(choice);
    usb::UsbAccess& access = backend->Access();
    EXPECT_EQ(dynamic_cast<usb::LibusbAccess*>(&access) != nullptr, c.real) << what;
    EXPECT_EQ(dynamic_cast<usb::simbus::SimBus*>(&access) != nullptr, !c.real) << what;
    EXPECT_EQ(backend->Records(), c.real ? app::RecordSet::Instrument : app::RecordSet::Simulated) << what;
  }
}

}  // namespace
