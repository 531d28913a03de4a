// What the benchmarks that build the main window share.
#pragma once

#include "app/ProcessState.h"

namespace bench {

// The program's state, finding the flags and the manual in the build tree as the installed program
// finds them beside it.
inline app::ProcessState ProgramState() {
  app::ProcessState state;
  state.Language.DataFolders = {QStringLiteral(KORVANTA_BUILD_DATA_DIR)};
  return state;
}

}  // namespace bench
