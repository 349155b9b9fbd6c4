// The tray icon with its pop-up menu, as the monitor form carries them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zr {

struct TMenuItem {
  std::string Name;
  std::string Caption;
  bool Visible = true;
  std::function<void()> OnClick;
};

class TPopupMenu {
 public:
  std::vector<TMenuItem> Items;  // addressed by position
  bool AutoHotkeys = false;
  // Offers the visible items; the chosen one's OnClick runs.
  void Popup(TrayPort& tray, WindowHandle owner);
};

// The callback message of the tray icon to its owner window.
inline constexpr std::uint32_t kWmTrayIcon = 0x0400 + 1;  // WM_USER + 1

class TTrayIcon {
 public:
  TTrayIcon(Platform& platform, WindowHandle owner, std::uint32_t id = 1);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  void SetHint(std::string hint);
  const std::string& Hint() const { return hint_; }

  TPopupMenu* PopupMenu = nullptr;
  std::function<void()> OnClick;

  // A message of the owner window: the icon's mouse messages (a left click
  // raises OnClick, a right click shows the pop-up menu) and the shell's
  // restart, after which a visible icon is added again. True when it was one
  // of these.
  bool HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  Platform& platform_;
  WindowHandle owner_;
  std::uint32_t id_;
  std::uint32_t taskbarCreated_;
  bool visible_ = false;
  bool added_ = false;  // added, or an add timed out: modify and delete it
  std::string hint_;
};

}  // namespace zr
