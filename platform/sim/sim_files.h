// The simulated file system: files and folders in memory, with the failures
// a test can arrange (unreadable files, a full disk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace zr::sim {

class SimFileSystem final : public FileSystem {
 public:
  SimFileSystem() = default;

  bool FileExists(std::string_view path) override;
  bool FolderExists(std::string_view path) override;
  bool CreateFolder(std::string_view path) override;
  FileReadResult ReadFile(std::string_view path, std::size_t maxBytes) override;
  IoResult ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  IoResult AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  std::optional<std::uint64_t> FileSize(std::string_view path) override;
  bool MoveFileReplacing(std::string_view source, std::string_view target) override;
  bool DeleteFile(std::string_view path) override;
  bool CopyFile(std::string_view source, std::string_view target, bool failIfExists) override;
  // Per process; see SimProcessFiles.
  std::string ExecutableFolder() override { return "C:\\"; }
  std::string DocumentsFolder() override { return documents; }
  std::string WindowsFolder() override { return windows; }
  std::string LocalAppDataFolder() override { return localAppData; }

  std::string documents = "C:\\users\\player\\Documents";
  std::string localAppData = "C:\\users\\player\\AppData\\Local";
  std::string windows = "C:\\windows";

  // Test access. Folders along the path are created as needed.
  void AddFolder(std::string_view path);
  // Removes the folder with everything in it.
  void RemoveFolder(std::string_view path);
  // `zerosAfter`: zero bytes that follow `bytes` in the file, held in memory
  // only once the file is read whole (a very large file stays cheap while
  // nothing reads it). PeekFile shows `bytes` alone; FileSize counts both.
  void PutFile(std::string_view path, std::vector<std::uint8_t> bytes, std::uint64_t zerosAfter = 0);
  void PutText(std::string_view path, std::string_view text);
  std::optional<std::vector<std::uint8_t>> GetFile(std::string_view path) const;
  // The same without a copy (also of an unreadable file); valid until the
  // files change.
  const std::vector<std::uint8_t>* PeekFile(std::string_view path) const;
  std::vector<std::string> FilesIn(std::string_view folder) const;  // names, any order
  std::vector<std::string> AllFiles() const;                          // whole paths, as written
  // The file exists but cannot be read.
  void SetUnreadable(std::string_view path, bool unreadable = true);
  // Writes fail once this many more bytes have been written (a full disk);
  // negative: never.
  void FailWritesAfterBytes(long long bytes) { writeBudget_ = bytes; }
  int writes = 0;            // file replacements that succeeded
  std::set<std::string> readLog;  // lower-case paths of files read

 private:
  struct File {
    std::string path;
    std::vector<std::uint8_t> bytes;
    bool unreadable = false;
    std::uint64_t zerosAfter = 0;
    std::uint64_t size() const { return bytes.size() + zerosAfter; }
    std::vector<std::uint8_t> Whole() const;
  };
  static std::string Norm(std::string_view path);
  static std::string ParentOf(const std::string& norm);
  std::map<std::string, File> files_;
  std::set<std::string> folders_;
  long long writeBudget_ = -1;
  int tempCounter_ = 0;
};

}  // namespace zr::sim
