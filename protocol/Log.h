// The protocol layer's logging category, "korvanta.protocol": the polling cycle's phase changes,
// one-shot requests and the connection's losses and reconnects. Off below warnings unless switched
// on (QT_LOGGING_RULES="korvanta.*.debug=true", or korvanta --debug).
#pragma once

#include <QLoggingCategory>

namespace protocol {
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
}
