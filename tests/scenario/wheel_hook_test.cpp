// The whole monitor with the simulated hook library: which wheel directions
// it takes over for the stored profile, what a taken wheel notch posts, and
// the hook following the mouse as it goes and comes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "platform/sim/sim_world.h"
#include "profile/dm.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kKey[] = "software\\software\\DAvezodev";
constexpr char kProfile1[] = "C:\\users\\player\\Documents\\Profile\\Profile1.pfd";
constexpr char kVendorId[] = "HID\\VID_5A3C&PID_0001&MI_01&Col01";
constexpr std::size_t kWheelEntry = offsetof(TMOUSEPROFILEINFO, ConfigInfo.VWheelButtonFuncInfo);
constexpr std::size_t kEntrySize = sizeof(TBUTTONFUNCINFO);

class WheelHook : public ::testing::Test {
 protected:
  void SetUp() override {
    world.devices.keepLog = false;
    world.files.PutText(process.ExeFolder() + "config.ini", std::string("[IncludeHIDDeviceList]\nid1=") + kVendorId);
    // A first run stores the factory records.
    MonitorGlobals globals;
    TDM first(process.platform(), globals);
  }
  // The stored wheel entries of the first slot (the current profile).
  void StoreWheel(std::uint8_t upClass, std::uint16_t upIndex, std::uint8_t downClass, std::uint16_t downIndex) {
    Bytes file = *world.files.GetFile(kProfile1);
    const std::pair<std::uint8_t, std::uint16_t> entries[2] = {{upClass, upIndex}, {downClass, downIndex}};
    for (std::size_t i = 0; i < 2; ++i) {
      TBUTTONFUNCINFO e;
      std::memcpy(&e, file.data() + kWheelEntry + i * kEntrySize, sizeof e);
      e.FunctionClass = entries[i].first;
      e.FunctionIndex = entries[i].second;
      std::memcpy(file.data() + kWheelEntry + i * kEntrySize, &e, sizeof e);
    }
    world.files.PutFile(kProfile1, file);
  }
  ZEDEZAVadi& Start() {
    program = std::make_unique<MonitorProgram>(process.platform());
    EXPECT_TRUE(program->Start());
    world.RunPending();
    return *program->Form();
  }
  std::vector<std::uintptr_t> Posted() {
    std::vector<std::uintptr_t> out;
    for (const auto& m : world.desktop.Get(program->Form()->Handle())->Received(WM_HOOKED_BUTTON)) {
      EXPECT_EQ(m.lParam, 1);
      out.push_back(m.wParam);
    }
    return out;
  }
  int MouseHooks() const { return world.input.Installed(sim::SimInput::Kind::Mouse); }

  sim::SimWorld world;
  sim::SimProcess process{world};
  std::unique_ptr<MonitorProgram> program;
};

TEST_F(WheelHook, TheStoredWheelEntriesDecideWhichDirectionsAreTakenOver) {
  struct Case {
    const char* what;
    std::uint8_t upClass;
    std::uint16_t upIndex;
    std::uint8_t downClass;
    std::uint16_t downIndex;
    std::vector<TMouseButtons> rules;
    std::vector<int> reached;           // what reaches the programs of one notch up, then one down
    std::vector<std::uintptr_t> posted;
  };
  using B = TMouseButtons;
  const Case cases[] = {
      {"factory: both plain", 1, 0, 1, 1, {}, {120, -120}, {}},
      // A wheel-down rule takes wheel-up notches too; wheel up keeps its
      // plain function and is replayed, wheel down (class 0) is swallowed.
      {"wheel down taken", 1, 0, 0, 1, {B::WHEELDOWN}, {120}, {6, 7}},
      {"wheel up taken", 0, 0, 1, 1, {B::WHEELUP}, {-120}, {6}},
      // Each direction replayed as the other; the second runs inside the
      // first one's wait, so its replacement comes first.
      {"directions swapped", 1, 1, 1, 0, {B::WHEELUP, B::WHEELDOWN}, {120, -120}, {6, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StoreWheel(c.upClass, c.upIndex, c.downClass, c.downIndex);
    world.devices.Plug();
    auto& form = Start();
    std::vector<B> rules;
    for (std::size_t i = 0; i < form.qvHook1->MouseHookObjectCount(); ++i) {
      const TMouseHookDetail r = form.qvHook1->MouseHookObject(i);
      EXPECT_EQ(static_cast<int>(r.MouseStateSet), 0x0400);
      EXPECT_EQ(B{r.ModifiedFunction}, B::BUTTON_NONE);
      EXPECT_EQ(TMouseStatesToHook{r.MouseStateToHook}, TMouseStatesToHook::HOOK_DOWN);
      rules.push_back(r.MouseButton);
    }
    EXPECT_EQ(rules, c.rules);
    EXPECT_EQ(MouseHooks(), c.rules.empty() ? 0 : 1);
    world.input.delivered.clear();
    world.input.Wheel(120);
    world.input.Wheel(-120);
    world.RunPending();
    EXPECT_EQ(world.input.WheelDeltasDelivered(), c.reached);
    EXPECT_EQ(Posted(), c.posted);
    program.reset();
    EXPECT_EQ(MouseHooks(), 0);
    world.devices.Unplug();
  }
}

TEST_F(WheelHook, AGroupSelectionThatNamesNoSlotLeavesTheWheelAlone) {
  auto v = world.registry.GetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd");
  ASSERT_TRUE(v);
  TProfileSettingGroup group;
  std::memcpy(&group, v->data.data(), sizeof group);
  group.ProfileIndexOfProfileGroup[0] = 7;
  std::memcpy(v->data.data(), &group, sizeof group);
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, v->data);
  world.devices.Plug();
  auto& form = Start();
  EXPECT_EQ(form.qvHook1->MouseHookObjectCount(), 0u);
  EXPECT_EQ(MouseHooks(), 0);
  EXPECT_TRUE(world.input.Wheel(120));
  EXPECT_TRUE(world.input.Wheel(-120));
}

TEST_F(WheelHook, TheHookFollowsTheMouseAsItGoesAndComesBack) {
  StoreWheel(0, 0, 0, 1);
  // Absent at start: the rules are made, the check stops the hook.
  auto& form = Start();
  EXPECT_EQ(form.qvHook1->MouseHookObjectCount(), 2u);
  EXPECT_EQ(MouseHooks(), 0);
  EXPECT_TRUE(world.input.Wheel(120));
  world.devices.Plug();
  world.AdvanceBy(1499);
  EXPECT_EQ(MouseHooks(), 0);
  world.AdvanceBy(1);
  EXPECT_EQ(MouseHooks(), 1);
  EXPECT_FALSE(world.input.Wheel(120));
  // The reader loses the mouse: the hook stops at once, on the reader's thread.
  world.devices.Unplug();
  EXPECT_EQ(MouseHooks(), 0);
  EXPECT_TRUE(world.input.Wheel(-120));
  world.AdvanceBy(5000);
  world.devices.Plug();
  world.AdvanceBy(1500);
  EXPECT_EQ(MouseHooks(), 1);
  EXPECT_FALSE(world.input.Wheel(-120));
}

TEST_F(WheelHook, WithoutTheLibraryTheMonitorSaysSoAndRunsOn) {
  process.hookLibrary().present = false;
  StoreWheel(0, 0, 0, 1);
  world.devices.Plug();
  auto& form = Start();
  ASSERT_EQ(process.system().messageBoxes.size(), 1u);
  EXPECT_EQ(process.system().messageBoxes[0].text, "qvHook.dll can not be found!");
  EXPECT_EQ(form.qvHIDData1->RunningReaders(), 1);
  EXPECT_TRUE(world.input.Wheel(120));
}

}  // namespace
}  // namespace zr
