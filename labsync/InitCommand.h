// korvanta --init-lab-database=CONNINFO: creates or upgrades the lab schema in an existing
// database, gives the rights to the lab's roles, and ends the program. Needs no display.
#pragma once

#include <optional>

namespace labsync {

// When the command line asks for it, does it and returns the exit status: 0 done (one line on
// standard output says what was done), 1 with a one-line message on standard error when it could
// not be done, 2 when the option has no connection string. Otherwise returns nullopt and does
// nothing, and the program starts as usual. Messages are in the language of the settings file in
// the working folder.
std::optional<int> RunInitLabDatabase(int argc, char** argv);

}  // namespace labsync
