// The backend for real instruments: the USB access layer over libusb-1.0.
//
// Instances. The present instances are the devices that the instrument's kernel driver would
// serve: those whose identifiers the backend serves (by default the instrument's, see
// IsInstrumentDescriptor), read from libusb's device list without opening anything, numbered by
// bus, then address. No other device is ever opened: for a normal user on Linux opening a
// keyboard or a hub fails, and a failed open ends the connection's search. An instance's path is
// "usb:BBB:AAA" (bus and address in decimal); the numbered path kNumberedDevicePath + n names the
// n-th instance of a fresh listing. Open checks the identifiers again, so an address taken over
// by another device in the meantime is not opened.
//
// Handle sharing. The class library opens one instance three times (the device and its two
// pipes), but libusb refuses a second claim of one interface from another handle. So every
// UsbHandle on one physical device shares one libusb handle underneath; the claims made by
// CTL_SET_CONFIGURATION belong to that shared handle, and the last UsbHandle to close releases
// them and closes it.
//
// Control requests are answered at once: the driver record and the device descriptor from what
// libusb already knows, other descriptors, the configuration and the binding through libusb's
// blocking calls (which take as long as a control transfer). Selecting the configuration the
// device has already claims its interfaces without resetting it. Binding an endpoint clears a
// halt left on it, so that a stalled pipe recovers with the next connection.
//
// Events. Reads and writes are asynchronous libusb transfers without a libusb time-out; their
// callback stores the outcome in the Overlapped record and signals its event, and CancelIo cancels
// them with libusb_cancel_transfer, whose callback follows later. The callbacks run on one small
// event thread that the backend owns for its whole life. Pumping libusb's events inside the wait
// instead is not possible: the class library waits on its own events (usb::Event) and knows no
// backend, and a control request or a second thread waiting meanwhile would have nobody to
// complete its transfers. The thread costs next to nothing while idle: it sleeps in libusb's poll,
// wakes once a second, and is woken at once when the backend closes.
//
// Unplugging. libusb fails a transfer in flight with LIBUSB_TRANSFER_NO_DEVICE and refuses new
// submissions with LIBUSB_ERROR_NO_DEVICE; both become kErrorDeviceNotConnected at once, so the
// connection's loss step follows on the next ticks. From then on every request on the handles of
// that device answers kErrorDeviceNotConnected until they are closed; the device comes back as a
// new instance when it is plugged in again.
//
// Access denied. When the operating system refuses to open a served device (no udev rule
// installed), Open fails with kErrorAccessDenied and the backend writes one notice line naming the
// device and the rule file to install, once per device per run. A device that another program
// holds gets one notice too.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "usb/UsbAccess.h"

namespace usb {

// The udev rule that lets the user at the seat open the instrument, and where it goes.
inline constexpr const char* kUdevRuleFile = "60-korvanta-318qx.rules";
inline constexpr const char* kUdevRulesDir = "/etc/udev/rules.d";

class LibusbAccess final : public UsbAccess {
 public:
  struct Options {
    // The identifiers of the devices served. Empty: the instrument's (IsInstrumentDescriptor).
    std::function<bool(std::uint16_t vendor, std::uint16_t product)> serves;
    // Receives each notice line for whoever installs the program. Empty: the USB layer's warnings
    // (usb/Trace.h), which reach standard error.
    std::function<void(const std::string&)> notice;
  };

  LibusbAccess();
  explicit LibusbAccess(Options options);
  ~LibusbAccess() override;
  LibusbAccess(const LibusbAccess&) = delete;
  LibusbAccess& operator=(const LibusbAccess&) = delete;

  // False when libusb could not be started; then no device list can be made (a notice says why).
  bool Available() const;

  // UsbAccess
  DeviceList* MakeDeviceList(const InterfaceClass& cls) override;
  void FreeDeviceList(DeviceList* list) override;
  Status EnumInterface(DeviceList* list, const InterfaceClass& cls, int index, std::string& path) override;
  std::unique_ptr<UsbHandle> Open(const std::string& path, Status& error) override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace usb
