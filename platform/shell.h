// The shell and the notification area: starting programs and documents,
// the tray icon with its pop-up menu.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windowing.h"

namespace zr {

inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;

// ShellExecuteEx options.
inline constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x00000040;
inline constexpr std::uint32_t kSeeMaskDoEnvSubst = 0x00000200;
// No message box when the file is missing or cannot be started.
inline constexpr std::uint32_t kSeeMaskFlagNoUi = 0x00000400;

// A process the shell started; its handle is closed with the object.
class ProcessHandle {
 public:
  virtual ~ProcessHandle() = default;
  // Waits without a time limit until the process has ended; its exit code,
  // none when it cannot be read.
  virtual std::optional<std::uint32_t> WaitForEnd() = 0;
};

class ShellPort {
 public:
  virtual ~ShellPort() = default;
  // Runs `verb` on `file`; the shell's result (above 32 on success).
  virtual std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                                     std::string_view parameters, std::string_view directory, int showCommand) = 0;
  // The extended form with `mask` options; the process handle when one came
  // back (kSeeMaskNoCloseProcess asks for it), else null (also when nothing
  // could be started).
  virtual std::unique_ptr<ProcessHandle> ShellExecuteEx(std::uint32_t mask, std::string_view verb,
                                                        std::string_view file, std::string_view parameters,
                                                        std::string_view directory, int showCommand) = 0;
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
