#include "platform/win32/win32_files.h"

#include <vector>

#include "platform/win32/win32_libraries.h"
#include "platform/win32/win32_text.h"

namespace zr::win32 {

namespace {

// A 32-bit program on 64-bit Windows sees SysWOW64 where it names System32.
// The driver file belongs in the real System32\Drivers (a kernel driver's
// service names it there), so the file operations that place it look at the
// real folders, the redirection being off for the calling thread during
// the one call. Elsewhere (32-bit Windows, a 64-bit program) nothing changes.
class RealSystemFolder {
 public:
  RealSystemFolder() {
    using Disable = BOOL(WINAPI*)(PVOID*);
    static const auto disable = reinterpret_cast<Disable>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64DisableWow64FsRedirection")));
    off_ = disable != nullptr && disable(&old_);
  }
  ~RealSystemFolder() {
    using Revert = BOOL(WINAPI*)(PVOID);
    static const auto revert = reinterpret_cast<Revert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64RevertWow64FsRedirection")));
    if (off_ && revert != nullptr) revert(old_);
  }
  RealSystemFolder(const RealSystemFolder&) = delete;
  RealSystemFolder& operator=(const RealSystemFolder&) = delete;

 private:
  PVOID old_ = nullptr;
  bool off_ = false;
};

std::wstring WithoutTrailingSlash(std::string_view path) {
  std::wstring w = Widen(path);
  while (w.size() > 3 && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
  return w;
}

struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

// Windows refuses to replace a file marked read-only (access denied); Wine
// would replace it, so the adapter refuses on both.
bool IsReadOnlyFile(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0 && (a & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

bool Win32Files::FileExists(std::string_view path) {
  const std::wstring name = Widen(path);
  RealSystemFolder real;
  const DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Files::FolderExists(std::string_view path) {
  if (path.empty()) return false;
  const DWORD a = GetFileAttributesW(WithoutTrailingSlash(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Files::CreateFolder(std::string_view path) {
  if (path.empty()) return false;
  if (CreateDirectoryW(WithoutTrailingSlash(path).c_str(), nullptr)) return true;
  return FolderExists(path);
}

FileReadResult Win32Files::ReadFile(std::string_view path, std::size_t maxBytes) {
  FileReadResult r;
  Handle f;
  f.h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f.h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) {
      r.status = FileReadResult::Status::Missing;
    } else {
      r.status = FileReadResult::Status::Error;
      r.error = ErrorText(e);
    }
    return r;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.h, &size)) {
    r.status = FileReadResult::Status::Error;
    r.error = ErrorText(GetLastError());
    return r;
  }
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    r.status = FileReadResult::Status::TooLarge;
    r.error = "file of " + std::to_string(size.QuadPart) + " bytes is larger than " + std::to_string(maxBytes);
    return r;
  }
  r.bytes.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < r.bytes.size()) {
    DWORD got = 0;
    if (!::ReadFile(f.h, r.bytes.data() + done, static_cast<DWORD>(r.bytes.size() - done), &got, nullptr)) {
      r.status = FileReadResult::Status::Error;
      r.error = ErrorText(GetLastError());
      r.bytes.clear();
      return r;
    }
    if (got == 0) break;  // the file shrank meanwhile
    done += got;
  }
  r.bytes.resize(done);
  r.status = FileReadResult::Status::Ok;
  return r;
}

IoResult Win32Files::ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::wstring target = Widen(path);
  const size_t slash = target.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  const std::wstring temp = folder + L"~zr" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount()) + L".tmp";
  if (IsReadOnlyFile(target)) return IoResult::Failure(ErrorText(ERROR_ACCESS_DENIED));
  {
    Handle f;
    f.h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f.h == INVALID_HANDLE_VALUE) return IoResult::Failure(ErrorText(GetLastError()));
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD put = 0;
      if (!WriteFile(f.h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put, nullptr) ||
          put == 0) {
        const DWORD e = GetLastError();
        CloseHandle(f.h);
        f.h = INVALID_HANDLE_VALUE;
        DeleteFileW(temp.c_str());
        return IoResult::Failure(ErrorText(e));
      }
      done += put;
    }
    if (!FlushFileBuffers(f.h)) {
      const DWORD e = GetLastError();
      CloseHandle(f.h);
      f.h = INVALID_HANDLE_VALUE;
      DeleteFileW(temp.c_str());
      return IoResult::Failure(ErrorText(e));
    }
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD e = GetLastError();
    DeleteFileW(temp.c_str());
    return IoResult::Failure(ErrorText(e));
  }
  return IoResult::Success();
}

IoResult Win32Files::AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::wstring name = Widen(path);
  Handle f;
  // FILE_APPEND_DATA alone: every write goes to the end, also when another
  // handle writes the same file.
  f.h = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f.h == INVALID_HANDLE_VALUE) return IoResult::Failure(ErrorText(GetLastError()));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    if (!WriteFile(f.h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put, nullptr) || put == 0) {
      return IoResult::Failure(ErrorText(GetLastError()));
    }
    done += put;
  }
  return IoResult::Success();
}

std::optional<std::uint64_t> Win32Files::FileSize(std::string_view path) {
  const std::wstring name = Widen(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32Files::MoveFileReplacing(std::string_view source, std::string_view target) {
  const std::wstring from = Widen(source), to = Widen(target);
  if (IsReadOnlyFile(to)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool Win32Files::DeleteFile(std::string_view path) {
  const std::wstring name = Widen(path);
  RealSystemFolder real;
  return DeleteFileW(name.c_str()) != 0;
}

bool Win32Files::CopyFile(std::string_view source, std::string_view target, bool failIfExists) {
  const std::wstring from = Widen(source), to = Widen(target);
  RealSystemFolder real;
  return CopyFileW(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

std::string Win32Files::WindowsFolder() {
  wchar_t buf[MAX_PATH + 1] = {};
  const UINT n = GetWindowsDirectoryW(buf, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  std::wstring folder(buf, n);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return Narrow(folder);
}

std::string Win32Files::ExecutableFolder() {
  if (!executableFolder_.empty()) return executableFolder_;
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      std::wstring path(buf.data(), n);
      return Narrow(path.substr(0, path.find_last_of(L'\\') + 1));
    }
    buf.resize(buf.size() * 2);
  }
}

namespace {

// A known folder, empty when it is unknown. The shell is held for the call
// only (see win32_shell.cpp).
std::string ShellFolder(int csidl) {
  const LibraryUse shell(kShell32);
  const auto getFolderPath = shell.Function<decltype(&::SHGetFolderPathW)>("SHGetFolderPathW");
  wchar_t buf[MAX_PATH] = {};
  if (getFolderPath == nullptr || getFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) return {};
  return Narrow(buf);
}

}  // namespace

std::string Win32Files::LocalAppDataFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA); }

std::string Win32Files::DocumentsFolder() { return ShellFolder(CSIDL_PERSONAL); }

}  // namespace zr::win32
