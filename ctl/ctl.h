// zrctl, the monitor's command-line companion: shows the stored profiles,
// stores the group selection, moves a slot's record to and from a file and
// tells a running monitor to reload. It reads and writes through the same
// storage code as the monitor and writes nothing unless the command says so.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zr::ctl {

inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;     // the reason is on `err`
inline constexpr int kExitNoMonitor = 3;   // no monitor runs where one is needed

// How long a running monitor has to handle a message.
inline constexpr std::uint32_t kMonitorAnswerMs = 30000;

// `args` without the program's name. Results on `out`, refusals and
// warnings on `err`; UTF-8 both.
int RunCtl(const std::vector<std::string>& args, Platform& platform, std::ostream& out, std::ostream& err);

}  // namespace zr::ctl
