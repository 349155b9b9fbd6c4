// zrctl over the simulated platform: the monitor (when one runs) and zrctl
// are two programs of one world, sharing its registry, files and desktop.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "common/text.h"
#include "ctl/ctl.h"
#include "ctl/report.h"
#include "ctl/stored_profiles.h"
#include "platform/sim/sim_world.h"
#include "profile/catalogue.h"
#include "profile/dm.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::SimProcess;
using sim::SimWorld;

const char kKey[] = "software\\software\\DAvezodev";
const char kEdit[] = "C:\\in\\edit.json";

// A record's bytes changed through its type.
template <class Record>
void Change(Bytes& bytes, const std::function<void(Record&)>& change) {
  auto r = std::make_unique<Record>();
  std::memcpy(r.get(), bytes.data(), sizeof *r);
  change(*r);
  std::memcpy(bytes.data(), r.get(), sizeof *r);
}
void ChangeConfig(Bytes& bytes, const std::function<void(TMOUSECONFIGINFO&)>& change) {
  Change<TMOUSEPROFILEINFO>(bytes, [&](TMOUSEPROFILEINFO& p) { change(p.ConfigInfo); });
}
void Row(TBUTTONFUNCINFO& e, int row) {
  e.FunctionIndex = static_cast<std::uint16_t>(row);
  e.FunctionKind = static_cast<std::uint32_t>(FunctionCatalogue[row].FunctionKind);
  e.FunctionCode = static_cast<std::uint32_t>(FunctionCatalogue[row].FunctionCode);
}
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

  // Every record of the factory layout, as stored.
  struct Records {
    Bytes group, global;
    std::array<Bytes, 5> slots;
  };
  Records Stored() const {
    Records r{world.registry.PeekValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd")->data,
              world.registry.PeekValue(kHkeyCurrentUser, kKey, "ALLPROFILE.pfd")->data,
              {}};
    for (int i = 0; i < 5; ++i) r.slots[static_cast<std::size_t>(i)] = *world.files.GetFile(Slot(i));
    return r;
  }
  void Store(const Records& r) {
    world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, r.group);
    world.registry.SetValue(kHkeyCurrentUser, kKey, "ALLPROFILE.pfd", kRegBinary, r.global);
    for (int i = 0; i < 5; ++i) world.files.PutFile(Slot(i), r.slots[static_cast<std::size_t>(i)]);
  }
  // The last CPI block the driver got, in hexadecimal.
  std::string LastCpiBlock() const {
    std::string last;
    for (const std::string& l : deviceLines) {
      if (l.rfind("ioctl 80008004 ", 0) == 0) last = l.substr(15);
    }
    return last;
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
  for (const std::vector<std::string>& args : {std::vector<std::string>{"apply"}, {"reload"}, {"group", "1"}}) {
    EXPECT_EQ(Run(args).rc, ctl::kExitNoMonitor) << args[0];
  }
  EXPECT_EQ(StoredGroup(), 1);
  const Result status = Run({"status"});  // needs no monitor
  EXPECT_EQ(status.rc, ctl::kExitDone);
  EXPECT_NE(status.out.find("monitor: not running"), std::string::npos);
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
    std::string json = "";  // the file import --json gets
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
      {{"set", "5", "cpi", "800"}, "the slot must be 0..4"},
      {{"set", "3", "cpi", "800"}, "slot 3: file C:\\users\\player\\Documents\\Profile\\Profile4.pfd cannot be read"},
      {{"set", "0", "dpi", "800"}, "the settings are cpi, wheel-up, wheel-down and key"},
      {{"set", "0", "cpi", "400,x"}, "level 1 (\"x\") is neither a CPI N nor XxY"},
      {{"set", "0", "cpi", "400,500,600,700,800,900,1000,1100,1200,1300,1400"}, "the mouse takes 1 to 10 CPI levels"},
      {{"set", "0", "cpi", "800,70000"}, "level 1 (\"70000\"): a profile holds CPI values up to 65535"},
      {{"set", "0", "cpi", "30x4000"}, "sensor step (4000 here), so each axis must be 40..65535"},
      {{"set", "0", "cpi", "2"}, "sensor step (250 here), so each axis must be 3..65535"},
      {{"set", "0", "wheel-up", "tilt"}, "\"tilt\" is no wheel function; they are scroll-up, scroll-down, volume-up"},
      {{"set", "0", "key", "15", "click"}, "the device keys are 0..14"},
      {{"set", "0", "key", "3", "34"}, "\"34\" is no key function; give a row of the function catalogue, 0..33"},
      {{"import", "--json", kEdit}, "edit.json: line 1, column 2 (the document): a key in double quotes", "{"},
      {{"import", "--json", kEdit}, "the document: an object is expected", "[]"},
      {{"import", "--json", kEdit},
       "slots[0].profile.cpi.levels[0].z: there is no such key here",
       R"({"slots": [{"slot": 2, "profile": {"cpi": {"levels": [{"level": 4, "z": 1}]}}}]})"},
      {{"import", "--json", kEdit},
       "slots[0].profile.cpi.levels[0].x: a whole number is expected",
       R"({"slots": [{"slot": 2, "profile": {"cpi": {"levels": [{"level": 4, "x": "400"}]}}}]})"},
      {{"import", "--json", kEdit},
       "slots[0].profile.report_rate: 70000 does not fit; the record holds 0..65535",
       R"({"slots": [{"slot": 2, "profile": {"report_rate": 70000}}]})"},
      {{"import", "--json", kEdit},
       "slots[2].profile.cpi.levels[0] (10x4000): the filter driver",
       R"({"slots": [{"slot": 2, "profile": {"cpi": {"levels": [{"x": 10, "y": 4000}]}}}]})"},
      {{"import", "--json", kEdit},
       "slots[2].profile.cpi.levels[4].enabled: with 6 levels in use, levels 0..5 are enabled and the others not",
       R"({"slots": [{"slot": 2, "profile": {"cpi": {"levels_in_use": 6}}}]})"},
      {{"import", "--json", kEdit},
       "slots[0].profile.wheel.up.action: \"volume up\" is not what the records give (\"wheel up\")",
       R"({"slots": [{"slot": 2, "profile": {"wheel": {"up": {"action": "volume up"}}}}]})"},
      {{"import", "--json", kEdit},
       "slots[0].profile: the listing has null here (its record cannot be read whole)",
       R"({"slots": [{"slot": 3, "profile": {"report_rate": 500}}]})"},
      {{"import", "--json", kEdit},
       "slots[1]: names the same entry as slots[0]",
       R"({"slots": [{"slot": 2}, {"slot": 2}]})"},
      {{"import", "--json", kEdit},
       "group.current_group: the groups are 0 and 1",
       R"({"group": {"current_group": 2}})"},
  };
  world.files.PutText(kEdit, "");
  const int registryWrites = world.registry.writes;
  const int fileWrites = world.files.writes;
  for (const auto& c : cases) {
    if (!c.json.empty()) world.files.PutText(kEdit, c.json);
    const Result r = Run(c.args);
    EXPECT_EQ(r.rc, ctl::kExitRefused) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  }
  EXPECT_EQ(world.registry.writes, registryWrites);
  EXPECT_EQ(world.files.writes, fileWrites);
}

TEST_F(Ctl, EachEditWritesTheFieldsItNamesAndWhatFollowsFromThemAndKeepsEveryOtherByte) {
  StoreFactoryRecords();
  const Records factory = Stored();
  using C = TMOUSECONFIGINFO;
  const struct {
    std::vector<std::string> args;
    std::function<void(Records&)> change;
    std::string json = "";  // the file import --json gets; "listing": what profiles --json prints
  } cases[] = {
      {{"set", "2", "cpi", "400,800x1200,3000"},
       [](Records& r) {
         ChangeConfig(r.slots[2], [](C& c) {
           c.CPIState[0] = {400, 400, 1};
           c.CPIState[1] = {800, 1200, 1};
           c.CPIState[2] = {3000, 3000, 1};
           c.CPIState[3].Enabled = 0;  // 3500 kept
           c.HWCPIState[0] = {500, 500, 1};
           c.HWCPIState[1] = {1250, 1250, 1};
           c.HWCPIState[2] = {3000, 3000, 1};
           c.HWCPIState[3].Enabled = 0;
           c.CPILevel = 3;  // the current level, 1, is still in use
         });
       }},
      {{"set", "2", "cpi", "1000"},
       [](Records& r) {
         ChangeConfig(r.slots[2], [](C& c) {
           c.CPIState[0] = {1000, 1000, 1};
           c.HWCPIState[0] = {1000, 1000, 1};
           for (int i = 1; i < 4; ++i) c.CPIState[i].Enabled = c.HWCPIState[i].Enabled = 0;
           c.CPILevel = 1;
           c.CurrentCPIIndex = 0;
         });
       }},
      {{"set", "2", "wheel-up", "volume-up"},
       [](Records& r) { ChangeConfig(r.slots[2], [](C& c) { c.VWheelButtonFuncInfo[0].FunctionIndex = 2; }); }},
      {{"set", "2", "wheel-down", "block"},
       [](Records& r) { ChangeConfig(r.slots[2], [](C& c) { c.VWheelButtonFuncInfo[1].FunctionClass = 0; }); }},
      {{"set", "2", "wheel-down", "plain"}, [](Records&) {}},
      {{"set", "2", "key", "7", "mute-mic"},
       [](Records& r) { ChangeConfig(r.slots[2], [](C& c) { Row(c.ButtonFuncInfo[7], 28); }); }},
      {{"set", "2", "key", "3", "right-click"},
       [](Records& r) { ChangeConfig(r.slots[2], [](C& c) { Row(c.ButtonFuncInfo[3], 1); }); }},
      {{"set", "2", "key", "14", "33"},
       [](Records& r) { ChangeConfig(r.slots[2], [](C& c) { Row(c.ButtonFuncInfo[14], 33); }); }},
      {{"import", "--json", kEdit}, [](Records&) {}, "listing"},
      {{"import", "--json", kEdit},
       [](Records& r) {
         ChangeConfig(r.slots[2], [](C& c) {
           c.ReportRate = 500;
           c.CPIState[1].X = 1000;
           c.HWCPIState[1] = {1000, 1000, 1};
           c.VWheelButtonFuncInfo[1].FunctionIndex = 4;
           Row(c.ButtonFuncInfo[5], 28);
           c.LEDConfig.G = 128;
         });
       },
       R"({"slots": [{"slot": 2, "profile": {"report_rate": 500, "cpi": {"levels": [{"level": 1, "x": 1000}]},
           "wheel": {"down": {"function": 4}}, "keys": [{"key": 5, "function": 28}], "led": {"g": 128}}}]})"},
      // Derived values given as the edit leaves them, or as they were.
      {{"import", "--json", kEdit},
       [](Records& r) { ChangeConfig(r.slots[2], [](C& c) { c.VWheelButtonFuncInfo[0].FunctionIndex = 3; }); },
       R"({"slots": [{"slot": 2, "state": "ok", "profile": {"wheel": {"up": {"function": 3, "action": "volume down",
           "plain": false}}}}]})"},
      {{"import", "--json", kEdit},
       [](Records& r) {
         Change<TProfileSettingGroup>(r.group, [](TProfileSettingGroup& g) {
           g.CurrentProfileGroup = 1;
           g.ProfileIndexOfProfileGroup[1] = 3;
         });
         Change<TALLGAMESINFO>(r.global, [](TALLGAMESINFO& a) { a.CurrentLanguage = 2; });
       },
       R"({"group": {"current_group": 1, "group_slots": [0, 3], "current_slot": 0}, "global": {"language_index": 2}})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2] + " " + c.json);
    Store(factory);
    if (c.json == "listing") {
      world.files.PutText(kEdit, Run({"profiles", "--json"}).out);
    } else if (!c.json.empty()) {
      world.files.PutText(kEdit, c.json);
    }
    const int writes = world.files.writes + world.registry.writes;
    Records expected = factory;
    c.change(expected);

    const Result r = Run(c.args);

    EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
    const Records now = Stored();
    EXPECT_EQ(now.group, expected.group);
    EXPECT_EQ(now.global, expected.global);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(now.slots[i], expected.slots[i]) << "slot " << i;
    if (expected.slots == factory.slots && expected.group == factory.group && expected.global == factory.global) {
      EXPECT_EQ(world.files.writes + world.registry.writes, writes) << "an edit that changes nothing writes nothing";
      EXPECT_NE(r.out.find("nothing written"), std::string::npos) << r.out;
    }
  }
}

TEST_F(Ctl, ARunningMonitorTakesAnEditOfItsCurrentSlotAtOnceAndIsToldWhenOfAnother) {
  StoreFactoryRecords();
  StartMonitor();

  Result r = Run({"set", "0", "cpi", "500,1000x2000"});

  EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
  EXPECT_NE(r.out.find("the monitor applied it"), std::string::npos) << r.out;
  const std::string block = LastCpiBlock();
  ASSERT_EQ(block.size(), 238u * 2);
  // STCpi and HWCpi: per level its enabled byte, then X and Y as 32 bits.
  EXPECT_EQ(block.substr(108 * 2, 27 * 2),
            "01f4010000f4010000"
            "01e8030000d0070000"
            "004006000040060000");
  EXPECT_EQ(block.substr(18 * 2, 27 * 2),
            "01f4010000f4010000"
            "01d0070000d0070000"
            "00dc050000dc050000");

  r = Run({"set", "0", "wheel-up", "volume-up"});
  EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
  EXPECT_EQ(program->Form()->qvHook1->MouseHookObjectCount(), 1u);  // the wheel-up rule
  EXPECT_EQ(world.input.Installed(sim::SimInput::Kind::Mouse), 1);

  deviceLines.clear();
  r = Run({"set", "2", "cpi", "800"});
  EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
  EXPECT_NE(
      r.out.find("slot 2 is not the current slot (that is slot 0): the monitor takes it when slot 2 becomes current"),
      std::string::npos)
      << r.out;
  EXPECT_EQ(LastCpiBlock(), "");
}

TEST_F(Ctl, WhatIsSaidAndSentAfterAnEditFollowsWhereTheMonitorTakesIt) {
  const struct {
    const char* what;
    bool monitor;
    bool registryCopy;  // a registry value named like slot 0's file (the last case)
    std::vector<std::string> args;
    std::string json;
    const char* said;  // on standard output or, for a warning, standard error
  } cases[] = {
      {"no monitor", false, false, {"set", "0", "cpi", "800"}, "",
       "no monitor is running; it takes the change when it starts"},
      {"the language", true, false, {"import", "--json", kEdit}, R"({"global": {"language_index": 1}})",
       "the monitor reloaded the settings"},
      {"a registry copy of the file slot", false, true, {"set", "0", "cpi", "1600"}, "",
       "holds a copy of slot 0, which the monitor loads in place of the file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    program.reset();
    StoreFactoryRecords();
    if (c.registryCopy) world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile1.pfd", kRegBinary, Bytes(8, 1));
    if (c.monitor) StartMonitor();
    if (!c.json.empty()) world.files.PutText(kEdit, c.json);

    const Result r = Run(c.args);

    EXPECT_EQ(r.rc, ctl::kExitDone) << r.err;
    EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
  }
}

TEST_F(Ctl, ARecordThatAnotherProgramChangedSinceItWasReadIsNotWritten) {
  StoreFactoryRecords();
  const Bytes read = *world.files.GetFile(Slot(2));
  Bytes changed = read;
  changed[100] ^= 1;
  world.files.PutFile(Slot(2), changed);
  const std::string why =
      ctl::StoreRecord(ctlProcess.platform(), ctl::RecordPlace::File(Slot(2)), Bytes(read.size(), 7), &read);
  EXPECT_NE(why.find("Profile3.pfd was changed by another program while zrctl ran"), std::string::npos) << why;
  EXPECT_EQ(world.files.GetFile(Slot(2)), changed);
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
                               "- level: 1, sent: true, different_xy: 1, x: 800, y: 800, enabled: 1, sensor_x: 750, sensor_y: 750",
                               "- key: 4, button_index: 4, function: 4, function_class: 1, function_kind: 4, function_code: 5, "
                               "action: forward\n",
                               "- key: 7, button_index: 0, function: 0, function_class: 0, function_kind: 0, function_code: 0, "
                               "action: null\n",
                               "stored: HKCU\\software\\software\\DAvezodev\\ProfileSettingGroup.pfd"}) {
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\nin:\n" << r.out;
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
      {"Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x96\xb1", "\"Gr\\u00fc\\u00df \\u20ac \\ud83d\\uddb1\""},
      {"bad \xff end \xc3", "\"bad \\ufffd end \\ufffd\""},
      {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // an encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(ctl::JsonString(c.in), c.json);
}

TEST(CtlJson, ParsingTakesWhatToJsonWritesAndRefusesTheRestSayingWhere) {
  const struct {
    std::string in;
    std::string json;   // the value written again, when it parses
    std::string error;  // else a part of the reason
  } cases[] = {
      {"\xEF\xBB\xBF {\"a\": [1, -2, true, null], \"b\": \"\\ud83d\\uddb1 \\u00fc\\n\"}",
       "{\n  \"a\": [\n    1,\n    -2,\n    true,\n    null\n  ],\n  \"b\": \"\\ud83d\\uddb1 \\u00fc\\n\"\n}\n", ""},
      {"{\"a\": {\"b\": [0, 1.5]}}", "", "line 1, column 17 (a.b[1]): 1.5 is not a whole number"},
      {"{\"a\": 1,\n \"a\": 2}", "", "line 2, column 5 (the document): the key \"a\" is given twice"},
      {"\"\\ud83d x\"", "", "a \\u escape of half a character"},
      {"[01]", "", "a malformed number"},
      {"[1,]", "", "no JSON value begins here"},
      {"{\"a\": \"b", "", "a string has no closing"},
      {"{} x", "", "more text after the document's end"},
      {"[\"Jos\xE9\"]", "", "line 1, column 6 ([0]): a string that is not UTF-8"},
      {"[\"Jos\xC3\xA9\"]", "[\n  \"Jos\\u00e9\"\n]\n", ""},
      {"\xFF\xFE{", "", "the file is in UTF-16"},
      {std::string(100, '['), "", "nested too deeply"},
  };
  for (const auto& c : cases) {
    const ctl::JsonDocument d = ctl::ParseJson(c.in);
    if (c.error.empty()) {
      EXPECT_EQ(d.error, "");
      EXPECT_EQ(ctl::ToJson(d.root), c.json);
    } else {
      EXPECT_NE(d.error.find(c.error), std::string::npos) << c.in << ": " << d.error;
    }
  }
}

}  // namespace
}  // namespace zr
