#include "report/Log.h"

namespace report {
Q_LOGGING_CATEGORY(lcReport, "korvanta.report", QtWarningMsg)
}
