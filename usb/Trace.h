// Diagnostics of the USB layer. The layer knows no logging framework: the program installs a sink
// (its logging category "korvanta.usb") and the layer hands it finished lines. A debug line is
// composed only while debug lines are switched on; off, it costs one relaxed atomic load.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "usb/UsbStatus.h"

namespace usb {

enum class TraceLevel { Debug, Warning };
using TraceSink = void (*)(TraceLevel level, const std::string& line);

namespace detail {
extern std::atomic<bool> g_traceDebug;
}

// Installs the sink (nullptr: warnings to standard error, no debug lines) and whether debug lines
// are wanted. Called at start, before the layer is used.
void SetTraceSink(TraceSink sink, bool debug);

// True while debug lines are wanted; compose a line only then.
inline bool TraceDebugOn() { return detail::g_traceDebug.load(std::memory_order_relaxed); }
void TraceDebug(const std::string& line);
void TraceWarning(const std::string& line);

// The name of a status: "OK", "UIO_E_TIMEOUT", "ERROR_SEM_TIMEOUT", ...; a status without a name
// as its number in hexadecimal ("0xE0001234").
std::string StatusName(Status status);
// Bytes as two hexadecimal digits each, separated by blanks: "5A 00 FF".
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);

}  // namespace usb
