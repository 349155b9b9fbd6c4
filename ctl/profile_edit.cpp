#include "ctl/profile_edit.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "profile/catalogue.h"
#include "profile/cpi_level.h"

namespace zr::ctl {
namespace {

constexpr std::array<const char*, kWheelFunctions> kWheelActions = {"wheel up",    "wheel down",   "volume up",
                                                                    "volume down", "browser back", "browser forward"};
constexpr std::array<const char*, kWheelFunctions> kWheelNames = {"scroll-up",   "scroll-down",  "volume-up",
                                                                  "volume-down", "browser-back", "browser-forward"};

struct KeyName {
  const char* name;
  int row;
};
constexpr std::array<KeyName, 6> kKeyNames = {{{"click", 0},
                                               {"right-click", 1},
                                               {"middle-click", 2},
                                               {"backward", 3},
                                               {"forward", 4},
                                               {"mute-mic", kFunctionMicrophoneMute}}};

// A decimal number of at most `limit`; nothing for other text.
std::optional<std::uint32_t> Decimal(std::string_view text, std::uint32_t limit) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::uint32_t v = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint32_t>(ch - '0');
  }
  if (v > limit) return std::nullopt;
  return v;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

struct Level {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
};

constexpr std::uint32_t kMaxRecordCpi = UINT16_MAX;

// "N" or "XxY"; the reason when it is neither or does not fit the record.
EditError ParseLevel(std::string_view text, int index, Level& level) {
  const std::string where = "level " + std::to_string(index) + " (\"" + std::string(text) + "\")";
  const std::size_t cross = text.find_first_of("xX");
  const std::string_view xs = text.substr(0, cross);
  const std::string_view ys = cross == std::string_view::npos ? text : text.substr(cross + 1);
  const auto x = Decimal(xs, 999999999);
  const auto y = Decimal(ys, 999999999);
  if (!x || !y) return where + " is neither a CPI N nor XxY";
  if (*x > kMaxRecordCpi || *y > kMaxRecordCpi) {
    return where + ": a profile holds CPI values up to " + std::to_string(kMaxRecordCpi);
  }
  level = {*x, *y};
  return {};
}

}  // namespace

EditError CpiLevelProblem(std::uint32_t x, std::uint32_t y) {
  const std::uint32_t step = SnapCpiToStep(MaxCpi(x, y));
  for (const std::uint32_t axis : {x, y}) {
    if (CpiRate(axis, step) >= 1) continue;
    const std::uint32_t least = (step + 99) / 100;
    return "the filter driver scales each axis in whole percent of the level's sensor step (" + std::to_string(step) +
           " here), so each axis must be " + std::to_string(least) + ".." + std::to_string(kMaxRecordCpi);
  }
  return {};
}

void SyncSensorStep(TMOUSECONFIGINFO& c, int level) { c.HWCPIState[level] = SensorStepOf(c.CPIState[level]); }

void SelectCatalogueRow(TBUTTONFUNCINFO& entry, int row) {
  const TFunctionCatalogueRow& r = FunctionCatalogue[static_cast<std::size_t>(row)];
  entry.FunctionIndex = static_cast<std::uint16_t>(r.FunctionIndex);
  entry.FunctionKind = static_cast<std::uint32_t>(r.FunctionKind);
  entry.FunctionCode = static_cast<std::uint32_t>(r.FunctionCode);
}

const char* KeyAction(const TBUTTONFUNCINFO& e) {
  static constexpr std::array<const char*, 5> kClicks = {"click", "right click", "middle click", "backward",
                                                          "forward"};
  if (e.FunctionIndex == kFunctionMicrophoneMute) return "microphone mute";
  if (e.FunctionIndex >= kClicks.size()) return nullptr;
  const TFunctionCatalogueRow& row = FunctionCatalogue[e.FunctionIndex];
  const bool consistent = e.FunctionKind == static_cast<std::uint32_t>(row.FunctionKind) &&
                          e.FunctionCode == static_cast<std::uint32_t>(row.FunctionCode);
  return consistent ? kClicks[e.FunctionIndex] : nullptr;
}

const char* WheelAction(const TBUTTONFUNCINFO& e) {
  if (e.FunctionClass != 1 || e.FunctionIndex >= kWheelFunctions) return "none";
  return kWheelActions[e.FunctionIndex];
}

bool IsPlainWheel(const TBUTTONFUNCINFO& e, int direction) {
  return e.FunctionClass == 1 && e.FunctionIndex == direction;
}

std::string WheelFunctionNames() {
  std::string names;
  for (const char* n : kWheelNames) names += std::string(n) + ", ";
  return names + "block, plain";
}

std::string KeyFunctionNames() {
  std::string names;
  for (const KeyName& k : kKeyNames) names += std::string(names.empty() ? "" : ", ") + k.name;
  return names;
}

EditError SetCpiLevels(TMOUSECONFIGINFO& c, std::string_view text) {
  std::vector<Level> levels;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t comma = text.find(',', at);
    const std::string_view item = Trimmed(text.substr(at, comma == std::string_view::npos ? text.npos : comma - at));
    Level level;
    if (levels.size() == kCpiLevelsSent) return "the mouse takes 1 to 10 CPI levels, not more";
    if (EditError e = ParseLevel(item, static_cast<int>(levels.size()), level); !e.empty()) return e;
    if (EditError e = CpiLevelProblem(level.x, level.y); !e.empty()) {
      return "level " + std::to_string(levels.size()) + " (" + std::string(item) + "): " + e;
    }
    levels.push_back(level);
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  const int n = static_cast<int>(levels.size());
  for (int i = 0; i < kCpiLevelsSent; ++i) {
    if (i < n) {
      const Level& l = levels[static_cast<std::size_t>(i)];
      c.CPIState[i] = {static_cast<std::uint16_t>(l.x), static_cast<std::uint16_t>(l.y), 1};
      SyncSensorStep(c, i);
    } else {
      c.CPIState[i].Enabled = 0;
      c.HWCPIState[i].Enabled = 0;
    }
  }
  c.CPILevel = static_cast<std::uint16_t>(n);
  if (c.CurrentCPIIndex < 0 || c.CurrentCPIIndex >= n) c.CurrentCPIIndex = n - 1;
  return {};
}

EditError SetWheel(TMOUSECONFIGINFO& c, std::string_view direction, std::string_view function) {
  const int d = direction == "wheel-up" ? 0 : direction == "wheel-down" ? 1 : -1;
  if (d < 0) return "the wheel's directions are wheel-up and wheel-down, not \"" + std::string(direction) + "\"";
  TBUTTONFUNCINFO& e = c.VWheelButtonFuncInfo[d];
  if (function == "block") {
    e.FunctionClass = 0;
    return {};
  }
  for (int n = 0; n < kWheelFunctions; ++n) {
    if (function == kWheelNames[static_cast<std::size_t>(n)] || (function == "plain" && n == d)) {
      e.FunctionClass = 1;
      e.FunctionIndex = static_cast<std::uint16_t>(n);
      return {};
    }
  }
  return "\"" + std::string(function) + "\" is no wheel function; they are " + WheelFunctionNames();
}

EditError SetKey(TMOUSECONFIGINFO& c, std::string_view key, std::string_view function) {
  const auto k = Decimal(key, kDeviceKeys - 1);
  if (!k) return "the device keys are 0..14, not \"" + std::string(key) + "\"";
  std::optional<std::uint32_t> row = Decimal(function, FunctionCatalogue.size() - 1);
  for (const KeyName& n : kKeyNames) {
    if (function == n.name) row = static_cast<std::uint32_t>(n.row);
  }
  if (!row) {
    return "\"" + std::string(function) + "\" is no key function; give a row of the function catalogue, 0.." +
           std::to_string(FunctionCatalogue.size() - 1) + ", or one of " + KeyFunctionNames();
  }
  SelectCatalogueRow(c.ButtonFuncInfo[*k], static_cast<int>(*row));
  return {};
}

EditError FollowProfileEdits(const TMOUSECONFIGINFO& before, TMOUSECONFIGINFO& after) {
  const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  bool levelsInUseChanged = after.CPILevel != before.CPILevel;
  for (int i = 0; i < kCpiLevelsStored; ++i) {
    const std::string path = "cpi.levels[" + std::to_string(i) + "]";
    if (after.UseDiffentXY[i] != before.UseDiffentXY[i] && after.UseDiffentXY[i] > 1) {
      return path + ".different_xy: it is 0 or 1";
    }
    if (same(after.CPIState[i], before.CPIState[i])) continue;
    const TCPILEVELINFO level = after.CPIState[i];
    if (level.Enabled > 1) return path + ".enabled: it is 0 or 1";
    if (i < kCpiLevelsSent && level.Enabled != before.CPIState[i].Enabled) levelsInUseChanged = true;
    if (level.Enabled == 1 && i < kCpiLevelsSent) {
      if (EditError e = CpiLevelProblem(level.X, level.Y); !e.empty()) {
        return path + " (" + std::to_string(level.X) + "x" + std::to_string(level.Y) + "): " + e;
      }
    }
    SyncSensorStep(after, i);
  }
  if (after.CPILevel != before.CPILevel || after.CurrentCPIIndex != before.CurrentCPIIndex) {
    if (after.CPILevel < 1 || after.CPILevel > kCpiLevelsSent) return "cpi.levels_in_use: it is 1..10";
    if (after.CurrentCPIIndex < 0 || after.CurrentCPIIndex >= after.CPILevel) {
      return "cpi.current_level: it is a level in use, 0.." + std::to_string(after.CPILevel - 1);
    }
  }
  // The levels in use are the first levels_in_use ones, each enabled, the
  // others disabled, as `set` and the configuration program keep them.
  if (levelsInUseChanged) {
    for (int i = 0; i < kCpiLevelsSent; ++i) {
      if ((after.CPIState[i].Enabled == 1) != (i < after.CPILevel)) {
        return "cpi.levels[" + std::to_string(i) + "].enabled: with " + std::to_string(after.CPILevel) +
               " levels in use, levels 0.." + std::to_string(after.CPILevel - 1) +
               " are enabled and the others not";
      }
    }
  }
  for (int d = 0; d < 2; ++d) {
    const std::uint16_t function = after.VWheelButtonFuncInfo[d].FunctionIndex;
    if (function != before.VWheelButtonFuncInfo[d].FunctionIndex && function >= kWheelFunctions) {
      return std::string("wheel.") + (d == 0 ? "up" : "down") + ".function: the wheel functions are 0..5";
    }
  }
  for (int k = 0; k < kDeviceKeys; ++k) {
    const std::uint16_t row = after.ButtonFuncInfo[k].FunctionIndex;
    if (row == before.ButtonFuncInfo[k].FunctionIndex) continue;
    if (row >= FunctionCatalogue.size()) {
      return "keys[" + std::to_string(k) + "].function: the catalogue's rows are 0.." +
             std::to_string(FunctionCatalogue.size() - 1);
    }
    SelectCatalogueRow(after.ButtonFuncInfo[k], row);
  }
  return {};
}

}  // namespace zr::ctl
