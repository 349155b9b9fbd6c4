// Named mutexes, local time, debugger output and message boxes.
#pragma once

#include "platform/win32/windows_h.h"

#include <cstdint>
#include <string_view>

#include "platform/system.h"

namespace zr::win32 {

class Win32System final : public System {
 public:
  bool MutexExists(std::string_view name) override;
  MutexHandle CreateOwnedMutex(std::string_view name, bool& alreadyExisted) override;
  void ReleaseMutex(MutexHandle mutex) override;
  void DebugOutput(std::string_view text) override;
  LocalDateTime LocalTime() override;
  int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;
};

}  // namespace zr::win32
