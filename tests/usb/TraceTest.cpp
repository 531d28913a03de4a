#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/usb/SimDevices.h"
#include "usb/InstrumentLink.h"
#include "usb/Trace.h"

namespace {

using namespace usb;
using testing_support::InstrumentDescriptor;
using testing_support::ScriptedDevice;

TEST(Trace, EveryStatusHasItsName) {
  const std::pair<Status, const char*> statuses[] = {
      {0, "OK"},
      {UIO_E_NO_MEMORY, "UIO_E_NO_MEMORY"},
      {UIO_E_OPEN_FAILED, "UIO_E_OPEN_FAILED"},
      {UIO_E_NOT_OPEN, "UIO_E_NOT_OPEN"},
      {UIO_E_NO_MORE_INSTANCES, "UIO_E_NO_MORE_INSTANCES"},
      {UIO_E_BAD_ARGUMENT, "UIO_E_BAD_ARGUMENT"},
      {UIO_E_TIMEOUT, "UIO_E_TIMEOUT"},
      {UIO_E_API_VERSION, "UIO_E_API_VERSION"},
      {kErrorFileNotFound, "ERROR_FILE_NOT_FOUND"},
      {kErrorAccessDenied, "ERROR_ACCESS_DENIED"},
      {kErrorInvalidHandle, "ERROR_INVALID_HANDLE"},
      {kErrorNotEnoughMemory, "ERROR_NOT_ENOUGH_MEMORY"},
      {kErrorGenFailure, "ERROR_GEN_FAILURE"},
      {kErrorNotSupported, "ERROR_NOT_SUPPORTED"},
      {kErrorInvalidParameter, "ERROR_INVALID_PARAMETER"},
      {kErrorSemTimeout, "ERROR_SEM_TIMEOUT"},
      {kErrorInsufficientBuffer, "ERROR_INSUFFICIENT_BUFFER"},
      {kErrorBusy, "ERROR_BUSY"},
      {kErrorNoMoreItems, "ERROR_NO_MORE_ITEMS"},
      {kErrorOperationAborted, "ERROR_OPERATION_ABORTED"},
      {kErrorIoIncomplete, "ERROR_IO_INCOMPLETE"},
      {kErrorIoPending, "ERROR_IO_PENDING"},
      {kErrorDeviceNotConnected, "ERROR_DEVICE_NOT_CONNECTED"},
  };
  for (const auto& [status, name] : statuses) EXPECT_EQ(StatusName(status), name);
  EXPECT_EQ(StatusName(0xE0001234), "0xE0001234");
}

std::vector<std::pair<TraceLevel, std::string>>* g_lines = nullptr;
void Collect(TraceLevel level, const std::string& line) { g_lines->emplace_back(level, line); }

struct SinkGuard {
  explicit SinkGuard(std::vector<std::pair<TraceLevel, std::string>>& lines, bool debug) {
    g_lines = &lines;
    SetTraceSink(Collect, debug);
  }
  ~SinkGuard() {
    SetTraceSink(nullptr, false);
    g_lines = nullptr;
  }
};

// What support reads from the field: each exchange's bytes both ways, a failure's status by name,
// and nothing at all (not a byte composed) while debug lines are off.
TEST(Trace, AnExchangeIsOneDebugLineWithItsBytesOnlyWhileSwitchedOn) {
  simbus::SimBus bus;
  auto device = std::make_shared<ScriptedDevice>();
  bus.Plug(InstrumentDescriptor(), device);
  InstrumentLink link(bus);
  link.TimeoutMs = 50;
  std::vector<std::pair<TraceLevel, std::string>> lines;
  {
    SinkGuard off(lines, false);
    ASSERT_TRUE(link.OpenInstrument());
    link.TxBuf = {0x5A, 0, 0, 3, 4, 5, 6, 0xFF};
    ASSERT_TRUE(link.Transact());
    TraceWarning("a warning still gets through");
  }
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, TraceLevel::Warning);

  lines.clear();
  SinkGuard on(lines, true);
  link.TxBuf = {0x5A, 0, 0, 3, 4, 5, 6, 0xFF};
  ASSERT_TRUE(link.Transact());
  device->SetReply([](auto) { return std::nullopt; });
  link.TxBuf = {0x55, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(link.Transact());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].first, TraceLevel::Debug);
  EXPECT_EQ(lines[0].second.rfind("exchange 5A 00 00 03 04 05 06 FF -> A5 00 00 03 04 05 06 FF OK ", 0), 0u)
      << lines[0].second;
  EXPECT_EQ(lines[1].second.rfind("exchange 55 01 00 00 00 00 00 00 read UIO_E_TIMEOUT ", 0), 0u) << lines[1].second;
  EXPECT_NE(lines[1].second.find(" ms"), std::string::npos);
}

}  // namespace
