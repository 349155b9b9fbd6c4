// The translation table, its language lists and its stored format.
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "common/text.h"
#include "lang/language_table_io.h"
#include "lang/qv_language.h"

namespace zr {
namespace {

// A line "source=translation": the source part ends at the first "=".
// Lines without "=" have neither part and match nothing.
struct LineParts {
  std::string_view source;
  std::string_view translation;
};

std::optional<LineParts> SplitLine(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return LineParts{line.substr(0, eq), line.substr(eq + 1)};
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// Sorted, compared case-sensitively, each line once.
void SortLines(std::vector<std::string>& lines) {
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
}

// ---- reading ----------------------------------------------------------------

// Walks the stored bytes; every count is checked against what remains before
// anything is allocated for it.
class TableReader {
 public:
  explicit TableReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Remaining() const { return bytes_.size() - pos_; }

  void Report(const std::string& what) { leftOut_.push_back(what); }
  std::vector<std::string> TakeLeftOut() { return std::move(leftOut_); }

  std::optional<std::int32_t> ReadInt32(const std::string& what) {
    if (Remaining() < 4) {
      Report("the data ends inside the " + what + " (" + std::to_string(Remaining()) + " bytes left)");
      return std::nullopt;
    }
    const std::uint32_t v = std::uint32_t(bytes_[pos_]) | std::uint32_t(bytes_[pos_ + 1]) << 8 |
                            std::uint32_t(bytes_[pos_ + 2]) << 16 | std::uint32_t(bytes_[pos_ + 3]) << 24;
    pos_ += 4;
    return static_cast<std::int32_t>(v);
  }

  // A length-prefixed UTF-16LE text.
  std::optional<std::u16string> ReadText(const std::string& what) {
    const auto count = ReadInt32("length of the " + what);
    if (!count) return std::nullopt;
    if (*count < 0) {
      Report("the " + what + " has the impossible length " + std::to_string(*count));
      return std::nullopt;
    }
    const std::uint64_t needed = std::uint64_t(*count) * 2;
    if (needed > Remaining()) {
      Report("the " + what + " claims " + std::to_string(*count) + " UTF-16 code units but only " +
             std::to_string(Remaining()) + " bytes are left");
      return std::nullopt;
    }
    std::u16string text(static_cast<std::size_t>(*count), u'\0');
    for (char16_t& u : text) {
      u = static_cast<char16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
      pos_ += 2;
    }
    return text;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  std::vector<std::string> leftOut_;
};

bool IsWellFormedUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Splits a text list as the stored text holds it (lines broken by CR LF, or
// by a lone CR or LF) into sorted UTF-8 lines. Empty lines carry nothing and
// are dropped; a line that is not well-formed UTF-16 is skipped and counted,
// and so is a line beyond the table's remaining `room`.
std::vector<std::string> SplitTextList(std::u16string_view text, int& malformed, std::size_t& room,
                                       std::size_t& dropped) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    const std::u16string_view line = text.substr(start, end - start);
    if (!line.empty()) {
      if (room == 0) {
        ++dropped;
      } else if (IsWellFormedUtf16(line)) {
        --room;
        lines.push_back(Utf16ToUtf8(line));
      } else {
        ++malformed;
      }
    }
    if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ++end;
    start = end + 1;
  }
  SortLines(lines);
  return lines;
}

// ---- writing ----------------------------------------------------------------

void AppendText(std::vector<std::uint8_t>& out, std::u16string_view text) {
  const auto count = static_cast<std::uint32_t>(text.size());
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(count >> shift));
  for (const char16_t u : text) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
}

}  // namespace

// ---- language lists ------------------------------------------------------------

std::string TLanguageList::Translate(std::string_view source) const {
  for (const auto& line : Lines) {
    const auto parts = SplitLine(line);
    if (parts && parts->source == source) return std::string(parts->translation);
  }
  return {};
}

std::string TLanguageList::Revert(std::string_view translated) const {
  for (const auto& line : Lines) {
    const auto parts = SplitLine(line);
    if (parts && parts->translation == translated) return std::string(parts->source);
  }
  return {};
}

void TLanguageList::SetTranslation(std::string_view source, std::string_view translated) {
  SetTranslations({{std::string(source), std::string(translated)}});
}

void TLanguageList::SetTranslations(const std::vector<std::pair<std::string, std::string>>& pairs) {
  // A source text holding "=" could not be found again (its part ends at the
  // first "="), and texts with line breaks would fall apart into several
  // lines when stored: such pairs change nothing.
  std::map<std::string_view, std::string_view> set;
  for (const auto& [source, translated] : pairs) {
    if (source.empty() || source.find('=') != std::string::npos || HasLineBreak(source) || HasLineBreak(translated)) {
      continue;
    }
    set[source] = translated;
  }
  if (set.empty()) return;
  std::erase_if(Lines, [&](const std::string& line) {
    const auto parts = SplitLine(line);
    return parts && set.contains(parts->source);
  });
  for (const auto& [source, translated] : set) {
    if (!translated.empty()) Lines.push_back(std::string(source) + "=" + std::string(translated));
  }
  std::sort(Lines.begin(), Lines.end());
}

std::map<std::string_view, std::string_view> TLanguageList::Translations() const {
  std::map<std::string_view, std::string_view> translations;
  for (const auto& line : Lines) {
    if (const auto parts = SplitLine(line)) translations.emplace(parts->source, parts->translation);
  }
  return translations;
}

const TLanguageList* TLanguageTable::Find(std::string_view name) const {
  for (const auto& language : FResources) {
    if (EqualsIgnoreCase(language.Name, name)) return &language;
  }
  return nullptr;
}

// ---- stored format ----------------------------------------------------------------

std::vector<std::uint8_t> WriteLanguageTable(const TLanguageTable& table) {
  std::vector<std::uint8_t> out;
  std::u16string sources;
  for (const auto& text : table.FOriginal) {
    sources += Utf8ToUtf16(text);
    sources += u"\r\n";
  }
  AppendText(out, sources);
  const auto n = static_cast<std::uint32_t>(table.FResources.size());
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
  for (const auto& language : table.FResources) {
    AppendText(out, Utf8ToUtf16(language.Name));
    std::u16string list;
    for (std::size_t i = 0; i < language.Lines.size(); ++i) {
      if (i > 0) list += u"\r\n";
      list += Utf8ToUtf16(language.Lines[i]);
    }
    AppendText(out, list);
  }
  return out;
}

bool ReadLanguageTable(std::span<const std::uint8_t> bytes, TLanguageTable& table, System& system) {
  return ReadLanguageTableFrom(bytes, table, system, "language table");
}

std::vector<std::string> ReadLanguageTableWithin(std::span<const std::uint8_t> bytes, TLanguageTable& table,
                                                 TTableLimits limits) {
  TableReader in(bytes);
  const auto sources = in.ReadText("source texts");
  if (!sources) {
    in.Report("nothing of the table was read");
    return in.TakeLeftOut();
  }
  int malformed = 0;
  std::size_t room = limits.lines;
  std::size_t dropped = 0;
  table.FOriginal = SplitTextList(*sources, malformed, room, dropped);
  if (malformed > 0) in.Report(std::to_string(malformed) + " source texts that are not valid UTF-16 skipped");

  const auto count = in.ReadInt32("language count");
  if (!count) return in.TakeLeftOut();
  if (*count < 0) {
    in.Report("the language count " + std::to_string(*count) + " is negative; no language read");
    return in.TakeLeftOut();
  }
  bool languagesCut = false;
  for (std::int32_t i = 0; i < *count; ++i) {
    if (table.FResources.size() >= limits.languages) {
      in.Report("languages after the first " + std::to_string(limits.languages) + " not read");
      languagesCut = true;
      break;
    }
    const std::string which = "language " + std::to_string(i + 1) + " of " + std::to_string(*count);
    const auto name = in.ReadText("name of " + which);
    if (!name) {
      in.Report(which + " and those after it not read");
      return in.TakeLeftOut();
    }
    const auto list = in.ReadText("list of " + which);
    if (!list) {
      in.Report(which + " and those after it not read");
      return in.TakeLeftOut();
    }
    if (!IsWellFormedUtf16(*name)) {
      in.Report(which + " skipped: its name is not valid UTF-16");
      continue;
    }
    TLanguageList language;
    language.Name = Utf16ToUtf8(*name);
    malformed = 0;
    language.Lines = SplitTextList(*list, malformed, room, dropped);
    if (malformed > 0) {
      in.Report(std::to_string(malformed) + " lines of language \"" + language.Name +
                "\" that are not valid UTF-16 skipped");
    }
    table.FResources.push_back(std::move(language));
  }
  if (dropped > 0) {
    in.Report(std::to_string(dropped) + " lines beyond the table's " + std::to_string(limits.lines) + " dropped");
  }
  // Bytes after the last language read are the table's own only when
  // languages were cut; otherwise they follow a table read to its end.
  if (in.Remaining() > 0 && !languagesCut) {
    in.Report(std::to_string(in.Remaining()) + " bytes after the table ignored");
  }
  return in.TakeLeftOut();
}

bool ReadLanguageTableFrom(std::span<const std::uint8_t> bytes, TLanguageTable& table, System& system,
                           std::string_view origin) {
  const std::vector<std::string> leftOut = ReadLanguageTableWithin(bytes, table, kMonitorTableLimits);
  for (const std::string& what : leftOut) system.DebugOutput(std::string(origin) + ": " + what);
  return leftOut.empty();
}

std::vector<std::string> WhatTheMonitorLeavesOut(std::span<const std::uint8_t> fileBytes) {
  if (fileBytes.size() > kMaxLanguageFileBytes) {
    return {"a table file of " + std::to_string(fileBytes.size()) + " bytes is not read at all (at most " +
            std::to_string(kMaxLanguageFileBytes) + " bytes)"};
  }
  TLanguageTable table;
  return ReadLanguageTableWithin(fileBytes, table, kMonitorTableLimits);
}

}  // namespace zr
