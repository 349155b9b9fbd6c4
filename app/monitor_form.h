// The hidden monitor form: carries the program's components, owns the state
// its reactions share and is the window that receives the program's messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "app/form_language.h"
#include "app/globals.h"
#include "app/tray_icon.h"
#include "common/timer.h"
#include "device/hid_data.h"
#include "device/hid_event.h"
#include "device/std_command.h"
#include "lang/qv_language.h"
#include "platform/platform.h"

namespace zr {

class TDM;

// The update site of the product, opened by the form's link and button.
inline constexpr char kUpdateWebSite[] = "https://www.example.com/gaming-mouse/update";

class ZEDEZAVadi {
 public:
  // Creates the window with its components and runs FormCreate.
  ZEDEZAVadi(Platform& platform, TApplication& application, TDM& dm, MonitorGlobals& globals,
             TTranslationState& translation);
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

  // The tray and the configuration program.
  void ApplyLanguageAndTexts();
  void ShowConfigApplication();
  void NotifyConfigApplication();
  // Windows ends the session: the configuration program is told, the
  // program's own part runs (OnSessionEnd), FormDestroy, the loop ends. Also
  // while FormCreate still runs; what FormCreate has left is then skipped.
  void EndSession();
  // Safe from any thread: the icon goes on the main thread.
  void HideTrayIcon();

  // Click handlers.
  void TrayIconDblClick();
  void Config1Click();
  void About1Click();
  void Exit1Click();
  void ImageMainClick();
  void BTNOKClick();
  void BtnGoWebClick();
  void BitmapStateButton1Click();

  WindowHandle Handle() const { return handle_; }

  bool bStartingUp = false;
  std::vector<std::string> FIncludeHidDeviceList;
  CPI_UNIT FCPIUNIT{};
  // Held for the filter driver; nothing in this program fills or sends it.
  std::unique_ptr<MONITOR_UNIT_GROUP> FMonitorUnitGroup;

  TDM& DM;
  MonitorGlobals& Globals;
  TTranslationState& Translation;
  std::unique_ptr<TTrayIcon> TrayIcon1;
  TPopupMenu MyPopupMenu;

  // The face, shown only through the About item.
  struct Face {
    ControlHandle ImageMain = 0;
    ControlHandle BitmapStateButton1 = 0;
    ControlHandle AboutHeading = 0;
    ControlHandle BTNOK = 0;
    ControlHandle AboutPanel = 0;
    std::vector<ControlHandle> AboutLabels;
    ControlHandle labelupdatewebsite = 0;
    ControlHandle BtnGoWeb = 0;
  } face;

  std::unique_ptr<TMonitorFormComponents> langForm;  // the form as the translation walk sees it
  std::unique_ptr<TFaceScene> faceScene;
  std::unique_ptr<TqvLanguage> qvLanguage1;
  std::unique_ptr<TqvHIDData> qvHIDData1;
  std::unique_ptr<TTimer> TimerDeviceArrial;
  std::unique_ptr<TqvSTDCommand> qvSTDCommand1;
  std::unique_ptr<TqvHIDEventEx> qvHIDEventEx1;

  std::string TranslateText(std::string_view text) { return Translation.TranslateText(text); }

 private:
  std::optional<std::intptr_t> WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::optional<std::intptr_t> HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  void CreateComponents();
  void CreateFace();
  void OpenUpdateWebSite();
  void OnReloadSettings();
  void CreateDeviceComponents();
  // The include-list filter of both device-list events.
  void RestartTimerIfIncluded(const std::vector<std::string>& hardwareIds);

  // Steps whose components come with later building steps; they keep their
  // places in the order.
  void SetWheelHookRules() {}
  void InitEndpointVolume() {}
  void StopHookMouse() {}

  Platform& platform_;
  TApplication& application_;
  WindowHandle handle_ = 0;
  bool destroyed_ = false;
};

// Private messages of the form to itself.
inline constexpr std::uint32_t kWmHideTrayIcon = 0x0400 + 2;  // WM_USER + 2

}  // namespace zr
