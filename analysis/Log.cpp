#include "analysis/Log.h"

namespace analysis {
Q_LOGGING_CATEGORY(lcAnalysis, "korvanta.analysis", QtWarningMsg)
}
