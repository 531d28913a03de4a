// korvanta --init-lab-database=CONNINFO: creates or upgrades the lab schema in an existing
// database, gives the rights to the lab's roles, and ends the program. Needs no display.
#pragma once

#include <QByteArray>

namespace labsync {

// Does it and returns the exit status: 0 done (one line on standard output says what was done), 1
// when it could not be done (one line on standard error says why). Messages are in the language of
// the settings file in the working folder.
int InitLabDatabase(const QByteArray& conninfo);

}  // namespace labsync
