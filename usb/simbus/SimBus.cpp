#include "usb/simbus/SimBus.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace usb::simbus {
namespace {

constexpr std::uint8_t kInEndpoint = 0x81;
constexpr std::uint8_t kOutEndpoint = 0x02;
constexpr std::size_t kReplyQueueSize = 16;
constexpr const char* kPathPrefix = "sim:";
// How long after CancelIo a cancelled transfer completes.
constexpr std::chrono::milliseconds kCancelCompletion{2};

class SimDeviceList final : public DeviceList {
 public:
  std::vector<SimBus::DeviceId> ids;
};

}  // namespace

Packet Packet::Of(std::span<const std::uint8_t> data) {
  Packet p;
  p.length = static_cast<std::uint32_t>(std::min(data.size(), p.bytes.size()));
  std::memcpy(p.bytes.data(), data.data(), p.length);
  return p;
}

struct SimBus::Device {
  DeviceId id = 0;
  DeviceDescriptor descriptor{};
  std::shared_ptr<DeviceBehaviour> behaviour;
  Faults faults;
  std::chrono::microseconds latency{0};
  bool present = true;
  std::uint32_t generation = 0;
  bool configured = false;
  std::array<Packet, kReplyQueueSize> replies{};
  std::size_t replyHead = 0;
  std::size_t replyCount = 0;
  std::vector<Pending> pending;
  DeviceStats stats;
};

class SimBus::Handle final : public UsbHandle {
 public:
  Handle(SimBus& bus, DeviceId id, std::uint32_t generation) : bus_(bus), id_(id), generation_(generation) {}
  ~Handle() override {
    bus_.Cancel(*this, true);
    std::lock_guard lock(bus_.mutex_);
    if (Device* device = bus_.Find(id_)) --device->stats.openHandles;
  }

  Status DeviceControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out, std::uint32_t outCapacity,
                       Overlapped& ov) override {
    return bus_.Control(*this, code, in, inLength, out, outCapacity, ov);
  }
  Status Read(void* data, std::uint32_t length, Overlapped& ov) override {
    return bus_.Submit(*this, true, static_cast<std::uint8_t*>(data), length, ov);
  }
  Status Write(const void* data, std::uint32_t length, Overlapped& ov) override {
    // A write only reads from the caller's memory.
    return bus_.Submit(*this, false, static_cast<std::uint8_t*>(const_cast<void*>(data)), length, ov);
  }
  void CancelIo() override { bus_.Cancel(*this, false); }

  SimBus& bus_;
  const DeviceId id_;
  const std::uint32_t generation_;
  std::uint8_t endpoint_ = 0;
};

SimBus::SimBus() = default;

SimBus::~SimBus() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workerWake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

SimBus::DeviceId SimBus::Plug(const DeviceDescriptor& descriptor, std::shared_ptr<DeviceBehaviour> behaviour,
                              Faults faults) {
  auto device = std::make_unique<Device>();
  device->descriptor = descriptor;
  device->behaviour = std::move(behaviour);
  device->faults = faults;
  device->pending.reserve(8);
  std::lock_guard lock(mutex_);
  device->id = nextId_++;
  const DeviceId id = device->id;
  devices_.emplace(id, std::move(device));
  order_.push_back(id);
  return id;
}

void SimBus::Unplug(DeviceId id) {
  std::lock_guard lock(mutex_);
  Device* device = Find(id);
  if (device == nullptr || !device->present) return;
  device->present = false;
  device->configured = false;
  device->replyCount = 0;
  std::erase(order_, id);
  FailPending(*device, kErrorDeviceNotConnected);
}

void SimBus::Replug(DeviceId id) {
  std::lock_guard lock(mutex_);
  Device* device = Find(id);
  if (device == nullptr || device->present) return;
  device->present = true;
  ++device->generation;
  order_.push_back(id);
}

bool SimBus::IsPresent(DeviceId id) const {
  std::lock_guard lock(mutex_);
  const Device* device = Find(id);
  return device != nullptr && device->present;
}

void SimBus::SetFaults(DeviceId id, const Faults& faults) {
  std::lock_guard lock(mutex_);
  if (Device* device = Find(id)) {
    device->faults = faults;
    if (!faults.hangReads) ServeQueuedReads(*device);
  }
}

Faults SimBus::GetFaults(DeviceId id) const {
  std::lock_guard lock(mutex_);
  const Device* device = Find(id);
  return device != nullptr ? device->faults : Faults{};
}

void SimBus::SetLatency(DeviceId id, std::chrono::microseconds latency) {
  std::lock_guard lock(mutex_);
  if (Device* device = Find(id)) device->latency = latency;
}

DeviceStats SimBus::Stats(DeviceId id) const {
  std::lock_guard lock(mutex_);
  const Device* device = Find(id);
  return device != nullptr ? device->stats : DeviceStats{};
}

SimBus::Device* SimBus::Find(DeviceId id) const {
  const auto it = devices_.find(id);
  return it == devices_.end() ? nullptr : it->second.get();
}

void SimBus::Complete(Overlapped& ov, Status status, std::uint32_t transferred) {
  CompleteRequest(ov, status, transferred);
}

void SimBus::FailPending(Device& device, Status status) {
  for (Pending& p : device.pending) Complete(*p.ov, status, 0);
  device.pending.clear();
}

void SimBus::DeliverReply(Device& device, const Packet& packet) {
  if (device.replyCount == kReplyQueueSize) {  // a device buffer that overflows loses the oldest
    device.replyHead = (device.replyHead + 1) % kReplyQueueSize;
    --device.replyCount;
  }
  device.replies[(device.replyHead + device.replyCount) % kReplyQueueSize] = packet;
  ++device.replyCount;
  ServeQueuedReads(device);
}

void SimBus::ServeQueuedReads(Device& device) {
  if (device.faults.hangReads) return;
  auto it = device.pending.begin();
  while (device.replyCount > 0 && it != device.pending.end()) {
    if (!it->isRead) {
      ++it;
      continue;
    }
    const Packet& packet = device.replies[device.replyHead];
    std::uint32_t n = std::min(packet.length, it->length);
    if (device.faults.shortLength != 0) n = std::min(n, device.faults.shortLength);
    std::memcpy(it->data, packet.bytes.data(), n);
    device.replyHead = (device.replyHead + 1) % kReplyQueueSize;
    --device.replyCount;
    ++device.stats.reads;
    Complete(*it->ov, 0, n);
    it = device.pending.erase(it);
  }
}

void SimBus::Schedule(std::chrono::steady_clock::time_point due, Scheduled item) {
  schedule_.emplace(due, item);
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
  workerWake_.notify_all();
}

void SimBus::WorkerLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (schedule_.empty()) {
      workerWake_.wait(lock);
      continue;
    }
    const auto due = schedule_.begin()->first;
    if (std::chrono::steady_clock::now() < due) {
      workerWake_.wait_until(lock, due);
      continue;
    }
    const Scheduled item = schedule_.begin()->second;
    schedule_.erase(schedule_.begin());
    if (item.cancelled != nullptr) {
      CompleteCancelled(item);
      continue;
    }
    Device* device = Find(item.id);
    if (device != nullptr && device->present && device->generation == item.generation) {
      DeliverReply(*device, item.packet);
    }
  }
}

Status SimBus::Control(Handle& handle, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                       std::uint32_t outCapacity, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  Device* device = Find(handle.id_);
  if (device == nullptr || !device->present || device->generation != handle.generation_) {
    return kErrorDeviceNotConnected;
  }
  const auto* input = static_cast<const std::uint8_t*>(in);
  std::uint32_t transferred = 0;
  switch (code) {
    case CTL_DRIVER_INFO: {
      if (outCapacity < kDriverInfoSize) return kErrorInsufficientBuffer;
      std::uint8_t record[kDriverInfoSize] = {};
      DriverInfo info;
      info.APIVersion = device->faults.driverVersion;
      info.Encode(record);
      std::memcpy(out, record, sizeof record);
      transferred = kDriverInfoSize;
      break;
    }
    case CTL_GET_DESCRIPTOR: {
      if (inLength < kDescriptorRequestSize) return kErrorInvalidParameter;
      if (device->faults.failDescriptor) return kErrorGenFailure;
      const DescriptorRequest request = DescriptorRequest::Decode(input);
      if (request.Recipient != 0 || request.Type != 1) return kErrorInvalidParameter;
      transferred = std::min<std::uint32_t>(outCapacity, static_cast<std::uint32_t>(device->descriptor.size()));
      std::memcpy(out, device->descriptor.data(), transferred);
      break;
    }
    case CTL_SET_CONFIGURATION: {
      if (inLength < kConfigurationRequestSize) return kErrorInvalidParameter;
      if (device->faults.failConfiguration) return kErrorGenFailure;
      const ConfigurationRequest request = ConfigurationRequest::Decode(input);
      if (request.ConfigurationIndex != 0 || request.NbOfInterfaces != 1 || request.Interfaces[0].InterfaceIndex != 0) {
        return kErrorInvalidParameter;
      }
      device->configured = true;
      break;
    }
    case CTL_BIND_PIPE: {
      if (inLength < 1) return kErrorInvalidParameter;
      const std::uint8_t endpoint = input[0];
      if (!device->configured || (endpoint != kInEndpoint && endpoint != kOutEndpoint)) return kErrorInvalidParameter;
      if (device->faults.failBindEndpoint == endpoint) return kErrorGenFailure;
      handle.endpoint_ = endpoint;
      break;
    }
    default:
      return kErrorInvalidParameter;
  }
  Complete(ov, 0, transferred);
  return 0;
}

Status SimBus::Submit(Handle& handle, bool isRead, std::uint8_t* data, std::uint32_t length, Overlapped& ov) {
  std::unique_lock lock(mutex_);
  Device* device = Find(handle.id_);
  if (device == nullptr || !device->present || device->generation != handle.generation_) {
    return kErrorDeviceNotConnected;
  }
  if (handle.endpoint_ != (isRead ? kInEndpoint : kOutEndpoint)) return kErrorInvalidParameter;
  if (device->faults.refuseSubmit) return device->faults.submitError;

  ov.event->Reset();
  ov.status.store(kErrorIoPending, std::memory_order_release);
  const Pending pending{&handle, &ov, data, length, isRead, std::this_thread::get_id()};

  if (isRead) {
    device->pending.push_back(pending);
    ServeQueuedReads(*device);
    if (ov.status.load(std::memory_order_acquire) == kErrorIoPending) return kErrorIoPending;
    ov.event->Reset();  // completed at once; the caller reads the record, not the event
    return 0;
  }

  if (device->faults.hangWrites) {
    device->pending.push_back(pending);
    return kErrorIoPending;
  }
  std::uint32_t n = length;
  if (device->faults.shortLength != 0) n = std::min(n, device->faults.shortLength);
  const Packet request = Packet::Of({data, n});
  ++device->stats.writes;
  const std::shared_ptr<DeviceBehaviour> behaviour = device->behaviour;
  const std::uint32_t generation = device->generation;
  const DeviceId id = device->id;

  lock.unlock();
  const std::optional<Packet> reply =
      behaviour ? behaviour->OnWrite({request.bytes.data(), request.length}) : std::nullopt;
  lock.lock();

  device = Find(id);
  if (!device->present || device->generation != generation) {
    ov.status.store(0, std::memory_order_release);
    return kErrorDeviceNotConnected;
  }
  if (reply) {
    if (device->latency.count() == 0) {
      DeliverReply(*device, *reply);
    } else {
      Schedule(std::chrono::steady_clock::now() + device->latency, {id, generation, *reply});
    }
  }
  ov.transferred.store(n, std::memory_order_release);
  ov.status.store(0, std::memory_order_release);
  return 0;
}

void SimBus::Cancel(Handle& handle, bool allThreads) {
  std::lock_guard lock(mutex_);
  if (allThreads) {
    // The handle goes: what its threads cancelled before completes now.
    for (auto it = schedule_.begin(); it != schedule_.end();) {
      if (it->second.handle != &handle) {
        ++it;
        continue;
      }
      CompleteCancelled(it->second);
      it = schedule_.erase(it);
    }
  }
  Device* device = Find(handle.id_);
  if (device == nullptr) return;
  const auto self = std::this_thread::get_id();
  const auto due = std::chrono::steady_clock::now() + kCancelCompletion;
  std::erase_if(device->pending, [&](const Pending& p) {
    if (p.handle != &handle || (!allThreads && p.thread != self)) return false;
    const Scheduled item{device->id, device->generation, {}, &handle, p.ov};
    if (allThreads) {
      CompleteCancelled(item);
    } else {
      Schedule(due, item);
    }
    return true;
  });
}

void SimBus::CompleteCancelled(const Scheduled& item) {
  Complete(*item.cancelled, kErrorOperationAborted, 0);
  if (Device* device = Find(item.id)) ++device->stats.cancelled;
}

DeviceList* SimBus::MakeDeviceList(const InterfaceClass& cls) {
  auto* list = new SimDeviceList;
  ++liveLists_;
  if (cls == USBIO_INTERFACE_GUID) {
    std::lock_guard lock(mutex_);
    list->ids = order_;
  }
  return list;
}

void SimBus::FreeDeviceList(DeviceList* list) {
  --liveLists_;
  delete list;
}

Status SimBus::EnumInterface(DeviceList* list, const InterfaceClass& cls, int index, std::string& path) {
  const auto* sim = dynamic_cast<SimDeviceList*>(list);
  if (sim == nullptr) return kErrorInvalidHandle;
  if (!(cls == USBIO_INTERFACE_GUID) || index < 0 || static_cast<std::size_t>(index) >= sim->ids.size()) {
    return kErrorNoMoreItems;
  }
  path = kPathPrefix + std::to_string(sim->ids[static_cast<std::size_t>(index)]);
  return 0;
}

std::unique_ptr<UsbHandle> SimBus::Open(const std::string& path, Status& error) {
  std::lock_guard lock(mutex_);
  DeviceId id = 0;
  const std::string numbered = kNumberedDevicePath;
  try {
    if (path.starts_with(kPathPrefix)) {
      id = std::stoi(path.substr(std::strlen(kPathPrefix)));
    } else if (path.starts_with(numbered)) {
      const int n = std::stoi(path.substr(numbered.size()));
      if (n >= 0 && static_cast<std::size_t>(n) < order_.size()) id = order_[static_cast<std::size_t>(n)];
    }
  } catch (const std::exception&) {
    id = 0;
  }
  Device* device = Find(id);
  if (device == nullptr || !device->present) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  if (device->faults.refuseOpen) {
    error = device->faults.openError;
    return nullptr;
  }
  ++device->stats.opens;
  ++device->stats.openHandles;
  return std::make_unique<Handle>(*this, id, device->generation);
}

}  // namespace usb::simbus
