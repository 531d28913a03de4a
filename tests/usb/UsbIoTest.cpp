#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "tests/usb/SimDevices.h"
#include "usb/UsbIo.h"

namespace {

using namespace usb;
using simbus::Faults;
using simbus::SimBus;
using testing_support::Descriptor;
using testing_support::InstrumentDescriptor;
using testing_support::ScriptedDevice;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Exposes the control lock for the tests that watch it.
class WatchedUsbIo : public CUsbIo {
 public:
  using CUsbIo::CUsbIo;
  std::mutex& Lock() { return ControlLock; }
};

// A pipe pair opened and bound on the first instance, as the connection does it.
struct BoundPipes {
  explicit BoundPipes(SimBus& bus) : device(bus), in(bus), out(bus) {
    DeviceList* list = CUsbIo::MakeDeviceList(bus, USBIO_INTERFACE_GUID);
    EXPECT_EQ(device.OpenInstance(0, list, &USBIO_INTERFACE_GUID), 0u);
    ConfigurationRequest configuration;
    configuration.NbOfInterfaces = 1;
    configuration.Interfaces[0].MaximumTransferSize = 8;
    EXPECT_EQ(device.SelectConfiguration(configuration), 0u);
    EXPECT_EQ(in.BindEndpoint(0, 0x81, list, &USBIO_INTERFACE_GUID), 0u);
    EXPECT_EQ(out.BindEndpoint(0, 0x02, list, &USBIO_INTERFACE_GUID), 0u);
    CUsbIo::FreeDeviceList(bus, list);
  }
  CUsbIo device;
  CUsbIoPipe in;
  CUsbIoPipe out;
};

TEST(UsbLayouts, RequestsAreLittleEndianWithTheirExactSizes) {
  std::uint8_t descriptor[kDescriptorRequestSize];
  DescriptorRequest{0x01020304, 1, 2, 0x0409}.Encode(descriptor);
  EXPECT_EQ(std::vector<std::uint8_t>(descriptor, descriptor + 8),
            (std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01, 0x01, 0x02, 0x09, 0x04}));

  ConfigurationRequest configuration;
  configuration.ConfigurationIndex = 0x0102;
  configuration.NbOfInterfaces = 1;
  configuration.Interfaces[0] = {0x0003, 0x0004, 0x05060708};
  configuration.Interfaces[31] = {0xAAAA, 0xBBBB, 0xCCCCDDDD};
  std::uint8_t bytes[kConfigurationRequestSize];
  configuration.Encode(bytes);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 12),
            (std::vector<std::uint8_t>{0x02, 0x01, 0x01, 0x00, 0x03, 0x00, 0x04, 0x00, 0x08, 0x07, 0x06, 0x05}));
  EXPECT_EQ(bytes[259], 0xCC);
  EXPECT_EQ(ConfigurationRequest::Decode(bytes).Interfaces[31].MaximumTransferSize, 0xCCCCDDDDu);

  const std::uint8_t record[kDriverInfoSize] = {0x41, 0x01, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(DriverInfo::Decode(record).APIVersion, 0x0141);
}

TEST(UsbIo, OpeningAnOpenObjectKeepsItsInstance) {
  SimBus bus;
  bus.Plug(Descriptor(1, 1), std::make_shared<ScriptedDevice>());
  bus.Plug(Descriptor(2, 2), std::make_shared<ScriptedDevice>());
  DeviceList* list = CUsbIo::MakeDeviceList(bus, USBIO_INTERFACE_GUID);
  CUsbIo device(bus);
  ASSERT_EQ(device.OpenInstance(0, list, &USBIO_INTERFACE_GUID), 0u);
  EXPECT_EQ(device.OpenInstance(1, list, &USBIO_INTERFACE_GUID), 0u);
  DeviceDescriptor d{};
  ASSERT_EQ(device.ReadDeviceDescriptor(d), 0u);
  EXPECT_EQ(d[8], 1);  // still the first device
  CUsbIo::FreeDeviceList(bus, list);
}

TEST(UsbIo, FailedOpensLeaveTheObjectClosed) {
  SimBus bus;
  Faults refusing;
  refusing.refuseOpen = true;
  const auto first = bus.Plug(Descriptor(1, 1), std::make_shared<ScriptedDevice>(), refusing);
  Faults oldDriver;
  oldDriver.driverVersion = 0x0140;
  const auto second = bus.Plug(Descriptor(2, 2), std::make_shared<ScriptedDevice>(), oldDriver);
  DeviceList* list = CUsbIo::MakeDeviceList(bus, USBIO_INTERFACE_GUID);
  CUsbIo device(bus);

  EXPECT_EQ(device.OpenInstance(0, list, &USBIO_INTERFACE_GUID), UIO_E_OPEN_FAILED);
  EXPECT_FALSE(device.IsOpen());
  ASSERT_NE(device.DevicePath(), nullptr);  // the detail stays until the next open or close
  const std::string path = *device.DevicePath();

  // A list without an interface class: refused, the detail untouched.
  EXPECT_EQ(device.OpenInstance(0, list, nullptr), UIO_E_BAD_ARGUMENT);
  ASSERT_NE(device.DevicePath(), nullptr);
  EXPECT_EQ(*device.DevicePath(), path);

  EXPECT_EQ(device.OpenInstance(1, list, &USBIO_INTERFACE_GUID), UIO_E_API_VERSION);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(bus.Stats(second).openHandles, 0u);

  EXPECT_EQ(device.OpenInstance(2, list, &USBIO_INTERFACE_GUID), UIO_E_NO_MORE_INSTANCES);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(bus.Stats(first).opens, 0u);

  device.CloseInstance();
  device.CloseInstance();  // harmless when closed
  EXPECT_EQ(device.DevicePath(), nullptr);
  CUsbIo::FreeDeviceList(bus, list);

  // Without a list the numbered path names the instance.
  CUsbIo numbered(bus);
  bus.SetFaults(first, {});
  EXPECT_EQ(numbered.OpenInstance(0, nullptr, nullptr), 0u);
  EXPECT_EQ(numbered.OpenInstance(0, nullptr, nullptr), 0u);
}

TEST(UsbIo, ControlRequestsOnAClosedObjectFailWithoutTheLock) {
  SimBus bus;
  bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>());
  WatchedUsbIo device(bus);
  std::uint32_t count = 77;
  std::unique_lock held(device.Lock());
  auto closed = std::async(std::launch::async,
                           [&] { return device.ControlRequest(CTL_DRIVER_INFO, nullptr, 0, nullptr, 0, &count); });
  ASSERT_EQ(closed.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(closed.get(), UIO_E_NOT_OPEN);
  EXPECT_EQ(count, 77u);  // the byte count is not touched
  held.unlock();

  // An open object holds the lock for the whole request.
  ASSERT_EQ(device.OpenInstance(0, nullptr, nullptr), 0u);
  held.lock();
  DeviceDescriptor d{};
  auto open = std::async(std::launch::async, [&] { return device.ReadDeviceDescriptor(d); });
  EXPECT_EQ(open.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  held.unlock();
  EXPECT_EQ(open.get(), 0u);
  EXPECT_EQ(d, InstrumentDescriptor());
}

TEST(UsbIo, DescriptorLengthReportsWhatTheDriverDelivered) {
  SimBus bus;
  bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>());
  CUsbIo device(bus);
  ASSERT_EQ(device.OpenInstance(0, nullptr, nullptr), 0u);
  std::uint8_t buffer[64] = {};
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(device.ReadDescriptor(buffer, length, 0, 1, 0, 0), 0u);
  EXPECT_EQ(length, 18u);
  length = 8;
  EXPECT_EQ(device.ReadDescriptor(buffer, length, 0, 1, 0, 0), 0u);
  EXPECT_EQ(length, 8u);
}

TEST(UsbPipe, ExchangesWithAndWithoutLatency) {
  for (const auto latency : {std::chrono::microseconds(0), std::chrono::microseconds(20000)}) {
    SimBus bus;
    const auto id = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>());
    bus.SetLatency(id, latency);
    BoundPipes pipes(bus);
    std::uint8_t frame[8] = {0x5A, 1, 2, 3, 4, 5, 6, 7};
    std::uint32_t length = 8;
    // From before the write: the reply is due `latency` after the device took the request.
    const auto start = Clock::now();
    EXPECT_EQ(pipes.out.WriteWithTimeout(frame, length, 1000), 0u);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(pipes.in.ReadWithTimeout(frame, length, 1000), 0u);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(frame[0], 0xA5);
    EXPECT_EQ(frame[7], 7);
    if (latency.count() > 0) {
      EXPECT_GE(MsSince(start), 15);
    }
  }
}

TEST(UsbPipe, ASilentReadTimesOutOnlyAfterTheCancelledReadFinished) {
  SimBus bus;
  auto device = std::make_shared<ScriptedDevice>([](auto) { return std::nullopt; });
  const auto id = bus.Plug(InstrumentDescriptor(), device);
  BoundPipes pipes(bus);
  std::uint8_t frame[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::uint32_t length = 8;
  ASSERT_EQ(pipes.out.WriteWithTimeout(frame, length, 1000), 0u);
  const auto start = Clock::now();
  length = 8;
  EXPECT_EQ(pipes.in.ReadWithTimeout(frame, length, 150), UIO_E_TIMEOUT);
  EXPECT_GE(MsSince(start), 150);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(bus.Stats(id).cancelled, 1u);

  // The next reply goes to the next read, not to the one that timed out.
  device->SetReply({});
  length = 8;
  ASSERT_EQ(pipes.out.WriteWithTimeout(frame, length, 1000), 0u);
  std::uint8_t reply[8] = {};
  length = 8;
  EXPECT_EQ(pipes.in.ReadWithTimeout(reply, length, 1000), 0u);
  EXPECT_EQ(reply[0], static_cast<std::uint8_t>(~1));
}

// A time-out cancels the requests of the thread that timed out, and only those: a read another
// thread has pending on the same pipe still gets the next reply.
TEST(UsbPipe, ATimeOutCancelsOnlyTheCallingThreadsRequests) {
  SimBus bus;
  auto device = std::make_shared<ScriptedDevice>([](auto) { return std::nullopt; });
  const auto id = bus.Plug(InstrumentDescriptor(), device);
  BoundPipes pipes(bus);

  std::uint8_t otherData[8] = {};
  CUsbIoBuf other(otherData, sizeof otherData);
  other.RequestLength = 8;
  std::promise<void> started;
  auto otherResult = std::async(std::launch::async, [&] {
    pipes.in.StartRead(other);
    started.set_value();
    return pipes.in.AwaitBuffer(other, 5000);
  });
  started.get_future().wait();

  std::uint8_t frame[8] = {};
  std::uint32_t length = 8;
  EXPECT_EQ(pipes.in.ReadWithTimeout(frame, length, 50), UIO_E_TIMEOUT);
  EXPECT_EQ(bus.Stats(id).cancelled, 1u);

  device->SetReply({});
  std::uint8_t request[8] = {0x5A};
  length = 8;
  ASSERT_EQ(pipes.out.WriteWithTimeout(request, length, 1000), 0u);
  EXPECT_EQ(otherResult.get(), 0u);
  EXPECT_EQ(other.DoneLength, 8u);
  EXPECT_EQ(otherData[0], 0xA5);
}

TEST(UsbPipe, AHangingWriteIsCancelledAtItsTimeOut) {
  SimBus bus;
  Faults hanging;
  hanging.hangWrites = true;
  const auto id = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>(), hanging);
  BoundPipes pipes(bus);
  std::uint8_t frame[8] = {};
  std::uint32_t length = 8;
  const auto start = Clock::now();
  EXPECT_EQ(pipes.out.WriteWithTimeout(frame, length, 100), UIO_E_TIMEOUT);
  EXPECT_GE(MsSince(start), 100);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(bus.Stats(id).cancelled, 1u);
}

TEST(UsbPipe, RefusedShortAndUnopenedTransfersReturnAtOnce) {
  SimBus bus;
  const auto id = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>());
  BoundPipes pipes(bus);
  std::uint8_t frame[8] = {};
  std::uint32_t length = 8;

  Faults refused;
  refused.refuseSubmit = true;
  refused.submitError = kErrorGenFailure;
  bus.SetFaults(id, refused);
  auto start = Clock::now();
  EXPECT_EQ(pipes.out.WriteWithTimeout(frame, length, 5000), kErrorGenFailure);
  EXPECT_EQ(pipes.in.ReadWithTimeout(frame, length, 5000), kErrorGenFailure);
  EXPECT_LT(MsSince(start), 1000);

  Faults shortened;
  shortened.shortLength = 5;
  bus.SetFaults(id, shortened);
  length = 8;
  EXPECT_EQ(pipes.out.WriteWithTimeout(frame, length, 1000), 0u);
  EXPECT_EQ(length, 5u);
  length = 8;
  EXPECT_EQ(pipes.in.ReadWithTimeout(frame, length, 1000), 0u);
  EXPECT_EQ(length, 5u);  // judging the count is the caller's business

  CUsbIoPipe closed(bus);
  start = Clock::now();
  length = 8;
  EXPECT_EQ(closed.ReadWithTimeout(frame, length, 5000), kErrorInvalidHandle);
  EXPECT_EQ(closed.WriteWithTimeout(frame, length, 5000), kErrorInvalidHandle);
  EXPECT_LT(MsSince(start), 1000);

  // The wrong direction on a bound pipe is refused too.
  length = 8;
  EXPECT_EQ(pipes.in.WriteWithTimeout(frame, length, 5000), kErrorInvalidParameter);
}

TEST(UsbPipe, UnpluggingFailsAPendingReadAtOnceAndEveryLaterTransfer) {
  SimBus bus;
  const auto id = bus.Plug(InstrumentDescriptor(), std::make_shared<ScriptedDevice>([](auto) { return std::nullopt; }));
  BoundPipes pipes(bus);
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bus.Unplug(id);
  });
  std::uint8_t frame[8] = {};
  std::uint32_t length = 8;
  const auto start = Clock::now();
  EXPECT_EQ(pipes.in.ReadWithTimeout(frame, length, 5000), kErrorDeviceNotConnected);
  EXPECT_LT(MsSince(start), 2000);
  unplug.join();
  EXPECT_EQ(pipes.out.WriteWithTimeout(frame, length, 5000), kErrorDeviceNotConnected);
  DeviceDescriptor d{};
  EXPECT_EQ(pipes.device.ReadDeviceDescriptor(d), kErrorDeviceNotConnected);
  EXPECT_TRUE(pipes.device.IsOpen());  // a failing request leaves the object open

  // After a re-plug the old handles stay dead; new ones work.
  bus.Replug(id);
  length = 8;
  EXPECT_EQ(pipes.out.WriteWithTimeout(frame, length, 1000), kErrorDeviceNotConnected);
  BoundPipes fresh(bus);
  length = 8;
  EXPECT_EQ(fresh.out.WriteWithTimeout(frame, length, 1000), 0u);
}

}  // namespace
