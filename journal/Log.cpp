#include "journal/Log.h"

namespace journal {
Q_LOGGING_CATEGORY(lcJournal, "korvanta.journal", QtWarningMsg)
}
