#include "app/monitor_form.h"

#include <exception>
#include <string>

#include "app/messages.h"
#include "common/text.h"
#include "device/vendor_protocol.h"
#include "profile/dm.h"
#include "support/ini_file.h"

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
  // From here on no reader raises an event into the form.
  qvHIDData1->DetachReaders();
  ReleaseEndpointVolume();
  TimerToSetCurrentCpi.reset();
  qvHook1.reset();
  qvHIDEventEx1.reset();
  qvSTDCommand1.reset();
  TimerDeviceArrial.reset();
  qvLanguage1.reset();
  faceScene.reset();
  langForm.reset();
  TrayIcon1.reset();
  if (handle_ != 0) platform_.windowing.DestroyWindow(handle_);
}

void ZEDEZAVadi::CreateComponents() {
  qvHook1 = std::make_unique<TqvHook>(platform_);
  qvHook1->OnHookMouseButton = [this](TMouseButtons button, std::int32_t state, bool& blocked) {
    qvHook1HookMouseButton(button, state, blocked);
  };
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
  CreateDeviceComponents();
}

void ZEDEZAVadi::CreateDeviceComponents() {
  qvHIDData1 = std::make_unique<TqvHIDData>(platform_);
  qvHIDData1->FastOnData = false;
  qvHIDData1->OnData = [this](const std::string& id, const std::string& path, std::uint8_t reportId,
                              const std::uint8_t* data, std::uint16_t size) {
    qvHIDData1Data(id, path, reportId, data, size);
  };
  qvHIDData1->OnDeviceNotConnected = [this](const std::string& id, const std::string& path) {
    qvHIDData1DeviceNotConnected(id, path);
  };
  TimerDeviceArrial = std::make_unique<TTimer>(platform_.windowing, 1500, false);
  TimerDeviceArrial->OnTimer = [this] { TimerDeviceArrialTimer(); };
  TimerToSetCurrentCpi = std::make_unique<TTimer>(platform_.windowing, 100, false);
  TimerToSetCurrentCpi->OnTimer = [this] { TimerToSetCurrentCpiTimer(); };
  qvSTDCommand1 = std::make_unique<TqvSTDCommand>(platform_);
  qvHIDEventEx1 = std::make_unique<TqvHIDEventEx>(platform_);
  qvHIDEventEx1->OnNewDeviceArrival = [this](const std::vector<std::string>& list) {
    qvHIDEventEx1NewDeviceArrival(list);
  };
  qvHIDEventEx1->OnPresentDeviceRemoval = [this](const std::vector<std::string>& list) {
    qvHIDEventEx1PresentDeviceRemoval(list);
  };
}

void ZEDEZAVadi::CreateFace() {
  auto& w = platform_.windowing;
  auto add = [&](ControlKind kind, std::string text, int x, int y, int width, int height, bool visible,
                 std::function<void()> onClick = nullptr) {
    return w.CreateControl(handle_, ControlLayout{kind, std::move(text), x, y, width, height, visible},
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
  // InitCPIUnit handles messages: the session may have ended meanwhile.
  if (!destroyed_) {
    SetWheelHookRules();
    CheckDeviceAndApply();
  }
  bStartingUp = false;
  if (!destroyed_ && UsesCoreAudio()) InitEndpointVolume();
}

void ZEDEZAVadi::EndSession() {
  NotifyConfigApplication();
  if (application_.OnSessionEnd) application_.OnSessionEnd();
  FormDestroy();
  application_.Terminate();
}

void ZEDEZAVadi::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  ReleaseCPIUnit();
  qvHIDData1->HidStopRead();
  FIncludeHidDeviceList.clear();
}

void ZEDEZAVadi::LoadIncludeHidDeviceList() {
  FIncludeHidDeviceList.clear();
  const IniFile ini = LoadConfigIni(platform_.files, platform_.system);
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

void ZEDEZAVadi::RestartTimerIfIncluded(const std::vector<std::string>& hardwareIds) {
  for (const std::string& entry : FIncludeHidDeviceList) {
    if (ContainsIgnoreCase(hardwareIds, entry)) {
      TimerDeviceArrial->Restart();
      return;
    }
  }
}

void ZEDEZAVadi::qvHIDEventEx1NewDeviceArrival(const std::vector<std::string>& ANewDevicesList) {
  RestartTimerIfIncluded(ANewDevicesList);
}

void ZEDEZAVadi::qvHIDEventEx1PresentDeviceRemoval(const std::vector<std::string>& ARemovalDevicesList) {
  RestartTimerIfIncluded(ARemovalDevicesList);
}

void ZEDEZAVadi::TimerDeviceArrialTimer() {
  TimerDeviceArrial->SetEnabled(false);
  CheckDeviceAndApply();
}

void ZEDEZAVadi::CheckDeviceAndApply() {
  TimerDeviceArrial->SetEnabled(false);
  if (!MouseIsPresent()) {
    qvHook1->StopHookMouse();
    return;
  }
  DM.LoadAllProfileInfoFromRegistry();
  DM.LoadProfileGroupSettingInfoFromRegistry();
  DM.ReloadCurrentProfileInfo();
  SetWheelHookRules();
  StartReadDevice();
  SendCpiUnit(*qvSTDCommand1, FCPIUNIT);
  if (!bStartingUp) ShowConfigApplication();
}

bool ZEDEZAVadi::MouseIsPresent() {
  // The request block holds a 64 KB report buffer: it goes before the
  // profiles are reloaded, not with the whole check.
  auto query = std::make_unique<THIDDataParam>();
  query->UsageAndPage = Globals.HidUsageAndPage;
  return qvHIDData1->IsDeviceExist(*query);
}

void ZEDEZAVadi::StartReadDevice() {
  // Readers started by an earlier check may still run (when one of the
  // mouse's collections stayed while another came or went): they end
  // first, so that every report is read and handled once.
  qvHIDData1->HidStopRead();
  qvHIDData1->HidFindAndReadDevice(Globals.HidUsageAndPage, "*");
}

void ZEDEZAVadi::InitCPIUnit() {
  CPI_UNIT& u = FCPIUNIT;
  u.password = kBlockSignature;
  u.NeedApplyNewCPI = 1;
  u.ReportLength = 8;
  u.X_LowByte = 2;
  u.X_HighByte = 3;
  u.Y_LowByte = 4;
  u.Y_HighByte = 5;
  u.CurrentCpi = 0;
  std::uint32_t stage = 0;
  SendShortCommand(*qvHIDData1, Globals.HidUsageAndPage, 0, 0);
  ProcessMessageAndSleep50ms();
  if (destroyed_) return;
  (void)ReadCurrentCpiStage(*qvHIDData1, Globals.HidUsageAndPage, stage);
  ProcessMessageAndSleep50ms();
  if (destroyed_) return;
  SendShortCommand(*qvHIDData1, Globals.HidUsageAndPage, 1, 0);
  u.CurrentCpi = static_cast<std::uint16_t>(stage);
  const TMOUSECONFIGINFO& config = DM.FCurrentProfileInfo.ConfigInfo;
  auto stageOf = [](const TCPILEVELINFO& level) {
    return TCPISTAGE{static_cast<std::uint8_t>(level.Enabled & 0xFF), level.X, level.Y};
  };
  for (int i = 0; i < 10; ++i) {
    u.STCpi[i] = stageOf(config.CPIState[i]);
    u.HWCpi[i] = stageOf(config.HWCPIState[i]);
  }
  ComputeCpiRates(u);
  SendCpiUnit(*qvSTDCommand1, u);
}

void ZEDEZAVadi::ReleaseCPIUnit() {
  FCPIUNIT.NeedApplyNewCPI = 0;
  SendCpiUnit(*qvSTDCommand1, FCPIUNIT);
}

void ZEDEZAVadi::qvHIDData1DeviceNotConnected(const std::string&, const std::string&) {
  if (MouseIsPresent()) return;
  // The library's Disable waits only for its own thread, never for the main
  // thread, so this reader thread may stop the hook while it holds the HID
  // component's lock.
  qvHook1->StopHookMouse();
  HideTrayIcon();
  NotifyConfigApplication();
}

void ZEDEZAVadi::SetWheelHookRules() {
  qvHook1->StopHookMouse();
  qvHook1->RemoveAllMouseHookObject();
  // A stored group selection that names no slot leaves the current profile
  // all zero: both wheel directions would be taken over and every wheel
  // event of the desktop swallowed. Without a profile the wheel stays plain.
  if (!TDM::IsProfileIndexInRange(DM.FProfileIndex)) return;
  const TBUTTONFUNCINFO* wheel = DM.FCurrentProfileInfo.ConfigInfo.VWheelButtonFuncInfo;
  int count = 0;
  const TMouseButtons buttons[2] = {TMouseButtons::WHEELUP, TMouseButtons::WHEELDOWN};
  for (std::uint16_t i = 0; i < 2; ++i) {
    auto rule = std::make_unique<TMouseHookDetailObject>();
    rule->FMouseHookDetail.MouseButton = buttons[i];
    rule->FMouseHookDetail.MouseStateSet = StateSetOf(TMouseButtonStates::MOUSEWHEEL);
    rule->FMouseHookDetail.ModifiedFunction = TMouseButtons::BUTTON_NONE;
    rule->FMouseHookDetail.MouseStateToHook = TMouseStatesToHook::HOOK_DOWN;
    // Wheel function number i is the direction's own: it keeps its ordinary function.
    if (wheel[i].FunctionClass == 1 && wheel[i].FunctionIndex == i) continue;
    qvHook1->AddMouseHookObject(std::move(rule));
    ++count;
  }
  if (count >= 1) qvHook1->StartHookMouse();
}

void ZEDEZAVadi::qvHook1HookMouseButton(TMouseButtons AqvButton, std::int32_t AState, bool& ABlocked) {
  platform_.windowing.PostMessage(handle_, WM_HOOKED_BUTTON, static_cast<std::uintptr_t>(AqvButton), AState);
  ABlocked = true;
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
    case WM_APPLY_PROFILE:
      OnApplyProfile();
      return 0;
    case WM_DEVICE_KEY:
      OnDeviceKey(wParam, lParam);
      return 0;
    case WM_HOOKED_BUTTON:
      OnHookedButton(wParam);
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
      if (wParam != 0) EndSession();
      return 0;
    case kWmPowerBroadcast:
      // After sleep the mouse may be back without re-enumerating, its
      // settings lost: check it again as after a device change. Windows
      // sends both resume events on a resume by the user; the debounce
      // makes them one check.
      if ((wParam == kPbtApmResumeAutomatic || wParam == kPbtApmResumeSuspend) && !destroyed_) {
        TimerDeviceArrial->Restart();
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace zr
