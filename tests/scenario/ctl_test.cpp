// zrctl over the simulated platform: the monitor (when one runs) and zrctl
// are two programs of one world, sharing its registry, files and desktop.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "common/text.h"
#include "ctl/ctl.h"
#include "ctl/report.h"
#include "platform/sim/sim_world.h"
#include "profile/dm.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::SimProcess;
using sim::SimWorld;

const char kKey[] = "software\\software\\DAvezodev";
const char kProfiles[] = "C:\\users\\player\\Documents\\Profile\\";

struct Result {
  int rc;
  std::string out;
  std::string err;
};

class Ctl : public ::testing::Test {
 protected:
  void SetUp() override {
    world.devices.keepLog = false;
    world.devices.onLog = [this](const std::string& l) { deviceLines.push_back(l); };
    world.files.PutText(monitor.ExeFolder() + "config.ini",
                        "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n");
  }
  // The records a first start of the monitor stores, without a monitor.
  void StoreFactoryRecords() {
    MonitorGlobals globals;
    TDM dm(monitor.platform(), globals);
  }
  void StartMonitor() {
    world.devices.Plug();
    program = std::make_unique<MonitorProgram>(monitor.platform());
    ASSERT_TRUE(program->Start());
    world.RunPending();
    deviceLines.clear();
  }
  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int rc = ctl::RunCtl(args, ctlProcess.platform(), out, err);
    return {rc, out.str(), err.str()};
  }
  std::string Slot(int i) const { return kProfiles + std::string("Profile") + std::to_string(i + 1) + ".pfd"; }
  std::int32_t StoredGroup() const {
    const auto* v = world.registry.PeekValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd");
    std::int32_t g = -1;
    if (v != nullptr && v->data.size() >= 4) std::memcpy(&g, v->data.data(), 4);
    return g;
  }

  std::vector<std::string> deviceLines;  // outlives the world, which logs to it
  SimWorld world;
  SimProcess monitor{world};
  SimProcess ctlProcess{world};
  std::unique_ptr<MonitorProgram> program;
};

TEST_F(Ctl, GroupStoresTheSelectionAndTheRunningMonitorPushesTheGroupsSlot) {
  StoreFactoryRecords();
  // Slot 1's first CPI level made recognisable in its file.
  Bytes slot1 = *world.files.GetFile(Slot(1));
  const std::uint16_t cpi = 1234;
  const std::size_t level0 = offsetof(TMOUSEPROFILEINFO, ConfigInfo) + offsetof(TMOUSECONFIGINFO, CPIState);
  std::memcpy(&slot1[level0], &cpi, 2);
  std::memcpy(&slot1[level0 + 2], &cpi, 2);
  world.files.PutFile(Slot(1), slot1);
  StartMonitor();

  const Result r = Run({"group", "1"});

  EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
  EXPECT_EQ(StoredGroup(), 1);
  EXPECT_EQ(program->Form()->DM.FProfileIndex, 1);
  bool pushed = false;
  for (const std::string& l : deviceLines) {
    pushed |= l.rfind("ioctl 80008004 ", 0) == 0 && l.find("d2040000d2040000") != std::string::npos;
  }
  EXPECT_TRUE(pushed) << "slot 1's CPI block was not sent to the driver";
}

TEST_F(Ctl, ApplyAndReloadReachTheMonitor) {
  StoreFactoryRecords();
  StartMonitor();
  for (const auto& [command, msg] : {std::pair{"apply", WM_APPLY_PROFILE}, std::pair{"reload", WM_RELOAD_SETTINGS}}) {
    const Result r = Run({command});
    EXPECT_EQ(r.rc, ctl::kExitDone) << command << ": " << r.err;
    EXPECT_EQ(world.desktop.FindByClass(kMonitorClassName)->Received(msg).size(), 1u) << command;
  }
}

TEST_F(Ctl, WithoutAMonitorTheCommandsThatNeedOneExitWith3AndGroupIsStoredAllTheSame) {
  StoreFactoryRecords();
  for (const std::vector<std::string>& args : {std::vector<std::string>{"apply"}, {"reload"}, {"status"}, {"group", "1"}}) {
    EXPECT_EQ(Run(args).rc, ctl::kExitNoMonitor) << args[0];
  }
  EXPECT_EQ(StoredGroup(), 1);
  EXPECT_NE(Run({"status"}).out.find("monitor: not running"), std::string::npos);
}

TEST_F(Ctl, StatusNamesTheStorageTheGroupTheSlotAndTheLanguage) {
  StoreFactoryRecords();
  StartMonitor();
  const Result r = Run({"status"});
  EXPECT_EQ(r.rc, ctl::kExitDone);
  EXPECT_EQ(r.out,
            "monitor: running\n"
            "registry key: HKCU\\software\\software\\DAvezodev\n"
            "profile folder: C:\\users\\player\\Documents\\Profile\\\n"
            "group: 0 (group 0 selects slot 0, group 1 selects slot 1)\n"
            "current slot: 0, C:\\users\\player\\Documents\\Profile\\Profile1.pfd\n"
            "language index: 0\n");
}

TEST_F(Ctl, RefusalsExitWith1WithTheirReasonAndWriteNothing) {
  StoreFactoryRecords();
  world.files.PutFile("C:\\in\\short.pfd", Bytes(100, 1));
  world.files.PutFile("C:\\in\\long.pfd", Bytes(sizeof(TMOUSEPROFILEINFO) + 1, 1));
  world.files.PutFile("C:\\in\\good.pfd", Bytes(sizeof(TMOUSEPROFILEINFO), 1));
  world.files.SetUnreadable(Slot(3));
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{}, "usage: zrctl"},
      {{"bogus"}, "unknown command \"bogus\""},
      {{"profiles", "--xml"}, "unknown argument \"--xml\""},
      {{"group", "2"}, "the group must be 0 or 1"},
      {{"group"}, "group takes one argument"},
      {{"export", "5", "C:\\out.pfd"}, "the slot must be 0..4"},
      {{"import", "0"}, "import takes two arguments"},
      {{"import", "0", "C:\\in\\short.pfd"}, "is not exactly one profile record (109896 bytes), it has 100"},
      {{"import", "0", "C:\\in\\long.pfd"}, "is not exactly one profile record (109896 bytes), it is larger"},
      {{"import", "0", "C:\\in\\missing.pfd"}, "does not exist"},
      {{"import", "3", "C:\\in\\good.pfd"}, "a stored record that cannot be read is kept"},
      {{"export", "3", "C:\\out.pfd"}, "cannot be read"},
  };
  const int registryWrites = world.registry.writes;
  const int fileWrites = world.files.writes;
  for (const auto& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.rc, ctl::kExitRefused) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  }
  EXPECT_EQ(world.registry.writes, registryWrites);
  EXPECT_EQ(world.files.writes, fileWrites);
}

TEST_F(Ctl, GroupIsRefusedWhenTheGroupRecordCannotBeTakenWhole) {
  const std::vector<Bytes> records = {Bytes(10, 0), Bytes(sizeof(TProfileSettingGroup) + 2, 0)};
  for (const Bytes& record : records) {
    world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, record);
    const Result r = Run({"group", "1"});
    EXPECT_EQ(r.rc, ctl::kExitRefused);
    EXPECT_NE(r.err.find("a record has 30964; nothing written"), std::string::npos) << r.err;
    EXPECT_EQ(world.registry.GetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd")->data, record);
  }
}

TEST_F(Ctl, ExportAndImportMoveASlotsRecordByteForByteToItsFileOrRegistryValue) {
  StoreFactoryRecords();
  // Slot 4 kept in the registry.
  auto group = std::make_unique<TProfileSettingGroup>();
  std::memcpy(group.get(), world.registry.PeekValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd")->data.data(),
              sizeof *group);
  group->ProfileSettingList[4].StorageMode = 0;
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary,
                          Bytes(reinterpret_cast<std::uint8_t*>(group.get()),
                                reinterpret_cast<std::uint8_t*>(group.get()) + sizeof *group));
  Bytes record(sizeof(TMOUSEPROFILEINFO));
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(i * 7);
  world.files.PutFile("C:\\in\\mine.pfd", record);

  EXPECT_EQ(Run({"export", "2", "C:\\out\\two.pfd"}).rc, ctl::kExitRefused);  // no such folder
  world.files.AddFolder("C:\\out");
  EXPECT_EQ(Run({"export", "2", "C:\\out\\two.pfd"}).rc, ctl::kExitDone);
  EXPECT_EQ(world.files.GetFile("C:\\out\\two.pfd"), world.files.GetFile(Slot(2)));

  EXPECT_EQ(Run({"import", "2", "C:\\in\\mine.pfd"}).rc, ctl::kExitDone);
  EXPECT_EQ(world.files.GetFile(Slot(2)), record);
  const Result r = Run({"import", "4", "C:\\in\\mine.pfd"});
  EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
  EXPECT_EQ(world.registry.GetValue(kHkeyCurrentUser, kKey, "Profile5.pfd")->data, record);
  EXPECT_EQ(Run({"export", "4", "C:\\out\\four.pfd"}).rc, ctl::kExitDone);
  EXPECT_EQ(world.files.GetFile("C:\\out\\four.pfd"), record);
}

TEST_F(Ctl, ProfilesReportsEachSlotsStateAndReadsWithoutWriting) {
  StoreFactoryRecords();
  world.files.SetUnreadable(Slot(1));
  world.files.PutFile(Slot(2), Bytes(100, 0));
  world.files.DeleteFile(Slot(3));
  const int registryWrites = world.registry.writes;
  const int fileWrites = world.files.writes;

  const Result r = Run({"profiles"});

  EXPECT_EQ(r.rc, ctl::kExitDone);
  for (const char* expected : {"state: unreadable", "state: wrong_size", "state: not_stored", "report_rate: 125",
                               "- level: 1, x: 800, y: 800, enabled: 1, sensor_x: 750, sensor_y: 750",
                               "- key: 4, function: 4, function_class: 1, function_kind: 4, function_code: 5, "
                               "action: forward\n",
                               "- key: 7, function: 0, function_class: 0, function_kind: 0, function_code: 0, "
                               "action: null\n",
                               "stored: HKCU\\software\\software\\DAvezodev\\ProfileSettingGroup.pfd"}) {
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected;
  }
  EXPECT_EQ(world.registry.writes, registryWrites);
  EXPECT_EQ(world.files.writes, fileWrites);
}

TEST_F(Ctl, WithNothingStoredReadingCommandsSaySoAndCreateNothing) {
  const Result r = Run({"profiles", "--json"});
  EXPECT_EQ(r.rc, ctl::kExitRefused);
  EXPECT_NE(r.out.find("\"state\": \"not_stored\""), std::string::npos);
  EXPECT_FALSE(world.registry.KeyExists(kHkeyCurrentUser, kKey));
  EXPECT_TRUE(world.files.AllFiles().size() == 1);  // config.ini
}

TEST(CtlJson, StringsAreEscapedAndInvalidUtf8Replaced) {
  const struct {
    std::string in;
    std::string json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\n\t\x01", "\"\\n\\t\\u0001\""},
      {"Gr\xc3\xbc\xc3\x9f \xe2\x82\xac", "\"Gr\xc3\xbc\xc3\x9f \xe2\x82\xac\""},
      {"bad \xff end \xc3", "\"bad \\ufffd end \\ufffd\""},
      {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // an encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(ctl::JsonString(c.in), c.json);
}

}  // namespace
}  // namespace zr
