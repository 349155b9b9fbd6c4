// config.ini as the Windows INI functions read it: sections and keys without
// regard to letter case, ';' comment lines, blanks around names and values
// trimmed, one pair of surrounding quotes taken off a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zr {

class FileSystem;
class System;

class IniFile {
 public:
  struct Entry {
    std::string key;
    std::string value;
    bool hasValue = false;  // false for a line without '='
  };
  // Sections of the same name are read as one, in file order.
  struct Section {
    std::string name;
    std::vector<Entry> entries;                          // first occurrence of each key
    std::unordered_map<std::string, std::size_t> index;  // lower-case key -> entry
  };

  IniFile() = default;
  // Text in UTF-16LE (with its mark), UTF-8 (with or without its mark) or the
  // ANSI code page (Windows-1252).
  static IniFile Parse(std::string_view bytes);

  // The value of the first occurrence of the key, or `defaultValue` when the
  // key is missing. A key without a value reads as empty.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // A leading decimal number (optional sign), or hexadecimal after "0x" or
  // "$"; `defaultValue` when the key is missing or holds no number.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
  // Every key of the section with its value, first occurrence of each key,
  // in file order.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  // Values of the keys "id1", "id2", ... in order, up to the first missing or
  // empty value, at most `maxCount` keys.
  std::vector<std::string> ReadIdList(std::string_view section, int maxCount = 101) const;

  bool Empty() const { return sections_.empty(); }

 private:
  const Section* FindSection(std::string_view section) const;
  const Entry* Find(std::string_view section, std::string_view key) const;
  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // lower-case name -> section
};

// A config file is read whole; one larger than this is not read at all.
inline constexpr std::size_t kMaxIniFileBytes = 8u << 20;

// Reads `path`; a missing file gives an empty IniFile. A file that cannot be
// read or is too large also gives an empty one and a debugger-output line.
IniFile LoadIniFile(FileSystem& files, System& system, std::string_view path);
// The program's config.ini, beside its executable.
IniFile LoadConfigIni(FileSystem& files, System& system);

}  // namespace zr
