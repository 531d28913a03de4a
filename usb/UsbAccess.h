// The USB access layer: the one interface below the class library (CUsbIo and friends).
//
// It stands where a kernel driver would: it presents every device it serves as one instance of
// an interface class, opens handles to an instance, answers four control requests and moves data
// on an endpoint that a handle has been bound to. Two backends implement it: the simulated bus
// (usb/simbus), which hosts virtual devices, and the libusb backend (usb/libusb) for real
// instruments. The backend is chosen once at start-up and passed in; nothing above this interface
// asks which one it has.
//
// Asynchronous requests follow one pattern. The caller passes an Overlapped record that carries
// an auto-reset Event. When the backend accepts a request it resets the event and sets the
// record's status to kErrorIoPending. When the request completes, at once or later on any thread,
// the backend stores the byte count and the final status in the record and then signals the
// event. A request is never completed twice and the record must outlive it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "usb/Event.h"
#include "usb/UsbStatus.h"

namespace usb {

// A device interface class, the identity under which the access layer lists its devices.
struct InterfaceClass {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::array<std::uint8_t, 8> data4;
  friend bool operator==(const InterfaceClass&, const InterfaceClass&) = default;
};

// The interface class of the instrument's driver: {325DDF96-938C-11D3-9E34-0080C82727F4}.
inline constexpr InterfaceClass USBIO_INTERFACE_GUID{
    0x325DDF96, 0x938C, 0x11D3, {0x9E, 0x34, 0x00, 0x80, 0xC8, 0x27, 0x27, 0xF4}};

// The record of one asynchronous request.
struct Overlapped {
  Event* event = nullptr;
  std::atomic<Status> status{0};
  std::atomic<std::uint32_t> transferred{0};
};

// Completes a request: stores its byte count and final status and signals its event, as one step.
// Backends complete every request through here. The owner may see the final status before it
// waits and destroy the record at once; the event then holds its destruction until the signal is
// done, so a completion on another thread never touches a destroyed event.
inline void CompleteRequest(Overlapped& ov, Status status, std::uint32_t transferred) {
  ov.event->SetAfter([&] {
    ov.transferred.store(transferred, std::memory_order_release);
    ov.status.store(status, std::memory_order_release);
  });
}

// Control codes understood by every backend, and the layouts of their buffers (little-endian).
inline constexpr std::uint32_t CTL_DRIVER_INFO = 0x8094206C;        // out: 12-byte driver record
inline constexpr std::uint32_t CTL_GET_DESCRIPTOR = 0x80942006;     // in: 8 bytes; out: descriptor
inline constexpr std::uint32_t CTL_SET_CONFIGURATION = 0x80942024;  // in: 260 bytes
inline constexpr std::uint32_t CTL_BIND_PIPE = 0x80942078;          // in: 1 byte endpoint address

inline constexpr std::uint16_t kDriverApiVersion = 0x0141;
inline constexpr std::uint32_t kDriverInfoSize = 12;
inline constexpr std::uint32_t kDescriptorRequestSize = 8;
inline constexpr std::uint32_t kConfigurationRequestSize = 260;
inline constexpr std::uint32_t kMaxInterfaceEntries = 32;

// Device path of instance number n when a device is opened without a list: this prefix followed
// by n in decimal.
inline constexpr const char* kNumberedDevicePath = "\\\\.\\USBIO_Device";

// One open handle to a device instance. Destroying it closes the handle; a backend cancels and
// waits for any request still pending on it first, so no request outlives its handle.
class UsbHandle {
 public:
  virtual ~UsbHandle() = default;

  // One control request (CTL_*). Returns 0 when it completed at once (the byte count is in
  // ov.transferred and ov.event is signalled), kErrorIoPending when it completes later, or the
  // error code of a request that failed at once. Never blocks on the device beyond the time a
  // control transfer takes. A device that has gone answers kErrorDeviceNotConnected.
  virtual Status DeviceControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                               std::uint32_t outCapacity, Overlapped& ov) = 0;

  // Submits a read of up to `length` bytes from the endpoint this handle is bound to (a bound IN
  // endpoint), or a write of `length` bytes (a bound OUT endpoint). Returns 0 when the transfer
  // completed at once, kErrorIoPending when it completes later, or the error code when the
  // backend refuses it (kErrorInvalidParameter on a handle bound to no or the wrong endpoint,
  // kErrorDeviceNotConnected after the device has gone). Never blocks waiting for data: a read
  // with no data stays pending until data arrives, the device goes or CancelIo is called.
  virtual Status Read(void* data, std::uint32_t length, Overlapped& ov) = 0;
  virtual Status Write(const void* data, std::uint32_t length, Overlapped& ov) = 0;

  // Cancels every request that the calling thread has pending on this handle. Each cancelled
  // request completes with kErrorOperationAborted (or with its result, if it finished first);
  // completion may follow after CancelIo has returned, so the caller waits for the event.
  virtual void CancelIo() = 0;
};

// A snapshot of the present instances of one interface class.
class DeviceList {
 public:
  virtual ~DeviceList() = default;
};

class UsbAccess {
 public:
  virtual ~UsbAccess() = default;

  // Lists the present instances of `cls`, without opening any device. Returns nullptr when the
  // listing fails. The caller releases the list with FreeDeviceList.
  virtual DeviceList* MakeDeviceList(const InterfaceClass& cls) = 0;
  virtual void FreeDeviceList(DeviceList* list) = 0;

  // The device path of instance number `index` of `cls` in `list`: returns 0 and sets `path`, or
  // kErrorNoMoreItems when the index lies past the last instance, or another platform code.
  virtual Status EnumInterface(DeviceList* list, const InterfaceClass& cls, int index, std::string& path) = 0;

  // Opens a new handle on the device at `path`: a path from EnumInterface, or the numbered form
  // kNumberedDevicePath names instance n of the interface class. Returns nullptr on failure and sets `error` to
  // the reason (kErrorFileNotFound, kErrorAccessDenied, ...). May block for the time the backend
  // needs to open a device; never waits for the device to answer.
  virtual std::unique_ptr<UsbHandle> Open(const std::string& path, Status& error) = 0;
};

}  // namespace usb
