// Synthesised mouse and keyboard input, and the cursor position. Injected
// events are marked as injected by the platform, so that low-level hooks can
// tell them from what the user did.
#pragma once

#include <cstdint>

namespace zr {

// Mouse event flags.
inline constexpr std::uint32_t kMouseEventWheel = 0x0800;   // mouseData is a wheel delta
// Keyboard event flags.
inline constexpr std::uint32_t kKeyEventExtendedKey = 0x0001;
inline constexpr std::uint32_t kKeyEventKeyUp = 0x0002;
inline constexpr std::int32_t kWheelDelta = 120;

class InputPort {
 public:
  virtual ~InputPort() = default;
  // The cursor's screen position; false when it cannot be read.
  virtual bool GetCursorPos(int& x, int& y) = 0;
  // One mouse event: coordinates, data (the wheel delta with kMouseEventWheel)
  // and flags. Without a move flag the cursor stays where it is.
  virtual bool InjectMouseEvent(std::uint32_t flags, int x, int y, std::int32_t data) = 0;
  // One keyboard event of a virtual key.
  virtual bool InjectKeyEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) = 0;
  // The key's state as the desktop's input has it at this moment (also on a
  // hook's thread, for the event being hooked: the keys before it): the
  // high bit is set while the key is down.
  virtual std::int16_t KeyState(std::uint8_t virtualKey) = 0;
};

}  // namespace zr
