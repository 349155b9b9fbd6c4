#include "platform/win32/win32_platform.h"

#include <algorithm>

#include <exception>
#include <memory>
#include <vector>

#include "platform/win32/win32_text.h"

namespace zr::win32 {

// ---- system ------------------------------------------------------------------

bool Win32System::MutexExists(std::string_view name) {
  HANDLE h = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Widen(name).c_str());
  if (h == nullptr) return false;
  CloseHandle(h);
  return true;
}

MutexHandle Win32System::CreateOwnedMutex(std::string_view name, bool& alreadyExisted) {
  HANDLE h = CreateMutexW(nullptr, TRUE, Widen(name).c_str());
  alreadyExisted = h != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  return reinterpret_cast<MutexHandle>(h);
}

void Win32System::ReleaseMutex(MutexHandle mutex) {
  HANDLE h = reinterpret_cast<HANDLE>(mutex);
  if (h == nullptr) return;
  ::ReleaseMutex(h);
  CloseHandle(h);
}

void Win32System::DebugOutput(std::string_view text) { OutputDebugStringW(Widen(text).c_str()); }

LocalDateTime Win32System::LocalTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

int Win32System::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  return MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

// ---- files -------------------------------------------------------------------

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

std::string Win32Files::LocalAppDataFolder() {
  wchar_t buf[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) return {};
  return Narrow(buf);
}

std::string Win32Files::DocumentsFolder() {
  wchar_t buf[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) return {};
  return Narrow(buf);
}

// ---- registry ----------------------------------------------------------------

namespace {

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  std::optional<RegistryValueInfo> QueryValue(std::string_view name) override {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return RegistryValueInfo{type, size};
  }

  IoResult ReadValue(std::string_view name, std::vector<std::uint8_t>& out) override {
    const std::wstring w = Widen(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD size = 0;
      LONG rc = RegQueryValueExW(key_, w.c_str(), nullptr, nullptr, nullptr, &size);
      if (rc != ERROR_SUCCESS) return IoResult::Failure(ErrorText(static_cast<DWORD>(rc)));
      out.assign(size, 0);
      rc = RegQueryValueExW(key_, w.c_str(), nullptr, nullptr, out.data(), &size);
      if (rc == ERROR_MORE_DATA) continue;  // it grew meanwhile
      if (rc != ERROR_SUCCESS) return IoResult::Failure(ErrorText(static_cast<DWORD>(rc)));
      out.resize(size);
      return IoResult::Success();
    }
    return IoResult::Failure("value keeps changing size");
  }

  IoResult WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes) override {
    const LONG rc = RegSetValueExW(key_, Widen(name).c_str(), 0, REG_BINARY, bytes.data(),
                                   static_cast<DWORD>(bytes.size()));
    if (rc != ERROR_SUCCESS) return IoResult::Failure(ErrorText(static_cast<DWORD>(rc)));
    return IoResult::Success();
  }

 private:
  HKEY key_;
};

}  // namespace

namespace {

// The root's handle, or null for a root the program does not use.
HKEY RootHandle(RegistryRoot root) {
  if (root == kHkeyCurrentUser) return HKEY_CURRENT_USER;
  if (root == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  return nullptr;
}

std::wstring RelativeKeyPath(std::string_view path) {
  std::wstring w = Widen(path);
  while (!w.empty() && w.front() == L'\\') w.erase(w.begin());  // relative to the root either way
  return w;
}

}  // namespace

bool Win32Registry::KeyExists(RegistryRoot root, std::string_view path) const {
  HKEY rootKey = RootHandle(root);
  if (rootKey == nullptr) return false;
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExW(rootKey, RelativeKeyPath(path).c_str(), 0, KEY_QUERY_VALUE, &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  // A key that exists but cannot be opened (access denied) still exists.
  return rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND;
}

std::unique_ptr<RegistryKey> Win32Registry::OpenOrCreateKey(RegistryRoot root, std::string_view path) {
  HKEY rootKey = RootHandle(root);
  if (rootKey == nullptr) return nullptr;
  const std::wstring w = RelativeKeyPath(path);
  HKEY key = nullptr;
  if (RegCreateKeyExW(rootKey, w.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<Win32RegistryKey>(key);
}

std::unique_ptr<RegistryKey> Win32Registry::OpenKeyForReading(RegistryRoot root, std::string_view path) {
  HKEY rootKey = RootHandle(root);
  if (rootKey == nullptr) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExW(rootKey, RelativeKeyPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

// ---- windowing ---------------------------------------------------------------

namespace {
constexpr wchar_t kTimerWindowClass[] = L"zr.TimerWindow";
// Private to the adapter's own message-only window.
constexpr UINT kRunOnMainThread = WM_APP + 0x200;
}

Win32Windowing::Win32Windowing() : instance_(GetModuleHandleW(nullptr)), mainThread_(GetCurrentThreadId()) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TimerWindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kTimerWindowClass;
  RegisterClassExW(&wc);
  timerWindow_ = CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
  SetWindowLongPtrW(timerWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Windowing::~Win32Windowing() {
  for (const auto& [id, tick] : timers_) KillTimer(timerWindow_, id);
  if (timerWindow_ != nullptr) ::DestroyWindow(timerWindow_);
}

void Win32Windowing::RegisterClassOnce(const std::wstring& className) {
  if (registered_.count(className) != 0) return;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = className.c_str();
  RegisterClassExW(&wc);
  registered_.insert(className);
}

WindowHandle Win32Windowing::CreateHiddenWindow(std::string_view className, std::string_view title,
                                                WindowProcedure procedure, int width, int height) {
  const std::wstring cls = Widen(className);
  RegisterClassOnce(cls);
  auto* data = new WindowData{std::move(procedure), {}, {}};
  // Centred on the desktop; a popup has no border, so its client area is
  // the whole window.
  const int x = width > 0 ? (GetSystemMetrics(SM_CXSCREEN) - width) / 2 : 0;
  const int y = height > 0 ? (GetSystemMetrics(SM_CYSCREEN) - height) / 2 : 0;
  // A tool window that is not shown has no task-bar button and stays off
  // the screen; as a top-level window it is found by its class name.
  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, cls.c_str(), Widen(title).c_str(), WS_POPUP | WS_CLIPCHILDREN, x, y,
                              width, height, nullptr, nullptr, instance_, data);
  if (hwnd == nullptr) {
    delete data;
    return 0;
  }
  return reinterpret_cast<WindowHandle>(hwnd);
}

LRESULT CALLBACK Win32Windowing::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (data == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    for (HGDIOBJ o : data->pictures) DeleteObject(o);
    delete data;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  try {
    if (msg == WM_COMMAND && lParam != 0 && HIWORD(wParam) == BN_CLICKED) {  // STN_CLICKED is the same code
      const auto it = data->clicks.find(reinterpret_cast<HWND>(lParam));
      if (it != data->clicks.end()) {
        const std::function<void()> click = it->second;
        if (click) click();
        return 0;
      }
    }
    if (data->procedure) {
      const WindowProcedure local = data->procedure;  // the handler may destroy the window
      if (const auto r = local(msg, wParam, lParam)) return *r;
    }
  } catch (const std::exception& e) {
    // An error must never unwind through the platform's dispatch.
    OutputDebugStringW(Widen(std::string("window message ") + std::to_string(msg) + ": " + e.what()).c_str());
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Windowing::ShowWindow(WindowHandle window, bool show) {
  ::ShowWindow(reinterpret_cast<HWND>(window), show ? SW_SHOW : SW_HIDE);
}

bool Win32Windowing::SetForegroundWindow(WindowHandle window) {
  return ::SetForegroundWindow(reinterpret_cast<HWND>(window)) != 0;
}

std::uint32_t Win32Windowing::RegisterWindowMessage(std::string_view name) {
  return RegisterWindowMessageW(Widen(name).c_str());
}

namespace {

// The pictures of the face are drawn here: a dark gradient with the
// program's name, and a small round link mark.
HBITMAP MakePicture(int width, int height, const std::wstring& caption, bool linkMark) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (bmp == nullptr) return nullptr;
  auto* px = static_cast<std::uint32_t*>(bits);
  for (int yy = 0; yy < height; ++yy) {
    for (int xx = 0; xx < width; ++xx) {
      std::uint32_t r, g, b;
      if (linkMark) {
        const int dx = xx - width / 2, dy = yy - height / 2;
        const bool inside = dx * dx + dy * dy <= (width / 2 - 1) * (width / 2 - 1);
        r = inside ? 40 : 20, g = inside ? 140 : 20, b = inside ? 230 : 24;
      } else {
        r = 20 + 150 * static_cast<std::uint32_t>(yy) / static_cast<std::uint32_t>(height);
        g = 20;
        b = 28 + 40 * static_cast<std::uint32_t>(xx) / static_cast<std::uint32_t>(width);
      }
      px[yy * width + xx] = (r << 16) | (g << 8) | b;
    }
  }
  if (!caption.empty()) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    HFONT font = CreateFontW(-28, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"Tahoma");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(235, 235, 240));
    RECT rc = {0, height / 3, width, height / 3 + 60};
    DrawTextW(dc, caption.c_str(), -1, &rc, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  return bmp;
}

}  // namespace

ControlHandle Win32Windowing::CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) {
  HWND owner = reinterpret_cast<HWND>(parent);
  auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(owner, GWLP_USERDATA));
  if (data == nullptr) return 0;
  const wchar_t* cls = L"STATIC";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (layout.visible ? WS_VISIBLE : 0);
  HBITMAP picture = nullptr;
  switch (layout.kind) {
    case ControlKind::Picture:
      style |= SS_BITMAP | SS_NOTIFY;
      picture = MakePicture(layout.width, layout.height, Widen(layout.text), false);
      break;
    case ControlKind::Link:
      style |= SS_BITMAP | SS_NOTIFY;
      picture = MakePicture(layout.width, layout.height, L"", true);
      break;
    case ControlKind::Label:
      style |= SS_LEFT;
      break;
    case ControlKind::Panel:
      style |= SS_ETCHEDFRAME;
      break;
    case ControlKind::Button:
      cls = L"BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
  }
  const bool textual = layout.kind == ControlKind::Label || layout.kind == ControlKind::Button;
  HWND control = CreateWindowExW(0, cls, textual ? Widen(layout.text).c_str() : L"", style, layout.x, layout.y, layout.width,
                                 layout.height, owner, reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextControlId_++)),
                                 instance_, nullptr);
  if (control == nullptr) {
    if (picture != nullptr) DeleteObject(picture);
    return 0;
  }
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  if (picture != nullptr) {
    SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    data->pictures.push_back(picture);
  }
  if (layout.kind == ControlKind::Picture) {
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (onClick) data->clicks[control] = std::move(onClick);
  return reinterpret_cast<ControlHandle>(control);
}

void Win32Windowing::SetControlText(ControlHandle control, std::string_view text) {
  SetWindowTextW(reinterpret_cast<HWND>(control), Widen(text).c_str());
}

void Win32Windowing::ShowControl(ControlHandle control, bool show) {
  ::ShowWindow(reinterpret_cast<HWND>(control), show ? SW_SHOW : SW_HIDE);
}

void Win32Windowing::DestroyWindow(WindowHandle window) { ::DestroyWindow(reinterpret_cast<HWND>(window)); }

void Win32Windowing::SetWindowTitle(WindowHandle window, std::string_view title) {
  SetWindowTextW(reinterpret_cast<HWND>(window), Widen(title).c_str());
}

WindowHandle Win32Windowing::FindWindowByClass(std::string_view className) {
  return reinterpret_cast<WindowHandle>(FindWindowW(Widen(className).c_str(), nullptr));
}

bool Win32Windowing::PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  return PostMessageW(reinterpret_cast<HWND>(window), msg, wParam, lParam) != 0;
}

std::intptr_t Win32Windowing::SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return SendMessageW(reinterpret_cast<HWND>(window), msg, wParam, lParam);
}

std::optional<std::intptr_t> Win32Windowing::SendMessageTimeout(WindowHandle window, std::uint32_t msg,
                                                                std::uintptr_t wParam, std::intptr_t lParam,
                                                                std::uint32_t timeoutMs) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(reinterpret_cast<HWND>(window), msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                          timeoutMs, &result) == 0) {
    return std::nullopt;
  }
  return static_cast<std::intptr_t>(result);
}

TimerId Win32Windowing::StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
  const TimerId id = nextTimer_++;
  timers_[id] = std::move(onTick);
  SetTimer(timerWindow_, id, intervalMs, nullptr);
  return id;
}

void Win32Windowing::StopTimer(TimerId timer) {
  KillTimer(timerWindow_, timer);
  timers_.erase(timer);
}

bool Win32Windowing::RunOnMainThread(const std::function<void()>& work) {
  if (GetCurrentThreadId() == mainThread_) {
    work();
    return true;
  }
  // SendMessage waits until the main thread has handled it.
  return SendMessageW(timerWindow_, kRunOnMainThread, 0, reinterpret_cast<LPARAM>(&work)) == 1;
}

LRESULT CALLBACK Win32Windowing::TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kRunOnMainThread) {
    try {
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
    } catch (const std::exception& e) {
      OutputDebugStringW(Widen(std::string("hand-off: ") + e.what()).c_str());
    }
    return 1;
  }
  if (msg == WM_TIMER) {
    auto* self = reinterpret_cast<Win32Windowing*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
      const auto it = self->timers_.find(static_cast<TimerId>(wParam));
      if (it != self->timers_.end()) {
        const std::function<void()> tick = it->second;  // the tick may stop its own timer
        try {
          if (tick) tick();
        } catch (const std::exception& e) {
          OutputDebugStringW(Widen(std::string("timer: ") + e.what()).c_str());
        }
      }
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Windowing::RunMessageLoop() {
  MSG m;
  while (!quitReceived_) {
    const BOOL r = GetMessageW(&m, nullptr, 0, 0);
    if (r == 0 || r == -1) break;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  quitReceived_ = true;
}

void Win32Windowing::Quit() {
  quitRequested_ = true;
  PostQuitMessage(0);
}

void Win32Windowing::ProcessMessages() {
  MSG m;
  // Messages sent from other threads are handled also after the quit: their
  // senders wait for them.
  PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
  while (!quitReceived_ && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      quitReceived_ = true;
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// ---- shell and notification area -------------------------------------------

std::intptr_t Win32Shell::ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                                       std::string_view parameters, std::string_view directory, int showCommand) {
  const std::wstring v = Widen(verb), f = Widen(file), p = Widen(parameters), d = Widen(directory);
  HINSTANCE r = ShellExecuteW(reinterpret_cast<HWND>(owner), v.empty() ? nullptr : v.c_str(), f.c_str(),
                              p.empty() ? nullptr : p.c_str(), d.empty() ? nullptr : d.c_str(), showCommand);
  return reinterpret_cast<std::intptr_t>(r);
}

namespace {

class Win32Process final : public ProcessHandle {
 public:
  explicit Win32Process(HANDLE process) : process_(process) {}
  ~Win32Process() override { CloseHandle(process_); }
  Win32Process(const Win32Process&) = delete;
  Win32Process& operator=(const Win32Process&) = delete;
  void WaitForEnd() override { WaitForSingleObject(process_, INFINITE); }

 private:
  HANDLE process_;
};

}  // namespace

std::unique_ptr<ProcessHandle> Win32Shell::ShellExecuteEx(std::uint32_t mask, std::string_view verb,
                                                          std::string_view file, std::string_view parameters,
                                                          std::string_view directory, int showCommand) {
  const std::wstring v = Widen(verb), f = Widen(file), p = Widen(parameters), d = Widen(directory);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.lpVerb = v.empty() ? nullptr : v.c_str();
  info.lpFile = f.c_str();
  info.lpParameters = p.empty() ? nullptr : p.c_str();
  info.lpDirectory = d.empty() ? nullptr : d.c_str();
  info.nShow = showCommand;
  if (!ShellExecuteExW(&info) || info.hProcess == nullptr) return nullptr;
  return std::make_unique<Win32Process>(info.hProcess);
}

namespace {

NOTIFYICONDATAW IconData(WindowHandle owner, std::uint32_t id) {
  NOTIFYICONDATAW nid = {};
  nid.cbSize = sizeof nid;
  nid.hWnd = reinterpret_cast<HWND>(owner);
  nid.uID = id;
  return nid;
}

void CopyHint(NOTIFYICONDATAW& nid, std::string_view hint) {
  const std::wstring w = Widen(hint);
  const size_t n = std::min(w.size(), sizeof nid.szTip / sizeof nid.szTip[0] - 1);
  std::copy(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(n), nid.szTip);
  nid.szTip[n] = L'\0';
  nid.uFlags |= NIF_TIP;
}

}  // namespace

bool Win32Tray::AddIcon(WindowHandle owner, std::uint32_t id, std::uint32_t callbackMessage, std::string_view hint) {
  NOTIFYICONDATAW nid = IconData(owner, id);
  nid.uFlags = NIF_MESSAGE | NIF_ICON;
  nid.uCallbackMessage = callbackMessage;
  // The tray shows small icons: the image drawn for that size (20 pixels at
  // 125 %) rather than the 32-pixel one scaled down. Shared: adding the icon
  // again after an Explorer restart loads nothing new.
  nid.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (nid.hIcon == nullptr) nid.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  CopyHint(nid, hint);
  return Shell_NotifyIconW(NIM_ADD, &nid) != 0;
}

bool Win32Tray::SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) {
  NOTIFYICONDATAW nid = IconData(owner, id);
  CopyHint(nid, hint);
  return Shell_NotifyIconW(NIM_MODIFY, &nid) != 0;
}

bool Win32Tray::DeleteIcon(WindowHandle owner, std::uint32_t id) {
  NOTIFYICONDATAW nid = IconData(owner, id);
  return Shell_NotifyIconW(NIM_DELETE, &nid) != 0;
}

int Win32Tray::TrackPopupMenu(WindowHandle owner, const std::vector<std::string>& captions) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return -1;
  for (size_t i = 0; i < captions.size(); ++i) {
    AppendMenuW(menu, MF_STRING, i + 1, Widen(captions[i]).c_str());
  }
  POINT at = {};
  GetCursorPos(&at);
  HWND hwnd = reinterpret_cast<HWND>(owner);
  // The menu closes when the user clicks elsewhere only while its owner is
  // the foreground window.
  ::SetForegroundWindow(hwnd);
  const int chosen = static_cast<int>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                      at.x, at.y, 0, hwnd, nullptr));
  PostMessageW(hwnd, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen - 1;
}

}  // namespace zr::win32
