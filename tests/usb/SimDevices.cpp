#include "tests/usb/SimDevices.h"

namespace testing_support {

usb::DeviceDescriptor Descriptor(std::uint16_t vendor, std::uint16_t product) {
  return {18,
          0x01,
          0x10,
          0x01,
          0xFF,
          0x00,
          0x00,
          64,
          static_cast<std::uint8_t>(vendor),
          static_cast<std::uint8_t>(vendor >> 8),
          static_cast<std::uint8_t>(product),
          static_cast<std::uint8_t>(product >> 8),
          0x00,
          0x01,
          1,
          2,
          3,
          1};
}

ScriptedDevice::ScriptedDevice(Reply reply) : reply_(std::move(reply)) {}

std::optional<usb::simbus::Packet> ScriptedDevice::OnWrite(std::span<const std::uint8_t> request) {
  Reply reply;
  {
    std::lock_guard lock(mutex_);
    requests_.emplace_back(request.begin(), request.end());
    reply = reply_;
  }
  if (reply) return reply(request);
  usb::simbus::Packet echo = usb::simbus::Packet::Of(request);
  echo.bytes[0] = static_cast<std::uint8_t>(~echo.bytes[0]);
  return echo;
}

void ScriptedDevice::SetReply(Reply reply) {
  std::lock_guard lock(mutex_);
  reply_ = std::move(reply);
}

std::vector<std::vector<std::uint8_t>> ScriptedDevice::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace testing_support
