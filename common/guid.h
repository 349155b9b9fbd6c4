// GUIDs as the platform lays them out, and their registry form
// "{4d1e55b2-f16f-11cf-88cb-001111000030}".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zr {

#pragma pack(push, 1)
struct Guid {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::array<std::uint8_t, 8> Data4;
  friend bool operator==(const Guid&, const Guid&) = default;
};
#pragma pack(pop)
static_assert(sizeof(Guid) == 16);

// The registry form, braces included, hexadecimal digits in either case.
std::optional<Guid> ParseGuid(std::string_view text);
// The registry form in lower case.
std::string FormatGuid(const Guid& guid);

// The HID device-interface class, used when the HID library cannot tell it.
inline constexpr Guid kHidInterfaceGuid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// The HID device setup class.
inline constexpr Guid kHidSetupClassGuid{0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

}  // namespace zr
