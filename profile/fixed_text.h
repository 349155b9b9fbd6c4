// A fixed UTF-16 text field of a stored record: N code units (2·N bytes,
// little-endian) holding a text that ends at the first zero unit; a text of
// N units has no terminator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"

namespace zr {

template <std::size_t N>
struct Utf16Text {
  static_assert(N >= 1);
  std::uint8_t bytes[2 * N];

  static constexpr std::size_t kUnits = N;

  char16_t Unit(std::size_t i) const {
    return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }

  // At most N units, up to the first zero unit.
  std::u16string Get() const {
    std::u16string out;
    for (std::size_t i = 0; i < N; ++i) {
      const char16_t u = Unit(i);
      if (u == 0) break;
      out += u;
    }
    return out;
  }
  std::string GetUtf8() const { return Utf16ToUtf8(Get()); }

  // Stores at most N-1 units and a zero; the units after the zero keep what
  // they held. A surrogate pair is never cut in half.
  void Set(std::u16string_view text) {
    std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    for (std::size_t i = 0; i < n; ++i) {
      bytes[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    bytes[2 * n] = 0;
    bytes[2 * n + 1] = 0;
  }
  void SetUtf8(std::string_view text) { Set(Utf8ToUtf16(text)); }
};

}  // namespace zr
