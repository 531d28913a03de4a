#include "tests/libusb/UsbTestbed.h"

#include <linux/usbdevice_fs.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace testing_support {
namespace {

constexpr std::uint8_t kInEndpoint = 0x81;
constexpr std::uint8_t kOutEndpoint = 0x02;
constexpr std::uint16_t kMaxPacket = 64;
// The node of an emulated device always polls ready, so libusb reaps in a loop; a reap that finds
// nothing twice in a row waits this long, which keeps the loop from eating a core.
constexpr unsigned long kIdleReapMicroseconds = 2000;

std::uint8_t Low(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
std::uint8_t High(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }

std::vector<std::uint8_t> DeviceDescriptorBytes(const UsbDeviceSpec& spec) {
  // clang-format off
  return {18, 1, 0x00, 0x02, 0xFF, 0x00, 0x00, 64,
          Low(spec.vendor), High(spec.vendor), Low(spec.product), High(spec.product),
          0x00, 0x01, 0, 0, 0, 1};
  // clang-format on
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char two[3];
  for (const std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", unsigned{b});
    text += two;
  }
  return text;
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// The memory a pointer at `offset` of `data` points to. The resolved data belongs to `data`, which
// keeps it as long as it lives itself; the reference umockdev hands out with it is given back at
// once (held, each one would stay for the rest of the run).
UMockdevIoctlData* Resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
  GError* error = nullptr;
  UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, length, &error);
  if (resolved == nullptr) {
    std::fprintf(stderr, "UsbTestbed: cannot resolve ioctl data: %s\n", error != nullptr ? error->message : "?");
    g_clear_error(&error);
    return nullptr;
  }
  g_object_unref(resolved);
  return resolved;
}

usbdevfs_urb& UrbOf(UMockdevIoctlData* data) { return *reinterpret_cast<usbdevfs_urb*>(data->data); }

// The transfer buffer of a URB, as local memory (resolved again on every call: cheap, and the
// same memory each time).
std::uint8_t* BufferOf(UMockdevIoctlData* urbData) {
  const usbdevfs_urb& urb = UrbOf(urbData);
  if (urb.buffer_length <= 0) return nullptr;
  UMockdevIoctlData* buffer =
      Resolve(urbData, offsetof(usbdevfs_urb, buffer), static_cast<std::size_t>(urb.buffer_length));
  return buffer != nullptr ? buffer->data : nullptr;
}

void Complete(UMockdevIoctlClient* client, long result, int error) {
  umockdev_ioctl_client_complete(client, result, error);
}

}  // namespace

std::vector<std::uint8_t> ConfigurationDescriptor(const UsbDeviceSpec& spec) {
  const std::uint8_t type = spec.interruptEndpoints ? 0x03 : 0x02;
  const std::uint8_t interval = spec.interruptEndpoints ? 1 : 0;
  // clang-format off
  return {
      9, 2, 32, 0, 1, 1, 0, 0x80, 50,                                         // configuration 1
      9, 4, 0, 0, 2, 0xFF, 0, 0, 0,                                           // interface 0
      7, 5, kInEndpoint, type, Low(kMaxPacket), High(kMaxPacket), interval,   // IN 1
      7, 5, kOutEndpoint, type, Low(kMaxPacket), High(kMaxPacket), interval,  // OUT 2
  };
  // clang-format on
}

// ---- EmulatedUsbDevice --------------------------------------------------------------------

EmulatedUsbDevice::EmulatedUsbDevice(UsbDeviceSpec spec, std::shared_ptr<usb::simbus::DeviceBehaviour> behaviour)
    : spec_(spec), behaviour_(std::move(behaviour)), handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedUsbDevice::OnIoctl), this);
  g_signal_connect(handler_, "client-connected", G_CALLBACK(&EmulatedUsbDevice::OnConnected), this);
  g_signal_connect(handler_, "client-vanished", G_CALLBACK(&EmulatedUsbDevice::OnVanished), this);
}

EmulatedUsbDevice::~EmulatedUsbDevice() {
  g_signal_handlers_disconnect_by_data(handler_, this);
  for (auto* queue : {&pendingReads_, &done_}) {
    for (const Urb& urb : *queue) g_object_unref(urb.data);
  }
  g_object_unref(handler_);
}

std::string EmulatedUsbDevice::SysPath() const {
  return Format("/sys/devices/pci0000:00/0000:00:14.0/usb%u/%u-%u", unsigned{spec_.bus}, unsigned{spec_.bus},
                unsigned{spec_.address});
}

std::string EmulatedUsbDevice::DevNode() const {
  return Format("/dev/bus/usb/%03u/%03u", unsigned{spec_.bus}, unsigned{spec_.address});
}

UsbDeviceCounters EmulatedUsbDevice::Counters() const {
  std::lock_guard lock(mutex_);
  UsbDeviceCounters counters = counters_;
  counters.pendingReads = static_cast<int>(pendingReads_.size());
  return counters;
}

void EmulatedUsbDevice::RefuseClaims(bool refuse) {
  std::lock_guard lock(mutex_);
  refuseClaims_ = refuse;
}

void EmulatedUsbDevice::StallIn() {
  std::lock_guard lock(mutex_);
  stallIn_ = true;
}

bool EmulatedUsbDevice::WaitForPendingReads(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return static_cast<int>(pendingReads_.size()) >= count; });
}

void EmulatedUsbDevice::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, void* self) {
  auto& device = *static_cast<EmulatedUsbDevice*>(self);
  std::lock_guard lock(device.mutex_);
  ++device.counters_.opens;
}

void EmulatedUsbDevice::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  // A closed node takes its transfers with it.
  auto& device = *static_cast<EmulatedUsbDevice*>(self);
  std::lock_guard lock(device.mutex_);
  for (auto* queue : {&device.pendingReads_, &device.done_}) {
    std::erase_if(*queue, [&](const Urb& urb) {
      if (urb.client != client) return false;
      g_object_unref(urb.data);
      return true;
    });
  }
  device.changed_.notify_all();
}

int EmulatedUsbDevice::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  auto& device = *static_cast<EmulatedUsbDevice*>(self);
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
    device.Reap(client);  // reaping what finished is allowed after an unplug, as in the kernel
    return TRUE;
  }
  {
    std::lock_guard lock(device.mutex_);
    if (!device.connected_) {
      Complete(client, -1, ENODEV);
      return TRUE;
    }
  }
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  switch (request) {
    case USBDEVFS_SUBMITURB:
      device.Submit(client);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      device.Discard(client);
      return TRUE;
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = Resolve(arg, 0, sizeof(std::uint32_t));
      if (caps != nullptr) {
        const std::uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        std::memcpy(caps->data, &value, sizeof value);
      }
      Complete(client, caps != nullptr ? 0 : -1, caps != nullptr ? 0 : EFAULT);
      return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE: {
      std::lock_guard lock(device.mutex_);
      if (device.refuseClaims_) {
        Complete(client, -1, EBUSY);
      } else {
        ++device.counters_.claims;
        Complete(client, 0, 0);
      }
      return TRUE;
    }
    case USBDEVFS_CLEAR_HALT: {
      UMockdevIoctlData* endpoint = Resolve(arg, 0, sizeof(unsigned int));
      std::lock_guard lock(device.mutex_);
      ++device.counters_.clearHalts;
      if (endpoint != nullptr && *reinterpret_cast<unsigned int*>(endpoint->data) == kInEndpoint) {
        device.stallIn_ = false;
      }
      Complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RELEASEINTERFACE: {
      std::lock_guard lock(device.mutex_);
      if (request == USBDEVFS_SETINTERFACE) ++device.counters_.setInterfaces;
      if (request == USBDEVFS_SETCONFIGURATION) ++device.counters_.setConfigurations;
      Complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_GETDRIVER:
      Complete(client, -1, ENODATA);  // no kernel driver holds the interface
      return TRUE;
    default: {
      std::lock_guard lock(device.mutex_);
      ++device.counters_.unknownIoctls;
      Complete(client, -1, ENOTTY);
      return TRUE;
    }
  }
}

void EmulatedUsbDevice::Reap(UMockdevIoctlClient* client) {
  std::unique_lock lock(mutex_);
  const auto it = std::find_if(done_.begin(), done_.end(), [&](const Urb& urb) { return urb.client == client; });
  if (it == done_.end()) {
    const bool idle = ++emptyReaps_ > 1;
    const int error = connected_ ? EAGAIN : ENODEV;
    lock.unlock();
    if (idle) g_usleep(kIdleReapMicroseconds);
    Complete(client, -1, error);
    return;
  }
  emptyReaps_ = 0;
  const Urb urb = *it;
  done_.erase(it);
  lock.unlock();
  // The kernel hands the URB's address back through the caller's pointer.
  UMockdevIoctlData* slot = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*));
  if (slot != nullptr) umockdev_ioctl_data_set_ptr(slot, 0, urb.data);
  g_object_unref(urb.data);
  Complete(client, slot != nullptr ? 0 : -1, slot != nullptr ? 0 : EFAULT);
}

void EmulatedUsbDevice::Submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* data = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_urb));
  if (data == nullptr) {
    Complete(client, -1, EFAULT);
    return;
  }
  const Urb urb{static_cast<UMockdevIoctlData*>(g_object_ref(data)), client};
  usbdevfs_urb& u = UrbOf(data);
  std::unique_lock lock(mutex_);
  ++counters_.submits;
  u.actual_length = 0;
  u.status = 0;
  if (u.endpoint == 0) {
    AnswerControl(urb);
  } else if ((u.endpoint & 0x80) != 0) {
    if (stallIn_) {
      u.status = -EPIPE;
      done_.push_back(urb);
    } else if (!replies_.empty()) {
      FillRead(urb, replies_.front());
      replies_.pop_front();
    } else {
      pendingReads_.push_back(urb);
      changed_.notify_all();
    }
  } else {
    const std::uint8_t* buffer = BufferOf(data);
    const std::vector<std::uint8_t> written(buffer, buffer + (buffer != nullptr ? u.buffer_length : 0));
    u.actual_length = u.buffer_length;
    done_.push_back(urb);
    lock.unlock();
    // The behaviour runs without the device's lock; it may take its time or call back.
    std::optional<usb::simbus::Packet> reply;
    if (behaviour_) reply = behaviour_->OnWrite(written);
    lock.lock();
    if (reply && connected_) {
      std::vector<std::uint8_t> bytes(reply->bytes.begin(), reply->bytes.begin() + reply->length);
      if (!pendingReads_.empty()) {
        const Urb read = pendingReads_.front();
        pendingReads_.pop_front();
        FillRead(read, bytes);
      } else {
        replies_.push_back(std::move(bytes));
      }
    }
  }
  // Completing the submission copies the URB back to the client; it stays under the lock, since
  // an unplug on another thread writes the status of a pending URB.
  Complete(client, 0, 0);
}

void EmulatedUsbDevice::FillRead(Urb urb, const std::vector<std::uint8_t>& data) {
  usbdevfs_urb& u = UrbOf(urb.data);
  const auto capacity = static_cast<std::size_t>(std::max(u.buffer_length, 0));
  const std::size_t n = std::min(capacity, data.size());
  if (n > 0) std::memcpy(BufferOf(urb.data), data.data(), n);
  u.actual_length = static_cast<int>(n);
  u.status = data.size() > capacity ? -EOVERFLOW : 0;
  done_.push_back(urb);
  changed_.notify_all();
}

void EmulatedUsbDevice::AnswerControl(Urb urb) {
  // Only GET_DESCRIPTOR for the device and its configuration; the rest is stalled.
  usbdevfs_urb& u = UrbOf(urb.data);
  std::uint8_t* buffer = BufferOf(urb.data);
  u.status = -EPIPE;
  if (buffer != nullptr && u.buffer_length >= 8 && buffer[0] == 0x80 && buffer[1] == 0x06) {
    const std::uint8_t type = buffer[3];
    std::vector<std::uint8_t> descriptor;
    if (type == 1) descriptor = DeviceDescriptorBytes(spec_);
    if (type == 2 && buffer[2] == 0) descriptor = ConfigurationDescriptor(spec_);
    if (!descriptor.empty()) {
      const std::size_t wanted = buffer[6] | (buffer[7] << 8);
      const std::size_t n = std::min({descriptor.size(), wanted, static_cast<std::size_t>(u.buffer_length - 8)});
      std::memcpy(buffer + 8, descriptor.data(), n);
      u.actual_length = static_cast<int>(n);
      u.status = 0;
    }
  }
  done_.push_back(urb);
}

void EmulatedUsbDevice::Discard(UMockdevIoctlClient* client) {
  // The argument is the URB's address in the client.
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  unsigned long address = 0;
  std::memcpy(&address, arg->data, std::min(sizeof address, static_cast<std::size_t>(arg->data_len)));
  std::unique_lock lock(mutex_);
  ++counters_.discards;
  const auto it = std::find_if(pendingReads_.begin(), pendingReads_.end(), [&](const Urb& urb) {
    return urb.client == client && urb.data->client_addr == address;
  });
  if (it == pendingReads_.end()) {
    lock.unlock();
    Complete(client, -1, EINVAL);  // finished already: the caller reaps it as it is
    return;
  }
  const Urb urb = *it;
  pendingReads_.erase(it);
  UrbOf(urb.data).status = -ENOENT;
  done_.push_back(urb);
  changed_.notify_all();
  lock.unlock();
  Complete(client, 0, 0);
}

void EmulatedUsbDevice::Disconnect() {
  std::lock_guard lock(mutex_);
  connected_ = false;
  replies_.clear();
  for (const Urb& urb : pendingReads_) {
    UrbOf(urb.data).status = -ESHUTDOWN;
    done_.push_back(urb);
  }
  pendingReads_.clear();
  changed_.notify_all();
}

// ---- UsbTestbed ---------------------------------------------------------------------------

UsbTestbed::UsbTestbed() : testbed_(umockdev_testbed_new()) {
  if (!umockdev_in_mock_environment()) {
    throw std::runtime_error("the umockdev preload library is not active in this process");
  }
}

UsbTestbed::~UsbTestbed() {
  // The testbed's worker thread stops with it; only then may the handlers' devices go. No handler
  // is detached before: the preload ends a client whose handler vanishes while it is open.
  g_object_unref(testbed_);
  devices_.clear();
}

std::string UsbTestbed::RootDir() const {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  std::string dir(root);
  g_free(root);
  return dir;
}

EmulatedUsbDevice& UsbTestbed::Plug(const UsbDeviceSpec& spec,
                                    std::shared_ptr<usb::simbus::DeviceBehaviour> behaviour) {
  auto device = std::make_unique<EmulatedUsbDevice>(spec, std::move(behaviour));
  GError* error = nullptr;
  // The handler goes on before the node exists.
  if (!umockdev_testbed_attach_ioctl(testbed_, device->DevNode().c_str(), device->handler_, &error)) {
    const std::string message = error->message;
    g_clear_error(&error);
    throw std::runtime_error("cannot attach the emulated device: " + message);
  }
  Add(*device);
  devices_.push_back(std::move(device));
  return *devices_.back();
}

void UsbTestbed::Replug(EmulatedUsbDevice& device) {
  {
    std::lock_guard lock(device.mutex_);
    device.connected_ = true;
    device.emptyReaps_ = 0;
  }
  Add(device);
}

void UsbTestbed::Add(EmulatedUsbDevice& device) {
  const UsbDeviceSpec& spec = device.Spec();
  GError* error = nullptr;
  std::vector<std::uint8_t> descriptors = DeviceDescriptorBytes(spec);
  const std::vector<std::uint8_t> configuration = ConfigurationDescriptor(spec);
  descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());
  const std::string node = Format("bus/usb/%03u/%03u", unsigned{spec.bus}, unsigned{spec.address});
  const std::string record =
      "P: " + device.SysPath().substr(4) + "\n" +  // without "/sys"
      "N: " + node + "\n" +
      "E: SUBSYSTEM=usb\n"
      "E: DEVTYPE=usb_device\n"
      "E: DEVNAME=/dev/" +
      node + "\n" + "E: BUSNUM=" + Format("%03u", unsigned{spec.bus}) + "\n" +
      "E: DEVNUM=" + Format("%03u", unsigned{spec.address}) + "\n" + "A: busnum=" + std::to_string(spec.bus) + "\n" +
      "A: devnum=" + std::to_string(spec.address) + "\n" + "A: idVendor=" + Format("%04x", unsigned{spec.vendor}) +
      "\n" + "A: idProduct=" + Format("%04x", unsigned{spec.product}) + "\n" +
      "A: speed=12\n"
      "A: bConfigurationValue=1\n"
      "H: descriptors=" +
      Hex(descriptors) + "\n\n";
  if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
    const std::string message = error->message;
    g_clear_error(&error);
    throw std::runtime_error("cannot add the emulated device: " + message);
  }
  umockdev_testbed_uevent(testbed_, device.SysPath().c_str(), "add");
}

void UsbTestbed::Unplug(EmulatedUsbDevice& device) {
  device.Disconnect();
  umockdev_testbed_uevent(testbed_, device.SysPath().c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, device.SysPath().c_str());
}

UsbTestbed::DeniedAccess::DeniedAccess(UsbTestbed& testbed, const EmulatedUsbDevice& device)
    : node_(testbed.RootDir() + device.DevNode()) {
  // An unprivileged thread must reach the node (and the socket behind it) to be refused by the
  // node's own permissions.
  const std::string root = testbed.RootDir();
  chmod(root.c_str(), 0755);
  chmod((root + "/ioctl" + device.DevNode()).c_str(), 0777);
  chmod(node_.c_str(), 0);
  if (geteuid() == 0) {
    setfsuid(65534);  // this thread only; nobody
    droppedRoot_ = true;
  }
}

UsbTestbed::DeniedAccess::~DeniedAccess() {
  if (droppedRoot_) setfsuid(0);
  chmod(node_.c_str(), 0644);
}

}  // namespace testing_support
