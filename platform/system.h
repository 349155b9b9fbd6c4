// Services of the program: the named single-instance mutex, the debugger
// output and message boxes.
#pragma once

#include <cstdint>
#include <string_view>

namespace zr {

using MutexHandle = std::uintptr_t;  // 0: none

// The local date and time of day, as the system clock tells it.
struct LocalDateTime {
  std::uint16_t year = 0, month = 0, day = 0;  // month and day from 1
  std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class System {
 public:
  virtual ~System() = default;
  // Opens an existing named mutex with full access (and closes the handle
  // again): true when another process holds one of that name.
  virtual bool MutexExists(std::string_view name) = 0;
  // Creates the named mutex, initially owned by the calling thread.
  // `alreadyExisted` tells that another process created it first (then the
  // handle refers to that mutex and this thread does not own it).
  virtual MutexHandle CreateOwnedMutex(std::string_view name, bool& alreadyExisted) = 0;
  // Releases ownership and closes the handle.
  virtual void ReleaseMutex(MutexHandle mutex) = 0;
  virtual void DebugOutput(std::string_view text) = 0;
  virtual LocalDateTime LocalTime() = 0;
  // A modal message box; the button the user chose.
  virtual int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) = 0;
};

inline constexpr std::uint32_t kMbOk = 0x00000000;
inline constexpr std::uint32_t kMbIconError = 0x00000010;

}  // namespace zr
