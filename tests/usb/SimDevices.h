// Virtual devices for the USB tests.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "usb/simbus/SimBus.h"

namespace testing_support {

// An 18-byte device descriptor with the given identifiers.
usb::DeviceDescriptor Descriptor(std::uint16_t vendor, std::uint16_t product);
inline usb::DeviceDescriptor InstrumentDescriptor() { return Descriptor(0x0C70, 0xF0D1); }

// Answers every write with a scripted reply (by default the request with its first byte
// inverted) and records what was written. A reply function returning nothing keeps it silent.
class ScriptedDevice : public usb::simbus::DeviceBehaviour {
 public:
  using Reply = std::function<std::optional<usb::simbus::Packet>(std::span<const std::uint8_t>)>;
  explicit ScriptedDevice(Reply reply = {});
  std::optional<usb::simbus::Packet> OnWrite(std::span<const std::uint8_t> request) override;

  void SetReply(Reply reply);
  std::vector<std::vector<std::uint8_t>> Requests() const;

 private:
  mutable std::mutex mutex_;
  Reply reply_;
  std::vector<std::vector<std::uint8_t>> requests_;
};

}  // namespace testing_support
