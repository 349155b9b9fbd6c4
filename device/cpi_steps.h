// The sensor's CPI steps and the arithmetic that snaps a CPI value to them.
#pragma once

#include <array>
#include <cstdint>

namespace zr {

// 250, 500, ..., 4000.
inline constexpr std::array<std::uint32_t, 16> kCpiStepTable = [] {
  std::array<std::uint32_t, 16> t{};
  for (std::uint32_t i = 0; i < 16; ++i) t[i] = 250 * (i + 1);
  return t;
}();

// The larger of the two (unsigned comparison).
constexpr std::uint32_t MaxCpi(std::uint32_t a, std::uint32_t b) { return a > b ? a : b; }

// Whichever of Low and High is nearer to Value; a tie gives Low.
constexpr std::int32_t NearestCpi(std::int32_t Low, std::int32_t High, std::int32_t Value) {
  const std::int64_t toLow = std::int64_t(Value) - Low;
  const std::int64_t toHigh = std::int64_t(Value) - High;
  return (toLow < 0 ? -toLow : toLow) > (toHigh < 0 ? -toHigh : toHigh) ? High : Low;
}

// The step-table value for a CPI: the nearest step, a tie going to the lower.
constexpr std::uint32_t SnapCpiToStep(std::uint32_t Value) {
  if (Value <= kCpiStepTable.front()) return kCpiStepTable.front();
  if (Value >= kCpiStepTable.back()) return kCpiStepTable.back();
  for (std::size_t i = 0; i + 1 < kCpiStepTable.size(); ++i) {
    if (kCpiStepTable[i] <= Value && Value < kCpiStepTable[i + 1]) {
      return static_cast<std::uint32_t>(NearestCpi(static_cast<std::int32_t>(kCpiStepTable[i]),
                                                   static_cast<std::int32_t>(kCpiStepTable[i + 1]),
                                                   static_cast<std::int32_t>(Value)));
    }
  }
  return kCpiStepTable.back();
}

// What the filter driver scales an axis by: the set CPI in whole percent of
// the sensor step it rests on (at most what its 16-bit field holds).
constexpr std::int16_t CpiRate(std::uint32_t set, std::uint32_t step) {
  const std::uint64_t r = std::uint64_t(set) * 100 / step;
  return static_cast<std::int16_t>(r < 32767 ? r : 32767);
}

}  // namespace zr
