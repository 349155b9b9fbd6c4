// The monitor's reactions to the mouse: input reports, hooked wheel events
// and the messages of the configuration program.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "profile/catalogue.h"
#include "profile/dm.h"

namespace zr {

namespace {

constexpr std::uint8_t kKeyReport = 7;
constexpr std::uint8_t kStateReport = 8;
constexpr std::uint8_t kStateProfileGroup = 1;
constexpr std::uint8_t kStateCpiStage = 2;
constexpr std::uint16_t kReportDataSize = 7;

// Wheel function numbers: what a taken-over wheel event becomes.
constexpr std::uint16_t kWheelForward = 0;
constexpr std::uint16_t kWheelBackward = 1;
// Numbers 2 to 5 tap these keys.
constexpr std::uint8_t kWheelKeys[] = {0xAF /* volume up */, 0xAE /* volume down */, 0xA6 /* browser back */,
                                       0xA7 /* browser forward */};
constexpr std::uint8_t kWheelUpOrdinal = 6;  // the ordinal of the wheel-up button; wheel down follows

}  // namespace

void ZEDEZAVadi::qvHIDData1Data(const std::string&, const std::string&, std::uint8_t ReportID,
                                const std::uint8_t* Data, std::uint16_t Size) {
  if (Size != kReportDataSize || Data == nullptr) return;
  if (ReportID == kKeyReport) {
    for (std::size_t j = 0; j < KeyIndexTable.size(); ++j) {
      if (std::memcmp(Data, KeyIndexTable[j].data() + 1, 3) == 0) {
        // Formatted in place: a key press costs no heap allocation.
        char text[48];
        const int n = std::snprintf(text, sizeof text, "KeyIndex = %u postmessage record!", static_cast<unsigned>(j));
        if (n > 0) platform_.system.DebugOutput(std::string_view(text, static_cast<std::size_t>(n)));
        platform_.windowing.PostMessage(handle_, WM_DEVICE_KEY, j, 1);
        return;
      }
    }
    return;
  }
  if (ReportID != kStateReport) return;
  if (Data[0] == kStateCpiStage) {
    FCPIUNIT.CurrentCpi = Data[1];
    TimerToSetCurrentCpi->Restart();
  } else if (Data[0] == kStateProfileGroup && Data[1] <= 1) {
    platform_.windowing.PostMessage(handle_, WM_DEVICE_KEY, Data[1] == 0 ? kDeviceKeyProfileGroup0 : kDeviceKeyProfileGroup1,
                                    0);
  }
}

void ZEDEZAVadi::TimerToSetCurrentCpiTimer() {
  TimerToSetCurrentCpi->SetEnabled(false);
  SetCurrentCpi(*qvSTDCommand1, FCPIUNIT.CurrentCpi);
}

void ZEDEZAVadi::OnHookedButton(std::uintptr_t wParam) {
  // Other messages, further wheel events among them, may run inside this
  // wait: everything below reads the profile as it is afterwards.
  ProcessMessageAndSleep10ms();
  if (wParam != kWheelUpOrdinal && wParam != kWheelUpOrdinal + 1u) return;
  const TBUTTONFUNCINFO& entry = DM.FCurrentProfileInfo.ConfigInfo.VWheelButtonFuncInfo[wParam - kWheelUpOrdinal];
  if (entry.FunctionClass != 1) return;  // swallowed, not replaced
  const std::uint16_t function = entry.FunctionIndex;
  int x = 0, y = 0;
  (void)platform_.input.GetCursorPos(x, y);
  if (function == kWheelForward || function == kWheelBackward) {
    (void)platform_.input.InjectMouseEvent(kMouseEventWheel, x, y,
                                           function == kWheelForward ? kWheelDelta : -kWheelDelta);
  } else if (function >= 2 && function <= 5) {
    const std::uint8_t key = kWheelKeys[function - 2];
    (void)platform_.input.InjectKeyEvent(key, 0, kKeyEventExtendedKey);
    platform_.windowing.Sleep(50);
    (void)platform_.input.InjectKeyEvent(key, 0, kKeyEventExtendedKey | kKeyEventKeyUp);
  }
}

void ZEDEZAVadi::OnDeviceKey(std::uintptr_t wParam, std::intptr_t lParam) {
  if (wParam == kDeviceKeyProfileGroup0 || wParam == kDeviceKeyProfileGroup1) {
    DM.SwitchToProfileGroup(wParam == kDeviceKeyProfileGroup0 ? 0 : 1);
    DM.SaveProfileGroupSettingInfoToRegistry();
    platform_.windowing.SendMessage(handle_, WM_APPLY_PROFILE, 0, 0);
    return;
  }
  if (wParam <= 14) {
    DoDeviceKeyFunction(static_cast<std::uint8_t>(wParam),
                        DM.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[wParam].FunctionIndex,
                        static_cast<std::uint8_t>(lParam));
  }
}

void ZEDEZAVadi::DoDeviceKeyFunction(std::uint8_t, std::uint16_t FunctionCode, std::uint8_t) {
  if (FunctionCode == kFunctionMicrophoneMute) ToggleMicrophoneMute();
}

void ZEDEZAVadi::OnApplyProfile() {
  DM.LoadAllProfileInfoFromRegistry();
  DM.LoadProfileGroupSettingInfoFromRegistry();
  DM.ReloadCurrentProfileInfo();
  InitCPIUnit();
  SetWheelHookRules();
}

}  // namespace zr
