// Installing the filter driver on the listed devices and removing it, over
// the simulated device installer, service control manager, shell and files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/std_command.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimProcess;
using sim::SimSetupDevice;
using sim::SimWorld;

using Strings = std::vector<std::string>;
enum class Windows { Bits32, Bits64, Xp64 };

constexpr char kListedId[] = "HID\\VID_5A3C&PID_0001&MI_00";
constexpr char kTarget[] = "C:\\windows\\System32\\Drivers\\usbkvtr00001.sys";

class DriverInstall : public ::testing::Test {
 protected:
  // config.ini with the listed ID and these "DEVICE" settings; the driver
  // file stand-ins (telling which folder they came from) and the package
  // tool in each driver folder.
  TqvSTDCommand& Make(int whql = 0, int x32whql = 0, int upperFilter = 0, Windows windows = Windows::Bits32) {
    if (windows == Windows::Bits64) world->os.Set64Bit();
    if (windows == Windows::Xp64) world->os.SetXp64();
    world->files.PutText(Exe() + "config.ini", "[usbdevicelist]\nid1=" + std::string(kListedId) +
                                                  "\nid2=HID\\VID_5A3C&PID_0002\n[DEVICE]\nWHQL=" +
                                                  std::to_string(whql) + "\nX32WHQL=" + std::to_string(x32whql) +
                                                  "\nUpperFilter=" + std::to_string(upperFilter) + "\n");
    for (const char* folder : {"DRIVERX86\\", "DRIVERX64\\", "XP64\\"}) {
      world->files.PutText(Exe() + folder + "usbkvtr00001.sys", folder);
      world->shell.AddProgram(Exe() + folder + "DIFxCmd.exe", [](const sim::ShellRequest&) {});
    }
    command = std::make_unique<TqvSTDCommand>(process->platform());
    return *command;
  }
  SimSetupDevice& Listed(std::optional<Strings> lower = std::nullopt, std::optional<Strings> upper = std::nullopt) {
    SimSetupDevice& d = world->deviceSetup.AddDevice({"HID\\VID_5A3C&PID_0001&REV_0100&MI_00", kListedId});
    d.lowerFilters = std::move(lower);
    d.upperFilters = std::move(upper);
    return d;
  }
  std::string Exe() const { return process->ExeFolder(); }
  std::string TargetText() const {
    const auto bytes = world->files.GetFile(kTarget);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(none)";
  }
  // Everything the hand install or removal did, in order.
  Strings Done() const {
    Strings all = world->services.log;
    all.insert(all.end(), world->deviceSetup.log.begin(), world->deviceSetup.log.end());
    return all;
  }

  // A new world for the next case of a table.
  void Fresh() {
    command.reset();
    process.reset();
    world = std::make_unique<SimWorld>();
    process = std::make_unique<SimProcess>(*world);
  }

  std::unique_ptr<SimWorld> world = std::make_unique<SimWorld>();
  std::unique_ptr<SimProcess> process = std::make_unique<SimProcess>(*world);
  std::unique_ptr<TqvSTDCommand> command;
};

TEST_F(DriverInstall, AHandInstallCopiesRegistersWritesTheSelectedListAndRestartsTheDevice) {
  for (const int upperFilter : {0, 1}) {
    SCOPED_TRACE(upperFilter);
    Fresh();
    world->files.PutText(kTarget, "old");
    Listed(Strings{"lowerOne"}, Strings{"upperOne"});
    auto& c = Make(0, 0, upperFilter);
    world->AdvanceBy(1000);
    c.HidInstallDriver(true);

    EXPECT_EQ(TargetText(), "DRIVERX86\\");  // replaced by the 32-bit file
    const sim::SimService* s = world->services.Find("usbkvtr00001");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->config.serviceType, 1u);
    EXPECT_EQ(s->config.startType, 3u);
    EXPECT_EQ(s->config.errorControl, 1u);
    EXPECT_EQ(s->config.binaryPath, kTarget);
    EXPECT_EQ(s->config.displayName, "usbkvtr00001_Display");
    const std::string list = upperFilter ? "upper" : "lower";
    EXPECT_EQ(Done(), (Strings{"create usbkvtr00001", "set 0 " + list + " usbkvtr00001 (32768 bytes)",
                               "disable 0 @1000", "enable 0 @1100"}));
    const SimSetupDevice& d = world->deviceSetup.devices[0];
    EXPECT_EQ(upperFilter ? d.lowerFilters : d.upperFilters,
              upperFilter ? Strings{"lowerOne"} : Strings{"upperOne"});  // the other list stays
    EXPECT_EQ(world->services.openHandles, 0);
    EXPECT_EQ(world->deviceSetup.openLists, 0u);
    EXPECT_TRUE(world->shell.requests.empty());
  }
}

TEST_F(DriverInstall, WhatEachDeviceStateLeadsToInTheListUpperFilterSelects) {
  struct Case {
    const char* name;
    bool install;
    int upperFilter;  // which list is read: 0 the lower, 1 the upper
    std::optional<Strings> lower, upper;
    bool problem;
    bool serviceExists;
    Strings done;
  };
  const Strings installed = {"create usbkvtr00001", "set 0 lower usbkvtr00001 (32768 bytes)", "disable 0 @0",
                             "enable 0 @100"};
  const Strings removed = {"delete usbkvtr00001", "set 0 lower  (32768 bytes)", "disable 0 @0", "enable 0 @100"};
  const Case cases[] = {
      {"no list yet", true, 0, std::nullopt, std::nullopt, false, false, installed},
      {"only in the upper list", true, 0, Strings{}, Strings{"usbkvtr00001"}, false, false, installed},
      {"installed, no problem", true, 0, Strings{"kbdclass", "USBKVTR00001"}, std::nullopt, false, true, {}},
      {"installed, a problem", true, 0, Strings{"usbkvtr00001"}, std::nullopt, true, true,
       {"change usbkvtr00001", "set 0 lower usbkvtr00001 (32768 bytes)", "disable 0 @0", "enable 0 @100"}},
      {"remove installed", false, 0, Strings{"UsbKvtr00001"}, std::nullopt, false, true, removed},
      {"remove, the list lacks it", false, 0, Strings{"kbdclass"}, Strings{"usbkvtr00001"}, false, true, {}},
      {"upper: installed there, no problem", true, 1, Strings{}, Strings{"usbkvtr00001"}, false, true, {}},
      {"upper: only in the lower list", true, 1, Strings{"usbkvtr00001"}, Strings{}, false, false,
       {"create usbkvtr00001", "set 0 upper usbkvtr00001 (32768 bytes)", "disable 0 @0", "enable 0 @100"}},
      {"upper: remove, only the lower list has it", false, 1, Strings{"usbkvtr00001"}, Strings{}, false, true, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SimWorld w;
    SimProcess p(w);
    w.files.PutText(p.ExeFolder() + "config.ini", std::string("[usbdevicelist]\nid1=") + kListedId +
                                                      "\n[DEVICE]\nUpperFilter=" + std::to_string(k.upperFilter) +
                                                      "\n");
    w.files.PutText(p.ExeFolder() + "DRIVERX86\\usbkvtr00001.sys", "x86");
    SimSetupDevice& d = w.deviceSetup.AddDevice({kListedId});
    d.lowerFilters = k.lower;
    d.upperFilters = k.upper;
    d.problem = k.problem;
    if (k.serviceExists) w.services.AddService("usbkvtr00001", {});
    TqvSTDCommand c(p.platform());
    std::vector<TDriverInstallStep> steps;
    c.HidInstallDriver(k.install, &steps);
    Strings done = w.services.log;
    done.insert(done.end(), w.deviceSetup.log.begin(), w.deviceSetup.log.end());
    EXPECT_EQ(done, k.done);
    ASSERT_EQ(steps.size(), 1u);
    const char* action = k.done.empty() ? "none" : !k.install ? "remove" : k.problem ? "install again" : "install";
    EXPECT_EQ(steps[0].Action, action);
    EXPECT_EQ(steps[0].Failure, "");
  }
}

TEST_F(DriverInstall, TheWayAndThePackageToolsFolderAndParameters) {
  struct Case {
    const char* name;
    Windows windows;
    int whql, x32whql;
    bool install;
    const char* folder;  // null: by hand
    const char* parameters;
    const char* handFile;  // the driver file a hand install took
  };
  const char* kInstall = "/i usbkvtr00001.inf DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE";
  const Case cases[] = {
      {"32-bit, unsigned", Windows::Bits32, 0, 1, true, nullptr, nullptr, "DRIVERX86\\"},
      {"32-bit, signed for 64 only", Windows::Bits32, 1, 0, true, nullptr, nullptr, "DRIVERX86\\"},
      {"32-bit, signed", Windows::Bits32, 1, 1, true, "DRIVERX86\\", kInstall, nullptr},
      {"64-bit, signed", Windows::Bits64, 1, 0, true, "DRIVERX64\\", kInstall, nullptr},
      {"64-bit, unsigned", Windows::Bits64, 0, 0, true, nullptr, nullptr, "DRIVERX64\\"},
      {"64-bit, removal", Windows::Bits64, 1, 0, false, "DRIVERX64\\",
       "/u usbkvtr00001.inf DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE DRIVER_PACKAGE_DELETE_FILES", nullptr},
      {"XP x64, signed", Windows::Xp64, 1, 0, true, "XP64\\", "/i usbkvtr00001.inf", nullptr},
      {"XP x64, removal", Windows::Xp64, 1, 0, false, "XP64\\", "/u usbkvtr00001.inf", nullptr},
      {"XP x64, unsigned", Windows::Xp64, 0, 0, true, nullptr, nullptr, "DRIVERX64\\"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Fresh();
    Listed(k.install ? Strings{} : Strings{"usbkvtr00001"});
    if (!k.install) world->services.AddService("usbkvtr00001", {});
    Make(k.whql, k.x32whql, 0, k.windows).HidInstallDriver(k.install);
    if (k.folder == nullptr) {
      EXPECT_TRUE(world->shell.requests.empty());
      EXPECT_EQ(TargetText(), k.handFile);
      continue;
    }
    ASSERT_EQ(world->shell.requests.size(), 1u);
    const sim::ShellRequest& r = world->shell.requests[0];
    EXPECT_EQ(r.verb, "open");
    EXPECT_EQ(r.file, Exe() + k.folder + "DIFxCmd.exe");
    EXPECT_EQ(r.parameters, k.parameters);
    EXPECT_EQ(r.directory, Exe() + k.folder);
    EXPECT_EQ(r.showCommand, 0);
    EXPECT_EQ(r.mask, 0x640u);  // no message box for a missing tool
    EXPECT_TRUE(r.waitedFor);
    EXPECT_TRUE(Done().empty());  // the tool does it all
    EXPECT_EQ(TargetText(), "(none)");
  }
}

TEST_F(DriverInstall, EveryListedDeviceIsHandledAndNoOther) {
  Listed(Strings{});
  world->deviceSetup.AddDevice({"HID\\VID_1234&PID_0001", "HID_DEVICE"});
  world->deviceSetup.AddDevice({"HID\\VID_5A3C&PID_0002"}).upperFilters = Strings{"usbkvtr00001"};
  world->deviceSetup.AddDevice({kListedId}).setupClass = kHidInterfaceGuid;  // not of the HID setup class
  std::vector<TDriverInstallStep> steps;
  Make(1, 1).HidInstallDriver(true, &steps);
  EXPECT_EQ(world->shell.requests.size(), 2u);  // the tool runs once per listed device
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1].Failure, "");
  const std::string tool = Exe() + "DRIVERX86\\DIFxCmd.exe";
  world->shell.AddProgram(tool, [](const sim::ShellRequest&) {}, 5);  // the tool fails
  steps.clear();
  command->HidInstallDriver(true, &steps);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1].Failure, "the driver-package tool " + tool + " ended with exit code 5");
  world->shell.requests.clear();
  world->shell.RemoveProgram(tool);  // a missing tool: nothing to wait for
  steps.clear();
  command->HidInstallDriver(true, &steps);
  ASSERT_EQ(world->shell.requests.size(), 2u);
  EXPECT_FALSE(world->shell.requests[1].waitedFor);
  for (const sim::ShellRequest& r : world->shell.requests) EXPECT_FALSE(r.errorBox);  // no box waits for a click
  EXPECT_TRUE(Done().empty());
  ASSERT_EQ(steps.size(), 2u);
  for (const TDriverInstallStep& step : steps) {
    EXPECT_EQ(step.Action, "install");
    EXPECT_TRUE(step.ByTool);
    EXPECT_EQ(step.Failure, "the driver-package tool " + tool + " could not be started");
  }
}

// What failed is told to whoever asks (zrdriver.exe); the monitor asks not.
TEST_F(DriverInstall, AStepThatFailsIsToldAndLeavesTheFilterListUntouched) {
  struct Case {
    const char* name;
    bool install;
    std::function<void(SimWorld&, const std::string& exe)> arrange;
    bool listWritten;
    const char* failure;  // part of what is told; null: nothing failed
  };
  const Case cases[] = {
      {"no driver file", true, [](SimWorld& w, const std::string& exe) { w.files.RemoveFolder(exe + "DRIVERX86"); },
       false, "could not be copied to C:\\windows\\System32\\Drivers\\usbkvtr00001.sys"},
      {"no service manager", true, [](SimWorld& w, const std::string&) { w.services.managerOpens = false; }, false,
       "the service control manager could not be opened"},
      {"creation refused", true, [](SimWorld& w, const std::string&) { w.services.failCreate = 5; }, false,
       "could not be created (error 5)"},
      {"created meanwhile", true, [](SimWorld& w, const std::string&) { w.services.failCreate = 1073; }, true,
       nullptr},
      {"change refused", true,
       [](SimWorld& w, const std::string&) {
         w.services.AddService("usbkvtr00001", {});
         w.services.failChange = true;
       },
       false, "could not be reconfigured"},
      {"list write refused", true, [](SimWorld& w, const std::string&) { w.deviceSetup.devices[0].refuseWrites = true; },
       false, "filter list could not be written"},
      {"removal without a manager", false, [](SimWorld& w, const std::string&) { w.services.managerOpens = false; },
       false, "the service control manager could not be opened"},
      {"removal without the service", false, [](SimWorld&, const std::string&) {}, false,
       "the service usbkvtr00001 could not be opened"},
      {"deletion refused", false,
       [](SimWorld& w, const std::string&) {
         w.services.AddService("usbkvtr00001", {});
         w.services.failDelete = true;
       },
       false, "could not be deleted"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Fresh();
    const Strings before = k.install ? Strings{"usbkvtr00001"} : Strings{"kbdclass", "usbkvtr00001"};
    SimSetupDevice& d = Listed(before);
    d.problem = true;  // an installed device with a problem is installed again
    auto& c = Make();
    k.arrange(*world, Exe());
    std::vector<TDriverInstallStep> steps;
    c.HidInstallDriver(k.install, &steps);
    const bool written = std::any_of(world->deviceSetup.log.begin(), world->deviceSetup.log.end(),
                                     [](const std::string& line) { return line.rfind("set ", 0) == 0; });
    EXPECT_EQ(written, k.listWritten);
    if (!k.listWritten) EXPECT_EQ(world->deviceSetup.devices[0].lowerFilters, before);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].HardwareId, "HID\\VID_5A3C&PID_0001&REV_0100&MI_00");
    EXPECT_EQ(steps[0].Action, k.install ? "install again" : "remove");
    EXPECT_FALSE(steps[0].ByTool);
    if (k.failure == nullptr) {
      EXPECT_EQ(steps[0].Failure, "");
    } else {
      EXPECT_NE(steps[0].Failure.find(k.failure), std::string::npos) << steps[0].Failure;
    }
  }
}

TEST(WindowsFacts, SixtyFourBitAndXpX64) {
  struct Case {
    const char* name;
    std::optional<bool> wow64;
    std::optional<std::uint16_t> arch;
    std::optional<OsVersion> version;
    int serverR2;
    bool windows64, xp64;
  };
  const OsVersion xp64{2, 5, 2, 1};
  const Case cases[] = {
      {"32-bit Windows", false, 0, OsVersion{2, 6, 1, 1}, 0, false, false},
      {"no IsWow64Process", std::nullopt, 9, OsVersion{2, 6, 1, 1}, 0, false, false},
      {"no GetNativeSystemInfo", true, std::nullopt, OsVersion{2, 6, 1, 1}, 0, false, false},
      {"x64", true, 9, OsVersion{2, 6, 1, 1}, 0, true, false},
      {"Itanium", true, 6, OsVersion{2, 6, 1, 1}, 0, true, false},
      {"XP x64", true, 9, xp64, 0, true, true},
      {"Server 2003 R2 x64", true, 9, xp64, 1, true, false},
      {"Server 2003 x64", true, 9, OsVersion{2, 5, 2, 3}, 0, true, false},
      {"Server 2003 on x86", false, 0, xp64, 0, false, false},
      {"no version", true, 9, std::nullopt, 0, true, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    sim::SimOsFacts os;
    os.wow64 = k.wow64;
    os.nativeArchitecture = k.arch;
    os.version = k.version;
    os.serverR2 = k.serverR2;
    EXPECT_EQ(IsWindows64(os), k.windows64);
    EXPECT_EQ(IsWindowsXp64(os), k.xp64);
  }
}

TEST_F(DriverInstall, NoDeviceListNoAction) {
  world->deviceSetup.setOpens = false;
  Listed();
  Make().HidInstallDriver(true);
  EXPECT_TRUE(Done().empty());
  EXPECT_EQ(TargetText(), "(none)");
}

}  // namespace
}  // namespace zr
