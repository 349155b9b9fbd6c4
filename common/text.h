// Text helpers of the core: texts are UTF-8 std::string; UTF-16 appears only
// at the Win32 boundary and inside stored formats that hold UTF-16.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

// Invalid UTF-8 sequences become U+FFFD, one per offending byte.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Windows-1252 bytes (the usual ANSI code page of INI files) to UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// Letter case is ignored for ASCII letters, the way hardware IDs, INI
// sections and keys are compared.
char ToLowerAscii(char c);
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
int CompareIgnoreCase(std::string_view a, std::string_view b);

std::string_view TrimBlanks(std::string_view text);
bool EndsWith(std::string_view text, std::string_view tail);

// True when `list` holds `item`, ignoring letter case, whole strings only.
bool ContainsIgnoreCase(const std::vector<std::string>& list, std::string_view item);

// The strings of a multi-string value (UTF-16 units): each ends at a zero,
// the list at an empty string or at the end of the units (a last string
// without its zero counts).
std::vector<std::string> SplitMultiString(std::u16string_view units);

// Bytes as lower-case hexadecimal digits without separators.
std::string ToHexLower(std::span<const std::uint8_t> bytes);
// An even number of hexadecimal digits (either case) as bytes; none for any
// other text.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);

}  // namespace zr
