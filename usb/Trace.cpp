#include "usb/Trace.h"

#include <cstdio>

namespace usb {

namespace detail {
std::atomic<bool> g_traceDebug{false};
}

namespace {

std::atomic<TraceSink> g_sink{nullptr};

struct NamedStatus {
  Status status;
  const char* name;
};

// Every status the layer and its backends use; the platform codes under their Windows names.
constexpr NamedStatus kNames[] = {
    {0, "OK"},
    {UIO_E_NO_MEMORY, "UIO_E_NO_MEMORY"},
    {UIO_E_OPEN_FAILED, "UIO_E_OPEN_FAILED"},
    {UIO_E_NOT_OPEN, "UIO_E_NOT_OPEN"},
    {UIO_E_NO_MORE_INSTANCES, "UIO_E_NO_MORE_INSTANCES"},
    {UIO_E_BAD_ARGUMENT, "UIO_E_BAD_ARGUMENT"},
    {UIO_E_TIMEOUT, "UIO_E_TIMEOUT"},
    {UIO_E_API_VERSION, "UIO_E_API_VERSION"},
    {kErrorFileNotFound, "ERROR_FILE_NOT_FOUND"},
    {kErrorAccessDenied, "ERROR_ACCESS_DENIED"},
    {kErrorInvalidHandle, "ERROR_INVALID_HANDLE"},
    {kErrorNotEnoughMemory, "ERROR_NOT_ENOUGH_MEMORY"},
    {kErrorGenFailure, "ERROR_GEN_FAILURE"},
    {kErrorNotSupported, "ERROR_NOT_SUPPORTED"},
    {kErrorInvalidParameter, "ERROR_INVALID_PARAMETER"},
    {kErrorSemTimeout, "ERROR_SEM_TIMEOUT"},
    {kErrorInsufficientBuffer, "ERROR_INSUFFICIENT_BUFFER"},
    {kErrorBusy, "ERROR_BUSY"},
    {kErrorNoMoreItems, "ERROR_NO_MORE_ITEMS"},
    {kErrorOperationAborted, "ERROR_OPERATION_ABORTED"},
    {kErrorIoIncomplete, "ERROR_IO_INCOMPLETE"},
    {kErrorIoPending, "ERROR_IO_PENDING"},
    {kErrorDeviceNotConnected, "ERROR_DEVICE_NOT_CONNECTED"},
};

}  // namespace

void SetTraceSink(TraceSink sink, bool debug) {
  g_sink.store(sink);
  detail::g_traceDebug.store(debug && sink != nullptr);
}

void TraceDebug(const std::string& line) {
  if (const TraceSink sink = g_sink.load(); sink != nullptr && TraceDebugOn()) sink(TraceLevel::Debug, line);
}

void TraceWarning(const std::string& line) {
  if (const TraceSink sink = g_sink.load(); sink != nullptr) {
    sink(TraceLevel::Warning, line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

std::string StatusName(Status status) {
  for (const NamedStatus& n : kNames) {
    if (n.status == status) return n.name;
  }
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", status);
  return number;
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace usb
