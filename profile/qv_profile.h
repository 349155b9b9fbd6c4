// TqvProfile keeps one record as raw bytes in a stream it owns and moves
// them between the stream and a registry value or a file. It knows nothing of
// the record's layout; there is no header: a stored record is exactly the
// bytes of the stream.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zr {

// An unexpected registry or file failure (a value of a text or number type,
// a file that exists but cannot be read, a write that fails).
class StorageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A stored value or file that exists, may hold the user's record, and could
// not be taken (larger than the cap, a read that failed). It is kept: the
// component never saves over a value or file that cannot be read.
class UnreadableRecordError : public StorageError {
 public:
  using StorageError::StorageError;
};

// Stored records are about 110 KB; a value or file larger than this is not
// taken into memory (it is reported as unreadable).
inline constexpr std::size_t kMaxStoredRecordBytes = 16u << 20;

using TMemoryStream = std::vector<std::uint8_t>;

class TqvProfile {
 public:
  using TqvProfileOnRestoreToDefault = std::function<void(TMemoryStream& AStream)>;
  using TqvProfileEvent = std::function<void(TMemoryStream& AStream, bool& bContinue)>;
  using TqvProfileEvent2 = std::function<void(const TMemoryStream& AStream)>;

  explicit TqvProfile(Platform& platform) : platform_(platform) {}
  TqvProfile(const TqvProfile&) = delete;
  TqvProfile& operator=(const TqvProfile&) = delete;

  RegistryRoot RootKey() const { return rootKey_; }
  void SetRootKey(RegistryRoot root) { rootKey_ = root; }
  const std::string& KeyPath() const { return keyPath_; }
  void SetKeyPath(std::string_view path) { keyPath_ = std::string(path); }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(std::string_view name) { fileName_ = std::string(name); }
  const std::string& FilePath() const { return filePath_; }
  // Taken only when it names an existing folder; a backslash is appended.
  void SetFilePath(std::string_view path);
  std::int64_t Size() const { return size_; }
  // Resizes the stream (new bytes are zero). A negative size is ignored.
  void SetSize(std::int64_t size);

  const TMemoryStream& Stream() const { return FMemoryStream; }

  // Copies Count bytes to the start of the stream; a shorter stream grows, a
  // longer one keeps its bytes beyond Count.
  std::int32_t Write(const void* Buffer, std::int32_t Count);
  // Copies min(Count, stream size) bytes; the rest of Buffer stays as it was.
  std::int32_t Read(void* Buffer, std::int32_t Count) const;

  bool LoadStreamFromRegistry();
  bool SaveStreamToRegistry();
  bool LoadStreamFromFile();
  bool LoadStreamFromFile(std::string_view strFilewithpath);
  bool SaveStreamToFile();
  bool SaveStreamToFile(std::string_view strFileWithPath);
  bool PreSaveStreamToFile(std::string_view strFileWithPath);
  void RestoreToDefault();

  TqvProfileOnRestoreToDefault OnRestoreToDefault;
  TqvProfileEvent OnBeforeSaveToRegistry;
  TqvProfileEvent OnBeforeSaveToFile;
  TqvProfileEvent OnBeforeLoadFromRegistry;
  TqvProfileEvent OnBeforeLoadFromFile;
  TqvProfileEvent2 OnAfterSaveToRegistry;
  TqvProfileEvent2 OnAfterSaveToFile;
  TqvProfileEvent2 OnAfterLoadFromRegistry;
  TqvProfileEvent2 OnAfterLoadFromFile;

 private:
  bool Continue(const TqvProfileEvent& before);
  bool RegistryUsable() const;
  void ReadWholeFile(std::string_view path, TMemoryStream& into);
  void WriteWholeFile(std::string_view path);
  bool FolderReady(const std::string& folder);
  // False, with a debugger line, when the file or value exists but cannot be
  // read: it is kept. A value of a text or number type holds no record and
  // may be replaced.
  bool MayWriteFile(std::string_view path);
  bool MayWriteValue(RegistryKey& key);

  Platform& platform_;
  TMemoryStream FMemoryStream;
  RegistryRoot rootKey_ = 0;
  std::string keyPath_;
  std::string fileName_;
  std::string filePath_;
  std::int64_t size_ = 0;
};

}  // namespace zr
