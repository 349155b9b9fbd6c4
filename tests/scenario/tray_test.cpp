// The tray icon, its menu and the link to the configuration program.
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

using sim::SimProcess;
using sim::SimWorld;

constexpr char kKey[] = "software\\software\\DAvezodev";

// Global settings as the configuration program stores them, with this
// language index.
void StoreLanguage(SimWorld& world, std::int32_t index) {
  auto all = std::make_unique<TALLGAMESINFO>();
  std::memset(all.get(), 0, sizeof(TALLGAMESINFO));
  all->CurrentLanguage = index;
  const auto* p = reinterpret_cast<const std::uint8_t*>(all.get());
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ALLPROFILE.pfd", kRegBinary,
                          std::vector<std::uint8_t>(p, p + sizeof(TALLGAMESINFO)));
}

class Tray : public ::testing::Test {
 protected:
  // Chinese texts: every one differs from its source, so a text shown
  // proves that it was translated.
  void SetUp() override {
    StoreLanguage(world, 0);
    ASSERT_TRUE(program.Start());
  }
  ZEDEZAVadi& Form() { return *program.Form(); }
  // The configuration program as it runs beside the monitor.
  sim::SimWindow& StartConfigProgram() { return world.desktop.AddPeerWindow("TZRCFGMain"); }
  // The user picks the menu item with this caption.
  void ChooseInMenu(const std::string& caption) {
    world.tray.chooseMenuItem = [caption](const std::vector<std::string>& captions) {
      for (size_t i = 0; i < captions.size(); ++i) {
        if (captions[i] == caption) return static_cast<int>(i);
      }
      return -1;
    };
  }

  SimWorld world;
  SimProcess process{world};
  MonitorProgram program{process.platform()};
};

TEST_F(Tray, TheIconShowsWithTheHintOfTheProgram) {
  ASSERT_EQ(world.tray.icons.size(), 1u);
  EXPECT_EQ(world.tray.Icon()->owner, Form().Handle());
  EXPECT_EQ(world.tray.Icon()->hint, "游戏鼠标驱动程序");
  EXPECT_EQ(world.desktop.FindByClass("ZEDEZAVadi")->title, "游戏鼠标监视器");
  EXPECT_EQ(program.Application().Title, "游戏鼠标监视器");
}

TEST(TrayLanguage, AFirstStartShowsTheTextsInTheFirstLanguageAndAReloadSwitchesThem) {
  SimWorld world;
  SimProcess process(world);
  MonitorProgram program(process.platform());
  ASSERT_TRUE(program.Start());
  auto* window = world.desktop.FindByClass("ZEDEZAVadi");
  EXPECT_EQ(program.Form()->qvLanguage1->Lang(), "CH");
  EXPECT_EQ(world.tray.Icon()->hint, "游戏鼠标驱动程序");
  EXPECT_EQ(window->title, "游戏鼠标监视器");
  EXPECT_EQ(program.Application().Title, "游戏鼠标监视器");
  EXPECT_NE(window->ControlWithText("位图状态按钮"), nullptr);
  world.tray.Click(true);
  world.RunPending();
  EXPECT_EQ(world.tray.menusShown.back(), (std::vector<std::string>{"设置", "退出"}));

  // The configuration program stores another language and asks for a reload.
  StoreLanguage(world, 1);
  process.queue().PostMessage(window->handle, WM_RELOAD_SETTINGS, 0, 0);
  world.RunPending();
  EXPECT_EQ(program.Form()->qvLanguage1->Lang(), "US");
  EXPECT_EQ(program.DM()->FAllProfileSettingInfo.CurrentLanguage, 1);
  EXPECT_EQ(world.tray.Icon()->hint, "Gaming Mouse Driver");
  EXPECT_EQ(window->title, "Gaming Mouse Monitor");
  EXPECT_NE(window->ControlWithText("BitmapStateButton"), nullptr);  // the face follows
  EXPECT_NE(window->ControlWithText("Hardware & Software Information:"), nullptr);
  world.tray.Click(true);
  world.RunPending();
  EXPECT_EQ(world.tray.menusShown.back(), (std::vector<std::string>{"Config", "Exit"}));

  StoreLanguage(world, 0);
  process.queue().PostMessage(window->handle, WM_RELOAD_SETTINGS, 0, 0);
  world.RunPending();
  EXPECT_EQ(world.tray.Icon()->hint, "游戏鼠标驱动程序");
  EXPECT_NE(window->ControlWithText("硬件与软件信息："), nullptr);
}

TEST(TrayLanguage, AStoredIndexWithoutALanguageKeepsTheSourceTextsAlsoOnAChineseSystem) {
  SimWorld world;
  SimProcess process(world);
  world.locale.userAbbreviatedLanguageName = "CHS";
  StoreLanguage(world, 7);
  MonitorProgram program(process.platform());
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.Form()->qvLanguage1->Lang(), "");
  EXPECT_EQ(world.tray.Icon()->hint, "Gaming Mouse Driver");  // the source texts
}

TEST(TrayLanguage, AQvLocalFileBesideTheProgramAddsItsLanguagesFirst) {
  SimWorld world;
  SimProcess process(world);
  TLanguageTable table;
  table.FOriginal = {"Config", "Exit", "Gaming Mouse Driver"};
  TLanguageList de{"DE", {}};
  de.SetTranslation("Gaming Mouse Driver", "Spielmaus-Treiber");
  table.FResources.push_back(de);
  world.files.PutFile(process.ExeFolder() + "qv.local", WriteLanguageTable(table));
  StoreLanguage(world, 0);  // index 0 is now the file's language
  MonitorProgram program(process.platform());
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(world.tray.Icon()->hint, "Spielmaus-Treiber");
  EXPECT_EQ(program.Form()->qvLanguage1->GetLanguageShortIDByIndex(1), "CH");
}

TEST_F(Tray, AClickStartsTheConfigurationProgramFromTheProgramsFolder) {
  ASSERT_TRUE(world.tray.Click());
  world.RunPending();
  ASSERT_EQ(world.shell.requests.size(), 1u);
  const auto& r = world.shell.requests[0];
  EXPECT_EQ(r.verb, "open");
  EXPECT_EQ(r.file, "zrCfg.exe");
  EXPECT_EQ(r.parameters, "");
  EXPECT_EQ(r.directory, process.ExeFolder());
  EXPECT_EQ(r.owner, 0u);
  EXPECT_EQ(r.showCommand, 1);
}

TEST_F(Tray, ClickingTwiceWhileTheProgramStartsMayStartItTwice) {
  world.tray.Click();
  world.tray.Click();
  world.RunPending();
  EXPECT_EQ(world.shell.requests.size(), 2u);  // the window is looked for, not a process
}

TEST_F(Tray, ARunningConfigurationProgramIsBroughtToTheFront) {
  auto& config = StartConfigProgram();
  ChooseInMenu("设置");
  world.tray.Click(/*rightButton=*/true);
  world.RunPending();
  EXPECT_EQ(world.desktop.foreground, config.handle);
  EXPECT_TRUE(world.shell.requests.empty());
}

TEST_F(Tray, TheMenuOffersConfigAndExitButNeverAbout) {
  world.tray.Click(true);
  world.RunPending();
  ASSERT_EQ(world.tray.menusShown.size(), 1u);
  EXPECT_EQ(world.tray.menusShown[0], (std::vector<std::string>{"设置", "退出"}));
  EXPECT_FALSE(process.queue().QuitRequested());  // closed without a choice
}

TEST_F(Tray, ExitTellsTheConfigurationProgramAndEndsTheLoop) {
  auto& config = StartConfigProgram();
  ChooseInMenu("退出");
  world.tray.Click(true);
  world.RunPending();
  ASSERT_EQ(config.Received(WM_MONITOR_CLOSED).size(), 1u);
  EXPECT_EQ(config.Received(WM_MONITOR_CLOSED)[0].wParam, 0u);
  EXPECT_TRUE(process.queue().QuitRequested());
  program.Finish();
  EXPECT_TRUE(world.tray.icons.empty());  // the icon goes with the form
}

TEST_F(Tray, ExitWithoutAConfigurationProgramStillEnds) {
  Form().Exit1Click();
  EXPECT_TRUE(process.queue().QuitRequested());
  EXPECT_EQ(process.queue().PendingCount(), 0u);  // nothing was posted to the monitor's own queue
}

TEST_F(Tray, WmCloseAndTheSessionEndAlsoTellTheConfigurationProgram) {
  auto& config = StartConfigProgram();
  process.queue().SendMessage(Form().Handle(), kWmEndSession, 1, 0);
  EXPECT_EQ(config.Received(WM_MONITOR_CLOSED).size(), 1u);
}

TEST(TrayIcon, AnAddThatTimesOutStillLeavesAnIconThatIsUpdatedAndRemoved) {
  for (const int timeouts : {1, 2}) {
    SimWorld world;
    SimProcess process(world);
    const WindowHandle owner = world.desktop.AddPeerWindow("Owner").handle;
    world.tray.addsTimingOut = timeouts;
    {
      TTrayIcon icon(process.platform(), owner);
      icon.SetHint("first");
      icon.SetVisible(true);
      ASSERT_EQ(world.tray.icons.size(), 1u);
      icon.SetHint("second");
      EXPECT_EQ(world.tray.Icon()->hint, "second");
      icon.SetVisible(false);
      EXPECT_TRUE(world.tray.icons.empty());
      icon.SetVisible(true);
    }
    EXPECT_TRUE(world.tray.icons.empty());  // no ghost icon after the end
  }
}

TEST_F(Tray, TheIconComesBackWhenTheShellRestartsInTheStateItHad) {
  const std::uint32_t taskbarCreated = world.RegisterWindowMessage("TaskbarCreated");
  world.tray.RestartShell(taskbarCreated);
  world.RunPending();
  ASSERT_EQ(world.tray.icons.size(), 1u);
  EXPECT_EQ(world.tray.Icon()->hint, "游戏鼠标驱动程序");

  Form().HideTrayIcon();  // as the lost mouse does, from its reader's thread
  world.RunPending();
  EXPECT_TRUE(world.tray.icons.empty());
  world.tray.RestartShell(taskbarCreated);
  world.RunPending();
  EXPECT_TRUE(world.tray.icons.empty());  // hidden stays hidden
}

TEST_F(Tray, TheFaceShowsOnlyThroughAboutAndHidesAgain) {
  auto* window = world.desktop.FindByClass("ZEDEZAVadi");
  EXPECT_EQ(window->width, 574);
  EXPECT_EQ(window->height, 638);
  EXPECT_FALSE(window->visible);
  ASSERT_NE(window->ControlWithText("位图状态按钮"), nullptr);
  EXPECT_TRUE(window->ControlWithText("位图状态按钮")->layout.visible);
  for (const char* hidden : {"关于", "确定", "硬件与软件信息：", "软件更新网站："}) {
    ASSERT_NE(window->ControlWithText(hidden), nullptr) << hidden;
    EXPECT_FALSE(window->ControlWithText(hidden)->layout.visible) << hidden;
  }
  Form().About1Click();
  EXPECT_TRUE(window->visible);
  EXPECT_EQ(world.desktop.foreground, window->handle);
  world.desktop.Control(Form().face.ImageMain)->onClick();
  EXPECT_FALSE(window->visible);
}

TEST_F(Tray, TheButtonAndTheLinkOpenTheUpdateSite) {
  world.desktop.Control(Form().face.BitmapStateButton1)->onClick();
  world.desktop.Control(Form().face.BtnGoWeb)->onClick();
  ASSERT_EQ(world.shell.requests.size(), 2u);
  for (const auto& r : world.shell.requests) {
    EXPECT_EQ(r.file, kUpdateWebSite);
    EXPECT_EQ(r.owner, Form().Handle());
    EXPECT_EQ(r.directory, "");
  }
}

TEST_F(Tray, TheConfigurationProgramStartedByTheShellIsFoundNextTime) {
  world.shell.AddProgram(process.ExeFolder() + "zrCfg.exe", [&](const sim::ShellRequest&) { StartConfigProgram(); });
  Form().Config1Click();
  ASSERT_NE(world.desktop.FindByClass("TZRCFGMain"), nullptr);
  Form().Config1Click();
  EXPECT_EQ(world.shell.requests.size(), 1u);
  EXPECT_EQ(world.desktop.foreground, world.desktop.FindByClass("TZRCFGMain")->handle);
}

}  // namespace
}  // namespace zr
