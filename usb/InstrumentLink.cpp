#include "usb/InstrumentLink.h"

namespace usb {

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
    if (UsbDevice.OpenInstance(number, list, &USBIO_INTERFACE_GUID) != 0) return false;

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
    if (ready) return true;
    CloseInstrument();
    return false;
  }
  return false;
}

bool InstrumentLink::Transact() {
  std::uint32_t length = kFrameLength;
  if (OutPipe.WriteWithTimeout(TxBuf.data(), length, TimeoutMs) != 0 || length != kFrameLength) return false;
  length = kFrameLength;
  if (InPipe.ReadWithTimeout(TxBuf.data(), length, TimeoutMs) != 0 || length != kFrameLength) return false;
  return true;
}

void InstrumentLink::CloseInstrument() {
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
