#include "protocol/Log.h"

namespace protocol {
Q_LOGGING_CATEGORY(lcProtocol, "korvanta.protocol", QtWarningMsg)
}
