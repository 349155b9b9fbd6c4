// The filter-driver channel over the simulated driver: the CPI block and
// stage requests, the CPI arithmetic, the configuration it reads, the
// presence tests and the worker pair.
#include "device/std_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/error_codes.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimProcess;
using sim::SimWorld;

CPI_UNIT Stages(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> st,
                std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> hw) {
  CPI_UNIT u{};
  int i = 0;
  for (const auto& [x, y] : st) u.STCpi[i++] = {1, x, y};
  i = 0;
  for (const auto& [x, y] : hw) u.HWCpi[i++] = {1, x, y};
  return u;
}

TEST(CpiRates, PercentOfTheHardwareCpiTruncated) {
  CPI_UNIT u = Stages({{1200, 1000}, {400, 400}, {1600, 3500}}, {{800, 3000}, {500, 500}, {1500, 3500}});
  ComputeCpiRates(u);
  EXPECT_EQ(u.XYCpiRate[0].X, 150);
  EXPECT_EQ(u.XYCpiRate[0].Y, 33);
  EXPECT_EQ(u.XYCpiRate[1].X, 80);
  EXPECT_EQ(u.XYCpiRate[2].X, 106);
  EXPECT_EQ(u.XYCpiRate[2].Y, 100);
  EXPECT_EQ(u.XYCpiRate[3].X, 0);  // no hardware CPI: no rate
}

TEST(CpiRates, AZeroHardwareAxisGivesNoRateOnEither) {
  CPI_UNIT u = Stages({{800, 800}, {800, 800}}, {{0, 800}, {800, 0}});
  u.XYCpiRate[0] = {5, 5};
  u.XYCpiRate[1] = {5, 5};
  ComputeCpiRates(u);
  EXPECT_EQ(u.XYCpiRate[0].X, 0);
  EXPECT_EQ(u.XYCpiRate[0].Y, 0);
  EXPECT_EQ(u.XYCpiRate[1].X, 0);
  EXPECT_EQ(u.XYCpiRate[1].Y, 0);
}

TEST(CpiRates, ARateBeyondSixteenBitsIsKeptAtItsLargestValue) {
  CPI_UNIT u = Stages({{65535, 0xFFFFFFFFu}}, {{1, 1}});
  ComputeCpiRates(u);
  EXPECT_EQ(u.XYCpiRate[0].X, 32767);
  EXPECT_EQ(u.XYCpiRate[0].Y, 32767);
}

class StdCommand : public ::testing::Test {
 protected:
  TqvSTDCommand& Make(const char* ini = nullptr) {
    if (ini) world.files.PutText(process.ExeFolder() + "config.ini", ini);
    command = std::make_unique<TqvSTDCommand>(process.platform());
    command->OnDataReceived = [this](const std::uint8_t* buffer, std::uint32_t size) {
      answers.emplace_back(buffer, buffer + size);
    };
    return *command;
  }
  std::size_t RequestsWithCode(std::uint32_t code) const {
    std::size_t n = 0;
    for (const auto& r : world.devices.requests) n += r.code == code;
    return n;
  }
  void SetUpWorkers(TqvSTDCommand& c) {
    const std::vector<std::uint8_t> init = {0x3C, 0x5A, 1, 2, 3};
    c.SetDeviceInitData(init, kInit, kRead, 4, 16);
  }

  static constexpr std::uint32_t kInit = 0x80008010;
  static constexpr std::uint32_t kRead = 0x80008014;
  SimWorld world;
  SimProcess process{world};
  std::unique_ptr<TqvSTDCommand> command;
  std::vector<std::vector<std::uint8_t>> answers;
};

TEST_F(StdCommand, TheCpiBlockAndTheStageGoToTheDriverAsTheyLie) {
  auto& c = Make();
  CPI_UNIT u = Stages({{1200, 1200}}, {{800, 800}});
  u.password = 0x5A3C;
  u.CurrentCpi = 3;
  EXPECT_EQ(SendCpiUnit(c, u), kErrorSuccess);
  ASSERT_EQ(world.devices.cpiBlocks.size(), 1u);
  EXPECT_EQ(std::memcmp(world.devices.cpiBlocks[0].data(), &u, sizeof u), 0);
  EXPECT_EQ(world.devices.requests[0].code, 0x80008004u);
  SetCurrentCpi(c, 0x0105);
  EXPECT_EQ(world.devices.stages, (std::vector<std::uint16_t>{0x0105}));
  EXPECT_EQ(world.devices.requests[1].input, (std::vector<std::uint8_t>{0x05, 0x01}));
  EXPECT_EQ(world.devices.OpenControlHandles(), 0u);  // every request opens and closes
}

TEST_F(StdCommand, WithoutTheDriverRequestsReportNotReady) {
  world.devices.driverPresent = false;
  auto& c = Make();
  EXPECT_EQ(SendCpiUnit(c, CPI_UNIT{}), kErrorNotReady);
  EXPECT_FALSE(c.GetIsDeviceExist());
  world.devices.driverPresent = true;
  EXPECT_TRUE(c.GetIsDeviceExist());
  world.devices.failIoctl = 1;
  EXPECT_EQ(SendCpiUnit(c, CPI_UNIT{}), kErrorGenFailure);  // a failed request: its error
  EXPECT_TRUE(world.devices.cpiBlocks.empty());
}

TEST_F(StdCommand, TheDriverDescriptionAndTheControlDevicesName) {
  auto& d = Make().FDriverInfo;
  EXPECT_EQ(d.InfFileName, "usbkvtr00001.inf");
  EXPECT_EQ(d.FileName, "usbkvtr00001.sys");
  EXPECT_EQ(d.ServiceNamex64, "usbkvtr00001");
  EXPECT_EQ(d.WHQL, 0);
  EXPECT_EQ(command->FDevicePath, "\\\\.\\usbkvtr00001");

  auto& other = Make("[DEVICE]\nDeviceName=zrfilter\nWHQL=1\nUpperFilter=0x10\nInfFileName=zr.inf\n");
  EXPECT_EQ(other.FDevicePath, "\\\\.\\zrfilter");
  EXPECT_EQ(other.FDriverInfo.WHQL, 1);
  EXPECT_EQ(other.FDriverInfo.UpperFilter, 16);
  EXPECT_EQ(other.FDriverInfo.InfFileName, "zr.inf");
  EXPECT_EQ(SendCpiUnit(other, CPI_UNIT{}), kErrorNotReady);  // the driver's device has another name
}

TEST_F(StdCommand, DeviceListsAndThePresenceTests) {
  auto& c = Make(
      "[devicelist]\nid1=HID\\ZZZ\nid2=hid\\vid_5a3c&pid_0001&mi_00\nid4=HID\\NEVER\n"
      "[usbdevicelist]\nid1=USB\\VID_5A3C&PID_0001\n");
  EXPECT_EQ(c.GetHIDDeviceList(), (std::vector<std::string>{"HID\\ZZZ", "hid\\vid_5a3c&pid_0001&mi_00"}));
  EXPECT_FALSE(c.IsHIDDeviceExist());
  world.devices.Plug();
  EXPECT_TRUE(c.IsHIDDeviceExist());
  // The lookup left the list sorted, letter case ignored.
  EXPECT_EQ(c.GetHIDDeviceList(), (std::vector<std::string>{"hid\\vid_5a3c&pid_0001&mi_00", "HID\\ZZZ"}));
  EXPECT_TRUE(c.HardwareIdsInConfigUsbList({"X", "usb\\vid_5a3c&pid_0001"}));
  EXPECT_FALSE(c.HardwareIdsInConfigUsbList({"USB\\VID_5A3C"}));
  EXPECT_TRUE(c.ISHIDDeviceExist("hid\\vid_5a3c&pid_0001&mi_01&col01"));
  EXPECT_FALSE(c.ISHIDDeviceExist("HID\\VID_5A3C&PID_0001"));  // a part is not enough
  world.devices.Unplug();
  EXPECT_FALSE(c.ISHIDDeviceExist("hid\\vid_5a3c&pid_0001&mi_01&col01"));
}

TEST_F(StdCommand, WorkersNeedAnInitialisationBlock) {
  auto& c = Make();
  c.StartMonitorDevice();
  EXPECT_FALSE(c.Active());
  c.SetDeviceInitData({}, kInit, kRead, 4, 16);  // size 0: nothing kept
  c.StartMonitorDevice();
  EXPECT_FALSE(c.Active());
  EXPECT_TRUE(world.devices.requests.empty());
  SetUpWorkers(c);
  c.SetDeviceInitData({}, 1, 2, 3, 4);  // keeps the block and codes
  c.StartMonitorDevice();
  EXPECT_TRUE(c.Active());
  ASSERT_EQ(RequestsWithCode(kInit), 1u);
  EXPECT_EQ(world.devices.requests.front().input, (std::vector<std::uint8_t>{0x3C, 0x5A, 1, 2, 3}));
}

TEST_F(StdCommand, WorkersKeepOneReadPendingAndPassEveryAnswerOn) {
  auto& c = Make();
  SetUpWorkers(c);
  c.StartMonitorDevice();
  EXPECT_EQ(world.kernel.LiveThreads(), 2u);
  EXPECT_EQ(world.devices.PendingRequests(), 1u);
  EXPECT_EQ(world.devices.requests.back().input, std::vector<std::uint8_t>(4, 0));
  for (std::uint8_t n = 1; n <= 3; ++n) {
    ASSERT_TRUE(world.devices.AnswerPendingRequest(std::vector<std::uint8_t>(n, n)));
    EXPECT_EQ(world.devices.PendingRequests(), 1u);  // the other worker's read
  }
  EXPECT_EQ(answers, (std::vector<std::vector<std::uint8_t>>{{1}, {2, 2}, {3, 3, 3}}));
  EXPECT_EQ(RequestsWithCode(kRead), 4u);
  // An answer longer than the output buffer is cut to it.
  ASSERT_TRUE(world.devices.AnswerPendingRequest(std::vector<std::uint8_t>(40, 9)));
  EXPECT_EQ(answers.back().size(), 16u);
  // The stop comes from the main thread, which cannot cancel the workers'
  // read: the worker cancels it and has its result before the handle goes.
  c.StopMonitorDevice();
  EXPECT_FALSE(c.Active());
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  EXPECT_EQ(world.devices.PendingRequests(), 0u);
  EXPECT_EQ(world.devices.OpenControlHandles(), 0u);
  EXPECT_EQ(world.devices.requestsAbandoned, 0);
}

TEST_F(StdCommand, StartingAgainRestartsTheWorkersWithAFreshInitialisation) {
  auto& c = Make();
  SetUpWorkers(c);
  c.StartMonitorDevice();
  c.StartMonitorDevice();
  EXPECT_EQ(RequestsWithCode(kInit), 2u);
  EXPECT_EQ(RequestsWithCode(kRead), 2u);  // the first one was cancelled
  EXPECT_EQ(world.devices.PendingRequests(), 1u);
  EXPECT_EQ(world.kernel.LiveThreads(), 2u);
  EXPECT_TRUE(answers.empty());
}

TEST_F(StdCommand, AFailedReadEndsItsWorkerAndTheOtherWaitsUntilTheStop) {
  auto& c = Make();
  SetUpWorkers(c);
  c.StartMonitorDevice();
  // Other failures of a pending read are passed over.
  ASSERT_TRUE(world.devices.FailPendingRequest(kErrorGenFailure));
  EXPECT_EQ(world.devices.PendingRequests(), 1u);
  EXPECT_EQ(world.kernel.LiveThreads(), 2u);
  ASSERT_TRUE(world.devices.FailPendingRequest(kErrorDeviceNotConnected));
  EXPECT_EQ(world.devices.PendingRequests(), 0u);
  EXPECT_EQ(world.kernel.LiveThreads(), 1u);
  EXPECT_TRUE(c.Active());
  c.StopMonitorDevice();
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
}

TEST_F(StdCommand, ARequestTheDriverRefusesAtOnceEndsTheWorker) {
  auto& c = Make();
  SetUpWorkers(c);
  world.devices.failIoctl = 2;  // the initialisation and the first read
  c.StartMonitorDevice();
  EXPECT_EQ(world.kernel.LiveThreads(), 1u);
  EXPECT_EQ(world.devices.PendingRequests(), 0u);
  c.StopMonitorDevice();
}

TEST_F(StdCommand, TheStartTimerStartsTheWorkersAboutThreeSecondsAfterCreation) {
  auto& c = Make();
  SetUpWorkers(c);
  world.AdvanceBy(2999);
  EXPECT_EQ(RequestsWithCode(kInit), 0u);
  world.AdvanceBy(1);
  EXPECT_EQ(RequestsWithCode(kInit), 1u);
  EXPECT_TRUE(c.Active());
}

TEST_F(StdCommand, ARemovalStopsTheWorkersAndTheyStartAgain1500msLater) {
  world.devices.Plug();
  auto& c = Make();
  SetUpWorkers(c);
  world.AdvanceBy(3000);  // started by the start timer
  ASSERT_EQ(world.kernel.LiveThreads(), 2u);
  world.devices.SetInterfacePresent(sim::kSimMouseInterface, false);
  world.RunPending();
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  EXPECT_EQ(world.devices.PendingRequests(), 0u);
  EXPECT_EQ(world.devices.OpenControlHandles(), 0u);
  world.AdvanceBy(1500);
  EXPECT_EQ(RequestsWithCode(kInit), 2u);
  EXPECT_EQ(world.devices.PendingRequests(), 1u);
  EXPECT_EQ(world.kernel.LiveThreads(), 2u);
}

TEST_F(StdCommand, DestructionEndsTheWorkers) {
  auto& c = Make();
  SetUpWorkers(c);
  c.StartMonitorDevice();
  const auto before = world.Now();
  command.reset();
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  EXPECT_EQ(world.devices.OpenControlHandles(), 0u);
  EXPECT_EQ(world.devices.requestsAbandoned, 0);
  EXPECT_EQ(world.Now() - before, 200u);
}

}  // namespace
}  // namespace zr
