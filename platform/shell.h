// The shell and the notification area: starting programs and documents,
// the tray icon with its pop-up menu.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windowing.h"

namespace zr {

inline constexpr int kSwShowNormal = 1;

class ShellPort {
 public:
  virtual ~ShellPort() = default;
  // Runs `verb` on `file`; the shell's result (above 32 on success).
  virtual std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                                     std::string_view parameters, std::string_view directory, int showCommand) = 0;
};

// Mouse messages that reach a tray icon's owner as its callback's lParam.
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmLButtonUp = 0x0202;
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;
inline constexpr std::uint32_t kWmRButtonUp = 0x0205;

class TrayPort {
 public:
  virtual ~TrayPort() = default;
  // An icon of `owner`: its mouse messages reach the owner as
  // `callbackMessage` with wParam = id and lParam = the mouse message.
  virtual bool AddIcon(WindowHandle owner, std::uint32_t id, std::uint32_t callbackMessage,
                       std::string_view hint) = 0;
  virtual bool SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) = 0;
  virtual bool DeleteIcon(WindowHandle owner, std::uint32_t id) = 0;
  // Shows a pop-up menu of these captions at the cursor, for `owner`; the
  // index of the chosen one, or -1 when the menu was closed without a choice.
  virtual int TrackPopupMenu(WindowHandle owner, const std::vector<std::string>& captions) = 0;
};

}  // namespace zr
