// The running monitor's own saves when the registry takes the key but fails
// the value's write: a fault Wine cannot make (it refuses at the key's open,
// which tests/wine/faults.py injects), so it is made here on the simulated
// registry.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "platform/sim/sim_world.h"
#include "profile/records.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
const char kKey[] = "software\\software\\DAvezodev";

TEST(SaveFaults, RegistryWritesThatFailLeaveEveryValueAsItWasAndTheMonitorGoesOn) {
  sim::SimWorld world;
  sim::SimProcess process{world};
  world.files.PutText(process.ExeFolder() + "config.ini",
                      "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n");
  world.devices.Plug();
  auto program = std::make_unique<MonitorProgram>(process.platform());
  ASSERT_TRUE(program->Start());
  world.RunPending();
  const WindowHandle form = program->Form()->Handle();
  const char* names[] = {"ProfileSettingGroup.pfd", "ALLPROFILE.pfd"};
  auto stored = [&] {
    std::vector<std::optional<sim::SimRegistry::Value>> values;
    for (const char* name : names) values.push_back(world.registry.GetValue(kHkeyCurrentUser, kKey, name));
    return values;
  };
  const Bytes text = {'x', 0, 0, 0};  // a text value holds no record: the monitor stores factory values over it

  auto refusals = [&] {
    std::size_t n = 0;
    for (const std::string& line : process.DebugLines()) n += line.find("registry write refused") != std::string::npos;
    return n;
  };
  std::mt19937 random(7);
  for (int i = 0; i < 1000; ++i) {
    const int kind = static_cast<int>(random() % 3);
    if (kind < 2) world.registry.SetValue(kHkeyCurrentUser, kKey, names[kind], kRegSz, text);
    const auto before = stored();
    const int writes = world.registry.writes;
    const std::size_t refused = refusals();
    world.registry.FailWrites(100);  // every write of this message
    switch (kind) {
      case 0:  // the group record is loaded on WM_APPLY_PROFILE
        process.queue().SendMessage(form, WM_APPLY_PROFILE, 0, 0);
        break;
      case 1:
        process.queue().SendMessage(form, WM_RELOAD_SETTINGS, 0, 0);
        break;
      default:
        process.queue().SendMessage(form, WM_DEVICE_KEY, random() % 2 ? kDeviceKeyProfileGroup1
                                                                     : kDeviceKeyProfileGroup0, 0);
        break;
    }
    world.RunPending();
    world.registry.FailWrites(0);
    ASSERT_EQ(world.registry.writes, writes) << "save " << i;
    ASSERT_GT(refusals(), refused) << "save " << i << " was not attempted";
    const auto after = stored();
    for (std::size_t v = 0; v < after.size(); ++v) {
      ASSERT_EQ(after[v].has_value(), before[v].has_value()) << names[v] << ", save " << i;
      if (after[v]) ASSERT_EQ(after[v]->data, before[v]->data) << names[v] << ", save " << i;
    }
  }

  // Writes work again: the next apply stores the group record whole.
  world.registry.SetValue(kHkeyCurrentUser, kKey, names[0], kRegSz, text);
  process.queue().SendMessage(form, WM_APPLY_PROFILE, 0, 0);
  world.RunPending();
  EXPECT_EQ(world.registry.GetValue(kHkeyCurrentUser, kKey, names[0])->data.size(), sizeof(TProfileSettingGroup));
}

}  // namespace
}  // namespace zr
