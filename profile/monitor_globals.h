// Process-wide values of the monitor, owned by the program entry: the
// profile manager fills them in while it is created, the monitor form reads
// them.
#pragma once

#include "platform/hid.h"  // USAGE_AND_PAGE

namespace zr {

struct MonitorGlobals {
  // The HID collection through which the mouse is read and written.
  USAGE_AND_PAGE HidUsageAndPage{0, 0};
};

}  // namespace zr
