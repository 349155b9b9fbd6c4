#include "app/monitor_form.h"

#include <exception>
#include <string>

#include "app/messages.h"
#include "common/ini_file.h"
#include "profile/dm.h"

namespace zr {

namespace {
constexpr int kFaceWidth = 574;
constexpr int kFaceHeight = 638;
}  // namespace

ZEDEZAVadi::ZEDEZAVadi(Platform& platform, TApplication& application, TDM& dm, MonitorGlobals& globals,
                       TTranslationState& translation)
    : DM(dm), Globals(globals), Translation(translation), platform_(platform), application_(application) {
  handle_ = platform_.windowing.CreateHiddenWindow(
      kMonitorClassName, kApplicationTitle,
      [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) { return WindowProc(msg, w, l); }, kFaceWidth,
      kFaceHeight);
  CreateComponents();
  FormCreate();
}

ZEDEZAVadi::~ZEDEZAVadi() {
  FormDestroy();
  qvLanguage1.reset();
  faceScene.reset();
  langForm.reset();
  TrayIcon1.reset();
  if (handle_ != 0) platform_.windowing.DestroyWindow(handle_);
}

void ZEDEZAVadi::CreateComponents() {
  TrayIcon1 = std::make_unique<TTrayIcon>(platform_, handle_);
  TrayIcon1->PopupMenu = &MyPopupMenu;
  TrayIcon1->OnClick = [this] { TrayIconDblClick(); };
  MyPopupMenu.AutoHotkeys = false;
  MyPopupMenu.Items = {
      {"Config1", "Config", true, [this] { Config1Click(); }},
      {"About1", "About", false, [this] { About1Click(); }},
      {"Exit1", "Exit", true, [this] { Exit1Click(); }},
  };
  CreateFace();
  TrayIcon1->SetHint(kTrayHint);
  TrayIcon1->SetVisible(true);

  langForm = std::make_unique<TMonitorFormComponents>(*TrayIcon1, MyPopupMenu);
  qvLanguage1 = std::make_unique<TqvLanguage>(Translation, platform_, platform_.locale, langForm.get());
  qvLanguage1->LoadFormData(EmbeddedLanguageTable());
}

void ZEDEZAVadi::CreateFace() {
  auto& w = platform_.windowing;
  auto add = [&](ControlKind kind, std::string text, int x, int y, int width, int height, bool visible,
                 std::function<void()> onClick = nullptr) {
    return w.CreateControl(handle_, ControlSpec{kind, std::move(text), x, y, width, height, visible},
                           std::move(onClick));
  };
  face.BitmapStateButton1 = add(ControlKind::Button, "BitmapStateButton", 197, 560, 180, 34, true,
                                [this] { BitmapStateButton1Click(); });
  face.AboutHeading = add(ControlKind::Label, "About", 32, 24, 300, 24, false);
  face.BTNOK = add(ControlKind::Button, "OK", 462, 590, 88, 30, false, [this] { BTNOKClick(); });
  face.AboutPanel = add(ControlKind::Panel, "", 32, 300, 510, 220, false);
  int y = 316;
  for (const char* text : {"Hardware & Software Information:", "Hardware Core:1.00.00", "Software Core:1.00.00",
                           "Software Update Website:"}) {
    face.AboutLabels.push_back(add(ControlKind::Label, text, 48, y, 470, 22, false));
    y += 34;
  }
  face.labelupdatewebsite = add(ControlKind::Label, kUpdateWebSite, 48, y, 420, 22, false);
  face.BtnGoWeb = add(ControlKind::Link, "", 480, y - 4, 28, 28, false, [this] { BtnGoWebClick(); });
  // The picture lies under everything else and fills the form.
  face.ImageMain = add(ControlKind::Picture, kApplicationTitle, 0, 0, kFaceWidth, kFaceHeight, true,
                       [this] { ImageMainClick(); });

  // Every text of the face but the address follows the language.
  faceScene = std::make_unique<TFaceScene>(Translation, w);
  faceScene->Add(face.BitmapStateButton1, "BitmapStateButton");
  faceScene->Add(face.AboutHeading, "About");
  faceScene->Add(face.BTNOK, "OK");
  const char* labels[] = {"Hardware & Software Information:", "Hardware Core:1.00.00", "Software Core:1.00.00",
                          "Software Update Website:"};
  for (size_t i = 0; i < face.AboutLabels.size(); ++i) faceScene->Add(face.AboutLabels[i], labels[i]);
  Translation.RegisterScene(faceScene.get());
}

void ZEDEZAVadi::FormCreate() {
  bStartingUp = true;
  LoadIncludeHidDeviceList();
  ApplyLanguageAndTexts();
  InitCPIUnit();
  SetWheelHookRules();
  CheckDeviceAndApply();
  bStartingUp = false;
  InitEndpointVolume();
}

void ZEDEZAVadi::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  ReleaseCPIUnit();
  HidStopRead();
  FIncludeHidDeviceList.clear();
}

void ZEDEZAVadi::LoadIncludeHidDeviceList() {
  FIncludeHidDeviceList.clear();
  const IniFile ini =
      LoadIniFile(platform_.files, platform_.system, platform_.files.ExecutableFolder() + "config.ini");
  FIncludeHidDeviceList = ini.ReadIdList("IncludeHIDDeviceList", 101);
}

void ZEDEZAVadi::ProcessMessageAndSleep10ms() {
  platform_.windowing.ProcessMessages();
  platform_.windowing.Sleep(10);
}

void ZEDEZAVadi::ProcessMessageAndSleep50ms() {
  platform_.windowing.ProcessMessages();
  platform_.windowing.Sleep(50);
}

std::optional<std::intptr_t> ZEDEZAVadi::WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  try {
    return HandleMessage(msg, wParam, lParam);
  } catch (const std::exception& e) {
    // The application's error handler: a failed reaction is reported and the
    // monitor goes on.
    platform_.system.DebugOutput("message " + std::to_string(msg) + " failed: " + e.what());
    return 0;
  }
}

std::optional<std::intptr_t> ZEDEZAVadi::HandleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                                       std::intptr_t lParam) {
  if (TrayIcon1 && TrayIcon1->HandleMessage(msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_RELOAD_SETTINGS:
      OnReloadSettings();
      return 0;
    case kWmHideTrayIcon:
      if (TrayIcon1) TrayIcon1->SetVisible(false);
      return 0;
    case kWmClose:
      // Tools that close programs send WM_CLOSE: the same end as Exit; the
      // window stays until the form goes.
      Exit1Click();
      return 0;
    case kWmQueryEndSession:
      return 1;
    case kWmEndSession:
      if (wParam != 0 && application_.OnSessionEnd) application_.OnSessionEnd();
      return 0;
    default:
      return std::nullopt;
  }
}

}  // namespace zr
