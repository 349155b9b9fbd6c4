#include "app/monitor_form.h"

#include <exception>
#include <string>

#include "app/messages.h"
#include "common/ini_file.h"
#include "profile/dm.h"

namespace zr {

ZEDEZAVadi::ZEDEZAVadi(Platform& platform, TApplication& application, TDM& dm, MonitorGlobals& globals)
    : DM(dm), Globals(globals), platform_(platform), application_(application) {
  handle_ = platform_.windowing.CreateHiddenWindow(
      kMonitorClassName, kApplicationTitle,
      [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) { return WindowProc(msg, w, l); });
  FormCreate();
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
