#include "usb/InstrumentLink.h"

#include <chrono>
#include <cstdio>

#include "usb/Trace.h"

namespace usb {
namespace {

// "exchange 5A 00 00 00 00 00 00 00 -> A5 00 51 58 00 00 00 00 OK 1.02 ms"; a failed direction
// names its status: "exchange 5A ... write UIO_E_TIMEOUT 5000.31 ms".
void TraceExchange(const std::array<std::uint8_t, InstrumentLink::kFrameLength>& request,
                   const std::array<std::uint8_t, InstrumentLink::kFrameLength>& reply, const char* failed,
                   Status status, std::uint32_t length, std::chrono::steady_clock::time_point start) {
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  char duration[32];
  std::snprintf(duration, sizeof duration, " %.2f ms", ms);
  std::string line = "exchange " + HexBytes(request.data(), request.size());
  if (failed == nullptr) {
    line += " -> " + HexBytes(reply.data(), reply.size()) + " OK";
  } else {
    line += std::string(" ") + failed + " " + StatusName(status);
    if (status == 0) line += ", " + std::to_string(length) + " of 8 bytes";
  }
  TraceDebug(line + duration);
}

}  // namespace

bool IsInstrumentDescriptor(const DeviceDescriptor& d) {
  const std::uint16_t vendor = static_cast<std::uint16_t>(d[8] | (d[9] << 8));
  const std::uint16_t product = static_cast<std::uint16_t>(d[10] | (d[11] << 8));
  return (vendor == 0x0C70 && product == 0xF0D1) || product == 0x074C;
}

InstrumentLink::InstrumentLink(UsbAccess& access)
    : UsbDevice(access), InPipe(access), OutPipe(access), access_(access) {}

bool InstrumentLink::OpenInstrument() {
  DeviceList* list = CUsbIo::MakeDeviceList(access_, USBIO_INTERFACE_GUID);
  if (list == nullptr) return false;
  struct ListGuard {
    UsbAccess& access;
    DeviceList* list;
    ~ListGuard() { CUsbIo::FreeDeviceList(access, list); }
  } guard{access_, list};

  for (int number = 0; number < kInstanceCount; ++number) {
    // Any failure to open ends the search; past the last instance it is UIO_E_NO_MORE_INSTANCES.
    if (const Status s = UsbDevice.OpenInstance(number, list, &USBIO_INTERFACE_GUID); s != 0) {
      if (TraceDebugOn()) TraceDebug("open instance " + std::to_string(number) + ": " + StatusName(s));
      return false;
    }

    DeviceDescriptor descriptor{};
    if (UsbDevice.ReadDeviceDescriptor(descriptor) != 0 || !IsInstrumentDescriptor(descriptor)) {
      UsbDevice.CloseInstance();
      continue;
    }

    ConfigurationRequest configuration;
    configuration.ConfigurationIndex = 0;
    configuration.NbOfInterfaces = 1;
    configuration.Interfaces[0] = {0, 0, kFrameLength};
    const bool ready = UsbDevice.SelectConfiguration(configuration) == 0 &&
                       InPipe.BindEndpoint(number, kInEndpoint, list, &USBIO_INTERFACE_GUID) == 0 &&
                       OutPipe.BindEndpoint(number, kOutEndpoint, list, &USBIO_INTERFACE_GUID) == 0;
    if (TraceDebugOn()) {
      TraceDebug("instrument at instance " + std::to_string(number) + (ready ? ": open" : ": not ready, closed"));
    }
    if (ready) return true;
    CloseInstrument();
    return false;
  }
  return false;
}

bool InstrumentLink::Transact() {
  if (TraceDebugOn()) return TracedTransact();
  std::uint32_t length = kFrameLength;
  if (OutPipe.WriteWithTimeout(TxBuf.data(), length, TimeoutMs) != 0 || length != kFrameLength) return false;
  length = kFrameLength;
  if (InPipe.ReadWithTimeout(TxBuf.data(), length, TimeoutMs) != 0 || length != kFrameLength) return false;
  return true;
}

bool InstrumentLink::TracedTransact() {
  const auto start = std::chrono::steady_clock::now();
  const std::array<std::uint8_t, kFrameLength> request = TxBuf;
  std::uint32_t length = kFrameLength;
  Status status = OutPipe.WriteWithTimeout(TxBuf.data(), length, TimeoutMs);
  if (status != 0 || length != kFrameLength) {
    TraceExchange(request, TxBuf, "write", status, length, start);
    return false;
  }
  length = kFrameLength;
  status = InPipe.ReadWithTimeout(TxBuf.data(), length, TimeoutMs);
  if (status != 0 || length != kFrameLength) {
    TraceExchange(request, TxBuf, "read", status, length, start);
    return false;
  }
  TraceExchange(request, TxBuf, nullptr, 0, length, start);
  return true;
}

void InstrumentLink::CloseInstrument() {
  if (TraceDebugOn() && UsbDevice.IsOpen()) TraceDebug("instrument closed");
  InPipe.CloseInstance();
  OutPipe.CloseInstance();
  UsbDevice.CloseInstance();
}

bool InstrumentLink::NoteFailedExchange() {
  if (FailCount == 0) {
    FailCount = 1;
    return false;
  }
  FailCount = 0;
  return true;
}

}  // namespace usb
