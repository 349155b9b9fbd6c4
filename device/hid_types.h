// Types shared by the HID access layer and its users.
#pragma once

#include <cstdint>

namespace zr {

#pragma pack(push, 1)
// The platform's structure of that name: Usage, then UsagePage.
struct USAGE_AND_PAGE {
  std::uint16_t Usage;
  std::uint16_t UsagePage;

  // Passed by value as one 32-bit value with Usage in the low half.
  std::uint32_t AsUInt32() const { return Usage | (std::uint32_t(UsagePage) << 16); }
  static USAGE_AND_PAGE FromUInt32(std::uint32_t v) {
    return {static_cast<std::uint16_t>(v & 0xFFFF), static_cast<std::uint16_t>(v >> 16)};
  }
  friend bool operator==(const USAGE_AND_PAGE&, const USAGE_AND_PAGE&) = default;
};
#pragma pack(pop)
static_assert(sizeof(USAGE_AND_PAGE) == 4);

// The mouse's vendor collection, through which it is read and written.
inline constexpr USAGE_AND_PAGE kVendorCollection{0x0001, 0xFFA0};

}  // namespace zr
