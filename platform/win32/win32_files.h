// Files and folders, and the folders the system names.
#pragma once

#include "platform/win32/windows_h.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace zr::win32 {

class Win32Files final : public FileSystem {
 public:
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
  // The executable's folder unless another one was given.
  std::string ExecutableFolder() override;
  std::string DocumentsFolder() override;
  std::string WindowsFolder() override;
  std::string LocalAppDataFolder() override;
  // Another folder (ending with a backslash) to count as the executable's.
  void SetExecutableFolder(std::string folder) { executableFolder_ = std::move(folder); }

 private:
  std::string executableFolder_;
};

}  // namespace zr::win32
