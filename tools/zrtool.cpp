// zrtool.exe: a small Windows console program the Wine tests use to look at
// and talk to windows from outside, as another program would.
//
//   zrtool wait-window CLASS [TIMEOUT_MS]     prints the window handle; exit 1 on timeout
//   zrtool wait-no-window CLASS [TIMEOUT_MS]  exit 1 while it still exists at the timeout
//   zrtool watch-window CLASS [TIMEOUT_MS]    prints "ready", then looks every millisecond and prints
//                                             "found" the moment the window exists; exit 1 on timeout
//   zrtool window-info CLASS                  prints the window's facts as key=value lines
//   zrtool post CLASS MSG [WPARAM [LPARAM [MSG WPARAM LPARAM]...]]
//                                             PostMessage (each message in turn); exit 1 when there is no window
//   zrtool send CLASS MSG [WPARAM [LPARAM]]   SendMessage; prints the result
//   zrtool show CLASS                         shows the (hidden) window and brings it to the front, as the
//                                             program itself would; prints its screen rectangle (LEFT TOP
//                                             RIGHT BOTTOM); exit 1 when there is none
//   zrtool mutex-exists NAME                  exit 0 when the named mutex exists, else 1
//   zrtool visible-texts CLASS                prints the text of every visible top-level window of CLASS
//   zrtool front-window                       shows a window of class "zrtool.Front" in front until it is closed
//   zrtool foreground                         prints the class of the foreground window
//   zrtool dialog-texts CAPTION               prints the non-empty texts of the controls of the dialog
//                                             window (class "#32770") with that caption; exit 1 when none
//   zrtool dialogs                            prints every visible dialog window (class "#32770"): its
//                                             caption, then its controls' texts indented; exit 1 when none
//   zrtool wheel-window LOG                   shows a window of class "zrtool.Wheel" over the whole screen
//                                             in front, and appends "wheel DELTA" to LOG for every
//                                             WM_MOUSEWHEEL it receives, until it is closed; its
//                                             low-level keyboard hook appends "key down|up VK FLAGS"
//                                             (hexadecimal; FLAGS as the hook gets them) for every key
//   zrtool input-window LOG                   the same window (class "zrtool.Input"), which also appends
//                                             "message keydown|keyup VK" for the key messages and
//                                             "message lbuttondown|lbuttonup" for the left button
//                                             messages it receives
//   zrtool menu-shot OUT.bmp                  saves a picture of the open pop-up menu; prints X Y WIDTH HEIGHT
//   zrtool tab-texts CLASS                    prints the caption of every tab of the first tab control in
//                                             the window of CLASS (the selected one marked "*"); exit 1 when none
//   zrtool child-rect CLASS CHILD [N]         prints the screen rectangle (LEFT TOP RIGHT BOTTOM) of the Nth
//                                             (from 0; default 0) control in the window of CLASS whose text or
//                                             class is CHILD; exit 1 when there is none
//   zrtool reference-menu OUT.bmp X Y CAPTION...
//                                             opens a pop-up menu of these captions at X, Y in this
//                                             process and saves its picture the same way
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cstdlib>
#include <string>

namespace {

HWND Find(const wchar_t* cls) { return FindWindowW(cls, nullptr); }

std::string Utf8(const wchar_t* text) {
  char buf[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, sizeof buf - 1, nullptr, nullptr);
  return buf;
}

long long Arg(int argc, wchar_t** argv, int i, long long fallback) {
  return argc > i ? std::wcstoll(argv[i], nullptr, 0) : fallback;
}

struct Search {
  const wchar_t* cls;
  int found;
};

BOOL CALLBACK PrintVisibleText(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  wchar_t cls[256] = {};
  GetClassNameW(h, cls, 255);
  if (lstrcmpiW(cls, s->cls) == 0 && IsWindowVisible(h)) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(h, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, nullptr);
    std::printf("%s\n", Utf8(text).c_str());
    ++s->found;
  }
  return TRUE;
}

// The visible pop-up menu window of another process (or of this one).
HWND OpenMenuWindow(DWORD process, bool ownProcess) {
  HWND h = nullptr;
  while ((h = FindWindowExW(nullptr, h, L"#32768", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (IsWindowVisible(h) && ((pid == process) == ownProcess)) return h;
  }
  return nullptr;
}

// Saves what the screen shows in `rc` as a 32-bit bitmap file.
bool SaveScreen(const RECT& rc, const wchar_t* path) {
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
  GdiFlush();
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(w * h * 4);
  bool ok = false;
  if (FILE* f = _wfopen(path, L"wb")) {
    ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, 4, static_cast<size_t>(w * h), f) == static_cast<size_t>(w * h);
    std::fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

struct Reference {
  const wchar_t* path;
  bool saved;
};
Reference* g_reference = nullptr;

LRESULT CALLBACK ReferenceProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_TIMER) {
    HWND menuWindow = OpenMenuWindow(GetCurrentProcessId(), true);
    if (menuWindow != nullptr) {
      KillTimer(hwnd, 1);
      RECT rc;
      GetWindowRect(menuWindow, &rc);
      g_reference->saved = SaveScreen(rc, g_reference->path);
      EndMenu();
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

int ReferenceMenu(const wchar_t* path, int x, int y, int count, wchar_t** captions) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ReferenceProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"zrtool.reference";
  RegisterClassW(&wc);
  HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               wc.hInstance, nullptr);
  HMENU menu = CreatePopupMenu();
  for (int i = 0; i < count; ++i) AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), captions[i]);
  Reference reference{path, false};
  g_reference = &reference;
  SetTimer(owner, 1, 200, nullptr);
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
  DestroyMenu(menu);
  DestroyWindow(owner);
  return reference.saved ? 0 : 1;
}

LRESULT CALLBACK FrontProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

int FrontWindow() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = FrontProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"zrtool.Front";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 300, 200, 120,
                              nullptr, nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(hwnd);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}

// Prints a control's text, if any, behind the prefix (a const char*) given.
BOOL CALLBACK PrintControlText(HWND h, LPARAM prefix) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(h, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  if (text[0] != 0) std::printf("%s%s\n", reinterpret_cast<const char*>(prefix), Utf8(text).c_str());
  return TRUE;
}

BOOL CALLBACK PrintDialog(HWND h, LPARAM found) {
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 63);
  if (std::wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(h)) return TRUE;
  wchar_t caption[512] = {};
  GetWindowTextW(h, caption, 511);
  std::printf("dialog \"%s\"\n", Utf8(caption).c_str());
  EnumChildWindows(h, PrintControlText, reinterpret_cast<LPARAM>("  "));
  ++*reinterpret_cast<int*>(found);
  return TRUE;
}

std::wstring gWheelLog;

// One line at a time, to the end of the file, so that a reader sees it at once.
void AppendWheelLog(const char* line) {
  HANDLE f = CreateFileW(gWheelLog.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  CloseHandle(f);
}

LRESULT CALLBACK WheelKeyboardHook(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(l);
    char line[64];
    std::snprintf(line, sizeof line, "key %s %02X %02X\n", (k->flags & LLKHF_UP) ? "up" : "down",
                  static_cast<unsigned>(k->vkCode), static_cast<unsigned>(k->flags));
    AppendWheelLog(line);
  }
  return CallNextHookEx(nullptr, code, w, l);
}

bool gLogMessages = false;

LRESULT CALLBACK WheelProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (gLogMessages) {
    char line[48] = {};
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYUP) {
      std::snprintf(line, sizeof line, "message %s %02X\n",
                    (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) ? "keydown" : "keyup", static_cast<unsigned>(w));
    } else if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) {
      std::snprintf(line, sizeof line, "message %s\n", msg == WM_LBUTTONDOWN ? "lbuttondown" : "lbuttonup");
    }
    if (line[0] != 0) AppendWheelLog(line);
  }
  if (msg == WM_MOUSEWHEEL) {
    char line[32];
    std::snprintf(line, sizeof line, "wheel %d\n", static_cast<int>(GET_WHEEL_DELTA_WPARAM(w)));
    AppendWheelLog(line);
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, msg, w, l);
}

int WheelWindow(const wchar_t* log, bool logMessages) {
  gWheelLog = log;
  gLogMessages = logMessages;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WheelProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = logMessages ? L"zrtool.Input" : L"zrtool.Wheel";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"wheel", WS_POPUP | WS_VISIBLE, 0, 0,
                              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (hwnd == nullptr) {
    std::fprintf(stderr, "zrtool: the window could not be made (error %lu)\n", GetLastError());
    return 1;
  }
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  HHOOK keyboard = SetWindowsHookExW(WH_KEYBOARD_LL, WheelKeyboardHook, wc.hInstance, 0);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  if (keyboard != nullptr) UnhookWindowsHookEx(keyboard);
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: zrtool wait-window|wait-no-window|window-info|post|send|mutex-exists ...\n");
  return 2;
}

struct ChildSearch {
  const wchar_t* what;
  long long skip;  // matches to pass over
  HWND found;
};

BOOL CALLBACK FindChild(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<ChildSearch*>(p);
  wchar_t cls[256] = {}, text[1024] = {};
  GetClassNameW(h, cls, 255);
  GetWindowTextW(h, text, 1023);
  if ((lstrcmpiW(cls, s->what) == 0 || lstrcmpW(text, s->what) == 0) && s->skip-- == 0) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND FindChildOf(HWND parent, const wchar_t* what, long long index = 0) {
  ChildSearch search{what, index, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The tab control belongs to another process: its answer to TCM_GETITEMW is
// written into memory of that process and read back from there.
int PrintTabTexts(HWND window) {
  HWND tabs = FindChildOf(window, WC_TABCONTROLW);
  if (tabs == nullptr) return 1;
  DWORD pid = 0;
  GetWindowThreadProcessId(tabs, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return 1;
  constexpr int kChars = 512;
  auto* remote = static_cast<unsigned char*>(
      VirtualAllocEx(process, nullptr, sizeof(TCITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  const int selected = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
  for (int i = 0; remote != nullptr && i < count; ++i) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TCITEMW));
    item.cchTextMax = kChars;
    wchar_t text[kChars] = {};
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    WriteProcessMemory(process, remote + sizeof(TCITEMW), text, sizeof text, nullptr);
    SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote + sizeof(TCITEMW), text, sizeof text - sizeof(wchar_t), nullptr);
    std::printf("%s%s\n", i == selected ? "*" : "", Utf8(text).c_str());
  }
  if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return remote != nullptr ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"front-window") return FrontWindow();
  if (argc == 3 && std::wstring(argv[1]) == L"wheel-window") return WheelWindow(argv[2], false);
  if (argc == 3 && std::wstring(argv[1]) == L"input-window") return WheelWindow(argv[2], true);
  if (argc == 2 && std::wstring(argv[1]) == L"foreground") {
    wchar_t cls[256] = {};
    if (HWND h = GetForegroundWindow()) GetClassNameW(h, cls, 255);
    std::printf("%s\n", Utf8(cls).c_str());
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"dialogs") {
    int found = 0;
    EnumWindows(PrintDialog, reinterpret_cast<LPARAM>(&found));
    return found > 0 ? 0 : 1;
  }
  if (argc >= 3 && std::wstring(argv[1]) == L"menu-shot") {
    HWND menuWindow = OpenMenuWindow(GetCurrentProcessId(), false);
    if (menuWindow == nullptr) return 1;
    RECT rc;
    GetWindowRect(menuWindow, &rc);
    if (!SaveScreen(rc, argv[2])) return 1;
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    return 0;
  }
  if (argc >= 5 && std::wstring(argv[1]) == L"reference-menu") {
    return ReferenceMenu(argv[2], static_cast<int>(Arg(argc, argv, 3, 0)), static_cast<int>(Arg(argc, argv, 4, 0)),
                         argc - 5, argv + 5);
  }
  if (argc < 3) return Usage();
  const std::wstring cmd = argv[1];
  const wchar_t* name = argv[2];
  if (cmd == L"dialog-texts") {
    HWND dialog = FindWindowW(L"#32770", name);
    if (dialog == nullptr) return 1;
    EnumChildWindows(dialog, PrintControlText, reinterpret_cast<LPARAM>(""));
    return 0;
  }
  if (cmd == L"visible-texts") {
    Search search{name, 0};
    EnumWindows(PrintVisibleText, reinterpret_cast<LPARAM>(&search));
    return search.found > 0 ? 0 : 1;
  }
  if (cmd == L"wait-window" || cmd == L"wait-no-window") {
    const bool wantPresent = cmd == L"wait-window";
    const DWORD timeout = static_cast<DWORD>(Arg(argc, argv, 3, 20000));
    const DWORD start = GetTickCount();
    for (;;) {
      HWND h = Find(name);
      if ((h != nullptr) == wantPresent) {
        if (wantPresent) std::printf("%p\n", static_cast<void*>(h));
        return 0;
      }
      if (GetTickCount() - start > timeout) return 1;
      Sleep(20);
    }
  }
  if (cmd == L"watch-window") {
    // For timing another program's start: the output goes out at once.
    const DWORD timeout = static_cast<DWORD>(Arg(argc, argv, 3, 60000));
    std::printf("ready\n");
    std::fflush(stdout);
    const DWORD start = GetTickCount();
    while (Find(name) == nullptr) {
      if (GetTickCount() - start > timeout) return 1;
      Sleep(1);
    }
    std::printf("found\n");
    std::fflush(stdout);
    return 0;
  }
  if (cmd == L"window-info") {
    HWND h = Find(name);
    if (h == nullptr) return 1;
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    const LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    wchar_t title[256] = {};
    GetWindowTextW(h, title, 255);
    std::printf("visible=%d\n", IsWindowVisible(h) ? 1 : 0);
    std::printf("toplevel=%d\n", GetAncestor(h, GA_PARENT) == GetDesktopWindow() ? 1 : 0);
    std::printf("owner=%p\n", static_cast<void*>(GetWindow(h, GW_OWNER)));
    std::printf("toolwindow=%d\n", (ex & WS_EX_TOOLWINDOW) ? 1 : 0);
    std::printf("appwindow=%d\n", (ex & WS_EX_APPWINDOW) ? 1 : 0);
    std::printf("style=0x%08lx\n", static_cast<unsigned long>(style));
    std::printf("title=%s\n", Utf8(title).c_str());
    return 0;
  }
  if (cmd == L"post" || cmd == L"send") {
    if (argc < 4) return Usage();
    HWND h = Find(name);
    if (h == nullptr) return 1;
    const UINT msg = static_cast<UINT>(Arg(argc, argv, 3, 0));
    const WPARAM w = static_cast<WPARAM>(Arg(argc, argv, 4, 0));
    const LPARAM l = static_cast<LPARAM>(Arg(argc, argv, 5, 0));
    if (cmd == L"post") {
      // Further MSG WPARAM LPARAM triples are posted right after, as the
      // system posts messages that come together.
      for (int i = 3; i < argc; i += 3) {
        if (!PostMessageW(h, static_cast<UINT>(Arg(argc, argv, i, 0)), static_cast<WPARAM>(Arg(argc, argv, i + 1, 0)),
                          static_cast<LPARAM>(Arg(argc, argv, i + 2, 0)))) {
          return 1;
        }
      }
      return 0;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, msg, w, l, SMTO_NORMAL, 30000, &result)) return 1;
    std::printf("%lld\n", static_cast<long long>(result));
    return 0;
  }
  if (cmd == L"tab-texts") {
    HWND h = Find(name);
    return h == nullptr ? 1 : PrintTabTexts(h);
  }
  if (cmd == L"child-rect") {
    if (argc < 4) return Usage();
    HWND h = Find(name);
    HWND child = h != nullptr ? FindChildOf(h, argv[3], Arg(argc, argv, 4, 0)) : nullptr;
    if (child == nullptr) return 1;
    RECT rc;
    GetWindowRect(child, &rc);
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
    return 0;
  }
  if (cmd == L"show") {
    HWND h = Find(name);
    if (h == nullptr) return 1;
    ShowWindow(h, SW_SHOW);
    SetForegroundWindow(h);
    RECT rc;
    GetWindowRect(h, &rc);
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
    return 0;
  }
  if (cmd == L"mutex-exists") {
    HANDLE m = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
    if (m == nullptr) return 1;
    CloseHandle(m);
    return 0;
  }
  return Usage();
}
