// The connection to the instrument: finding it among the instances of the driver's interface
// class, opening it with its configuration and two pipes, the 8-byte request/reply exchange and
// closing. Counting failed exchanges into a lost connection is here too; what the window does
// about a loss (timers, status texts) is the window's business.
#pragma once

#include <array>
#include <cstdint>

#include "usb/UsbIo.h"

namespace usb {

// Accepted devices: vendor 0x0C70 with product 0xF0D1, or product 0x074C from any vendor.
bool IsInstrumentDescriptor(const DeviceDescriptor& descriptor);

class InstrumentLink {
 public:
  static constexpr int kInstanceCount = 127;  // instance numbers 0 to 126
  static constexpr std::uint8_t kInEndpoint = 0x81;
  static constexpr std::uint8_t kOutEndpoint = 0x02;
  static constexpr std::uint32_t kFrameLength = 8;
  static constexpr std::uint32_t kExchangeTimeoutMs = 5000;

  explicit InstrumentLink(UsbAccess& access);

  // Finds and opens the instrument; true when the device and both pipes are open and ready.
  // A false leaves all three closed.
  bool OpenInstrument();
  // One exchange over TxBuf: the 8-byte request in it goes out, the 8-byte reply replaces it.
  // False when either direction fails, times out or moves fewer than 8 bytes.
  bool Transact();
  // Closes InPipe, OutPipe and UsbDevice. Harmless when closed.
  void CloseInstrument();
  // Notes one failed exchange. Returns true when it is the second one since the last
  // (re)connection, that is when the connection counts as lost; FailCount is then 0 again.
  bool NoteFailedExchange();
  // After a successful (re)connection.
  void ResetFailures() { FailCount = 0; }

  // Declared in this order so that destruction runs OutPipe, InPipe, UsbDevice.
  CUsbIo UsbDevice;
  CUsbIoPipe InPipe;
  CUsbIoPipe OutPipe;
  std::array<std::uint8_t, kFrameLength> TxBuf{};
  int FailCount = 0;
  // Per direction. Tests shorten it; the program keeps kExchangeTimeoutMs.
  std::uint32_t TimeoutMs = kExchangeTimeoutMs;

 private:
  // Transact with a debug line for the exchange (bytes, status by name, duration).
  bool TracedTransact();

  UsbAccess& access_;
};

}  // namespace usb
