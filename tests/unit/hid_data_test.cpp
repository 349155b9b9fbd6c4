// The HID access component over the simulated mouse: which collections the
// filters let through, the readers and what they deliver, writes and
// feature reports, and the lost device.
#include "device/hid_data.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/text.h"
#include "platform/error_codes.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::kSimMouseInterface;
using sim::kSimVendorInterface;
using sim::SimProcess;
using sim::SimWorld;

constexpr USAGE_AND_PAGE kMouseCollection{0x0002, 0x0001};
const char kVendorId[] = "HID\\VID_5A3C&PID_0001&MI_01&Col01";
const char kMouseId[] = "HID\\VID_5A3C&PID_0001&MI_00";

struct Delivery {
  std::string deviceId;
  std::string path;
  std::uint8_t reportId;
  std::vector<std::uint8_t> data;
};

class HidAccess : public ::testing::Test {
 protected:
  // The component with this include list in config.ini (none: no file).
  TqvHIDData& Make(std::vector<std::string> include = {}) {
    std::string ini = "[IncludeHIDDeviceList]\n";
    for (std::size_t i = 0; i < include.size(); ++i) ini += "id" + std::to_string(i + 1) + "=" + include[i] + "\n";
    world.files.PutText(process.ExeFolder() + "config.ini", ini);
    hid = std::make_unique<TqvHIDData>(process.platform());
    hid->OnData = [this](const std::string& id, const std::string& path, std::uint8_t reportId,
                         const std::uint8_t* data, std::uint16_t size) {
      deliveries.push_back({id, path, reportId, {data, data + size}});
    };
    hid->OnDeviceNotConnected = [this](const std::string& id, const std::string& path) {
      lost.push_back(id + " " + path);
    };
    return *hid;
  }
  // A report as the mouse sends it: zero-filled to the collection's 8 bytes.
  void Input(std::vector<std::uint8_t> report) {
    report.resize(8, 0);
    world.devices.Input(report);
  }
  // A second collection of the vendor usage on the same device.
  void AddSecondVendorCollection() {
    auto second = world.devices.interfaces[kSimVendorInterface];
    second.devicePath = "\\\\?\\hid#vid_5a3c&pid_0001&mi_01&col02#8&2c5e4b1a&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    second.hardwareIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_01&Col02", "HID\\VID_5A3C&PID_0001&MI_01&Col02"};
    world.devices.interfaces.push_back(second);
  }

  SimWorld world;
  SimProcess process{world};
  std::unique_ptr<TqvHIDData> hid;
  std::vector<Delivery> deliveries;
  std::vector<std::string> lost;
};

TEST_F(HidAccess, CreationTakesTheIncludeListAndTheHidClass) {
  world.devices.hidLibraryAvailable = false;
  auto& h = Make({kVendorId, "hid\\other"});
  EXPECT_EQ(h.GetHIDDeviceList(), (std::vector<std::string>{kVendorId, "hid\\other"}));
  EXPECT_EQ(h.FHidGuid, kHidInterfaceGuid);  // the fixed class when the library cannot tell
  EXPECT_FALSE(h.FastOnData);
}

TEST_F(HidAccess, TheReadFilterWithAnEmptyIncludeListTakesEveryDevice) {
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "HID\\SOMETHING_ELSE");
  EXPECT_EQ(h.RunningReaders(), 1);
  // The other operations still hold an explicit ID to that ID.
  auto query = std::make_unique<THIDDataParam>();
  query->UsageAndPage = kVendorCollection;
  query->DeviceID = "HID\\SOMETHING_ELSE";
  EXPECT_FALSE(h.IsDeviceExist(*query));
  query->DeviceID = "hid\\vid_5a3c&pid_0001&mi_01&col01";
  EXPECT_TRUE(h.IsDeviceExist(*query));
  query->DeviceID = "";
  EXPECT_TRUE(h.IsDeviceExist(*query));
}

TEST_F(HidAccess, TheReadFilterWithAnIncludeList) {
  world.devices.Plug();
  auto& h = Make({"hid\\vid_5a3c&pid_0001&mi_01&col01"});
  h.HidFindAndReadDevice(kVendorCollection, "");
  EXPECT_EQ(h.RunningReaders(), 0);  // an empty HIDID names no device
  h.HidFindAndReadDevice(kVendorCollection, "*");
  EXPECT_EQ(h.RunningReaders(), 1);  // the entry, letter case ignored
  h.HidFindAndReadDevice(kMouseCollection, kMouseId);
  EXPECT_EQ(h.RunningReaders(), 2);  // an explicit ID
}

TEST_F(HidAccess, IncludeListEntriesMatchWholeHardwareIdsOnly) {
  world.devices.Plug();
  auto& h = Make({"HID\\VID_5A3C&PID_0001&MI_01"});  // the start of the vendor ID
  h.HidFindAndReadDevice(kVendorCollection, "*");
  EXPECT_EQ(h.RunningReaders(), 0);
  auto query = std::make_unique<THIDDataParam>();
  query->UsageAndPage = kVendorCollection;
  EXPECT_FALSE(h.IsDeviceExist(*query));
}

TEST_F(HidAccess, OnlyCollectionsOfTheUsageCount) {
  world.devices.Plug();
  auto& h = Make({kVendorId, kMouseId});
  auto query = std::make_unique<THIDDataParam>();
  query->UsageAndPage = kMouseCollection;
  EXPECT_TRUE(h.IsDeviceExist(*query));
  query->UsageAndPage = {0x0006, 0x0001};  // a keyboard
  EXPECT_FALSE(h.IsDeviceExist(*query));
  world.devices.SetInterfacePresent(kSimVendorInterface, false);
  query->UsageAndPage = kVendorCollection;
  EXPECT_FALSE(h.IsDeviceExist(*query));
}

TEST_F(HidAccess, OneReaderPerCollectionAndAgainOnEveryCall) {
  AddSecondVendorCollection();
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  EXPECT_EQ(h.RunningReaders(), 2);
  h.HidFindAndReadDevice(kVendorCollection, "*");
  EXPECT_EQ(h.RunningReaders(), 4);
  // Each reader has its own handle and gets every report.
  world.devices.InputOn(kSimVendorInterface, std::vector<std::uint8_t>{7, 1, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(deliveries.size(), 2u);
  EXPECT_TRUE(process.HasDebugLineContaining("TqvHidDeviceReadThread start ++++++++++++++++"));
}

TEST_F(HidAccess, AReportReachesOnDataWithItsIdAndTheBytesAfterIt) {
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  Input({8, 2, 5, 0, 0, 0, 0, 0});
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].reportId, 8);
  EXPECT_EQ(deliveries[0].data, (std::vector<std::uint8_t>{2, 5, 0, 0, 0, 0, 0}));
  EXPECT_EQ(deliveries[0].deviceId, "HID\\VID_5A3C&PID_0001&REV_0100&MI_01&Col01");  // the device's first ID
  EXPECT_EQ(deliveries[0].path, world.devices.interfaces[kSimVendorInterface].devicePath);
  // The reader goes on reading.
  Input({7, 0, 4, 0, 0, 0, 0, 0});
  ASSERT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries[1].reportId, 7);
}

TEST_F(HidAccess, EveryReportIsDeliveredWholeWithoutItsId) {
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  // The mouse sends no report of another length than the collection's.
  EXPECT_FALSE(world.devices.Input(std::vector<std::uint8_t>{8, 2, 1, 0, 0, 0, 0}));
  EXPECT_FALSE(world.devices.Input(std::vector<std::uint8_t>(9, 1)));
  EXPECT_TRUE(world.devices.Input(std::vector<std::uint8_t>{9, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].reportId, 9);
  EXPECT_EQ(deliveries[0].data, (std::vector<std::uint8_t>{2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(h.RunningReaders(), 1);
}

TEST_F(HidAccess, ReadsThatKeepFailingArePacedWithAGrowingPause) {
  world.devices.Plug();
  auto& h = Make();
  world.devices.failRead = 10;
  const auto before = world.Now();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  EXPECT_EQ(world.Now() - before, 1u + 2 + 4 + 8 + 16 + 32 + 64 + 100 + 100 + 100);
  // A read that succeeds starts the pauses again from the first.
  Input({8, 1});
  world.devices.failRead = 2;
  Input({8, 2});
  const auto later = world.Now();
  Input({8, 3});
  EXPECT_EQ(deliveries.size(), 3u);
  EXPECT_EQ(world.Now() - later, 0u);
  EXPECT_EQ(later - before, 427u + 1 + 2);
  EXPECT_EQ(h.RunningReaders(), 1);
}

TEST_F(HidAccess, ReportsArrivingWhileTheReaderIsBusyWaitForItsNextRead) {
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  // The handler itself makes the mouse send two more reports.
  h.OnData = [&](const std::string&, const std::string&, std::uint8_t id, const std::uint8_t*, std::uint16_t) {
    deliveries.push_back({"", "", id, {}});
    if (id == 1) {
      Input({2});
      Input({3});
    }
  };
  Input({1});
  ASSERT_EQ(deliveries.size(), 3u);
  EXPECT_EQ(deliveries[1].reportId, 2);
  EXPECT_EQ(deliveries[2].reportId, 3);
}

TEST_F(HidAccess, StopReadEndsTheRunningReadersOnlyAndResetsItsEvent) {
  world.devices.Plug();
  auto& h = Make();
  h.HidStopRead();  // none runs: only the pulse
  EXPECT_EQ(world.Now(), 20u);
  h.HidFindAndReadDevice(kVendorCollection, "*");
  h.HidFindAndReadDevice(kMouseCollection, "*");
  ASSERT_EQ(h.RunningReaders(), 2);
  h.HidStopRead();
  EXPECT_EQ(h.RunningReaders(), 0);
  EXPECT_TRUE(lost.empty());  // a stop is no lost device
  EXPECT_EQ(world.devices.OpenCollections(), 0u);
  // A reader started afterwards reads.
  h.HidFindAndReadDevice(kVendorCollection, "*");
  Input({8, 2, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(deliveries.size(), 1u);
}

TEST_F(HidAccess, AReaderBusyDeliveringDuringTheStopEndsAfterItsDelivery) {
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  h.OnData = [&](const std::string&, const std::string&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
    h.HidStopRead();
  };
  Input({8, 2, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(h.RunningReaders(), 0);
}

TEST_F(HidAccess, ARemovedCollectionEndsItsReadersWithTheLostDeviceEvent) {
  world.devices.Plug();
  auto& h = Make();
  h.HidFindAndReadDevice(kVendorCollection, "*");
  h.HidFindAndReadDevice(kMouseCollection, "*");
  world.devices.SetInterfacePresent(kSimMouseInterface, false);
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0], "HID\\VID_5A3C&PID_0001&REV_0100&MI_00 " + world.devices.interfaces[kSimMouseInterface].devicePath);
  EXPECT_EQ(h.RunningReaders(), 1);  // the vendor collection's reader stays
  Input({8, 2, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(deliveries.size(), 1u);
  world.devices.Unplug();
  EXPECT_EQ(lost.size(), 2u);
  EXPECT_EQ(h.RunningReaders(), 0);
  EXPECT_TRUE(process.HasDebugLineContaining("ERROR_DEVICE_NOT_CONNECTED++++++++++++++++"));
}

TEST_F(HidAccess, ReadersOutlivingTheirComponentEndQuietly) {
  world.devices.Plug();
  Make().HidFindAndReadDevice(kVendorCollection, "*");
  hid.reset();
  Input({8, 2, 1, 0, 0, 0, 0, 0});
  world.devices.Unplug();
  EXPECT_TRUE(deliveries.empty());
  EXPECT_TRUE(lost.empty());
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  EXPECT_EQ(world.devices.OpenCollections(), 0u);
}

TEST_F(HidAccess, ButtonDataNamesThePressedUsageHighAndTheReleasedLow) {
  world.devices.Plug();
  auto& h = Make();
  std::vector<std::uint32_t> buttons;
  h.OnParsedData = [&](const std::string&, const std::string&, std::uint8_t, std::uint32_t data) {
    buttons.push_back(data);
  };
  h.HidFindAndReadDevice(kMouseCollection, "*");
  auto mouse = [&](std::uint8_t held) {
    world.devices.InputOn(kSimMouseInterface, std::vector<std::uint8_t>{1, held, 0, 0, 0, 0, 0, 0});
  };
  mouse(0x01);  // 1 pressed
  mouse(0x03);  // 2 pressed, 1 held
  mouse(0x02);  // 1 released
  mouse(0x04);  // 2 released and 3 pressed: the release wins
  mouse(0x04);  // no change
  EXPECT_EQ(buttons, (std::vector<std::uint32_t>{0x00010000, 0x00020000, 0x00000001, 0x00000002, 0}));
}

TEST_F(HidAccess, UsageListDifferenceStopsAtTheFirstZero) {
  std::array<std::uint16_t, 4> prev = {1, 2, 0, 3};
  std::array<std::uint16_t, 4> cur = {2, 4, 5, 0};
  std::array<std::uint16_t, 4> breaks;
  std::array<std::uint16_t, 4> makes;
  breaks.fill(9);
  makes.fill(9);
  UsageListDifference(prev, cur, breaks, makes, 4);
  EXPECT_EQ(breaks, (std::array<std::uint16_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(makes, (std::array<std::uint16_t, 4>{4, 5, 0, 0}));
  UsageListDifference(prev, cur, breaks, makes, 1);  // only the first entries count
  EXPECT_EQ(breaks, (std::array<std::uint16_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(makes, (std::array<std::uint16_t, 4>{2, 0, 0, 0}));
}

TEST_F(HidAccess, OutputReportsAreWrittenWithAndWithoutTheExtraByte) {
  auto out = world.devices.interfaces[kSimVendorInterface];
  out.devicePath = "\\\\?\\hid#vid_5a3c&pid_0001&mi_02#8&3d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  out.hardwareIds = {"HID\\VID_5A3C&PID_0001&MI_02"};
  out.caps = {0x0003, 0xFFA0, 8, 65, 0};
  world.devices.interfaces.push_back(out);
  world.devices.Plug();
  auto& h = Make({kVendorId});
  auto report = std::make_unique<THIDDataParam>();
  report->UsageAndPage = {0x0003, 0xFFA0};
  report->Data.ReportID = 4;
  report->Data.DATASIZE = 64;
  EXPECT_FALSE(h.HidFindAndWriteDevice(*report));  // the include list does not hold its ID
  report->DeviceID = "hid\\vid_5a3c&pid_0001&mi_02";
  world.devices.log.clear();
  EXPECT_TRUE(h.HidFindAndWriteDevice(*report));
  report->DeviceID = "";
  EXPECT_TRUE(h.HidFindAndWriteDeviceBYHID(*report));  // no filter
  ASSERT_EQ(world.devices.log.size(), 2u);
  EXPECT_EQ(world.devices.log[0].size(), std::string("write ").size() + 130);  // 65 bytes
  EXPECT_EQ(world.devices.log[1].size(), std::string("write ").size() + 128);  // 64 bytes
  report->Data.DATASIZE = 66;
  EXPECT_FALSE(h.HidFindAndWriteDeviceBYHID(*report));  // longer than its output report
}

TEST_F(HidAccess, FeatureReportsWithoutAMatchingCollectionFail) {
  auto& h = Make();
  auto report = std::make_unique<THIDDataParam>();
  report->UsageAndPage = kVendorCollection;
  report->Data.ReportID = 2;
  report->Data.DATASIZE = 16;
  EXPECT_EQ(h.HidFindAndSetFeatureReport(*report), kErrorDeviceNotConnected);
  EXPECT_EQ(h.HidFindAndGetFeatureReport(*report), kErrorDeviceNotConnected);
  world.devices.Plug();
  EXPECT_EQ(h.HidFindAndSetFeatureReport(*report), kErrorSuccess);
  EXPECT_NE(report->DeviceHandle, 0u);
  report->Data.DATASIZE = 70000;  // beyond the report buffer
  EXPECT_EQ(h.HidFindAndGetFeatureReport(*report), kErrorInvalidParameter);
  report->Data.DATASIZE = 17;  // no such report
  EXPECT_EQ(h.HidFindAndSetFeatureReport(*report), kErrorInvalidParameter);
}

}  // namespace
}  // namespace zr
