// Emulated USB devices for the tests and benchmarks that run the real libusb backend.
//
// umockdev gives the process a private sysfs and /dev (its preload library redirects them), so
// libusb lists the devices plugged in here, and every usbfs ioctl that libusb sends to a device
// node is answered by that device's EmulatedUsbDevice: claiming, alternate settings, submitting,
// reaping and discarding transfers. What a device answers to a write on its OUT endpoint comes
// from a usb::simbus::DeviceBehaviour, the same interface the simulated bus hosts, so a behaviour
// written for one runs on the other.
//
// Rules of the game: make the UsbTestbed before the backend (libusb_init) and destroy it after
// the backend (libusb_exit). Executables that use it link umockdev's preload library.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "usb/simbus/SimBus.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace testing_support {

struct UsbDeviceSpec {
  std::uint8_t bus = 1;
  std::uint8_t address = 2;
  std::uint16_t vendor = 0x0C70;
  std::uint16_t product = 0xF0D1;
  // Endpoints 0x81 (IN) and 0x02 (OUT) of interface 0 are bulk endpoints unless this is set.
  bool interruptEndpoints = false;
};

// The configuration descriptor (with its interface and endpoints) that every emulated device has.
std::vector<std::uint8_t> ConfigurationDescriptor(const UsbDeviceSpec& spec);

// What an emulated device has seen so far.
struct UsbDeviceCounters {
  int opens = 0;  // clients that opened the device node
  int submits = 0;
  int discards = 0;
  int claims = 0;
  int setInterfaces = 0;
  int setConfigurations = 0;
  int clearHalts = 0;
  int unknownIoctls = 0;
  int pendingReads = 0;  // IN transfers waiting for data now
};

class EmulatedUsbDevice {
 public:
  EmulatedUsbDevice(UsbDeviceSpec spec, std::shared_ptr<usb::simbus::DeviceBehaviour> behaviour);
  ~EmulatedUsbDevice();
  EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
  EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

  const UsbDeviceSpec& Spec() const { return spec_; }
  std::string SysPath() const;  // "/sys/devices/..."
  std::string DevNode() const;  // "/dev/bus/usb/BBB/AAA"
  UsbDeviceCounters Counters() const;

  // Claiming an interface answers EBUSY, as when another program holds it.
  void RefuseClaims(bool refuse);
  // Reads on 0x81 fail with a stall until the host clears the halt.
  void StallIn();
  // Waits until `count` reads are pending on the device; false after `timeout`.
  bool WaitForPendingReads(int count, std::chrono::milliseconds timeout) const;

 private:
  friend class UsbTestbed;
  struct Urb {
    UMockdevIoctlData* data = nullptr;  // referenced
    UMockdevIoctlClient* client = nullptr;
  };

  static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  static void OnConnected(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  static void OnVanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  void Reap(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client);
  void Discard(UMockdevIoctlClient* client);
  void AnswerControl(Urb urb);                                    // caller holds mutex_
  void FillRead(Urb urb, const std::vector<std::uint8_t>& data);  // caller holds mutex_
  // Unplugging: pending reads fail with -ESHUTDOWN, everything after with ENODEV.
  void Disconnect();

  const UsbDeviceSpec spec_;
  const std::shared_ptr<usb::simbus::DeviceBehaviour> behaviour_;
  UMockdevIoctlBase* handler_ = nullptr;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool connected_ = true;
  bool refuseClaims_ = false;
  bool stallIn_ = false;
  int emptyReaps_ = 0;
  std::deque<Urb> pendingReads_;
  std::deque<Urb> done_;
  std::deque<std::vector<std::uint8_t>> replies_;
  UsbDeviceCounters counters_;
};

class UsbTestbed {
 public:
  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Plugs a device in. A libusb that runs already hears of it a moment later (a udev event).
  EmulatedUsbDevice& Plug(const UsbDeviceSpec& spec, std::shared_ptr<usb::simbus::DeviceBehaviour> behaviour = {});
  // Pulls a device out: its transfers fail, its node and sysfs entry go, udev says "remove".
  void Unplug(EmulatedUsbDevice& device);
  // Plugs a device that was pulled out in again, at its old address.
  void Replug(EmulatedUsbDevice& device);

  // While it lives, the calling thread cannot open `device` (permission denied), as a user
  // without the udev rule. Works as root too: the thread drops its file-system identity.
  // umockdev's preload keeps a slot for every refused open of an emulated node and has 50 per
  // process, so keep refused opens to a handful per test executable.
  class DeniedAccess {
   public:
    DeniedAccess(UsbTestbed& testbed, const EmulatedUsbDevice& device);
    ~DeniedAccess();
    DeniedAccess(const DeniedAccess&) = delete;
    DeniedAccess& operator=(const DeniedAccess&) = delete;

   private:
    std::string node_;
    bool droppedRoot_ = false;
  };

 private:
  std::string RootDir() const;
  // Puts the device's node and sysfs entry in place and tells udev.
  void Add(EmulatedUsbDevice& device);

  UMockdevTestbed* testbed_ = nullptr;
  std::vector<std::unique_ptr<EmulatedUsbDevice>> devices_;
};

}  // namespace testing_support
