// The USB class library: CUsbIo (a handle to one device instance and its control requests),
// CUsbIoPipe (a handle bound to one endpoint, with data transfers) and CUsbIoBuf (the record of
// one transfer). Every operation that can fail returns a Status (UsbStatus.h); nothing throws.
//
// All I/O underneath is asynchronous; the library turns it into blocking calls. Control requests
// wait without a limit, timed transfers wait for the caller's time-out and then cancel the
// transfer and wait for it to finish, so no transfer outlives the memory it writes to.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "usb/UsbAccess.h"

namespace usb {

// The 12-byte driver record answered to CTL_DRIVER_INFO.
struct DriverInfo {
  std::uint16_t APIVersion = 0;         // bytes 0-1
  std::array<std::uint8_t, 10> Rest{};  // bytes 2-11, not interpreted
  static DriverInfo Decode(const std::uint8_t (&bytes)[kDriverInfoSize]);
  void Encode(std::uint8_t (&bytes)[kDriverInfoSize]) const;
};

// The 8-byte descriptor request of CTL_GET_DESCRIPTOR.
struct DescriptorRequest {
  std::uint32_t Recipient = 0;  // 0 = the device
  std::uint8_t Type = 0;        // 1 = device descriptor
  std::uint8_t Index = 0;
  std::uint16_t LanguageId = 0;
  void Encode(std::uint8_t (&bytes)[kDescriptorRequestSize]) const;
  static DescriptorRequest Decode(const std::uint8_t* bytes);
};

// One interface entry of a configuration request.
struct InterfaceEntry {
  std::uint16_t InterfaceIndex = 0;
  std::uint16_t AlternateSettingIndex = 0;
  std::uint32_t MaximumTransferSize = 0;
};

// The 260-byte configuration request of CTL_SET_CONFIGURATION.
struct ConfigurationRequest {
  std::uint16_t ConfigurationIndex = 0;
  std::uint16_t NbOfInterfaces = 0;
  std::array<InterfaceEntry, kMaxInterfaceEntries> Interfaces{};
  void Encode(std::uint8_t (&bytes)[kConfigurationRequestSize]) const;
  static ConfigurationRequest Decode(const std::uint8_t* bytes);
};

// The standard USB device descriptor, raw.
using DeviceDescriptor = std::array<std::uint8_t, 18>;

class CUsbIo {
 public:
  explicit CUsbIo(UsbAccess& access);
  CUsbIo(const CUsbIo&) = delete;
  CUsbIo& operator=(const CUsbIo&) = delete;
  virtual ~CUsbIo();

  // The device list of all present instances of `cls`; nullptr when it cannot be made.
  static DeviceList* MakeDeviceList(UsbAccess& access, const InterfaceClass& cls);
  static void FreeDeviceList(UsbAccess& access, DeviceList* list);

  // Opens instance number `index`: through `list` when one is given (then `cls` is required),
  // else by its numbered device path. Returns 0 at once when the object is open already.
  Status OpenInstance(int index, DeviceList* list, const InterfaceClass* cls);
  // Closes the handle and the completion event and frees the interface detail. Harmless when
  // closed.
  void CloseInstance();
  bool IsOpen() const { return DeviceHandle != nullptr; }

  // One control request, serialised with every other control request of this object.
  Status ControlRequest(std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                        std::uint32_t outCapacity, std::uint32_t* bytesReturned = nullptr);
  Status QueryDriverInfo(DriverInfo& info);
  // On return `length` holds the byte count that the driver delivered.
  Status ReadDescriptor(void* buffer, std::uint32_t& length, std::uint32_t recipient, std::uint8_t type,
                        std::uint8_t index, std::uint16_t languageId);
  Status ReadDeviceDescriptor(DeviceDescriptor& descriptor);
  Status SelectConfiguration(const ConfigurationRequest& request);

  // The device path of the instance last found through a list (empty when there is none).
  const std::string* DevicePath() const { return InterfaceDetail.get(); }

 protected:
  UsbAccess& Access;
  std::unique_ptr<UsbHandle> DeviceHandle;
  Overlapped ControlCompletion;
  std::unique_ptr<Event> ControlEvent;  // the completion event of ControlCompletion while open
  std::mutex ControlLock;
  std::unique_ptr<std::string> InterfaceDetail;
};

class CUsbIoBuf;

class CUsbIoPipe : public CUsbIo {
 public:
  using CUsbIo::CUsbIo;
  ~CUsbIoPipe() override = default;

  // Opens the instance on this pipe's own handle and binds the handle to `endpointAddress`. When
  // the binding fails the handle stays open.
  Status BindEndpoint(int index, std::uint8_t endpointAddress, DeviceList* list, const InterfaceClass* cls);

  // Submit one transfer described by `buf`; false when it was refused (the code is in buf.Result).
  bool StartRead(CUsbIoBuf& buf);
  bool StartWrite(CUsbIoBuf& buf);
  // Waits for a submitted transfer for at most timeoutMs; UIO_E_TIMEOUT leaves it pending.
  Status AwaitBuffer(CUsbIoBuf& buf, std::uint32_t timeoutMs);
  // Cancels every transfer that the calling thread has pending on this pipe.
  void CancelPending();

  // One blocking transfer of `length` bytes; on return `length` holds the bytes transferred.
  // A transfer still pending at the time-out is cancelled and waited for before returning.
  Status ReadWithTimeout(void* data, std::uint32_t& length, std::uint32_t timeoutMs);
  Status WriteWithTimeout(const void* data, std::uint32_t& length, std::uint32_t timeoutMs);

 private:
  template <bool IsRead>
  Status TimedTransfer(void* data, std::uint32_t& length, std::uint32_t timeoutMs);
};

// The record of one data transfer. It lives on the caller's stack for the timed transfers and
// must not be destroyed while its transfer is pending.
class CUsbIoBuf {
 public:
  CUsbIoBuf(void* data, std::uint32_t capacity);
  CUsbIoBuf(const CUsbIoBuf&) = delete;
  CUsbIoBuf& operator=(const CUsbIoBuf&) = delete;
  ~CUsbIoBuf();

  std::uint32_t RequestLength = 0;
  std::uint32_t DoneLength = 0;
  Status Result = 0;
  void* Data = nullptr;
  std::uint32_t Capacity = 0;
  Overlapped Completion;
  bool OwnsData = false;

 private:
  Event CompletionEvent;
};

}  // namespace usb
