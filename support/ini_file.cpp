#include "support/ini_file.h"

#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"

namespace zr {
namespace {

std::string DecodeText(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf16ToUtf8(units);
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
    return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
  }
  return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IniFile IniFile::Parse(std::string_view bytes) {
  const std::string text = DecodeText(bytes);
  IniFile ini;
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = TrimBlanks(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const std::string_view name =
          TrimBlanks(close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1));
      const auto [it, added] = ini.sectionIndex_.try_emplace(ToLowerAscii(name), ini.sections_.size());
      if (added) ini.sections_.push_back(Section{std::string(name), {}, {}});
      current = &ini.sections_[it->second];
      continue;
    }
    if (current == nullptr) continue;  // lines before the first section belong to none
    const size_t eq = line.find('=');
    Entry entry;
    if (eq == std::string_view::npos) {
      entry.key = std::string(line);
    } else {
      entry.key = std::string(TrimBlanks(line.substr(0, eq)));
      entry.value = std::string(StripQuotes(TrimBlanks(line.substr(eq + 1))));
      entry.hasValue = true;
    }
    if (entry.key.empty()) continue;
    if (current->index.try_emplace(ToLowerAscii(entry.key), current->entries.size()).second) {
      current->entries.push_back(std::move(entry));
    }
  }
  return ini;
}

const IniFile::Section* IniFile::FindSection(std::string_view section) const {
  const auto it = sectionIndex_.find(ToLowerAscii(section));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniFile::Entry* IniFile::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  const auto it = s->index.find(ToLowerAscii(key));
  return it == s->index.end() ? nullptr : &s->entries[it->second];
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  const Entry* e = Find(section, key);
  return e ? e->value : std::string(defaultValue);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const {
  const Entry* e = Find(section, key);
  if (e == nullptr) return defaultValue;
  std::string_view v = e->value;
  bool negative = false;
  if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
    negative = v[0] == '-';
    v.remove_prefix(1);
  }
  int base = 10;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    base = 16, v.remove_prefix(2);
  } else if (v.size() > 1 && v[0] == '$') {
    base = 16, v.remove_prefix(1);
  }
  std::int64_t result = 0;
  size_t digits = 0;
  for (const char c : v) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      break;
    }
    result = result * base + d;
    if (result > 0xFFFFFFFFLL) return defaultValue;  // does not fit 32 bits
    ++digits;
  }
  if (digits == 0) return defaultValue;
  if (base == 16) return static_cast<std::int32_t>(static_cast<std::uint32_t>(result));
  if (result > (negative ? 2147483648LL : 2147483647LL)) return defaultValue;
  return static_cast<std::int32_t>(negative ? -result : result);
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  if (const Section* s = FindSection(section)) {
    for (const auto& e : s->entries) out.emplace_back(e.key, e.value);
  }
  return out;
}

std::vector<std::string> IniFile::ReadIdList(std::string_view section, int maxCount) const {
  std::vector<std::string> out;
  for (int n = 1; n <= maxCount; ++n) {
    std::string value = ReadString(section, "id" + std::to_string(n), "");
    if (value.empty()) break;
    out.push_back(std::move(value));
  }
  return out;
}

IniFile LoadIniFile(FileSystem& files, System& system, std::string_view path) {
  FileReadResult r = files.ReadFile(path, kMaxIniFileBytes);
  switch (r.status) {
    case FileReadResult::Status::Ok:
      return IniFile::Parse(std::string_view(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size()));
    case FileReadResult::Status::Missing:
      return {};
    case FileReadResult::Status::TooLarge:
    case FileReadResult::Status::Error:
      system.DebugOutput(std::string(path) + " not read: " + r.error);
      return {};
  }
  return {};
}

IniFile LoadConfigIni(FileSystem& files, System& system) {
  return LoadIniFile(files, system, files.ExecutableFolder() + "config.ini");
}

}  // namespace zr
