// The USB access layer the program runs on, chosen once at start-up from the command line.
#pragma once

#include <QString>
#include <memory>

#include "app/CommandLine.h"
#include "sim/VirtualInstrument.h"
#include "usb/UsbAccess.h"

namespace app {

// Which records a run keeps. The virtual instrument's readings are never the operator's own: a
// simulated run keeps its records (the journal, and any store beside it) in files of their own
// beside the real ones, so that neither kind is ever offered to or mixed with the other.
enum class RecordSet { Instrument, Simulated };

// The name of a record's files for a run of `set`: "journal" for a real instrument,
// "journal-simulated" for the virtual one.
QString RecordName(RecordSet set, const QString& base);

class Backend {
 public:
  virtual ~Backend() = default;
  virtual usb::UsbAccess& Access() = 0;
  virtual RecordSet Records() const = 0;
};

// What the command line asks of the backend, read before the window toolkit starts, so that a
// scenario file that cannot be used is a usage error told without a display.
struct BackendChoice {
  bool simulate = false;
  sim::Scenario scenario;
};
// False with the reason when the scenario file named cannot be read or holds a mistake.
bool ChooseBackend(const CommandLine& line, BackendChoice& choice, QString& problem);

std::unique_ptr<Backend> MakeBackend(const BackendChoice& choice);

}  // namespace app
