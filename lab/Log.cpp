#include "lab/Log.h"

namespace lab {
Q_LOGGING_CATEGORY(lcLab, "korvanta.lab", QtWarningMsg)
}
