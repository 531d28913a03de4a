#include "usb/UsbIo.h"

#include <cstring>
#include <new>

namespace usb {
namespace {

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// The outcome of a request whose record says it has finished, or kErrorIoIncomplete while it is
// still pending. With `wait` set it first waits for the record's event until the request is done.
Status OverlappedResult(Overlapped& ov, std::uint32_t& transferred, bool wait) {
  Status status = ov.status.load(std::memory_order_acquire);
  while (wait && status == kErrorIoPending) {
    ov.event->Wait(kInfinite);
    status = ov.status.load(std::memory_order_acquire);
  }
  if (status == kErrorIoPending) return kErrorIoIncomplete;
  transferred = ov.transferred.load(std::memory_order_acquire);
  return status;
}

}  // namespace

// ---- layouts --------------------------------------------------------------------------------

DriverInfo DriverInfo::Decode(const std::uint8_t (&bytes)[kDriverInfoSize]) {
  DriverInfo info;
  info.APIVersion = GetU16(bytes);
  std::memcpy(info.Rest.data(), bytes + 2, info.Rest.size());
  return info;
}

void DriverInfo::Encode(std::uint8_t (&bytes)[kDriverInfoSize]) const {
  PutU16(bytes, APIVersion);
  std::memcpy(bytes + 2, Rest.data(), Rest.size());
}

void DescriptorRequest::Encode(std::uint8_t (&bytes)[kDescriptorRequestSize]) const {
  std::memset(bytes, 0, sizeof bytes);
  PutU32(bytes, Recipient);
  bytes[4] = Type;
  bytes[5] = Index;
  PutU16(bytes + 6, LanguageId);
}

DescriptorRequest DescriptorRequest::Decode(const std::uint8_t* bytes) {
  DescriptorRequest r;
  r.Recipient = GetU32(bytes);
  r.Type = bytes[4];
  r.Index = bytes[5];
  r.LanguageId = GetU16(bytes + 6);
  return r;
}

void ConfigurationRequest::Encode(std::uint8_t (&bytes)[kConfigurationRequestSize]) const {
  std::memset(bytes, 0, sizeof bytes);
  PutU16(bytes, ConfigurationIndex);
  PutU16(bytes + 2, NbOfInterfaces);
  for (std::size_t i = 0; i < Interfaces.size(); ++i) {
    std::uint8_t* entry = bytes + 4 + 8 * i;
    PutU16(entry, Interfaces[i].InterfaceIndex);
    PutU16(entry + 2, Interfaces[i].AlternateSettingIndex);
    PutU32(entry + 4, Interfaces[i].MaximumTransferSize);
  }
}

ConfigurationRequest ConfigurationRequest::Decode(const std::uint8_t* bytes) {
  ConfigurationRequest r;
  r.ConfigurationIndex = GetU16(bytes);
  r.NbOfInterfaces = GetU16(bytes + 2);
  for (std::size_t i = 0; i < r.Interfaces.size(); ++i) {
    const std::uint8_t* entry = bytes + 4 + 8 * i;
    r.Interfaces[i] = {GetU16(entry), GetU16(entry + 2), GetU32(entry + 4)};
  }
  return r;
}

// ---- CUsbIo ---------------------------------------------------------------------------------

CUsbIo::CUsbIo(UsbAccess& access) : Access(access) {}

CUsbIo::~CUsbIo() { CloseInstance(); }

DeviceList* CUsbIo::MakeDeviceList(UsbAccess& access, const InterfaceClass& cls) { return access.MakeDeviceList(cls); }

void CUsbIo::FreeDeviceList(UsbAccess& access, DeviceList* list) {
  if (list != nullptr) access.FreeDeviceList(list);
}

Status CUsbIo::OpenInstance(int index, DeviceList* list, const InterfaceClass* cls) {
  if (DeviceHandle) return 0;  // stays on the instance it has, whatever the index

  std::string path;
  if (list != nullptr) {
    if (cls == nullptr) return UIO_E_BAD_ARGUMENT;
    InterfaceDetail.reset();
    const Status found = Access.EnumInterface(list, *cls, index, path);
    if (found != 0) return found == kErrorNoMoreItems ? UIO_E_NO_MORE_INSTANCES : found;
    InterfaceDetail.reset(new (std::nothrow) std::string(path));
    if (!InterfaceDetail) return UIO_E_NO_MEMORY;
  } else {
    path = kNumberedDevicePath + std::to_string(index);
  }

  Status openError = 0;
  std::unique_ptr<UsbHandle> handle = Access.Open(path, openError);
  if (!handle) return UIO_E_OPEN_FAILED;  // a detail fetched above stays until the next open
  DeviceHandle = std::move(handle);

  ControlEvent.reset(new (std::nothrow) Event);
  if (!ControlEvent) {
    CloseInstance();
    return UIO_E_NO_MEMORY;
  }
  ControlCompletion.event = ControlEvent.get();

  DriverInfo info;
  if (const Status status = QueryDriverInfo(info); status != 0) {
    CloseInstance();
    return status;
  }
  if (info.APIVersion != kDriverApiVersion) {
    CloseInstance();
    return UIO_E_API_VERSION;
  }
  return 0;
}

void CUsbIo::CloseInstance() {
  DeviceHandle.reset();
  ControlCompletion.event = nullptr;
  ControlEvent.reset();
  InterfaceDetail.reset();
}

Status CUsbIo::ControlRequest(std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                              std::uint32_t outCapacity, std::uint32_t* bytesReturned) {
  if (!DeviceHandle) return UIO_E_NOT_OPEN;

  Status status = 0;
  std::uint32_t transferred = 0;
  {
    std::lock_guard lock(ControlLock);
    const Status issued = DeviceHandle->DeviceControl(code, in, inLength, out, outCapacity, ControlCompletion);
    if (issued == 0) {
      transferred = ControlCompletion.transferred.load(std::memory_order_acquire);
      ControlEvent->Reset();  // completed at once; nobody waits for the signal
    } else if (issued == kErrorIoPending) {
      status = OverlappedResult(ControlCompletion, transferred, true);
    } else {
      status = issued;
    }
  }
  if (bytesReturned != nullptr) *bytesReturned = transferred;
  return status;
}

Status CUsbIo::QueryDriverInfo(DriverInfo& info) {
  std::uint8_t record[kDriverInfoSize] = {};
  const Status status = ControlRequest(CTL_DRIVER_INFO, nullptr, 0, record, kDriverInfoSize);
  info = DriverInfo::Decode(record);
  return status;
}

Status CUsbIo::ReadDescriptor(void* buffer, std::uint32_t& length, std::uint32_t recipient, std::uint8_t type,
                              std::uint8_t index, std::uint16_t languageId) {
  std::uint8_t request[kDescriptorRequestSize];
  DescriptorRequest{recipient, type, index, languageId}.Encode(request);
  return ControlRequest(CTL_GET_DESCRIPTOR, request, sizeof request, buffer, length, &length);
}

Status CUsbIo::ReadDeviceDescriptor(DeviceDescriptor& descriptor) {
  std::uint32_t length = static_cast<std::uint32_t>(descriptor.size());
  return ReadDescriptor(descriptor.data(), length, 0, 1, 0, 0);
}

Status CUsbIo::SelectConfiguration(const ConfigurationRequest& request) {
  std::uint8_t bytes[kConfigurationRequestSize];
  request.Encode(bytes);
  return ControlRequest(CTL_SET_CONFIGURATION, bytes, sizeof bytes, nullptr, 0);
}

// ---- CUsbIoPipe -----------------------------------------------------------------------------

Status CUsbIoPipe::BindEndpoint(int index, std::uint8_t endpointAddress, DeviceList* list, const InterfaceClass* cls) {
  if (const Status status = OpenInstance(index, list, cls); status != 0) return status;
  return ControlRequest(CTL_BIND_PIPE, &endpointAddress, 1, nullptr, 0);
}

bool CUsbIoPipe::StartRead(CUsbIoBuf& buf) {
  buf.Result = DeviceHandle ? DeviceHandle->Read(buf.Data, buf.RequestLength, buf.Completion) : kErrorInvalidHandle;
  if (buf.Result == 0) buf.DoneLength = buf.Completion.transferred.load(std::memory_order_acquire);
  return buf.Result == 0 || buf.Result == kErrorIoPending;
}

bool CUsbIoPipe::StartWrite(CUsbIoBuf& buf) {
  buf.Result = DeviceHandle ? DeviceHandle->Write(buf.Data, buf.RequestLength, buf.Completion) : kErrorInvalidHandle;
  if (buf.Result == 0) buf.DoneLength = buf.Completion.transferred.load(std::memory_order_acquire);
  return buf.Result == 0 || buf.Result == kErrorIoPending;
}

Status CUsbIoPipe::AwaitBuffer(CUsbIoBuf& buf, std::uint32_t timeoutMs) {
  if (buf.Result == 0) return 0;
  if (buf.Result != kErrorIoPending) return buf.Result;
  // The event may carry a signal from an earlier completion; only the record's status decides.
  if (buf.Completion.status.load(std::memory_order_acquire) == kErrorIoPending &&
      !buf.Completion.event->Wait(timeoutMs)) {
    return UIO_E_TIMEOUT;
  }
  std::uint32_t transferred = 0;
  const Status status = OverlappedResult(buf.Completion, transferred, timeoutMs == kInfinite);
  if (status == kErrorIoIncomplete) return UIO_E_TIMEOUT;
  buf.DoneLength = transferred;
  buf.Result = status;
  return buf.Result;
}

void CUsbIoPipe::CancelPending() {
  if (DeviceHandle) DeviceHandle->CancelIo();
}

template <bool IsRead>
Status CUsbIoPipe::TimedTransfer(void* data, std::uint32_t& length, std::uint32_t timeoutMs) {
  CUsbIoBuf buf(data, length);
  buf.RequestLength = length;
  if constexpr (IsRead) {
    StartRead(buf);
  } else {
    StartWrite(buf);
  }
  const Status status = AwaitBuffer(buf, timeoutMs);
  if (status == UIO_E_TIMEOUT) {
    CancelPending();
    AwaitBuffer(buf, kInfinite);  // returns once the cancelled transfer has finished
  }
  length = buf.DoneLength;
  return status;
}

Status CUsbIoPipe::ReadWithTimeout(void* data, std::uint32_t& length, std::uint32_t timeoutMs) {
  return TimedTransfer<true>(data, length, timeoutMs);
}

Status CUsbIoPipe::WriteWithTimeout(const void* data, std::uint32_t& length, std::uint32_t timeoutMs) {
  // The record describes the caller's memory; a write never stores into it.
  return TimedTransfer<false>(const_cast<void*>(data), length, timeoutMs);
}

// ---- CUsbIoBuf ------------------------------------------------------------------------------

CUsbIoBuf::CUsbIoBuf(void* data, std::uint32_t capacity) : Data(data), Capacity(capacity) {
  Completion.event = &CompletionEvent;
}

CUsbIoBuf::~CUsbIoBuf() {
  if (OwnsData && Data != nullptr) delete[] static_cast<std::uint8_t*>(Data);
}

}  // namespace usb
