#include <gtest/gtest.h>

#include <QCommandLineParser>

#include "app/Backend.h"
#include "usb/libusb/LibusbAccess.h"
#include "usb/simbus/SimBus.h"

namespace {

TEST(Backend, RealInstrumentsUnlessTheVirtualOneIsAskedFor) {
  struct Case {
    QStringList arguments;
    bool real;
  };
  const Case cases[] = {
      {{"korvanta"}, true},
      {{"korvanta", "--simulate"}, false},
      {{"korvanta", "-simulate"}, false},
  };
  for (const Case& c : cases) {
    QCommandLineParser parser;
    app::AddBackendOptions(parser);
    ASSERT_TRUE(parser.parse(app::PrepareArguments(c.arguments))) << parser.errorText().toStdString();
    QString problem;
    const std::unique_ptr<app::Backend> backend = app::MakeBackend(parser, problem);
    ASSERT_NE(backend, nullptr) << problem.toStdString();
    usb::UsbAccess& access = backend->Access();
    EXPECT_EQ(dynamic_cast<usb::LibusbAccess*>(&access) != nullptr, c.real) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(dynamic_cast<usb::simbus::SimBus*>(&access) != nullptr, !c.real) << c.arguments.join(' ').toStdString();
  }
}

}  // namespace
