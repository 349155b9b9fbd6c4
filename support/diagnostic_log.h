// The debugger output that a user can send: with `[Diagnostics] LogFile=1`
// in config.ini every debugger-output line is also appended, time-stamped,
// to zrmon.log in the user's local application-data folder. The file stays
// under kMaxBytes; when a line would take it over, the file becomes
// zrmon.log.1 (replacing the one before) and a new one starts.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/system.h"

namespace zr {

// The debugger output of `inner`, also written to the log file. Writing never
// fails the program: a line that cannot be written is lost from the file
// only.
class DiagnosticLog final : public System {
 public:
  static constexpr std::uint64_t kMaxBytes = 1024 * 1024;
  static constexpr std::size_t kMaxLineBytes = 4096;

  DiagnosticLog(System& inner, FileSystem& files, std::string path);

  void DebugOutput(std::string_view text) override;
  bool MutexExists(std::string_view name) override { return inner_.MutexExists(name); }
  MutexHandle CreateOwnedMutex(std::string_view name, bool& alreadyExisted) override {
    return inner_.CreateOwnedMutex(name, alreadyExisted);
  }
  void ReleaseMutex(MutexHandle mutex) override { inner_.ReleaseMutex(mutex); }
  LocalDateTime LocalTime() override { return inner_.LocalTime(); }
  int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override {
    return inner_.MessageBox(text, caption, flags);
  }

  const std::string& Path() const { return path_; }

 private:
  System& inner_;
  FileSystem& files_;
  std::string path_;
  std::mutex mutex_;  // readers' threads write too
};

// "2026-03-14 09:26:53.042 text" with CR LF; line breaks inside the text
// become blanks, and a very long text is cut.
std::string DiagnosticLogLine(const LocalDateTime& at, std::string_view text);

// The log file's path when config.ini beside the executable switches the log
// on; empty when it is off or the folder is unknown.
std::string DiagnosticLogPath(FileSystem& files, System& system);

}  // namespace zr
