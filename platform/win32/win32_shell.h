// The shell's program starting and the notification area.
#pragma once

#include "platform/win32/windows_h.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell.h"

namespace zr::win32 {

class Win32Shell final : public ShellPort {
 public:
  std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory, int showCommand) override;
  std::unique_ptr<ProcessHandle> ShellExecuteEx(std::uint32_t mask, std::string_view verb, std::string_view file,
                                                std::string_view parameters, std::string_view directory,
                                                int showCommand) override;
};

class Win32Tray final : public TrayPort {
 public:
  bool AddIcon(WindowHandle owner, std::uint32_t id, std::uint32_t callbackMessage, std::string_view hint) override;
  bool SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) override;
  bool DeleteIcon(WindowHandle owner, std::uint32_t id) override;
  int TrackPopupMenu(WindowHandle owner, const std::vector<std::string>& captions) override;
};

}  // namespace zr::win32
