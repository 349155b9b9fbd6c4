// Changes to one profile record as zrctl makes them: the CPI levels, what the
// wheel does, the function of a device key. Each change writes the fields it
// names and those that follow from them by the record's rules, and nothing
// else; a value the record or the filter driver cannot carry is refused
// before anything changes.
#pragma once

#include <string>
#include <string_view>

#include "profile/records.h"

namespace zr::ctl {

inline constexpr int kCpiLevelsStored = 11;  // CPIState and HWCPIState hold eleven
inline constexpr int kCpiLevelsSent = 10;    // the filter driver gets the first ten
inline constexpr int kDeviceKeys = 15;       // ButtonFuncInfo entries
inline constexpr int kWheelFunctions = 6;    // wheel function numbers 0..5

// A refusal's reason; empty when the change was made.
using EditError = std::string;

// "400,800,1600x1200": the levels in use, in order. Levels 0..n-1 get the
// values and are enabled, levels n..9 are disabled and keep their values;
// each sensor step follows its level; CPILevel becomes n; CurrentCPIIndex
// stays when it is still a level in use, else it becomes the last one.
EditError SetCpiLevels(TMOUSECONFIGINFO& c, std::string_view levels);
// "wheel-up" or "wheel-down", and a wheel function name (WheelFunctionNames).
EditError SetWheel(TMOUSECONFIGINFO& c, std::string_view direction, std::string_view function);
// A device key 0..14, and "mute-mic" or a catalogue row by number or name.
EditError SetKey(TMOUSECONFIGINFO& c, std::string_view key, std::string_view function);

// After fields of a profile were written one by one (`import --json`): the
// fields that follow them are brought in line (a changed level's sensor
// step, a changed key's catalogue kind and code), and a changed value the
// record's rules do not allow is refused. The reason starts with the path of
// the value below the profile ("cpi.levels[4]: ..."); values that did not
// change are taken as they are.
EditError FollowProfileEdits(const TMOUSECONFIGINFO& before, TMOUSECONFIGINFO& after);

// For the help texts: "scroll-up, scroll-down, ..." and "click, ...".
std::string WheelFunctionNames();
std::string KeyFunctionNames();

// Why the filter driver cannot scale a level of X by Y, or empty: it scales
// each axis by its CPI over the level's sensor step in whole percent, from 1
// to 32767.
EditError CpiLevelProblem(std::uint32_t x, std::uint32_t y);
// The level's sensor step: the step nearest to its larger axis, enabled as
// the level is.
void SyncSensorStep(TMOUSECONFIGINFO& c, int level);
// The catalogue row's function, kind and code into a key's entry.
void SelectCatalogueRow(TBUTTONFUNCINFO& entry, int row);

// The name of a key's function for the catalogue rows that have one, else
// null. The monitor toggles the microphone for row 28 whatever else the
// entry holds; the click rows are named for an entry that holds its row's
// kind and code as well (an entry without a function holds zeros).
const char* KeyAction(const TBUTTONFUNCINFO& e);

// What the monitor does with a wheel direction, in words ("wheel up",
// "volume down", "none"); whether it leaves the direction alone.
const char* WheelAction(const TBUTTONFUNCINFO& e);
bool IsPlainWheel(const TBUTTONFUNCINFO& e, int direction);

}  // namespace zr::ctl
