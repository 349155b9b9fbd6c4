// Between zrsim.exe and zrmon-sim.exe: the control window's class and the
// WM_COPYDATA kinds. A command travels as its UTF-8 text; the control
// window's answer is 1 when the command was taken, and a refusal's reason
// comes back to the sender's window (wParam) as a reply.
#pragma once

#include <cstdint>

namespace zr {

inline constexpr char kZrSimControlClass[] = "zrsim.Control";
inline constexpr std::uint32_t kZrSimCommand = 0x5A53434D;  // "ZSCM"
inline constexpr std::uint32_t kZrSimRefusal = 0x5A535246;  // "ZSRF"

}  // namespace zr
