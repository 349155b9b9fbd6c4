// Process-wide values of the monitor, owned by the program entry.
#pragma once

#include "device/hid_types.h"

namespace zr {

inline constexpr char kMonitorClassName[] = "ZEDEZAVadi";  // window class and mutex name
inline constexpr char kConfigClassName[] = "TZRCFGMain";
inline constexpr char kConfigProgramFile[] = "zrCfg.exe";
inline constexpr char kApplicationTitle[] = "Gaming Mouse Monitor";
inline constexpr char kTrayHint[] = "Gaming Mouse Driver";

struct MonitorGlobals {
  // The HID collection through which the mouse is read and written; set by
  // the profile manager while it is created, read by the monitor form.
  USAGE_AND_PAGE HidUsageAndPage{0, 0};
};

}  // namespace zr
