// Files and folders as the program needs them. Paths are Windows paths
// (backslash separated) in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

struct FileReadResult {
  enum class Status { Ok, Missing, TooLarge, Error };
  Status status = Status::Missing;
  std::vector<std::uint8_t> bytes;
  std::string error;  // what went wrong, for Error and TooLarge
  bool ok() const { return status == Status::Ok; }
};

struct IoResult {
  bool ok = true;
  std::string error;
  static IoResult Success() { return {}; }
  static IoResult Failure(std::string why) { return {false, std::move(why)}; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool FileExists(std::string_view path) = 0;
  virtual bool FolderExists(std::string_view path) = 0;
  // Creates one folder level; the parent must exist. True when it exists
  // afterwards.
  virtual bool CreateFolder(std::string_view path) = 0;
  // Reads the whole file; a file longer than maxBytes is not read (TooLarge).
  virtual FileReadResult ReadFile(std::string_view path, std::size_t maxBytes) = 0;
  // Replaces the file whole: the bytes go to a temporary file in the same
  // folder, which then takes the file's place. A failure at any point leaves
  // the previous file as it was. The folder is not created.
  virtual IoResult ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) = 0;
  // Appends the bytes at the file's end, creating the file when it is
  // missing (the folder is not created). What was written before stays
  // whatever happens to this write.
  virtual IoResult AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) = 0;
  // The file's size in bytes; nothing when there is no such file.
  virtual std::optional<std::uint64_t> FileSize(std::string_view path) = 0;
  // Gives a file another name in the same folder, replacing a file that has
  // that name.
  virtual bool MoveFileReplacing(std::string_view source, std::string_view target) = 0;
  virtual bool DeleteFile(std::string_view path) = 0;
  // Copies a file; with `failIfExists` false an existing target is
  // overwritten. The target's folder must exist.
  virtual bool CopyFile(std::string_view source, std::string_view target, bool failIfExists) = 0;

  // Folder of the program's executable, ending with a backslash.
  virtual std::string ExecutableFolder() = 0;
  // The user's documents folder (the shell's personal folder), without a
  // trailing backslash; empty when the platform cannot tell.
  virtual std::string DocumentsFolder() = 0;
  // The user's local (not roaming) application-data folder, without a
  // trailing backslash; empty when the platform cannot tell.
  virtual std::string LocalAppDataFolder() = 0;
  // The Windows folder, without a trailing backslash.
  virtual std::string WindowsFolder() = 0;
};

}  // namespace zr
