#include "usb/libusb/LibusbAccess.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "usb/InstrumentLink.h"
#include "usb/Trace.h"
#include "usb/UsbIo.h"

namespace usb {
namespace {

constexpr const char* kPathPrefix = "usb:";
// A descriptor read that goes to the device; the device descriptor itself never does.
constexpr unsigned kControlTimeoutMs = 1000;

// A served device as a listing sees it.
struct Entry {
  std::uint8_t bus = 0;
  std::uint8_t address = 0;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  friend bool operator<(const Entry& a, const Entry& b) {
    return std::tie(a.bus, a.address) < std::tie(b.bus, b.address);
  }
};

class LibusbDeviceList final : public DeviceList {
 public:
  std::vector<Entry> entries;
};

Status FromLibusbError(int error) {
  switch (error) {
    case LIBUSB_SUCCESS:
      return 0;
    case LIBUSB_ERROR_ACCESS:
      return kErrorAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE:
      return kErrorDeviceNotConnected;
    case LIBUSB_ERROR_NOT_FOUND:
      return kErrorFileNotFound;
    case LIBUSB_ERROR_BUSY:
      return kErrorBusy;
    case LIBUSB_ERROR_TIMEOUT:
      return kErrorSemTimeout;
    case LIBUSB_ERROR_OVERFLOW:
      return kErrorInsufficientBuffer;
    case LIBUSB_ERROR_INVALID_PARAM:
      return kErrorInvalidParameter;
    case LIBUSB_ERROR_NO_MEM:
      return kErrorNotEnoughMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return kErrorNotSupported;
    default:  // I/O error, stall, interrupted, other
      return kErrorGenFailure;
  }
}

Status FromTransferStatus(int status) {
  switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
      return 0;
    case LIBUSB_TRANSFER_CANCELLED:
      return kErrorOperationAborted;
    case LIBUSB_TRANSFER_NO_DEVICE:
      return kErrorDeviceNotConnected;
    case LIBUSB_TRANSFER_TIMED_OUT:
      return kErrorSemTimeout;
    case LIBUSB_TRANSFER_OVERFLOW:
      return kErrorInsufficientBuffer;
    default:  // stall, error
      return kErrorGenFailure;
  }
}

std::uint8_t Low(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
std::uint8_t High(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }

// The 18 bytes of the device descriptor as the device sent them, from libusb's parsed copy.
DeviceDescriptor RawDescriptor(const libusb_device_descriptor& d) {
  return {d.bLength,         d.bDescriptorType, Low(d.bcdUSB),       High(d.bcdUSB),    d.bDeviceClass,
          d.bDeviceSubClass, d.bDeviceProtocol, d.bMaxPacketSize0,   Low(d.idVendor),   High(d.idVendor),
          Low(d.idProduct),  High(d.idProduct), Low(d.bcdDevice),    High(d.bcdDevice), d.iManufacturer,
          d.iProduct,        d.iSerialNumber,   d.bNumConfigurations};
}

std::string PathOf(const Entry& e) {
  char path[16];
  std::snprintf(path, sizeof path, "%s%03u:%03u", kPathPrefix, unsigned{e.bus}, unsigned{e.address});
  return path;
}

// "0c70:f0d1 on bus 001, address 005"
std::string DeviceName(const Entry& e) {
  char name[64];
  std::snprintf(name, sizeof name, "%04x:%04x on bus %03u, address %03u", unsigned{e.vendor}, unsigned{e.product},
                unsigned{e.bus}, unsigned{e.address});
  return name;
}

// A whole decimal number of at most `max`, nothing before or after it.
bool ParseNumber(std::string_view text, unsigned long max, unsigned long& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value <= max;
}

// What a path names: a bus and address ("usb:BBB:AAA"), or the n-th instance (numbered form).
struct PathTarget {
  bool numbered = false;
  unsigned long number = 0;
  std::uint8_t bus = 0;
  std::uint8_t address = 0;
};

bool ParsePath(const std::string& path, PathTarget& target) {
  const std::string_view view(path);
  const std::string_view numbered(kNumberedDevicePath);
  if (view.starts_with(numbered)) {
    target.numbered = true;
    return ParseNumber(view.substr(numbered.size()), INT_MAX, target.number);
  }
  if (!view.starts_with(kPathPrefix)) return false;
  const std::string_view rest = view.substr(std::strlen(kPathPrefix));
  const std::size_t colon = rest.find(':');
  unsigned long bus = 0;
  unsigned long address = 0;
  if (colon == std::string_view::npos || !ParseNumber(rest.substr(0, colon), 255, bus) ||
      !ParseNumber(rest.substr(colon + 1), 255, address)) {
    return false;
  }
  target.bus = static_cast<std::uint8_t>(bus);
  target.address = static_cast<std::uint8_t>(address);
  return true;
}

// One physical device, shared by every UsbHandle opened on it.
struct SharedDevice {
  libusb_device* device = nullptr;  // referenced while shared
  libusb_device_handle* handle = nullptr;
  Entry entry;
  DeviceDescriptor descriptor{};
  int users = 0;
  // Interfaces claimed by CTL_SET_CONFIGURATION, with their alternate setting.
  std::vector<std::pair<std::uint8_t, std::uint8_t>> claimed;
  std::atomic<bool> gone{false};
};

enum class NoticeKind { AccessDenied, InUse };

}  // namespace

struct LibusbAccess::Impl {
  explicit Impl(Options o);
  ~Impl();

  void Notice(const std::string& line) const { options.notice(line); }
  void NoticeOnce(NoticeKind kind, const Entry& e, const std::string& line);
  // The served devices of a libusb listing, in instance order (bus, then address).
  std::vector<std::pair<Entry, libusb_device*>> Served(libusb_device** all, ssize_t count) const;
  // The served devices present now; false when libusb cannot list them.
  bool List(std::vector<Entry>& entries) const;
  // The served device that `path` names, referenced (the caller unreferences it), or nullptr.
  libusb_device* Find(const std::string& path, Entry& entry) const;
  void Release(const std::shared_ptr<SharedDevice>& device);

  Options options;
  libusb_context* context = nullptr;
  std::thread events;
  std::atomic<bool> stopping{false};

  // Guards `devices` and the claims of every shared device.
  std::mutex mutex;
  std::map<libusb_device*, std::shared_ptr<SharedDevice>> devices;

  std::mutex noticeMutex;
  std::set<std::tuple<NoticeKind, std::uint8_t, std::uint8_t, std::uint16_t, std::uint16_t>> noticed;
};

namespace {

class LibusbHandle final : public UsbHandle {
 public:
  LibusbHandle(LibusbAccess::Impl& access, std::shared_ptr<SharedDevice> device)
      : access_(access), device_(std::move(device)) {}
  ~LibusbHandle() override;

  Status DeviceControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out, std::uint32_t outCapacity,
                       Overlapped& ov) override;
  Status Read(void* data, std::uint32_t length, Overlapped& ov) override { return Submit(true, data, length, ov); }
  Status Write(const void* data, std::uint32_t length, Overlapped& ov) override {
    // libusb takes one buffer for both directions; a write only reads from it.
    return Submit(false, const_cast<void*>(data), length, ov);
  }
  void CancelIo() override { Cancel(false); }

 private:
  // One libusb transfer of this handle, reused from one submission to the next.
  struct Slot {
    LibusbHandle* owner = nullptr;
    libusb_transfer* transfer = nullptr;
    Overlapped* ov = nullptr;
    std::thread::id thread;
    bool busy = false;
    bool cancelling = false;  // not reused until the cancel call has returned
  };

  static void LIBUSB_CALL Done(libusb_transfer* transfer);
  Status Submit(bool isRead, void* data, std::uint32_t length, Overlapped& ov);
  void Cancel(bool allThreads);
  Slot* FreeSlot();  // caller holds mutex_
  Status Failed(int error);

  Status DriverInfoRecord(void* out, std::uint32_t outCapacity, std::uint32_t& transferred);
  Status GetDescriptor(const std::uint8_t* in, std::uint32_t inLength, void* out, std::uint32_t outCapacity,
                       std::uint32_t& transferred);
  Status SetConfiguration(const std::uint8_t* in, std::uint32_t inLength);
  Status BindPipe(const std::uint8_t* in, std::uint32_t inLength);
  void ReleaseClaims(const ConfigurationRequest* keep);  // caller holds access_.mutex

  LibusbAccess::Impl& access_;
  const std::shared_ptr<SharedDevice> device_;

  std::mutex mutex_;
  std::condition_variable idle_;
  int inFlight_ = 0;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::uint8_t endpoint_ = 0;  // 0: not bound
  std::uint8_t endpointType_ = LIBUSB_TRANSFER_TYPE_BULK;
};

LibusbHandle::~LibusbHandle() {
  // No request outlives its handle: cancel what is left, from every thread, and wait for the
  // callbacks before the transfers are freed and the shared handle is let go.
  Cancel(true);
  {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return inFlight_ == 0; });
  }
  for (const auto& slot : slots_) libusb_free_transfer(slot->transfer);
  access_.Release(device_);
}

Status LibusbHandle::Failed(int error) {
  if (error == LIBUSB_ERROR_NO_DEVICE) device_->gone = true;
  return FromLibusbError(error);
}

Status LibusbHandle::DeviceControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                                   std::uint32_t outCapacity, Overlapped& ov) {
  if (code != CTL_DRIVER_INFO && code != CTL_GET_DESCRIPTOR && code != CTL_SET_CONFIGURATION && code != CTL_BIND_PIPE) {
    return kErrorInvalidParameter;
  }
  if (device_->gone) return kErrorDeviceNotConnected;
  const auto* input = static_cast<const std::uint8_t*>(in);
  std::uint32_t transferred = 0;
  Status status = 0;
  switch (code) {
    case CTL_DRIVER_INFO:
      status = DriverInfoRecord(out, outCapacity, transferred);
      break;
    case CTL_GET_DESCRIPTOR:
      status = GetDescriptor(input, inLength, out, outCapacity, transferred);
      break;
    case CTL_SET_CONFIGURATION:
      status = SetConfiguration(input, inLength);
      break;
    default:
      status = BindPipe(input, inLength);
      break;
  }
  if (status != 0) return status;
  CompleteRequest(ov, 0, transferred);
  return 0;
}

Status LibusbHandle::DriverInfoRecord(void* out, std::uint32_t outCapacity, std::uint32_t& transferred) {
  if (out == nullptr || outCapacity < kDriverInfoSize) return kErrorInsufficientBuffer;
  DriverInfo info;
  info.APIVersion = kDriverApiVersion;
  // The rest of the record carries the libusb version, for whoever looks.
  const libusb_version* version = libusb_get_version();
  info.Rest[0] = Low(version->major);
  info.Rest[1] = Low(version->minor);
  info.Rest[2] = Low(version->micro);
  std::uint8_t record[kDriverInfoSize];
  info.Encode(record);
  std::memcpy(out, record, sizeof record);
  transferred = kDriverInfoSize;
  return 0;
}

Status LibusbHandle::GetDescriptor(const std::uint8_t* in, std::uint32_t inLength, void* out, std::uint32_t outCapacity,
                                   std::uint32_t& transferred) {
  if (in == nullptr || inLength < kDescriptorRequestSize) return kErrorInvalidParameter;
  if (out == nullptr) outCapacity = 0;
  const DescriptorRequest request = DescriptorRequest::Decode(in);
  if (request.Recipient == 0 && request.Type == LIBUSB_DT_DEVICE && request.Index == 0) {
    // The kernel keeps the device descriptor; asking the device again tells nothing new.
    transferred = std::min<std::uint32_t>(outCapacity, static_cast<std::uint32_t>(device_->descriptor.size()));
    std::memcpy(out, device_->descriptor.data(), transferred);
    return 0;
  }
  if (request.Recipient > LIBUSB_RECIPIENT_OTHER) return kErrorInvalidParameter;
  const auto length = static_cast<std::uint16_t>(std::min<std::uint32_t>(outCapacity, 0xFFFF));
  const int r = libusb_control_transfer(
      device_->handle,
      static_cast<std::uint8_t>(int{LIBUSB_ENDPOINT_IN} | int{LIBUSB_REQUEST_TYPE_STANDARD} | int(request.Recipient)),
      LIBUSB_REQUEST_GET_DESCRIPTOR, static_cast<std::uint16_t>((request.Type << 8) | request.Index),
      request.LanguageId, static_cast<unsigned char*>(out), length, kControlTimeoutMs);
  if (r < 0) return Failed(r);
  transferred = static_cast<std::uint32_t>(r);
  return 0;
}

// An interface with the given alternate setting in `config`, or nullptr.
const libusb_interface_descriptor* FindSetting(const libusb_config_descriptor& config, std::uint16_t number,
                                               std::uint16_t alternate) {
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = interface.altsetting[a];
      if (setting.bInterfaceNumber == number && setting.bAlternateSetting == alternate) return &setting;
    }
  }
  return nullptr;
}

struct ConfigDescriptor {
  libusb_config_descriptor* config = nullptr;
  ConfigDescriptor() = default;
  ConfigDescriptor(const ConfigDescriptor&) = delete;
  ConfigDescriptor& operator=(const ConfigDescriptor&) = delete;
  ~ConfigDescriptor() {
    if (config != nullptr) libusb_free_config_descriptor(config);
  }
};

void LibusbHandle::ReleaseClaims(const ConfigurationRequest* keep) {
  auto& claimed = device_->claimed;
  std::erase_if(claimed, [&](const std::pair<std::uint8_t, std::uint8_t>& claim) {
    if (keep != nullptr) {
      for (std::uint16_t i = 0; i < keep->NbOfInterfaces; ++i) {
        if (keep->Interfaces[i].InterfaceIndex == claim.first) return false;
      }
    }
    libusb_release_interface(device_->handle, claim.first);
    return true;
  });
}

Status LibusbHandle::SetConfiguration(const std::uint8_t* in, std::uint32_t inLength) {
  if (in == nullptr || inLength < kConfigurationRequestSize) return kErrorInvalidParameter;
  const ConfigurationRequest request = ConfigurationRequest::Decode(in);
  if (request.NbOfInterfaces > kMaxInterfaceEntries || request.ConfigurationIndex > 0xFF) {
    return kErrorInvalidParameter;
  }
  ConfigDescriptor wanted;
  if (libusb_get_config_descriptor(device_->device, static_cast<std::uint8_t>(request.ConfigurationIndex),
                                   &wanted.config) != 0) {
    return kErrorInvalidParameter;
  }
  for (std::uint16_t i = 0; i < request.NbOfInterfaces; ++i) {
    const InterfaceEntry& entry = request.Interfaces[i];
    if (entry.InterfaceIndex > 0xFF || entry.AlternateSettingIndex > 0xFF ||
        FindSetting(*wanted.config, entry.InterfaceIndex, entry.AlternateSettingIndex) == nullptr) {
      return kErrorInvalidParameter;
    }
  }

  std::lock_guard lock(access_.mutex);
  libusb_device_handle* handle = device_->handle;
  int current = 0;
  if (const int r = libusb_get_configuration(handle, &current); r != 0) return Failed(r);
  // The kernel configures a device when it appears; selecting the same configuration again would
  // only reset it (and fails while interfaces are claimed).
  if (current != wanted.config->bConfigurationValue) {
    ReleaseClaims(nullptr);
    if (const int r = libusb_set_configuration(handle, wanted.config->bConfigurationValue); r != 0) return Failed(r);
  } else {
    ReleaseClaims(&request);
  }
  for (std::uint16_t i = 0; i < request.NbOfInterfaces; ++i) {
    const auto number = static_cast<std::uint8_t>(request.Interfaces[i].InterfaceIndex);
    const auto alternate = static_cast<std::uint8_t>(request.Interfaces[i].AlternateSettingIndex);
    if (const int r = libusb_claim_interface(handle, number); r != 0) {
      if (r == LIBUSB_ERROR_BUSY) {
        // A kernel driver is never pushed aside: the identifiers served may belong to other devices.
        const bool kernel = libusb_kernel_driver_active(handle, number) == 1;
        access_.NoticeOnce(NoticeKind::InUse, device_->entry,
                           "korvanta: the USB device " + DeviceName(device_->entry) +
                               (kernel ? " is held by a kernel driver; the instrument cannot be used"
                                       : " is in use by another program; close that program to use the "
                                         "instrument here"));
      }
      return Failed(r);
    }
    auto claim = std::find_if(device_->claimed.begin(), device_->claimed.end(),
                              [&](const auto& c) { return c.first == number; });
    if (claim == device_->claimed.end()) claim = device_->claimed.insert(device_->claimed.end(), {number, 0});
    if (const int r = libusb_set_interface_alt_setting(handle, number, alternate); r != 0) return Failed(r);
    claim->second = alternate;
  }
  return 0;
}

Status LibusbHandle::BindPipe(const std::uint8_t* in, std::uint32_t inLength) {
  if (in == nullptr || inLength < 1) return kErrorInvalidParameter;
  const std::uint8_t endpoint = in[0];
  ConfigDescriptor active;
  if (const int r = libusb_get_active_config_descriptor(device_->device, &active.config); r != 0) {
    return r == LIBUSB_ERROR_NOT_FOUND ? kErrorInvalidParameter : Failed(r);
  }
  // Only an endpoint of a claimed interface, in its selected setting, can be bound.
  int type = -1;
  {
    std::lock_guard lock(access_.mutex);
    for (const auto& [number, alternate] : device_->claimed) {
      const libusb_interface_descriptor* setting = FindSetting(*active.config, number, alternate);
      for (int e = 0; setting != nullptr && e < setting->bNumEndpoints; ++e) {
        if (setting->endpoint[e].bEndpointAddress == endpoint) {
          type = setting->endpoint[e].bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
        }
      }
    }
  }
  if (type != LIBUSB_TRANSFER_TYPE_BULK && type != LIBUSB_TRANSFER_TYPE_INTERRUPT) return kErrorInvalidParameter;
  // A halt left over from an earlier session would fail every transfer; other failures of the
  // clearing are of no account, the pipe may well work.
  if (const int r = libusb_clear_halt(device_->handle, endpoint); r == LIBUSB_ERROR_NO_DEVICE) return Failed(r);
  std::lock_guard lock(mutex_);
  endpoint_ = endpoint;
  endpointType_ = static_cast<std::uint8_t>(type);
  return 0;
}

LibusbHandle::Slot* LibusbHandle::FreeSlot() {
  for (const auto& slot : slots_) {
    if (!slot->busy && !slot->cancelling) return slot.get();
  }
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (transfer == nullptr) return nullptr;
  auto slot = std::make_unique<Slot>();
  slot->owner = this;
  slot->transfer = transfer;
  slots_.push_back(std::move(slot));
  return slots_.back().get();
}

Status LibusbHandle::Submit(bool isRead, void* data, std::uint32_t length, Overlapped& ov) {
  if (device_->gone) return kErrorDeviceNotConnected;
  if (length > static_cast<std::uint32_t>(INT_MAX)) return kErrorInvalidParameter;
  std::lock_guard lock(mutex_);
  if (endpoint_ == 0 || ((endpoint_ & LIBUSB_ENDPOINT_IN) != 0) != isRead) return kErrorInvalidParameter;
  Slot* slot = FreeSlot();
  if (slot == nullptr) return kErrorNotEnoughMemory;
  // No libusb time-out: the class library times the wait and cancels.
  if (endpointType_ == LIBUSB_TRANSFER_TYPE_INTERRUPT) {
    libusb_fill_interrupt_transfer(slot->transfer, device_->handle, endpoint_, static_cast<unsigned char*>(data),
                                   static_cast<int>(length), &LibusbHandle::Done, slot, 0);
  } else {
    libusb_fill_bulk_transfer(slot->transfer, device_->handle, endpoint_, static_cast<unsigned char*>(data),
                              static_cast<int>(length), &LibusbHandle::Done, slot, 0);
  }
  slot->ov = &ov;
  slot->thread = std::this_thread::get_id();
  slot->busy = true;
  ++inFlight_;
  ov.event->Reset();
  ov.status.store(kErrorIoPending, std::memory_order_release);
  if (const int r = libusb_submit_transfer(slot->transfer); r != 0) {
    slot->ov = nullptr;
    slot->busy = false;
    --inFlight_;
    const Status status = Failed(r);
    ov.status.store(status, std::memory_order_release);
    return status;
  }
  return kErrorIoPending;
}

void LIBUSB_CALL LibusbHandle::Done(libusb_transfer* transfer) {
  // Runs on the event thread (or inside a libusb call that handles events on another thread).
  auto* slot = static_cast<Slot*>(transfer->user_data);
  LibusbHandle& self = *slot->owner;
  if (transfer->status == LIBUSB_TRANSFER_NO_DEVICE) self.device_->gone = true;
  const int actual = std::max(transfer->actual_length, 0);
  CompleteRequest(*slot->ov, FromTransferStatus(transfer->status), static_cast<std::uint32_t>(actual));
  // The record may be gone from here on; the handle itself waits in its destructor for this.
  std::lock_guard lock(self.mutex_);
  slot->ov = nullptr;
  slot->busy = false;
  --self.inFlight_;
  self.idle_.notify_all();
}

void LibusbHandle::Cancel(bool allThreads) {
  std::vector<Slot*> cancelling;
  {
    std::lock_guard lock(mutex_);
    const auto self = std::this_thread::get_id();
    for (const auto& slot : slots_) {
      if (slot->busy && !slot->cancelling && (allThreads || slot->thread == self)) {
        slot->cancelling = true;
        cancelling.push_back(slot.get());
      }
    }
  }
  // Outside the lock: the callback takes it. A transfer that finished meanwhile answers
  // LIBUSB_ERROR_NOT_FOUND, which is fine; it keeps its result.
  for (Slot* slot : cancelling) libusb_cancel_transfer(slot->transfer);
  std::lock_guard lock(mutex_);
  for (Slot* slot : cancelling) slot->cancelling = false;
}

}  // namespace

// ---- LibusbAccess::Impl --------------------------------------------------------------------

LibusbAccess::Impl::Impl(Options o) : options(std::move(o)) {
  if (!options.serves) {
    options.serves = [](std::uint16_t vendor, std::uint16_t product) {
      DeviceDescriptor d{};
      d[8] = Low(vendor);
      d[9] = High(vendor);
      d[10] = Low(product);
      d[11] = High(product);
      return IsInstrumentDescriptor(d);
    };
  }
  if (!options.notice) {
    options.notice = [](const std::string& line) { TraceWarning(line); };
  }
  if (const int r = libusb_init(&context); r != 0) {
    context = nullptr;
    Notice(std::string("korvanta: USB access is not available (libusb: ") + libusb_error_name(r) +
           "); no instrument can be found");
    return;
  }
  events = std::thread([this] {
    while (!stopping.load()) {
      timeval wait{1, 0};
      const int r = libusb_handle_events_timeout_completed(context, &wait, nullptr);
      // An error that repeats at once (it should not) must not spin a core.
      if (r != 0 && r != LIBUSB_ERROR_INTERRUPTED) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
}

LibusbAccess::Impl::~Impl() {
  if (context == nullptr) return;
  stopping = true;
  libusb_interrupt_event_handler(context);
  events.join();
  libusb_exit(context);
}

void LibusbAccess::Impl::NoticeOnce(NoticeKind kind, const Entry& e, const std::string& line) {
  {
    std::lock_guard lock(noticeMutex);
    if (!noticed.emplace(kind, e.bus, e.address, e.vendor, e.product).second) return;
  }
  Notice(line);
}

std::vector<std::pair<Entry, libusb_device*>> LibusbAccess::Impl::Served(libusb_device** all, ssize_t count) const {
  std::vector<std::pair<Entry, libusb_device*>> served;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor d{};
    // Read from what the system already knows: nothing is opened to look at a device.
    if (libusb_get_device_descriptor(all[i], &d) != 0 || !options.serves(d.idVendor, d.idProduct)) continue;
    served.push_back(
        {{libusb_get_bus_number(all[i]), libusb_get_device_address(all[i]), d.idVendor, d.idProduct}, all[i]});
  }
  std::sort(served.begin(), served.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return served;
}

bool LibusbAccess::Impl::List(std::vector<Entry>& entries) const {
  libusb_device** all = nullptr;
  const ssize_t count = libusb_get_device_list(context, &all);
  if (count < 0) return false;
  for (const auto& served : Served(all, count)) entries.push_back(served.first);
  libusb_free_device_list(all, 1);
  return true;
}

libusb_device* LibusbAccess::Impl::Find(const std::string& path, Entry& entry) const {
  PathTarget target;
  if (!ParsePath(path, target)) return nullptr;
  libusb_device** all = nullptr;
  const ssize_t count = libusb_get_device_list(context, &all);
  if (count < 0) return nullptr;
  const auto served = Served(all, count);
  libusb_device* found = nullptr;
  for (std::size_t i = 0; i < served.size(); ++i) {
    const Entry& e = served[i].first;
    if (target.numbered ? i == target.number : e.bus == target.bus && e.address == target.address) {
      entry = e;
      found = served[i].second;
    }
  }
  if (found != nullptr) libusb_ref_device(found);
  libusb_free_device_list(all, 1);
  return found;
}

void LibusbAccess::Impl::Release(const std::shared_ptr<SharedDevice>& device) {
  std::lock_guard lock(mutex);
  if (--device->users > 0) return;
  for (const auto& claim : device->claimed) libusb_release_interface(device->handle, claim.first);
  device->claimed.clear();
  libusb_close(device->handle);
  devices.erase(device->device);
  libusb_unref_device(device->device);
}

// ---- LibusbAccess --------------------------------------------------------------------------

LibusbAccess::LibusbAccess() : LibusbAccess(Options{}) {}

LibusbAccess::LibusbAccess(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

LibusbAccess::~LibusbAccess() = default;

bool LibusbAccess::Available() const { return impl_->context != nullptr; }

DeviceList* LibusbAccess::MakeDeviceList(const InterfaceClass& cls) {
  if (impl_->context == nullptr) return nullptr;
  auto list = std::make_unique<LibusbDeviceList>();
  if (cls == USBIO_INTERFACE_GUID && !impl_->List(list->entries)) return nullptr;
  return list.release();
}

void LibusbAccess::FreeDeviceList(DeviceList* list) { delete list; }

Status LibusbAccess::EnumInterface(DeviceList* list, const InterfaceClass& cls, int index, std::string& path) {
  const auto* ours = dynamic_cast<LibusbDeviceList*>(list);
  if (ours == nullptr) return kErrorInvalidHandle;
  if (!(cls == USBIO_INTERFACE_GUID) || index < 0 || static_cast<std::size_t>(index) >= ours->entries.size()) {
    return kErrorNoMoreItems;
  }
  path = PathOf(ours->entries[static_cast<std::size_t>(index)]);
  return 0;
}

std::unique_ptr<UsbHandle> LibusbAccess::Open(const std::string& path, Status& error) {
  Impl& access = *impl_;
  Entry entry;
  libusb_device* device = access.context != nullptr ? access.Find(path, entry) : nullptr;
  if (device == nullptr) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  std::shared_ptr<SharedDevice> shared;
  {
    std::lock_guard lock(access.mutex);
    if (const auto it = access.devices.find(device); it != access.devices.end()) {
      libusb_unref_device(device);  // the shared device holds its own reference
      if (it->second->gone) {
        error = kErrorDeviceNotConnected;
        return nullptr;
      }
      shared = it->second;
    } else {
      libusb_device_handle* handle = nullptr;
      if (const int r = libusb_open(device, &handle); r != 0) {
        libusb_unref_device(device);
        if (r == LIBUSB_ERROR_ACCESS) {
          access.NoticeOnce(NoticeKind::AccessDenied, entry,
                            "korvanta: access to the USB device " + DeviceName(entry) +
                                " was denied; install the udev rule " + kUdevRuleFile +
                                " (packaging/udev in the source tree) into " + kUdevRulesDir +
                                "/ and plug the instrument in again");
        }
        error = r == LIBUSB_ERROR_NO_DEVICE || r == LIBUSB_ERROR_NOT_FOUND ? kErrorFileNotFound : FromLibusbError(r);
        return nullptr;
      }
      shared = std::make_shared<SharedDevice>();
      shared->device = device;
      shared->handle = handle;
      shared->entry = entry;
      libusb_device_descriptor d{};
      libusb_get_device_descriptor(device, &d);
      shared->descriptor = RawDescriptor(d);
      access.devices.emplace(device, shared);
    }
    ++shared->users;
  }
  return std::make_unique<LibusbHandle>(access, std::move(shared));
}

}  // namespace usb
