#include "common/guid.h"

#include <cstdio>

namespace zr {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `digits` hexadecimal digits from text[pos]; none when one is not a digit.
std::optional<std::uint32_t> HexField(std::string_view text, std::size_t pos, std::size_t digits) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const int d = HexDigit(text[pos + i]);
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<std::uint32_t>(d);
  }
  return v;
}

}  // namespace

std::optional<Guid> ParseGuid(std::string_view text) {
  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-') {
    return std::nullopt;
  }
  Guid g{};
  const auto d1 = HexField(text, 1, 8);
  const auto d2 = HexField(text, 10, 4);
  const auto d3 = HexField(text, 15, 4);
  if (!d1 || !d2 || !d3) return std::nullopt;
  g.Data1 = *d1;
  g.Data2 = static_cast<std::uint16_t>(*d2);
  g.Data3 = static_cast<std::uint16_t>(*d3);
  constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    const auto b = HexField(text, kByteAt[i], 2);
    if (!b) return std::nullopt;
    g.Data4[i] = static_cast<std::uint8_t>(*b);
  }
  return g;
}

std::string FormatGuid(const Guid& g) {
  char buf[39];
  std::snprintf(buf, sizeof buf, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

}  // namespace zr
