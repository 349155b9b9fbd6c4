// The monitor's reactions at run time, over the simulated mouse, driver,
// input and audio: input reports, wheel events taken over by the hook, the
// profile-group keys, the messages of the configuration program and the
// microphone's mute on both of its ways.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "common/text.h"
#include "profile/dm.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::InjectedEvent;
using sim::SimProcess;
using sim::SimWorld;

using Bytes = std::vector<std::uint8_t>;
const char kProfileKey[] = "software\\software\\DAvezodev";

class Dispatch : public ::testing::Test {
 protected:
  struct Line {
    std::uint64_t at;
    std::string text;
  };

  void SetUp() override {
    world.devices.keepLog = false;
    world.devices.onLog = [this](const std::string& l) { lines.push_back({world.Now(), l}); };
    world.files.PutText(process.ExeFolder() + "config.ini",
                        "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n");
    world.devices.Plug();
  }
  ZEDEZAVadi& Start() {
    program = std::make_unique<MonitorProgram>(process.platform());
    EXPECT_TRUE(program->Start());
    world.RunPending();
    lines.clear();
    return *program->Form();
  }
  void Report(Bytes report) {
    report.resize(8, 0);
    ASSERT_TRUE(world.devices.Input(report));
    world.RunPending();
  }
  std::vector<Line> LinesStarting(const std::string& prefix) const {
    std::vector<Line> out;
    for (const Line& l : lines) {
      if (l.text.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
  }
  TMOUSECONFIGINFO& Config() { return program->Form()->DM.FCurrentProfileInfo.ConfigInfo; }
  void SetWheel(int entry, std::uint8_t functionClass, std::uint16_t functionIndex) {
    Config().VWheelButtonFuncInfo[entry].FunctionClass = functionClass;
    Config().VWheelButtonFuncInfo[entry].FunctionIndex = functionIndex;
  }
  void PostToMonitor(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam = 0) {
    process.platform().windowing.PostMessage(program->Form()->Handle(), msg, wParam, lParam);
    world.AdvanceBy(100);
  }

  SimWorld world;
  SimProcess process{world};
  std::vector<Line> lines;
  std::unique_ptr<MonitorProgram> program;
};

TEST_F(Dispatch, KeyReportsNameAKeyOnlyByExactlyOneBitOfTheirMask) {
  const struct {
    Bytes mask;
    int key;  // -1: none
  } cases[] = {
      {{0x01, 0, 0}, 0}, {{0, 0x04, 0}, 10}, {{0, 0, 0x80}, 23}, {{0x03, 0, 0}, -1}, {{0, 0, 0}, -1},
  };
  auto& form = Start();
  for (const auto& c : cases) {
    const std::size_t before = process.DebugLines().size();
    Report({7, c.mask[0], c.mask[1], c.mask[2], 0xFF, 0xFF, 0xFF, 0xFF});
    const std::vector<std::string> added(process.DebugLines().begin() + before, process.DebugLines().end());
    if (c.key < 0) {
      EXPECT_TRUE(added.empty()) << ToHexLower(c.mask);
    } else {
      EXPECT_EQ(added, std::vector<std::string>{"KeyIndex = " + std::to_string(c.key) + " postmessage record!"});
    }
  }
  // Only reports of seven data bytes count.
  const Bytes data = {0, 4, 0, 0, 0, 0, 0, 0};
  const std::size_t before = process.DebugLines().size();
  form.qvHIDData1Data("", "", 7, data.data(), 8);
  form.qvHIDData1Data("", "", 7, data.data(), 6);
  EXPECT_EQ(process.DebugLines().size(), before);
}

TEST_F(Dispatch, ABurstOfStageReportsSendsTheLastStageOnce100msAfterIt) {
  Start();
  Report({8, 2, 3});
  world.AdvanceBy(50);
  Report({8, 2, 5});
  const std::uint64_t second = world.Now();
  world.AdvanceBy(1000);
  const auto sent = LinesStarting("ioctl 8000800c");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].text, "ioctl 8000800c 0500");
  EXPECT_EQ(sent[0].at, second + 100);
  EXPECT_EQ(program->Form()->FCPIUNIT.CurrentCpi, 5);
}

struct GroupKeyCase {
  Bytes report;
  int group;  // -1: nothing happens
};

class GroupKeys : public Dispatch, public ::testing::WithParamInterface<GroupKeyCase> {};

TEST_P(GroupKeys, SwitchStoreAndPushTheGroupsProfile) {
  const GroupKeyCase& c = GetParam();
  // The factory gives groups 0 and 1 slots 1 and 2 with the same levels:
  // group 1's slot file gets a level of its own between two starts, so that
  // its block is told apart.
  Start();
  program.reset();
  const std::string slot2 = world.files.DocumentsFolder() + "\\Profile\\Profile2.pfd";
  Bytes file = world.files.GetFile(slot2).value();
  const std::uint16_t level = 1234;
  std::memcpy(file.data() + offsetof(TMOUSEPROFILEINFO, ConfigInfo.CPIState), &level, 2);
  world.files.PutFile(slot2, file);
  Start();
  // A stage in the mouse, to see that the push reads it again.
  world.devices.SetMemory(0x49, Bytes{3});

  Report(c.report);
  const auto blocks = LinesStarting("ioctl 80008004");
  const auto stored = world.registry.GetValue(kHkeyCurrentUser, kProfileKey, "ProfileSettingGroup.pfd");
  ASSERT_TRUE(stored);
  auto group = std::make_unique<TProfileSettingGroup>();
  std::memcpy(group.get(), stored->data.data(), sizeof *group);
  if (c.group < 0) {
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(group->CurrentProfileGroup, 0);
    return;
  }
  EXPECT_EQ(group->CurrentProfileGroup, c.group);
  ASSERT_EQ(blocks.size(), 1u);
  const Bytes block = ParseHexBytes(blocks[0].text.substr(std::strlen("ioctl 80008004 "))).value();
  CPI_UNIT unit{};
  std::memcpy(&unit, block.data(), sizeof unit);
  const std::uint32_t level0 = unit.STCpi[0].X;
  EXPECT_EQ(level0, c.group == 1 ? 1234u : 400u);
  const std::uint16_t stage = unit.CurrentCpi;
  EXPECT_EQ(stage, 3);
  EXPECT_TRUE(LinesStarting("reader-open").empty());  // the reader goes on
  EXPECT_TRUE(world.shell.requests.empty());          // and the configuration program is not brought up
}

INSTANTIATE_TEST_SUITE_P(Reports, GroupKeys,
                         ::testing::Values(GroupKeyCase{{8, 1, 1}, 1},        // state report, value 1
                                           GroupKeyCase{{7, 0, 0, 0x40}, 1},  // key 22
                                           GroupKeyCase{{8, 1, 0}, 0},        // state report, value 0
                                           GroupKeyCase{{7, 0, 0, 0x20}, 0},  // key 21
                                           GroupKeyCase{{8, 1, 2}, -1}));     // no such group

struct WheelCase {
  std::uintptr_t button;  // the hooked button's ordinal: 6 wheel up, 7 wheel down
  std::uint8_t functionClass;
  std::uint16_t functionIndex;
  std::vector<InjectedEvent> expected;  // times relative to the message
};

class Wheel : public Dispatch, public ::testing::WithParamInterface<WheelCase> {};

InjectedEvent WheelNotch(std::int32_t delta, std::uint64_t at) {
  return {false, kMouseEventWheel, 300, 200, delta, 0, 0, at};
}
InjectedEvent KeyEvent(std::uint8_t vk, bool up, std::uint64_t at) {
  return {true, kKeyEventExtendedKey | (up ? kKeyEventKeyUp : 0u), 0, 0, 0, vk, 0, at};
}

TEST_P(Wheel, AHookedWheelEventBecomesItsEntrysFunction) {
  const WheelCase& c = GetParam();
  Start();
  world.input.cursorX = 300;
  world.input.cursorY = 200;
  SetWheel(0, 1, 2);  // the other direction has a function of its own
  SetWheel(1, 1, 5);
  if (c.button >= 6 && c.button <= 7) SetWheel(static_cast<int>(c.button - 6), c.functionClass, c.functionIndex);
  const std::uint64_t posted = world.Now();
  PostToMonitor(WM_HOOKED_BUTTON, c.button, 0);
  std::vector<InjectedEvent> expected = c.expected;
  for (InjectedEvent& e : expected) e.at += posted + 10;  // after the 10 ms in which other messages run
  ASSERT_EQ(world.input.injectedEvents.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const InjectedEvent& got = world.input.injectedEvents[i];
    const InjectedEvent& want = expected[i];
    EXPECT_EQ(std::tie(got.keyboard, got.flags, got.x, got.y, got.data, got.virtualKey, got.scanCode, got.at),
              std::tie(want.keyboard, want.flags, want.x, want.y, want.data, want.virtualKey, want.scanCode, want.at))
        << "event " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Functions, Wheel,
    ::testing::Values(WheelCase{6, 1, 0, {WheelNotch(120, 0)}},                           // forward
                      WheelCase{6, 1, 1, {WheelNotch(-120, 0)}},                          // backward
                      WheelCase{7, 1, 0, {WheelNotch(120, 0)}},                           // wheel down made forward
                      WheelCase{6, 1, 2, {KeyEvent(0xAF, false, 0), KeyEvent(0xAF, true, 50)}},  // volume up
                      WheelCase{6, 1, 3, {KeyEvent(0xAE, false, 0), KeyEvent(0xAE, true, 50)}},  // volume down
                      WheelCase{7, 1, 4, {KeyEvent(0xA6, false, 0), KeyEvent(0xA6, true, 50)}},  // browser back
                      WheelCase{7, 1, 5, {KeyEvent(0xA7, false, 0), KeyEvent(0xA7, true, 50)}},  // browser forward
                      WheelCase{6, 1, 6, {}},     // no such function
                      WheelCase{6, 0, 0, {}},     // another class: swallowed, not replaced
                      WheelCase{6, 2, 3, {}},
                      WheelCase{5, 1, 0, {}},     // not a wheel button
                      WheelCase{8, 1, 0, {}}));

TEST_F(Dispatch, WheelEventsArrivingWhileOneWaitsAreEachCarriedOut) {
  Start();
  SetWheel(0, 1, 3);
  // Three notches posted at once: the second and third run inside the
  // first one's wait, and each still taps its key once, with the profile
  // as it is when it runs.
  for (int i = 0; i < 3; ++i) process.platform().windowing.PostMessage(program->Form()->Handle(), WM_HOOKED_BUTTON, 6, 0);
  world.AdvanceBy(1000);
  int downs = 0, ups = 0;
  for (const InjectedEvent& e : world.input.injectedEvents) {
    EXPECT_EQ(e.virtualKey, 0xAE);
    (e.flags & kKeyEventKeyUp ? ups : downs)++;
  }
  EXPECT_EQ(downs, 3);
  EXPECT_EQ(ups, 3);
}

TEST_F(Dispatch, TheConfigurationProgramsApplyReloadsAndRepeatsTheExchangesAndTheBlockWithoutANewReader) {
  Start();
  // The configuration program stored group 1 (whose slot has a level of its own).
  Bytes stored = world.registry.GetValue(kHkeyCurrentUser, kProfileKey, "ProfileSettingGroup.pfd")->data;
  const std::int32_t group = 1;
  std::memcpy(stored.data(), &group, sizeof group);
  world.registry.SetValue(kHkeyCurrentUser, kProfileKey, "ProfileSettingGroup.pfd", kRegBinary, stored);
  program->Form()->DM.FCurrentProfileInfo.ConfigInfo.CPIState[0].X = 999;  // forgotten by the reload
  PostToMonitor(WM_APPLY_PROFILE, 0, 0);
  EXPECT_EQ(program->Form()->DM.FProfileIndex, 1);
  EXPECT_EQ(LinesStarting("set-feature").size(), 4u);  // short command, two reads, short command
  ASSERT_EQ(LinesStarting("ioctl 80008004").size(), 1u);
  const std::uint32_t level0 = program->Form()->FCPIUNIT.STCpi[0].X;
  EXPECT_EQ(level0, 400u);
  EXPECT_TRUE(LinesStarting("reader-open").empty());
  EXPECT_TRUE(world.shell.requests.empty());
}

// ---- the microphone's mute --------------------------------------------------------

class Mute : public Dispatch {
 protected:
  // Key 3 gets the mute function; its report toggles.
  void MuteKeyOn3() { Config().ButtonFuncInfo[3].FunctionIndex = 28; }
  void PressKey3() { Report({7, 0x08, 0, 0}); }
};

TEST_F(Mute, OnVistaAndLaterKeyPressesMuteAndUnmuteTheMicrophoneOnly) {
  Start();
  EXPECT_EQ(world.audio.endpointsObtained, 1);  // at start-up
  EXPECT_EQ(world.audio.comInitializations, 2);  // for Core Audio and, after the form, for the shell
  MuteKeyOn3();
  PressKey3();
  EXPECT_TRUE(world.audio.microphoneMuted);
  PressKey3();
  EXPECT_FALSE(world.audio.microphoneMuted);
  // A change made elsewhere is respected: the state is read each time.
  world.audio.microphoneMuted = true;
  PressKey3();
  EXPECT_FALSE(world.audio.microphoneMuted);
  EXPECT_FALSE(world.audio.speakerMuted);
  EXPECT_EQ(world.audio.endpointsObtained, 1);
  EXPECT_TRUE(process.system().messageBoxes.empty());
}

TEST_F(Mute, OtherFunctionsAndKeysWithoutAnEntryLeaveItAlone) {
  Start();
  Config().ButtonFuncInfo[3].FunctionIndex = 27;
  PressKey3();
  Report({7, 0, 0, 0x01});  // key 16: no entry
  EXPECT_FALSE(world.audio.microphoneMuted);
}

TEST_F(Mute, AMicrophoneMissingAtStartIsFoundByALaterToggle) {
  world.audio.microphonePresent = false;
  Start();
  MuteKeyOn3();
  PressKey3();
  EXPECT_FALSE(world.audio.microphoneMuted);
  EXPECT_EQ(world.audio.endpointsObtained, 0);
  world.audio.microphonePresent = true;
  PressKey3();
  EXPECT_TRUE(world.audio.microphoneMuted);
  EXPECT_EQ(world.audio.endpointsObtained, 1);
  EXPECT_TRUE(process.system().messageBoxes.empty());
}

TEST_F(Mute, OnXpTheMixerIsUsedAndNoCoreAudioIsAskedFor) {
  world.os.version = OsVersion{kVerPlatformWin32Nt, 5, 1, kVerNtWorkstation};
  Start();
  EXPECT_EQ(world.audio.comInitializations, 1);  // after the form, for the shell
  MuteKeyOn3();
  PressKey3();
  EXPECT_TRUE(world.audio.mixerMicrophoneMuted);
  PressKey3();
  EXPECT_FALSE(world.audio.mixerMicrophoneMuted);
  EXPECT_EQ(world.audio.mixersOpen, 0);  // every mixer opened was closed
  EXPECT_EQ(world.audio.endpointsObtained, 0);
  EXPECT_FALSE(world.audio.microphoneMuted);
}

struct MixerCase {
  const char* what;
  std::uint32_t devices;
  bool line, control, detailsFail;
  std::vector<std::string> boxes;  // of one toggle
};

class MixerFailures : public Mute, public ::testing::WithParamInterface<MixerCase> {};

TEST_P(MixerFailures, OnXpAFailedStepIsShownOnlyWhereItShouldBe) {
  const MixerCase& c = GetParam();
  world.os.version = OsVersion{kVerPlatformWin32Nt, 5, 1, kVerNtWorkstation};
  world.audio.mixerDevices = c.devices;
  world.audio.mixerHasMicrophoneLine = c.line;
  world.audio.mixerHasMuteControl = c.control;
  world.audio.mixerDetailsFail = c.detailsFail;
  Start();
  MuteKeyOn3();
  PressKey3();
  std::vector<std::string> texts;
  for (const auto& box : process.system().messageBoxes) {
    texts.push_back(box.text);
    EXPECT_EQ(box.caption, program->Form()->TranslateText(kApplicationTitle));
  }
  EXPECT_EQ(texts, c.boxes);
  EXPECT_FALSE(world.audio.mixerMicrophoneMuted);
  EXPECT_EQ(world.audio.mixersOpen, 0);  // every mixer opened was closed
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MixerFailures,
    ::testing::Values(
        MixerCase{"no mixer", 0, true, true, false, {}},
        MixerCase{"no microphone line", 1, false, true, false, {}},
        MixerCase{"no mute control", 1, true, false, false, {"GetLineInfo Error", "GetLineInfo Error"}},
        MixerCase{"details refused", 1, true, true, true, {"SetControlDetails Error", "SetControlDetails Error"}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST_F(Mute, TheInterfacesAreReleasedWithTheForm) {
  Start();
  EXPECT_EQ(world.audio.LiveObjects(), 3u);
  program.reset();
  EXPECT_EQ(world.audio.LiveObjects(), 0u);
  EXPECT_EQ(world.audio.badReleases, 0);
}

}  // namespace
}  // namespace zr
