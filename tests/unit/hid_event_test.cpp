// The device-change components over the simulated mouse and notifications:
// which events come, when, and which hardware IDs they name.
#include "device/hid_event.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::kSimMouseInterface;
using sim::kSimVendorInterface;
using sim::SimProcess;
using sim::SimWorld;

using List = std::vector<std::string>;

const List kVendorIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_01&Col01", "HID\\VID_5A3C&PID_0001&MI_01&Col01"};
const List kMouseIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_00", "HID\\VID_5A3C&PID_0001&MI_00"};

List Join(List a, const List& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class HidEventEx : public ::testing::Test {
 protected:
  TqvHIDEventEx& Make() {
    events = std::make_unique<TqvHIDEventEx>(process.platform());
    events->OnNewDeviceArrival = [this](const List& l) { arrived.push_back(l); };
    events->OnPresentDeviceRemoval = [this](const List& l) { removed.push_back(l); };
    events->OnDeviceArrival = [this](TqvHIDEventEx&) { ++arrivals; };
    events->OnDeviceRemove = [this](TqvHIDEventEx&) { ++removals; };
    events->OnDeviceChange = [this](TqvHIDEventEx&) { ++changes; };
    return *events;
  }

  SimWorld world;
  SimProcess process{world};
  std::unique_ptr<TqvHIDEventEx> events;
  std::vector<List> arrived;
  std::vector<List> removed;
  int arrivals = 0;
  int removals = 0;
  int changes = 0;
};

TEST_F(HidEventEx, TheSeedIsSilentAndTheStartTimerArrivesOnceAfter1500ms) {
  world.devices.Plug();
  auto& e = Make();
  EXPECT_EQ(e.FPresentDevices, Join(kVendorIds, kMouseIds));
  world.RunPending();
  EXPECT_EQ(changes, 1);  // the device-tree change posted at creation
  world.AdvanceBy(1499);
  EXPECT_EQ(arrivals, 0);
  world.AdvanceBy(1);
  EXPECT_EQ(arrivals, 1);
  world.AdvanceBy(10000);
  EXPECT_EQ(arrivals, 1);
  EXPECT_TRUE(arrived.empty());
}

TEST_F(HidEventEx, APlugInNamesTheFirstTwoIdsOfEveryNewInterfaceOnce) {
  Make();
  world.devices.Plug();
  world.RunPending();
  EXPECT_EQ(arrivals, 2);  // one notification per interface
  ASSERT_EQ(arrived.size(), 1u);  // the second scan finds nothing new
  EXPECT_EQ(arrived[0], Join(kVendorIds, kMouseIds));
}

TEST_F(HidEventEx, RemovalsNameTheVanishedIdsTogether) {
  world.devices.Plug();
  auto& e = Make();
  world.devices.SetInterfacePresent(kSimMouseInterface, false);
  world.RunPending();
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(removed[0], kMouseIds);
  EXPECT_EQ(e.FPresentDevices, kVendorIds);
  world.devices.Unplug();
  world.RunPending();
  ASSERT_EQ(removed.size(), 2u);
  EXPECT_EQ(removed[1], kVendorIds);
  EXPECT_TRUE(e.FPresentDevices.empty());
  EXPECT_EQ(removals, 2);
}

TEST_F(HidEventEx, AReplugIsNewAgain) {
  world.devices.Plug();
  Make();
  world.devices.Unplug();
  world.RunPending();
  world.devices.Plug();
  world.RunPending();
  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_EQ(arrived[0], Join(kVendorIds, kMouseIds));
}

TEST_F(HidEventEx, InterfacesSharingTheirFirstIdAddThePairOnce) {
  auto twin = world.devices.interfaces[kSimVendorInterface];
  twin.devicePath += "#2";
  twin.hardwareIds[0] = "hid\\vid_5a3c&pid_0001&rev_0100&mi_01&col01";  // the same, in other letter case
  twin.hardwareIds[1] = "HID\\TWIN";
  world.devices.interfaces.push_back(twin);
  world.devices.Plug();
  EXPECT_EQ(Make().FPresentDevices, Join(kVendorIds, kMouseIds));
}

TEST_F(HidEventEx, OtherDeviceTypesAreIgnoredWithoutAScan) {
  auto& e = Make();
  // The mouse arrives unannounced; a volume's arrival must not find it.
  world.devices.postDeviceChange = nullptr;
  world.devices.Plug();
  DevBroadcastHeader volume{12, 2, 0};
  process.queue().PostMessage(e.FWindowHandle(), kWmDeviceChange, kDbtDeviceArrival,
                              reinterpret_cast<std::intptr_t>(&volume));
  process.queue().PostMessage(e.FWindowHandle(), kWmDeviceChange, kDbtDeviceRemoveComplete,
                              reinterpret_cast<std::intptr_t>(&volume));
  process.queue().PostMessage(e.FWindowHandle(), kWmDeviceChange, 0x0018, 0);  // another event
  world.RunPending();
  EXPECT_EQ(arrivals, 0);
  EXPECT_EQ(removals, 0);
  EXPECT_TRUE(arrived.empty());
  EXPECT_TRUE(e.FPresentDevices.empty());
  EXPECT_EQ(changes, 1);  // only the one posted at creation
}

TEST_F(HidEventEx, ARefusedRegistrationLeavesTheStartArrivalAndTheTreeChange) {
  world.devices.refuseRegistration = true;
  Make();
  world.devices.Plug();
  world.AdvanceBy(1500);
  EXPECT_EQ(arrivals, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(arrived.empty());
}

TEST_F(HidEventEx, AnInterfaceSetThatCannotBeOpenedChangesNothing) {
  world.devices.Plug();
  auto& e = Make();
  world.devices.interfaceSetOpens = false;
  world.devices.Unplug();
  world.RunPending();
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(e.FPresentDevices.size(), 4u);
  EXPECT_EQ(removals, 2);
}

TEST_F(HidEventEx, AnErrorInAHandlerIsReportedAndTheNextNotificationStillWorks) {
  auto& e = Make();
  e.OnDeviceArrival = [](TqvHIDEventEx&) { throw std::runtime_error("handler broke"); };
  world.devices.SetInterfacePresent(kSimVendorInterface, true);
  world.RunPending();
  EXPECT_TRUE(process.HasDebugLineContaining("handler broke"));
  EXPECT_TRUE(arrived.empty());  // the scan after the failed handler did not run
  e.OnDeviceArrival = nullptr;
  world.devices.SetInterfacePresent(kSimMouseInterface, true);
  world.RunPending();
  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_EQ(arrived[0], Join(kVendorIds, kMouseIds));
}

TEST(HidEvent, RaisesArrivalRemovalAndTreeChangeAndOneStartArrival) {
  SimWorld world;
  SimProcess process(world);
  TqvHIDEvent e(process.platform());
  int arrivals = 0;
  int removals = 0;
  int changes = 0;
  e.OnDeviceArrival = [&](TqvHIDEvent&) { ++arrivals; };
  e.OnDeviceRemove = [&](TqvHIDEvent&) { ++removals; };
  e.OnDeviceChange = [&](TqvHIDEvent&) { ++changes; };
  world.RunPending();
  EXPECT_EQ(changes, 1);
  world.devices.Plug();
  world.RunPending();
  EXPECT_EQ(arrivals, 2);
  EXPECT_EQ(changes, 2);
  world.AdvanceBy(1500);
  EXPECT_EQ(arrivals, 3);  // the start timer's
  world.devices.Unplug();
  world.AdvanceBy(5000);
  EXPECT_EQ(removals, 2);
  EXPECT_EQ(arrivals, 3);
  EXPECT_EQ(e.FUsbGuid, "{4d1e55b2-f16f-11cf-88cb-001111000030}");
}

}  // namespace
}  // namespace zr
