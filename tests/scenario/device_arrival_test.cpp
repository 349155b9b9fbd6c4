// The whole monitor against the simulated mouse and driver: the device check
// and push at start-up and after device changes, the debounce, and the lost
// mouse. What the monitor does is read from the simulation's exchange log,
// each line with the virtual time it was written at.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "common/text.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::kSimMouseInterface;
using sim::kSimVendorInterface;
using sim::SimProcess;
using sim::SimWorld;

const char kVendorId[] = "HID\\VID_5A3C&PID_0001&MI_01&Col01";
const char kMouseId[] = "HID\\VID_5A3C&PID_0001&MI_00";
const char kKeysId[] = "HID\\VID_5A3C&PID_0001&MI_02";

std::string Hex(std::vector<std::uint8_t> bytes, std::size_t length) {
  bytes.resize(length, 0);
  return ToHexLower(bytes);
}

// The block the factory profile gives: levels 400, 800, 1600 and 3500 on the
// sensor steps 500, 750, 1500 and 3500.
CPI_UNIT FactoryBlock(std::uint16_t stage) {
  CPI_UNIT u{};
  u.password = 0x5A3C;
  u.NeedApplyNewCPI = 1;
  u.ReportLength = 8;
  u.X_LowByte = 2;
  u.X_HighByte = 3;
  u.Y_LowByte = 4;
  u.Y_HighByte = 5;
  u.CurrentCpi = stage;
  const std::uint32_t levels[4] = {400, 800, 1600, 3500};
  const std::uint32_t steps[4] = {500, 750, 1500, 3500};
  const std::int16_t rates[4] = {80, 106, 106, 100};
  for (int i = 0; i < 4; ++i) {
    u.STCpi[i] = {1, levels[i], levels[i]};
    u.HWCpi[i] = {1, steps[i], steps[i]};
    u.XYCpiRate[i] = {rates[i], rates[i]};
  }
  return u;
}

std::string CpiLine(const CPI_UNIT& u) {
  std::vector<std::uint8_t> bytes(sizeof u);
  std::memcpy(bytes.data(), &u, sizeof u);
  return "ioctl 80008004 " + ToHexLower(bytes);
}

// A check starts the reader after the 20 ms in which earlier readers stop,
// and then sends the block.
constexpr std::uint64_t kCheckPush = 1500 + 20;

class DeviceArrival : public ::testing::Test {
 protected:
  struct Line {
    std::uint64_t at;
    std::string text;
  };

  void SetUp() override {
    world.devices.keepLog = false;
    world.devices.onLog = [this](const std::string& l) { lines.push_back({world.Now(), l}); };
  }
  void Include(std::vector<std::string> ids) {
    std::string ini = "[IncludeHIDDeviceList]\n";
    for (std::size_t i = 0; i < ids.size(); ++i) ini += "id" + std::to_string(i + 1) + "=" + ids[i] + "\n";
    world.files.PutText(process.ExeFolder() + "config.ini", ini);
  }
  ZEDEZAVadi& Start() {
    program = std::make_unique<MonitorProgram>(process.platform());
    EXPECT_TRUE(program->Start());
    world.RunPending();
    return *program->Form();
  }
  // The times of the lines that begin with `prefix`, written after `after`.
  std::vector<std::uint64_t> Times(const std::string& prefix, std::optional<std::uint64_t> after = {}) const {
    std::vector<std::uint64_t> out;
    for (const Line& l : lines) {
      if ((!after || l.at > *after) && l.text.rfind(prefix, 0) == 0) out.push_back(l.at);
    }
    return out;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Line& l : lines) out.push_back(l.text);
    return out;
  }
  // Another interface of the mouse, a keyboard collection.
  std::size_t AddKeysInterface() {
    sim::SimHidInterfaceSpec keys;
    keys.devicePath = "\\\\?\\hid#vid_5a3c&pid_0001&mi_02#8&3e&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    keys.hardwareIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_02", kKeysId};
    keys.caps = {0x0006, 0x0001, 9, 0, 0};
    world.devices.interfaces.push_back(keys);
    return world.devices.interfaces.size() - 1;
  }

  SimWorld world;
  SimProcess process{world};
  std::vector<Line> lines;
  std::unique_ptr<MonitorProgram> program;
};

TEST_F(DeviceArrival, StartedWithTheMouseInItReadsTheStageAndPushesTheBlock) {
  Include({kVendorId});
  world.devices.SetMemory(0x40, std::vector<std::uint8_t>{1});
  world.devices.SetMemory(0x948, std::vector<std::uint8_t>{0, 2});
  world.devices.Plug();
  lines.clear();
  Start();
  const std::string block = CpiLine(FactoryBlock(2));
  std::vector<std::uint8_t> selector = {2, 3, 0x40, 0, 1, 0, 0xFA, 0xFA};
  std::vector<std::uint8_t> selectorAnswer = selector;
  selectorAnswer.push_back(1);
  std::vector<std::uint8_t> record = {2, 3, 0x48, 0x09, 0x20, 0, 0xFA, 0xFA};
  std::vector<std::uint8_t> recordAnswer = {3, 3, 0x48, 0x09, 0x20, 0, 0xFA, 0xFA, 0, 2};
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "set-feature " + Hex({2, 6, 0, 0}, 16),
                         "set-feature " + Hex(selector, 16),
                         "get-feature 02 " + Hex(selectorAnswer, 16),
                         "set-feature " + Hex(record, 16),
                         "get-feature 03 " + Hex(recordAnswer, 64),
                         "set-feature " + Hex({2, 6, 1, 0}, 16),
                         block,
                         "reader-open " + world.devices.interfaces[kSimVendorInterface].devicePath,
                         block,
                     }));
  EXPECT_EQ(program->Form()->qvHIDData1->RunningReaders(), 1);
  EXPECT_TRUE(world.shell.requests.empty());  // no configuration program during start-up
  // Nothing more comes by itself.
  world.AdvanceBy(10000);
  EXPECT_EQ(lines.size(), 9u);
}

TEST_F(DeviceArrival, StartedWithoutTheMouseTheBlockStillGoesOutWithStageZero) {
  Include({kVendorId});
  auto& form = Start();
  EXPECT_EQ(Texts(), (std::vector<std::string>{CpiLine(FactoryBlock(0))}));
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 0);
}

TEST_F(DeviceArrival, WithoutTheFilterDriverStartUpGoesOn) {
  Include({kVendorId});
  world.devices.driverPresent = false;
  world.devices.Plug();
  auto& form = Start();
  EXPECT_TRUE(Times("ioctl").empty());
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
}

TEST_F(DeviceArrival, AFailingDriverRequestChangesNothingElse) {
  Include({kVendorId});
  world.devices.failIoctl = 1;
  world.devices.Plug();
  auto& form = Start();
  EXPECT_EQ(Times("ioctl").size(), 1u);  // the second push went through
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
}

TEST_F(DeviceArrival, TheMouseVanishingMidReadLeavesStageZero) {
  Include({kVendorId});
  world.devices.SetMemory(0x49, std::vector<std::uint8_t>{3});
  world.devices.Plug();
  world.devices.onLog = [this](const std::string& l) {
    lines.push_back({world.Now(), l});
    if (l == "set-feature " + Hex({2, 3, 0x40, 0, 1, 0, 0xFA, 0xFA}, 16)) world.devices.Unplug();
  };
  auto& form = Start();
  EXPECT_EQ(form.FCPIUNIT.CurrentCpi, 0);
  EXPECT_EQ(Times("ioctl 80008004").size(), 1u);
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 0);
}

TEST_F(DeviceArrival, ThreeArrivals500msApartGiveOneCheck1500msAfterTheThird) {
  Include({kVendorId, kMouseId, kKeysId});
  const std::size_t keys = AddKeysInterface();
  Start();
  const std::uint64_t first = world.Now();
  world.devices.SetInterfacePresent(kSimMouseInterface, true);
  world.AdvanceBy(500);
  world.devices.SetInterfacePresent(keys, true);
  world.AdvanceBy(500);
  world.devices.SetInterfacePresent(kSimVendorInterface, true);
  world.RunPending();
  const std::uint64_t third = world.Now();
  world.AdvanceBy(10000);
  EXPECT_EQ(Times("reader-open", first), (std::vector<std::uint64_t>{third + kCheckPush}));
  EXPECT_EQ(Times("ioctl 80008004", first), (std::vector<std::uint64_t>{third + kCheckPush}));
}

TEST_F(DeviceArrival, TheIncludeListIgnoresLetterCaseButNeedsWholeIds) {
  Include({"hid\\vid_5a3c&pid_0001&mi_01&col01"});
  Start();
  const std::uint64_t plugged = world.Now();
  world.devices.Plug();
  world.AdvanceBy(5000);
  EXPECT_EQ(Times("reader-open"), (std::vector<std::uint64_t>{plugged + kCheckPush}));
  // After start-up a present mouse brings the configuration program up.
  ASSERT_EQ(world.shell.requests.size(), 1u);
  EXPECT_EQ(world.shell.requests[0].file, "zrCfg.exe");
}

TEST_F(DeviceArrival, APlugInWhileTheConfigurationProgramRunsBringsItToTheFront) {
  Include({kVendorId});
  auto& config = world.desktop.AddPeerWindow("TZRCFGMain");
  Start();
  world.devices.Plug();
  world.AdvanceBy(5000);
  EXPECT_EQ(world.desktop.foreground, config.handle);
  EXPECT_TRUE(world.shell.requests.empty());
}

TEST_F(DeviceArrival, AnIdThatMerelyBeginsWithAnEntryIsNotTheMouse) {
  Include({"HID\\VID_5A3C&PID_0001&MI_01"});
  Start();
  world.devices.Plug();
  world.AdvanceBy(5000);
  EXPECT_TRUE(Times("reader-open").empty());
  EXPECT_EQ(Times("ioctl").size(), 1u);  // only the start-up's
}

TEST_F(DeviceArrival, AnEmptyIncludeListNeverStartsACheck) {
  Start();
  world.devices.Plug();
  world.AdvanceBy(5000);
  EXPECT_TRUE(Times("reader-open").empty());
}

TEST_F(DeviceArrival, ARemovedCollectionWhileAnotherStaysPushesAgainWithOneReader) {
  Include({kMouseId, kVendorId});
  world.devices.Plug();
  auto& form = Start();
  const std::uint64_t removed = world.Now();
  world.devices.SetInterfacePresent(kSimMouseInterface, false);
  world.AdvanceBy(5000);
  EXPECT_EQ(Times("reader-open", removed), (std::vector<std::uint64_t>{removed + kCheckPush}));
  EXPECT_EQ(Times("ioctl 80008004", removed), (std::vector<std::uint64_t>{removed + kCheckPush}));
  // The reader of the first check made way for the new one: each report is
  // handled once.
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
  int reports = 0;
  form.qvHIDData1->OnData = [&](const std::string&, const std::string&, std::uint8_t, const std::uint8_t*,
                                std::uint16_t) { ++reports; };
  world.devices.Input(std::vector<std::uint8_t>{7, 0, 4, 0, 0, 0, 0, 0});
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(world.shell.requests.size(), 1u);  // the configuration program came up
}

TEST_F(DeviceArrival, TheLostMouseTellsTheConfigurationProgramAndComesBackLater) {
  Include({kVendorId});
  auto& config = world.desktop.AddPeerWindow("TZRCFGMain");
  world.devices.Plug();
  auto& form = Start();
  ASSERT_EQ(world.tray.icons.size(), 1u);
  world.devices.Unplug();
  ASSERT_EQ(config.received.size(), 1u);
  EXPECT_EQ(config.received[0].msg, WM_MONITOR_CLOSED);
  EXPECT_EQ(config.received[0].wParam, 0u);
  EXPECT_EQ(config.received[0].lParam, 0);
  world.RunPending();
  EXPECT_TRUE(world.tray.icons.empty());
  // The removal's check finds no mouse.
  world.AdvanceBy(5000);
  EXPECT_EQ(Times("reader-open").size(), 1u);
  const std::uint64_t back = world.Now();
  world.devices.Plug();
  world.AdvanceBy(5000);
  EXPECT_EQ(Times("reader-open", back), (std::vector<std::uint64_t>{back + kCheckPush}));
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
  EXPECT_EQ(config.received.size(), 1u);
  EXPECT_TRUE(world.tray.icons.empty());  // the icon stays hidden
  EXPECT_EQ(world.desktop.foreground, config.handle);
}

TEST_F(DeviceArrival, AReaderLostWhileTheMouseStaysThroughAnotherCollectionChangesNothing) {
  Include({kVendorId, "HID\\VID_5A3C&PID_0001&MI_01&Col02"});
  auto second = world.devices.interfaces[kSimVendorInterface];
  second.devicePath += "#col02";
  second.hardwareIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_01&Col02", "HID\\VID_5A3C&PID_0001&MI_01&Col02"};
  world.devices.interfaces.push_back(second);
  auto& config = world.desktop.AddPeerWindow("TZRCFGMain");
  world.devices.Plug();
  auto& form = Start();
  ASSERT_EQ(form.qvHIDData1->RunningReaders(), 2);
  world.devices.SetInterfacePresent(2, false);
  world.RunPending();
  EXPECT_TRUE(config.received.empty());
  EXPECT_EQ(world.tray.icons.size(), 1u);
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
}

// Pulled out and back before the monitor handled the notifications: the
// present interfaces then show no change, but the removal names the
// collection whose reader is gone.
TEST_F(DeviceArrival, TheMouseBackBeforeItsNotificationsIsCheckedAndPushedOnce) {
  Include({kVendorId});
  world.devices.Plug();
  auto& form = Start();
  const std::uint64_t back = world.Now();
  world.devices.Unplug();
  world.devices.Plug();
  world.AdvanceBy(10000);
  EXPECT_EQ(Times("reader-open", back), (std::vector<std::uint64_t>{back + kCheckPush}));
  EXPECT_EQ(Times("ioctl 80008004", back), (std::vector<std::uint64_t>{back + kCheckPush}));
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
}

TEST_F(DeviceArrival, TheEndReleasesTheCpiScalingAndStopsTheReader) {
  Include({kVendorId});
  world.devices.Plug();
  Start();
  program->Finish();
  CPI_UNIT released = FactoryBlock(0);
  released.NeedApplyNewCPI = 0;
  EXPECT_EQ(lines.back().text, CpiLine(released));
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  EXPECT_EQ(world.devices.OpenCollections(), 0u);
}

// Sleep and resume: the mouse stays in (no device notification) but may have
// lost its settings; a resume starts the same debounced check. Windows sends
// the automatic resume first and, when a user woke the machine, the
// suspend-resumed one after it.
TEST_F(DeviceArrival, AResumeFromSleepChecksAndPushesAgainAfterTheDebounce) {
  struct Case {
    const char* name;
    std::vector<std::uintptr_t> events;  // sent 200 ms apart
    bool checks;
  };
  const Case cases[] = {
      {"automatic", {kPbtApmSuspend, kPbtApmResumeAutomatic}, true},
      {"by the user", {kPbtApmSuspend, kPbtApmResumeAutomatic, kPbtApmResumeSuspend}, true},
      {"suspend-resumed alone", {kPbtApmResumeSuspend}, true},
      {"suspend only", {kPbtApmSuspend}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lines.clear();
    Include({kVendorId});
    world.devices.Plug();
    auto& form = Start();
    const std::uint64_t from = world.Now();
    for (std::size_t i = 0; i < c.events.size(); ++i) {
      if (i != 0) world.AdvanceBy(200);
      process.queue().SendMessage(form.Handle(), kWmPowerBroadcast, c.events[i], 0);
    }
    const std::uint64_t last = world.Now();
    world.AdvanceBy(10000);
    const std::vector<std::uint64_t> expected =
        c.checks ? std::vector<std::uint64_t>{last + kCheckPush} : std::vector<std::uint64_t>{};
    EXPECT_EQ(Times("reader-open", from), expected);
    EXPECT_EQ(Times("ioctl 80008004", from), expected);
    EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
    program->Finish();
    program.reset();
    world.devices.Unplug();
  }
}

TEST_F(DeviceArrival, AResumeWithoutTheMouseFindsNoneAndPushesNothing) {
  Include({kVendorId});
  auto& form = Start();
  const std::uint64_t from = world.Now();
  process.queue().SendMessage(form.Handle(), kWmPowerBroadcast, kPbtApmResumeAutomatic, 0);
  world.AdvanceBy(10000);
  EXPECT_TRUE(Times("ioctl", from).empty());
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 0);
}

}  // namespace
}  // namespace zr
