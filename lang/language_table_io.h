// Reading a stored table with the name of where it came from (a file path,
// "form data") in its debugger-output lines.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "lang/qv_language.h"

namespace zr {

// Stored tables are a few kilobytes; a file larger than this is not read.
inline constexpr std::size_t kMaxLanguageFileBytes = 1u << 20;
// A table keeps at most this many lines (source texts and translations
// together) and languages; the rest is dropped and reported.
inline constexpr std::size_t kMaxTableLines = 8192;
inline constexpr std::size_t kMaxTableLanguages = 256;

bool ReadLanguageTableFrom(std::span<const std::uint8_t> bytes, TLanguageTable& table, System& system,
                           std::string_view origin);

}  // namespace zr
