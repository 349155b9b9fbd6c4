#include "app/monitor_form.h"

#include <exception>
#include <string>

#include "app/messages.h"
#include "common/ini_file.h"
#include "common/text.h"
#include "device/vendor_protocol.h"
#include "profile/dm.h"

namespace zr {

ZEDEZAVadi::ZEDEZAVadi(Platform& platform, TApplication& application, TDM& dm, MonitorGlobals& globals)
    : DM(dm), Globals(globals), platform_(platform), application_(application) {
  handle_ = platform_.windowing.CreateHiddenWindow(
      kMonitorClassName, kApplicationTitle,
      [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) { return WindowProc(msg, w, l); });
  CreateComponents();
  FormCreate();
}

void ZEDEZAVadi::CreateComponents() {
  FMonitorUnitGroup = std::make_unique<MONITOR_UNIT_GROUP>();
  qvHIDData1 = std::make_unique<TqvHIDData>(platform_);
  qvHIDData1->FastOnData = false;
  qvHIDData1->OnDeviceNotConnected = [this](const std::string& id, const std::string& path) {
    qvHIDData1DeviceNotConnected(id, path);
  };
  TimerDeviceArrial = std::make_unique<TTimer>(platform_.windowing, 1500, false);
  TimerDeviceArrial->OnTimer = [this] { TimerDeviceArrialTimer(); };
  qvSTDCommand1 = std::make_unique<TqvSTDCommand>(platform_);
  qvHIDEventEx1 = std::make_unique<TqvHIDEventEx>(platform_);
  qvHIDEventEx1->OnNewDeviceArrival = [this](const std::vector<std::string>& list) {
    qvHIDEventEx1NewDeviceArrival(list);
  };
  qvHIDEventEx1->OnPresentDeviceRemoval = [this](const std::vector<std::string>& list) {
    qvHIDEventEx1PresentDeviceRemoval(list);
  };
}

ZEDEZAVadi::~ZEDEZAVadi() {
  FormDestroy();
  if (handle_ != 0) platform_.windowing.DestroyWindow(handle_);
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
  qvHIDData1->HidStopRead();
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
  auto query = std::make_unique<THIDDataParam>();
  query->UsageAndPage = Globals.HidUsageAndPage;
  if (!qvHIDData1->IsDeviceExist(*query)) {
    StopHookMouse();
    return;
  }
  DM.LoadAllProfileInfoFromRegistry();
  DM.LoadProfileGroupSettingInfoFromRegistry();
  DM.LoadCurrentProfileInfoFromRegistry();
  SetWheelHookRules();
  StartReadDevice();
  SendCpiUnit(*qvSTDCommand1, FCPIUNIT);
  if (!bStartingUp) ShowConfigApplication();
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
  (void)ReadCurrentCpiStage(*qvHIDData1, Globals.HidUsageAndPage, stage);
  ProcessMessageAndSleep50ms();
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
  auto query = std::make_unique<THIDDataParam>();
  query->UsageAndPage = Globals.HidUsageAndPage;
  if (qvHIDData1->IsDeviceExist(*query)) return;
  StopHookMouse();
  HideTrayIcon();
  NotifyConfigApplication();
}

void ZEDEZAVadi::NotifyConfigApplication() {
  // Finds the window and posts: safe from any thread.
  const WindowHandle config = platform_.windowing.FindWindowByClass(kConfigClassName);
  if (config != 0) platform_.windowing.PostMessage(config, WM_MONITOR_CLOSED, 0, 0);
}

void ZEDEZAVadi::Exit() { application_.Terminate(); }

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

std::optional<std::intptr_t> ZEDEZAVadi::HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t) {
  switch (msg) {
    case kWmClose:
      // Tools that close programs send WM_CLOSE: the same end as Exit, and
      // the window stays until the form goes.
      Exit();
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
