// Reading a stored table within limits, with what was left out told: as
// debugger-output lines named after where the table came from (a file path,
// "form data"), or as sentences for whoever shows them.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lang/qv_language.h"

namespace zr {

// The monitor's limits. Stored tables are a few kilobytes; a file larger
// than this is not read.
inline constexpr std::size_t kMaxLanguageFileBytes = 1u << 20;
// A table keeps at most this many lines (source texts and translations
// together) and languages; the rest is dropped and reported.
inline constexpr std::size_t kMaxTableLines = 8192;
inline constexpr std::size_t kMaxTableLanguages = 256;

struct TTableLimits {
  std::size_t lines;
  std::size_t languages;
};
inline constexpr TTableLimits kMonitorTableLimits{kMaxTableLines, kMaxTableLanguages};
// Everything the data holds, as the language editor reads it.
inline constexpr TTableLimits kWholeTable{std::numeric_limits<std::size_t>::max(),
                                          std::numeric_limits<std::size_t>::max()};

// Reads as ReadLanguageTable, keeping at most what `limits` allow. Each
// thing left out (beyond the limits, damaged, not valid UTF-16) is one
// sentence of the result; empty when the table was read whole.
std::vector<std::string> ReadLanguageTableWithin(std::span<const std::uint8_t> bytes, TLanguageTable& table,
                                                 TTableLimits limits);

// Reads within the monitor's limits; each thing left out is a
// debugger-output line "origin: what". False when anything was left out.
bool ReadLanguageTableFrom(std::span<const std::uint8_t> bytes, TLanguageTable& table, System& system,
                           std::string_view origin);

// What the monitor would leave out of a table file of these bytes (its size
// limit and its reading limits); empty when it reads all of it.
std::vector<std::string> WhatTheMonitorLeavesOut(std::span<const std::uint8_t> fileBytes);

}  // namespace zr
