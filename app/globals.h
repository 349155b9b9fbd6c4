// The monitor's own names, and the process-wide values and names it shares
// with the layers below and the programs beside it.
#pragma once

#include "contract/monitor_contract.h"
#include "profile/monitor_globals.h"

namespace zr {

inline constexpr char kApplicationTitle[] = "Gaming Mouse Monitor";
inline constexpr char kTrayHint[] = "Gaming Mouse Driver";

}  // namespace zr
