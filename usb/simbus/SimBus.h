// The simulated bus: a complete backend of the USB access layer that hosts virtual devices in
// the process. Each device has its own 18-byte descriptor, an IN endpoint 0x81 and an OUT
// endpoint 0x02, and a pluggable behaviour that answers what is written to it. The virtual
// instrument and the tests plug their devices in here; the class library above cannot tell it
// from a real bus.
//
// Every fault that the instrument connection has to survive can be injected per device: no
// device present, an instance that refuses to open, a failing descriptor read, configuration or
// pipe binding, a wrong driver version, a submission refused at once, short transfers, reads or
// writes that never complete, unplugging and plugging in again.
//
// Timing: a write completes at once (unless it is made to hang). The behaviour's reply becomes
// readable `latency` after the write; with latency 0 it is there before the write returns, so a
// read completes at once, otherwise the read stays pending and a worker thread of the bus
// completes it when the reply is due. A cancelled transfer completes a moment after CancelIo has
// returned, from the worker, as a host controller retires a transfer: a caller that did not wait
// for it would be caught. Destroying a handle completes its transfers before it returns. All
// public functions are thread-safe.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "usb/UsbAccess.h"
#include "usb/UsbIo.h"

namespace usb::simbus {

// A frame on the bus, at most one full-speed bulk packet.
struct Packet {
  std::array<std::uint8_t, 64> bytes{};
  std::uint32_t length = 0;
  static Packet Of(std::span<const std::uint8_t> data);
};

// What a virtual device does with the data written to its OUT endpoint.
class DeviceBehaviour {
 public:
  virtual ~DeviceBehaviour() = default;
  // Called on the writing thread for every write that the device accepts, with no lock of the
  // bus held (so it may call back into the bus, for instance to unplug its device). Returns the
  // reply to make readable on the IN endpoint, or nothing when the device stays silent.
  virtual std::optional<Packet> OnWrite(std::span<const std::uint8_t> request) = 0;
};

// Faults of one device. All off by default.
struct Faults {
  bool refuseOpen = false;  // Open fails with openError
  Status openError = kErrorAccessDenied;
  bool failDescriptor = false;                      // CTL_GET_DESCRIPTOR fails
  bool failConfiguration = false;                   // CTL_SET_CONFIGURATION fails
  std::uint8_t failBindEndpoint = 0;                // CTL_BIND_PIPE for this endpoint fails (0: none)
  std::uint16_t driverVersion = kDriverApiVersion;  // reported by CTL_DRIVER_INFO
  bool refuseSubmit = false;                        // reads and writes are refused at once
  Status submitError = kErrorGenFailure;
  std::uint32_t shortLength = 0;  // transfers move at most this many bytes (0: off)
  bool hangReads = false;         // reads never complete (until cancelled or unplugged)
  bool hangWrites = false;        // writes never complete (until cancelled or unplugged)
};

// Counters of one device, for tests and benchmarks.
struct DeviceStats {
  std::uint32_t opens = 0;
  std::uint32_t writes = 0;     // writes accepted
  std::uint32_t reads = 0;      // reads completed with data
  std::uint32_t cancelled = 0;  // transfers completed by a cancel
  std::uint32_t openHandles = 0;
};

class SimBus final : public UsbAccess {
 public:
  using DeviceId = int;

  SimBus();
  ~SimBus() override;
  SimBus(const SimBus&) = delete;
  SimBus& operator=(const SimBus&) = delete;

  // Adds a device; it is present at once, after the devices already present.
  DeviceId Plug(const DeviceDescriptor& descriptor, std::shared_ptr<DeviceBehaviour> behaviour, Faults faults = {});
  // The device disappears: pending transfers fail, every handle on it is dead for good, and it is
  // no longer listed. Queued replies are lost.
  void Unplug(DeviceId id);
  // The device appears again, at the end of the list, unconfigured; old handles stay dead.
  void Replug(DeviceId id);
  bool IsPresent(DeviceId id) const;

  void SetFaults(DeviceId id, const Faults& faults);
  Faults GetFaults(DeviceId id) const;
  void SetLatency(DeviceId id, std::chrono::microseconds latency);
  DeviceStats Stats(DeviceId id) const;
  // Device lists made and not yet freed.
  int LiveLists() const { return liveLists_.load(); }

  // UsbAccess
  DeviceList* MakeDeviceList(const InterfaceClass& cls) override;
  void FreeDeviceList(DeviceList* list) override;
  Status EnumInterface(DeviceList* list, const InterfaceClass& cls, int index, std::string& path) override;
  std::unique_ptr<UsbHandle> Open(const std::string& path, Status& error) override;

 private:
  class Handle;
  struct Device;
  struct Pending {
    Handle* handle = nullptr;
    Overlapped* ov = nullptr;
    std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    bool isRead = false;
    std::thread::id thread;
  };
  // A reply due on the IN endpoint, or (with `cancelled` set) a cancelled transfer to complete.
  struct Scheduled {
    DeviceId id;
    std::uint32_t generation;
    Packet packet;
    Handle* handle = nullptr;
    Overlapped* cancelled = nullptr;
  };

  Device* Find(DeviceId id) const;  // caller holds mutex_
  static void Complete(Overlapped& ov, Status status, std::uint32_t transferred);
  void FailPending(Device& device, Status status);
  void DeliverReply(Device& device, const Packet& packet);  // caller holds mutex_
  void ServeQueuedReads(Device& device);                    // caller holds mutex_
  void Schedule(std::chrono::steady_clock::time_point due, Scheduled item);
  void WorkerLoop();

  Status Control(Handle& handle, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                 std::uint32_t outCapacity, Overlapped& ov);
  Status Submit(Handle& handle, bool isRead, std::uint8_t* data, std::uint32_t length, Overlapped& ov);
  void Cancel(Handle& handle, bool allThreads);
  void CompleteCancelled(const Scheduled& item);  // caller holds mutex_

  mutable std::mutex mutex_;
  std::map<DeviceId, std::unique_ptr<Device>> devices_;
  std::vector<DeviceId> order_;  // present devices, in listing order
  DeviceId nextId_ = 1;
  std::atomic<int> liveLists_{0};

  std::condition_variable workerWake_;
  std::multimap<std::chrono::steady_clock::time_point, Scheduled> schedule_;
  std::thread worker_;
  bool stopping_ = false;
};

}  // namespace usb::simbus
