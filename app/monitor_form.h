// The hidden monitor form: carries the program's components, owns the state
// its reactions share and is the window that receives the program's messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/globals.h"
#include "platform/platform.h"

namespace zr {

class TDM;

class ZEDEZAVadi {
 public:
  // Creates the window and runs FormCreate.
  ZEDEZAVadi(Platform& platform, TApplication& application, TDM& dm, MonitorGlobals& globals);
  // Runs FormDestroy (unless it ran already) and destroys the window.
  ~ZEDEZAVadi();
  ZEDEZAVadi(const ZEDEZAVadi&) = delete;
  ZEDEZAVadi& operator=(const ZEDEZAVadi&) = delete;

  void FormCreate();
  // The form's destruction steps; they run once, also when the session end
  // runs them before the form object goes.
  void FormDestroy();

  void LoadIncludeHidDeviceList();
  void ProcessMessageAndSleep10ms();
  void ProcessMessageAndSleep50ms();

  WindowHandle Handle() const { return handle_; }

  bool bStartingUp = false;
  std::vector<std::string> FIncludeHidDeviceList;

  TDM& DM;
  MonitorGlobals& Globals;

 private:
  std::optional<std::intptr_t> WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::optional<std::intptr_t> HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  // Exit: the orderly end of the program, also for WM_CLOSE.
  void Exit();

  // Steps of FormCreate and FormDestroy whose components come with later
  // building steps; they keep their places in the order.
  void ApplyLanguageAndTexts() {}
  void InitCPIUnit() {}
  void SetWheelHookRules() {}
  void CheckDeviceAndApply() {}
  void InitEndpointVolume() {}
  void ReleaseCPIUnit() {}
  void HidStopRead() {}

  Platform& platform_;
  TApplication& application_;
  WindowHandle handle_ = 0;
  bool destroyed_ = false;
};

}  // namespace zr
