#include "support/diagnostic_log.h"

#include <cstdio>
#include <span>

#include "support/ini_file.h"

namespace zr {

DiagnosticLog::DiagnosticLog(System& inner, FileSystem& files, std::string path)
    : inner_(inner), files_(files), path_(std::move(path)) {}

std::string DiagnosticLogLine(const LocalDateTime& at, std::string_view text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", unsigned{at.year}, unsigned{at.month},
                unsigned{at.day}, unsigned{at.hour}, unsigned{at.minute}, unsigned{at.second},
                unsigned{at.milliseconds});
  std::string line = stamp;
  const std::string_view body = text.substr(0, DiagnosticLog::kMaxLineBytes);
  for (const char c : body) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += "\r\n";
  return line;
}

void DiagnosticLog::DebugOutput(std::string_view text) {
  inner_.DebugOutput(text);
  const std::string line = DiagnosticLogLine(inner_.LocalTime(), text);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
  std::lock_guard lock(mutex_);
  const std::uint64_t size = files_.FileSize(path_).value_or(0);
  if (size != 0 && size + line.size() > kMaxBytes) {
    // Keep one older file. When it cannot be moved, start afresh rather than
    // grow past the limit; when that fails too, the line is not written.
    if (!files_.MoveFileReplacing(path_, path_ + ".1") && !files_.DeleteFile(path_)) return;
  }
  files_.AppendFile(path_, bytes);  // a failure leaves the file as it was
}

std::string DiagnosticLogPath(FileSystem& files, System& system) {
  const IniFile ini = LoadConfigIni(files, system);
  if (ini.ReadInteger("Diagnostics", "LogFile", 0) == 0) return {};
  const std::string folder = files.LocalAppDataFolder();
  if (folder.empty()) return {};
  return folder + "\\zrmon.log";
}

}  // namespace zr
