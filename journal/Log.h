// The journal's logging category, "korvanta.journal": the warnings it has always written to
// standard error, and what it does at debug level.
#pragma once

#include <QLoggingCategory>

namespace journal {
Q_DECLARE_LOGGING_CATEGORY(lcJournal)
}
