// Everything that lives as long as the process and is shared between windows: created once in
// main() and handed to the windows that use it, so that every test builds its own.
#pragma once

#include "dialogs/GeometryState.h"
#include "i18n/Language.h"
#include "protocol/CycleState.h"
#include "table/TableState.h"

namespace app {

struct ProcessState {
  i18n::LanguageState Language;
  protocol::CycleState Cycle;
  table::TableState Table;
  dialogs::GeometryState Geometry;
};

}  // namespace app
