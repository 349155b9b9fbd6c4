#include "platform/win32/win32_shell.h"

#include <algorithm>

#include "platform/win32/win32_libraries.h"
#include "platform/win32/win32_text.h"

namespace zr::win32 {

std::intptr_t Win32Shell::ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                                       std::string_view parameters, std::string_view directory, int showCommand) {
  static const auto shellExecute = SystemFunction<decltype(&::ShellExecuteW)>(kShell32, "ShellExecuteW");
  if (shellExecute == nullptr) return SE_ERR_NOASSOC;
  const std::wstring v = Widen(verb), f = Widen(file), p = Widen(parameters), d = Widen(directory);
  HINSTANCE r = shellExecute(reinterpret_cast<HWND>(owner), v.empty() ? nullptr : v.c_str(), f.c_str(),
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
  static const auto shellExecuteEx = SystemFunction<decltype(&::ShellExecuteExW)>(kShell32, "ShellExecuteExW");
  if (shellExecuteEx == nullptr || !shellExecuteEx(&info) || info.hProcess == nullptr) return nullptr;
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

// The tray icon's calls hold the shell for the call only.
bool NotifyIcon(DWORD message, NOTIFYICONDATAW& nid) {
  const LibraryUse shell(kShell32);
  const auto notifyIcon = shell.Function<decltype(&::Shell_NotifyIconW)>("Shell_NotifyIconW");
  return notifyIcon != nullptr && notifyIcon(message, &nid) != 0;
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
  return NotifyIcon(NIM_ADD, nid);
}

bool Win32Tray::SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) {
  NOTIFYICONDATAW nid = IconData(owner, id);
  CopyHint(nid, hint);
  return NotifyIcon(NIM_MODIFY, nid);
}

bool Win32Tray::DeleteIcon(WindowHandle owner, std::uint32_t id) {
  NOTIFYICONDATAW nid = IconData(owner, id);
  return NotifyIcon(NIM_DELETE, nid);
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
