// The USB access layer the program runs on, chosen once at start-up from the command line.
#pragma once

#include <QCommandLineParser>
#include <memory>

#include "usb/UsbAccess.h"

namespace app {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual usb::UsbAccess& Access() = 0;
};

void AddBackendOptions(QCommandLineParser& parser);
// The command line with the options' short forms spelled out for the parser.
QStringList PrepareArguments(QStringList arguments);
// The command line asks for the virtual instrument: such a run keeps its records apart.
bool IsSimulatedRun(const QStringList& arguments);
// The backend the options ask for; nullptr with the reason when it cannot be made.
std::unique_ptr<Backend> MakeBackend(const QCommandLineParser& parser, QString& problem);

}  // namespace app
