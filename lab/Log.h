// The lab record's logging category, "korvanta.lab": the warnings it writes to standard error (a
// record that cannot be opened or written), and what it does at debug level.
#pragma once

#include <QLoggingCategory>

namespace lab {
Q_DECLARE_LOGGING_CATEGORY(lcLab)
}
