// The report's logging category, "korvanta.report": what goes wrong around a report without
// stopping it (a last folder that cannot be kept). Never the command line's results, which go to
// standard error themselves.
#pragma once

#include <QLoggingCategory>

namespace report {
Q_DECLARE_LOGGING_CATEGORY(lcReport)
}
