// The monitor form's face to the user: the tray icon and its menu, the
// texts in the user's language, and the link to the configuration program.
#include "app/messages.h"
#include "app/monitor_form.h"
#include "profile/dm.h"

namespace zr {

void ZEDEZAVadi::ApplyLanguageAndTexts() {
  const std::int32_t stored = DM.FAllProfileSettingInfo.CurrentLanguage;
  if (qvLanguage1->GetLanguageIndexByShortID(qvLanguage1->Lang()) != stored) {
    qvLanguage1->SetLang(qvLanguage1->GetLanguageShortIDByIndex(stored));
  }
  TrayIcon1->SetHint(TranslateText(kTrayHint));
  application_.Title = TranslateText(kApplicationTitle);
  platform_.windowing.SetWindowTitle(handle_, application_.Title);
  MyPopupMenu.Items[0].Caption = TranslateText("Config");
  MyPopupMenu.Items[1].Caption = TranslateText("About");
  MyPopupMenu.Items[2].Caption = TranslateText("Exit");
}

void ZEDEZAVadi::ShowConfigApplication() {
  const WindowHandle config = platform_.windowing.FindWindowByClass(kConfigClassName);
  if (config != 0) {
    platform_.windowing.SetForegroundWindow(config);
    return;
  }
  // The result is not looked at: a missing program fails quietly.
  platform_.shell.ShellExecute(0, "open", kConfigProgramFile, "", platform_.files.ExecutableFolder(), kSwShowNormal);
}

void ZEDEZAVadi::NotifyConfigApplication() {
  // Posted only to a window that exists: a message to no window would land
  // in the calling thread's own queue.
  const WindowHandle config = platform_.windowing.FindWindowByClass(kConfigClassName);
  if (config != 0) platform_.windowing.PostMessage(config, WM_MONITOR_CLOSED, 0, 0);
}

void ZEDEZAVadi::HideTrayIcon() { platform_.windowing.PostMessage(handle_, kWmHideTrayIcon, 0, 0); }

void ZEDEZAVadi::OnReloadSettings() {
  DM.LoadAllProfileInfoFromRegistry();
  ApplyLanguageAndTexts();
}

void ZEDEZAVadi::TrayIconDblClick() { ShowConfigApplication(); }
void ZEDEZAVadi::Config1Click() { ShowConfigApplication(); }

void ZEDEZAVadi::About1Click() {
  platform_.windowing.ShowWindow(handle_, true);
  ProcessMessageAndSleep50ms();
  platform_.windowing.SetForegroundWindow(handle_);
}

void ZEDEZAVadi::Exit1Click() {
  NotifyConfigApplication();
  application_.Terminate();
}

void ZEDEZAVadi::ImageMainClick() { platform_.windowing.ShowWindow(handle_, false); }
void ZEDEZAVadi::BTNOKClick() { platform_.windowing.ShowWindow(handle_, false); }
void ZEDEZAVadi::BtnGoWebClick() { OpenUpdateWebSite(); }
void ZEDEZAVadi::BitmapStateButton1Click() { OpenUpdateWebSite(); }

void ZEDEZAVadi::OpenUpdateWebSite() {
  platform_.shell.ShellExecute(handle_, "open", kUpdateWebSite, "", "", kSwShowNormal);
}

}  // namespace zr
