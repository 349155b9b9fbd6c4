// The hidden monitor form: carries the program's components, owns the state
// its reactions share and is the window that receives the program's messages.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/globals.h"
#include "common/timer.h"
#include "device/hid_data.h"
#include "device/hid_event.h"
#include "device/std_command.h"
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

  // ---- device arrival, removal and the configuration push ----
  // The first device check and every one after a relevant device change:
  // when the mouse is present, reload the profiles, install the wheel rules,
  // start the reader, send the CPI block and (after start-up) bring up the
  // configuration program.
  void CheckDeviceAndApply();
  // Builds FCPIUNIT from the current profile and the stage read from the
  // mouse, and sends it to the filter driver.
  void InitCPIUnit();
  // Tells the filter driver to stop applying the block.
  void ReleaseCPIUnit();
  // Starts the reader on the vendor collection.
  void StartReadDevice();
  void qvHIDEventEx1NewDeviceArrival(const std::vector<std::string>& ANewDevicesList);
  void qvHIDEventEx1PresentDeviceRemoval(const std::vector<std::string>& ARemovalDevicesList);
  void TimerDeviceArrialTimer();
  // Raised on the reader thread: touches only the hook, the tray icon and a
  // posted message.
  void qvHIDData1DeviceNotConnected(const std::string& ADeviceID, const std::string& ADevicePath);

  WindowHandle Handle() const { return handle_; }

  bool bStartingUp = false;
  std::vector<std::string> FIncludeHidDeviceList;
  CPI_UNIT FCPIUNIT{};
  // Held for the filter driver; nothing in this program fills or sends it.
  std::unique_ptr<MONITOR_UNIT_GROUP> FMonitorUnitGroup;

  // The components, in the order the form creates them.
  std::unique_ptr<TqvHIDData> qvHIDData1;
  std::unique_ptr<TTimer> TimerDeviceArrial;
  std::unique_ptr<TqvSTDCommand> qvSTDCommand1;
  std::unique_ptr<TqvHIDEventEx> qvHIDEventEx1;

  TDM& DM;
  MonitorGlobals& Globals;

 private:
  std::optional<std::intptr_t> WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::optional<std::intptr_t> HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  // Exit: the orderly end of the program, also for WM_CLOSE.
  void Exit();

  void CreateComponents();
  // The include-list filter of both device-list events.
  void RestartTimerIfIncluded(const std::vector<std::string>& hardwareIds);

  // Steps whose components come with later building steps; they keep their
  // places in the order.
  void ApplyLanguageAndTexts() {}
  void SetWheelHookRules() {}
  void InitEndpointVolume() {}
  void StopHookMouse() {}
  // The configuration-program link and the tray icon.
  void ShowConfigApplication() {}
  void NotifyConfigApplication();
  void HideTrayIcon() {}

  Platform& platform_;
  TApplication& application_;
  WindowHandle handle_ = 0;
  bool destroyed_ = false;
};

}  // namespace zr
