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
#include "device/hid_data.h"
#include "device/hid_event.h"
#include "device/std_command.h"
#include "hook/qv_hook.h"
#include "lang/qv_language.h"
#include "platform/platform.h"
#include "support/timer.h"

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
  // Whether a collection of the vendor usage is present (any thread).
  bool MouseIsPresent();
  void qvHIDEventEx1NewDeviceArrival(const std::vector<std::string>& ANewDevicesList);
  void qvHIDEventEx1PresentDeviceRemoval(const std::vector<std::string>& ARemovalDevicesList);
  void TimerDeviceArrialTimer();
  // Raised on the reader thread: touches only the hook, the tray icon and a
  // posted message.
  void qvHIDData1DeviceNotConnected(const std::string& ADeviceID, const std::string& ADevicePath);
  // Tells the hook component which wheel events to take over: a direction
  // that keeps its ordinary function is left alone.
  void SetWheelHookRules();

  // ---- hooked input ----
  // Raised on the hook library's thread: posts WM_HOOKED_BUTTON and swallows
  // the event.
  void qvHook1HookMouseButton(TMouseButtons AqvButton, std::int32_t AState, bool& ABlocked);

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

  // ---- reactions to the mouse and to the configuration program ----
  // Input reports, handed over to the main thread: key reports post
  // WM_DEVICE_KEY, a CPI stage restarts TimerToSetCurrentCpi, a
  // profile-group key posts WM_DEVICE_KEY 21 or 22.
  void qvHIDData1Data(const std::string& ADeviceID, const std::string& ADevicePath, std::uint8_t ReportID,
                      const std::uint8_t* Data, std::uint16_t Size);
  // Sends the last reported stage to the filter driver.
  void TimerToSetCurrentCpiTimer();
  void DoDeviceKeyFunction(std::uint8_t KeyIndex, std::uint16_t FunctionCode, std::uint8_t Param);

  // ---- the microphone's mute ----
  void InitEndpointVolume();
  void ToggleMicrophoneMute();
  bool GetMixerLineMute(std::uint8_t Type);
  void SetMixerLineMute(std::uint8_t Type, std::uint8_t Value);

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
  // The default capture endpoint's volume control and the objects it came
  // from (0: not obtained).
  ComObject FMMDevEnum = 0;
  ComObject FMMDev = 0;
  ComObject FEndpoint = 0;

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
  std::unique_ptr<TqvHook> qvHook1;
  std::unique_ptr<TqvLanguage> qvLanguage1;
  std::unique_ptr<TqvHIDData> qvHIDData1;
  std::unique_ptr<TTimer> TimerDeviceArrial;
  std::unique_ptr<TTimer> TimerToSetCurrentCpi;
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

  void OnHookedButton(std::uintptr_t wParam);
  void OnDeviceKey(std::uintptr_t wParam, std::intptr_t lParam);
  void OnApplyProfile();
  // Vista and later (the NT family from version 6 on) mute through Core
  // Audio, older systems through the legacy mixer.
  bool UsesCoreAudio();
  void ReleaseEndpointVolume();
  bool MixerLineMute(std::uint8_t Type, std::int32_t& value, bool write);
  void ShowMessage(std::string_view text);

  Platform& platform_;
  TApplication& application_;
  WindowHandle handle_ = 0;
  bool destroyed_ = false;
};

// Private messages of the form to itself.
inline constexpr std::uint32_t kWmHideTrayIcon = 0x0400 + 2;  // WM_USER + 2
// WM_DEVICE_KEY codes of the two profile-group keys.
inline constexpr std::uintptr_t kDeviceKeyProfileGroup0 = 21;
inline constexpr std::uintptr_t kDeviceKeyProfileGroup1 = 22;

}  // namespace zr
