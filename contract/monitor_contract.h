// What the monitor, the configuration program and zrctl agree on: the names
// by which they find each other and the messages they exchange. Nothing here
// depends on any other part of the system.
#pragma once

#include <cstdint>

namespace zr {

inline constexpr char kMonitorClassName[] = "ZEDEZAVadi";  // the monitor's window class and mutex name
inline constexpr char kConfigClassName[] = "TZRCFGMain";   // the configuration program's main window class
inline constexpr char kConfigProgramFile[] = "zrCfg.exe";  // the configuration program, beside the monitor

// Between the monitor and the programs that drive it.
inline constexpr std::uint32_t WM_APPLY_PROFILE = 7035;    // to the monitor: reload and push profiles
inline constexpr std::uint32_t WM_MONITOR_CLOSED = 7036;   // to the configuration program
inline constexpr std::uint32_t WM_RELOAD_SETTINGS = 7037;  // to the monitor: reload settings and language

}  // namespace zr
