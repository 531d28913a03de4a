// The statistics' and the trend's logging category, "korvanta.analysis": what they follow (the
// table, an open batch, a batch from the record) at debug level.
#pragma once

#include <QLoggingCategory>

namespace analysis {
Q_DECLARE_LOGGING_CATEGORY(lcAnalysis)
}
