#include "profile/qv_profile.h"

#include <algorithm>
#include <cstring>

#include "common/paths.h"

namespace zr {

void TqvProfile::SetFilePath(std::string_view path) {
  if (path == filePath_ || !platform_.files.FolderExists(path)) return;
  filePath_ = WithTrailingBackslash(path);
}

void TqvProfile::SetSize(std::int64_t size) {
  if (size == size_ || size < 0 || static_cast<std::uint64_t>(size) > kMaxStoredRecordBytes) return;
  FMemoryStream.resize(static_cast<std::size_t>(size));
  size_ = size;
}

std::int32_t TqvProfile::Write(const void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const auto n = static_cast<std::size_t>(Count);
  if (FMemoryStream.size() < n) FMemoryStream.resize(n);
  std::memcpy(FMemoryStream.data(), Buffer, n);
  size_ = static_cast<std::int64_t>(FMemoryStream.size());
  return Count;
}

std::int32_t TqvProfile::Read(void* Buffer, std::int32_t Count) const {
  if (Count <= 0) return 0;
  const std::size_t n = std::min(static_cast<std::size_t>(Count), FMemoryStream.size());
  if (n > 0) std::memcpy(Buffer, FMemoryStream.data(), n);
  return static_cast<std::int32_t>(n);
}

bool TqvProfile::Continue(const TqvProfileEvent& before) {
  bool bContinue = true;
  if (before) before(FMemoryStream, bContinue);
  return bContinue;
}

bool TqvProfile::RegistryUsable() const {
  return (rootKey_ == kHkeyCurrentUser || rootKey_ == kHkeyLocalMachine) && !keyPath_.empty() && !fileName_.empty();
}

bool TqvProfile::LoadStreamFromRegistry() {
  if (!Continue(OnBeforeLoadFromRegistry)) return false;
  if (!RegistryUsable()) return false;
  auto key = platform_.registry.OpenOrCreateKey(rootKey_, keyPath_);
  // A key that this user may only read still holds the user's records.
  if (!key) key = platform_.registry.OpenKeyForReading(rootKey_, keyPath_);
  if (!key) return false;
  const auto info = key->QueryValue(fileName_);
  if (!info) return false;
  // The type is checked before any byte moves, so the stream is unchanged.
  if (info->type == kRegSz || info->type == kRegExpandSz || info->type == kRegDword) {
    static constexpr const char* kNames[] = {"", "REG_SZ", "REG_EXPAND_SZ", "", "REG_DWORD"};
    throw StorageError("registry value " + keyPath_ + "\\" + fileName_ + " has the type " + kNames[info->type] +
                       ", not binary data");
  }
  if (info->size > kMaxStoredRecordBytes) {
    throw UnreadableRecordError("registry value " + keyPath_ + "\\" + fileName_ + " of " +
                                std::to_string(info->size) + " bytes is too large for a record");
  }
  TMemoryStream bytes;
  const IoResult r = key->ReadValue(fileName_, bytes);
  if (!r.ok) {
    throw UnreadableRecordError("registry value " + keyPath_ + "\\" + fileName_ + " cannot be read: " + r.error);
  }
  FMemoryStream = std::move(bytes);
  if (OnAfterLoadFromRegistry) OnAfterLoadFromRegistry(FMemoryStream);
  return true;
}

bool TqvProfile::SaveStreamToRegistry() {
  if (!Continue(OnBeforeSaveToRegistry)) return false;
  if (!RegistryUsable()) return false;
  const auto key = platform_.registry.OpenOrCreateKey(rootKey_, keyPath_);
  if (!key) {
    platform_.system.DebugOutput("registry key " + keyPath_ + " cannot be opened for writing; " + fileName_ +
                                 " is not saved");
    return false;
  }
  if (!MayWriteValue(*key)) return false;
  const IoResult r = key->WriteBinary(fileName_, FMemoryStream);
  if (!r.ok) throw StorageError("registry value " + keyPath_ + "\\" + fileName_ + " cannot be written: " + r.error);
  if (OnAfterSaveToRegistry) OnAfterSaveToRegistry(FMemoryStream);
  return true;
}

void TqvProfile::ReadWholeFile(std::string_view path, TMemoryStream& into) {
  FileReadResult r = platform_.files.ReadFile(path, kMaxStoredRecordBytes);
  if (!r.ok()) throw UnreadableRecordError("file " + std::string(path) + " cannot be read: " + r.error);
  into = std::move(r.bytes);
}

bool TqvProfile::MayWriteFile(std::string_view path) {
  const FileReadResult r = platform_.files.ReadFile(path, kMaxStoredRecordBytes);
  if (r.ok() || r.status == FileReadResult::Status::Missing) return true;
  platform_.system.DebugOutput("file " + std::string(path) + " cannot be read and is kept, not saved: " + r.error);
  return false;
}

bool TqvProfile::MayWriteValue(RegistryKey& key) {
  const auto info = key.QueryValue(fileName_);
  if (!info || info->type == kRegSz || info->type == kRegExpandSz || info->type == kRegDword) return true;
  std::string why = "of " + std::to_string(info->size) + " bytes";
  if (info->size <= kMaxStoredRecordBytes) {
    TMemoryStream bytes;
    const IoResult r = key.ReadValue(fileName_, bytes);
    if (r.ok) return true;
    why = r.error;
  }
  platform_.system.DebugOutput("registry value " + keyPath_ + "\\" + fileName_ +
                               " cannot be read and is kept, not saved: " + why);
  return false;
}

void TqvProfile::WriteWholeFile(std::string_view path) {
  const IoResult r = platform_.files.ReplaceFile(path, FMemoryStream);
  if (!r.ok) throw StorageError("file " + std::string(path) + " cannot be written: " + r.error);
}

bool TqvProfile::LoadStreamFromFile() {
  if (!Continue(OnBeforeLoadFromFile)) return false;
  if (filePath_.empty()) return false;
  filePath_ = WithTrailingBackslash(filePath_);
  const std::string path = filePath_ + fileName_;
  if (!platform_.files.FileExists(path)) return false;
  ReadWholeFile(path, FMemoryStream);
  if (OnAfterLoadFromFile) OnAfterLoadFromFile(FMemoryStream);
  return true;
}

bool TqvProfile::LoadStreamFromFile(std::string_view strFilewithpath) {
  if (!platform_.files.FileExists(strFilewithpath)) return false;
  if (!Continue(OnBeforeLoadFromFile)) return false;
  if (!platform_.files.FileExists(strFilewithpath)) return false;
  ReadWholeFile(strFilewithpath, FMemoryStream);
  if (OnAfterLoadFromFile) OnAfterLoadFromFile(FMemoryStream);
  return true;
}

bool TqvProfile::SaveStreamToFile() {
  if (!Continue(OnBeforeSaveToFile)) return false;
  if (filePath_.empty()) return false;
  filePath_ = WithTrailingBackslash(filePath_);
  if (!MayWriteFile(filePath_ + fileName_)) return false;
  WriteWholeFile(filePath_ + fileName_);
  if (OnAfterSaveToFile) OnAfterSaveToFile(FMemoryStream);
  return true;
}

bool TqvProfile::FolderReady(const std::string& folder) {
  // One level is created; a bare file name has no folder to be in.
  return !folder.empty() && (platform_.files.FolderExists(folder) || platform_.files.CreateFolder(folder));
}

bool TqvProfile::SaveStreamToFile(std::string_view strFileWithPath) {
  const PathParts parts = SplitPath(strFileWithPath);
  if (!FolderReady(parts.folder)) return false;
  if (!MayWriteFile(strFileWithPath)) return false;
  if (!Continue(OnBeforeSaveToFile)) return false;
  WriteWholeFile(strFileWithPath);
  if (OnAfterSaveToFile) OnAfterSaveToFile(FMemoryStream);
  return true;
}

bool TqvProfile::PreSaveStreamToFile(std::string_view strFileWithPath) {
  const PathParts parts = SplitPath(strFileWithPath);
  if (!FolderReady(parts.folder)) return false;
  filePath_ = parts.folder;
  fileName_ = parts.name;
  return true;
}

void TqvProfile::RestoreToDefault() {
  if (OnRestoreToDefault) OnRestoreToDefault(FMemoryStream);
}

}  // namespace zr
