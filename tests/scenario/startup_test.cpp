// The program entry and the monitor form over the simulated platform.
#include <gtest/gtest.h>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimProcess;
using sim::SimWorld;

TEST(Startup, FirstInstanceCreatesTheHiddenMonitorWindowAndSetsTheVendorCollection) {
  SimWorld world;
  SimProcess process(world);
  MonitorProgram program(process.platform());
  ASSERT_TRUE(program.Start());
  const auto* window = world.desktop.FindByClass("ZEDEZAVadi");
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(program.Globals().HidUsageAndPage, kVendorCollection);
  EXPECT_FALSE(program.Form()->bStartingUp);
  EXPECT_TRUE(world.mutexes["ZEDEZAVadi"] > 0);
}

TEST(Startup, ASecondInstanceEndsAtOnceWithoutAWindow) {
  SimWorld world;
  SimProcess first(world);
  MonitorProgram running(first.platform());
  ASSERT_TRUE(running.Start());

  SimProcess second(world);
  EXPECT_EQ(RunMonitor(second.platform()), 0);
  EXPECT_EQ(world.desktop.CountByClass("ZEDEZAVadi"), 1);
  EXPECT_TRUE(world.mutexes["ZEDEZAVadi"] > 0);  // the first one still holds it
}

TEST(Startup, TwoStartsRacingForTheMutexLeaveOneInstance) {
  SimWorld world;
  SimProcess loser(world);
  SimProcess winner(world);
  MonitorProgram winnerProgram(winner.platform());
  // The other start takes the mutex just after this one found none.
  loser.system().beforeCreateMutex = [&] { ASSERT_TRUE(winnerProgram.Start()); };
  MonitorProgram loserProgram(loser.platform());
  EXPECT_FALSE(loserProgram.Start());
  EXPECT_EQ(loserProgram.Form(), nullptr);
  EXPECT_EQ(world.mutexes["ZEDEZAVadi"], 1);
}

TEST(Startup, WmCloseEndsTheLoopAndReleasesTheMutexSoANewStartWorks) {
  SimWorld world;
  {
    SimProcess process(world);
    world.files.PutText(process.ExeFolder() + "config.ini", "[IncludeHIDDeviceList]\nid1=A\n");
    // Some tool sends WM_CLOSE five seconds after the start.
    auto& q = process.queue();
    const TimerId t = q.StartTimer(5000, [&] { q.PostMessage(q.FindWindowByClass("ZEDEZAVadi"), kWmClose, 0, 0); });
    EXPECT_EQ(RunMonitor(process.platform()), 0);
    q.StopTimer(t);
    // The orderly end waits 20 ms for the readers to stop and 200 ms for
    // the driver channel's workers.
    EXPECT_EQ(world.Now(), 5000u + 20u + 200u);
    EXPECT_EQ(world.desktop.FindByClass("ZEDEZAVadi"), nullptr);
  }
  EXPECT_EQ(world.mutexes["ZEDEZAVadi"], 0);
  SimProcess again(world);
  MonitorProgram program(again.platform());
  EXPECT_TRUE(program.Start());
}

TEST(Startup, SessionEndFinishesBeforeTheHandlerReturns) {
  SimWorld world;
  SimProcess process(world);
  MonitorProgram program(process.platform());
  ASSERT_TRUE(program.Start());
  auto& q = process.queue();
  const WindowHandle w = q.FindWindowByClass("ZEDEZAVadi");
  EXPECT_EQ(q.SendMessage(w, kWmQueryEndSession, 0, 0), 1);
  EXPECT_EQ(q.SendMessage(w, kWmEndSession, 0, 0), 0);  // not ending: nothing happens
  EXPECT_FALSE(q.QuitRequested());
  q.SendMessage(w, kWmEndSession, 1, 0);
  EXPECT_EQ(world.mutexes["ZEDEZAVadi"], 0);
  EXPECT_TRUE(q.QuitRequested());
  EXPECT_TRUE(program.Form()->FIncludeHidDeviceList.empty());
  program.Finish();
  EXPECT_EQ(program.Form(), nullptr);
  EXPECT_EQ(program.DM(), nullptr);
}

TEST(Startup, ASessionEndWhileTheFormIsStillBeingCreatedEndsInOrder) {
  SimWorld world;
  SimProcess process(world);
  auto& config = world.desktop.AddPeerWindow(kConfigClassName);
  auto& q = process.queue();
  bool handled = false;
  // The form's creation handles messages while it reads the CPI stage.
  q.StartTimer(1, [&] {
    if (handled) return;
    handled = true;
    q.SendMessage(q.FindWindowByClass("ZEDEZAVadi"), kWmEndSession, 1, 0);
    // Done before the handler returned.
    EXPECT_EQ(config.Received(WM_MONITOR_CLOSED).size(), 1u);
    EXPECT_EQ(world.mutexes["ZEDEZAVadi"], 0);
    ASSERT_FALSE(world.devices.cpiBlocks.empty());
    EXPECT_EQ(world.devices.cpiBlocks.back()[2], 0);  // NeedApplyNewCPI 0: the driver stops applying it
  });
  MonitorProgram program(process.platform());
  ASSERT_TRUE(program.Start());
  EXPECT_TRUE(handled);
  EXPECT_TRUE(q.QuitRequested());
  EXPECT_EQ(world.devices.cpiBlocks.size(), 1u);  // the rest of the creation was skipped
  EXPECT_FALSE(program.Form()->bStartingUp);
}

class IncludeList : public ::testing::Test {
 protected:
  std::vector<std::string> Load(const char* ini) {
    if (ini) world.files.PutText(process.ExeFolder() + "config.ini", ini);
    MonitorProgram program(process.platform());
    EXPECT_TRUE(program.Start());
    return program.Form()->FIncludeHidDeviceList;
  }
  SimWorld world;
  SimProcess process{world};
};

TEST_F(IncludeList, AMissingKeyEndsTheList) {
  EXPECT_EQ(Load("[IncludeHIDDeviceList]\nid1=HID\\A\nid2=hid\\b\nid4=HID\\D\n"),
            (std::vector<std::string>{"HID\\A", "hid\\b"}));
}

TEST_F(IncludeList, AtMost101EntriesAreRead) {
  std::string ini = "[IncludeHIDDeviceList]\n";
  for (int n = 1; n <= 102; ++n) ini += "id" + std::to_string(n) + "=HID\\" + std::to_string(n) + "\n";
  const auto list = Load(ini.c_str());
  ASSERT_EQ(list.size(), 101u);
  EXPECT_EQ(list.back(), "HID\\101");
}

TEST_F(IncludeList, NoFileNoSectionOrNoId1GivesAnEmptyList) {
  EXPECT_TRUE(Load(nullptr).empty());
  EXPECT_TRUE(Load("[Other]\nid1=X\n").empty());
  EXPECT_TRUE(Load("[IncludeHIDDeviceList]\nid1=\nid2=X\n").empty());
}

TEST(Startup, WithTheLogSwitchedOnTheDiagnosticLinesAlsoGoToTheLogFile) {
  SimWorld world;
  world.files.AddFolder(world.files.localAppData);
  SimProcess process(world);
  world.files.PutText(process.ExeFolder() + "config.ini", "[Diagnostics]\nLogFile=1\n");
  world.registry.SetValue(kHkeyCurrentUser, "software\\software\\DAvezodev", "ALLPROFILE.pfd", kRegSz,
                          {'h', 0, 0, 0});
  auto& q = process.queue();
  const TimerId t = q.StartTimer(1000, [&] { q.PostMessage(q.FindWindowByClass("ZEDEZAVadi"), kWmClose, 0, 0); });
  EXPECT_EQ(RunMonitor(process.platform()), 0);
  q.StopTimer(t);
  ASSERT_TRUE(process.HasDebugLineContaining("is treated as missing"));
  const auto log = world.files.GetFile(world.files.localAppData + "\\zrmon.log");
  ASSERT_TRUE(log.has_value());
  const std::string text(log->begin(), log->end());
  EXPECT_EQ(text.rfind("2026-03-14 09:26:53.000 ", 0), 0u) << text;
  EXPECT_NE(text.find("is treated as missing"), std::string::npos);
}

}  // namespace
}  // namespace zr
