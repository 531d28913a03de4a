#include "labsync/Log.h"

namespace labsync {
Q_LOGGING_CATEGORY(lcLabSync, "korvanta.labsync", QtWarningMsg)
}
