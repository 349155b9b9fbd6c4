#include "app/tray_icon.h"

namespace zr {

void TPopupMenu::Popup(TrayPort& tray, WindowHandle owner) {
  std::vector<std::string> captions;
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (!Items[i].Visible) continue;
    captions.push_back(Items[i].Caption);
    positions.push_back(i);
  }
  if (captions.empty()) return;
  const int chosen = tray.TrackPopupMenu(owner, captions);
  if (chosen < 0 || chosen >= static_cast<int>(positions.size())) return;
  const auto onClick = Items[positions[static_cast<std::size_t>(chosen)]].OnClick;
  if (onClick) onClick();
}

TTrayIcon::TTrayIcon(Platform& platform, WindowHandle owner, std::uint32_t id)
    : platform_(platform),
      owner_(owner),
      id_(id),
      taskbarCreated_(platform.windowing.RegisterWindowMessage("TaskbarCreated")) {}

TTrayIcon::~TTrayIcon() { SetVisible(false); }

void TTrayIcon::SetVisible(bool visible) {
  visible_ = visible;
  if (visible && !added_) {
    // A busy shell (at logon) can time out an add whose icon still shows:
    // one retry, then the icon counts as there either way, so that hint
    // changes, hiding and the delete at the end reach it. A retry that
    // failed because the icon is there already gets its hint set.
    if (!platform_.tray.AddIcon(owner_, id_, kWmTrayIcon, hint_) &&
        !platform_.tray.AddIcon(owner_, id_, kWmTrayIcon, hint_)) {
      platform_.tray.SetHint(owner_, id_, hint_);
    }
    added_ = true;
  } else if (!visible && added_) {
    platform_.tray.DeleteIcon(owner_, id_);
    added_ = false;
  }
}

void TTrayIcon::SetHint(std::string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  if (added_) platform_.tray.SetHint(owner_, id_, hint_);
}

bool TTrayIcon::HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
    // The shell started anew and has forgotten every icon.
    added_ = false;
    if (visible_) SetVisible(true);
    return true;
  }
  if (msg != kWmTrayIcon || wParam != id_) return false;
  switch (static_cast<std::uint32_t>(lParam)) {
    case kWmLButtonUp:
      if (OnClick) OnClick();
      break;
    case kWmRButtonUp:
      if (PopupMenu != nullptr) PopupMenu->Popup(platform_.tray, owner_);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace zr
