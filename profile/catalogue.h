// The constant tables of the profile model.
#pragma once

#include <array>
#include <cstdint>

namespace zr {

struct TFunctionCatalogueRow {
  std::int32_t FunctionIndex;
  std::int32_t FunctionKind;
  std::int32_t FunctionCode;
};

// Functions that a device key can have; a key entry that selects row r holds
// r in FunctionIndex and the row's kind and code.
inline constexpr std::array<TFunctionCatalogueRow, 34> FunctionCatalogue = [] {
  std::array<TFunctionCatalogueRow, 34> t{};
  constexpr std::int32_t kinds[7] = {1, 2, 3, 5, 4, 16, 15};
  for (int r = 0; r < 7; ++r) t[r] = {r, kinds[r], r + 1};
  for (int r = 7; r <= 14; ++r) t[r] = {r, 15, 801 + (r - 7)};
  for (int r = 15; r <= 20; ++r) t[r] = {r, 15, 901 + (r - 15)};
  for (int r = 21; r <= 27; ++r) t[r] = {r, 14, 1001 + (r - 21)};
  t[28] = {28, 17, 11};
  t[29] = {29, 8, 12};
  t[30] = {30, 9, 13};
  t[31] = {31, 10, 14};
  t[32] = {32, 18, 15};
  t[33] = {33, 14, 16};
  return t;
}();

inline constexpr std::int32_t kFunctionMicrophoneMute = 28;

// Row k: the byte 7 (the key report's ID), then 1 << k as three bytes, least
// significant first. The device names key k by these three mask bytes.
inline constexpr std::array<std::array<std::uint8_t, 4>, 24> KeyIndexTable = [] {
  std::array<std::array<std::uint8_t, 4>, 24> t{};
  for (int k = 0; k < 24; ++k) {
    const std::uint32_t mask = 1u << k;
    t[k] = {7, static_cast<std::uint8_t>(mask & 0xFF), static_cast<std::uint8_t>((mask >> 8) & 0xFF),
            static_cast<std::uint8_t>((mask >> 16) & 0xFF)};
  }
  return t;
}();

}  // namespace zr
