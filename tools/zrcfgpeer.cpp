// zrcfgpeer.exe: stands in for the configuration program in the Wine tests.
// Its main window has the configuration program's class "TZRCFGMain"; it
// writes what happens to it, one line each, to the file named by ZRPEER_LOG
// (default peer.log beside the executable):
//   start DIR         it started, with DIR as its working folder
//   activate          its window became the active one
//   message N W L     it received message N (the system's own messages)
//   sent N R          it sent message N to the monitor window; R the result
// Posting it WM_APP + 1 with wParam N makes it send message N to the monitor
// (class "ZEDEZAVadi"), as the configuration program does.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring LogPath() {
  wchar_t buf[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"ZRPEER_LOG", buf, MAX_PATH) > 0) return buf;
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path = buf;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"peer.log";
}

void Log(const char* format, ...) {
  FILE* f = _wfopen(LogPath().c_str(), L"ab");
  if (f == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputs("\n", f);
  std::fclose(f);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(w) != WA_INACTIVE) Log("activate");
      break;
    case WM_APP + 1: {
      HWND monitor = FindWindowW(L"ZEDEZAVadi", nullptr);
      DWORD_PTR result = 0;
      if (monitor != nullptr) SendMessageTimeoutW(monitor, static_cast<UINT>(w), 0, 0, SMTO_NORMAL, 30000, &result);
      Log("sent %u %ld", static_cast<unsigned>(w), monitor != nullptr ? static_cast<long>(result) : -1L);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (msg >= 7000 && msg < 8000) {
        Log("message %u %lu %ld", msg, static_cast<unsigned long>(w), static_cast<long>(l));
        return 0;
      }
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  wchar_t cwd[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, cwd);
  char narrow[MAX_PATH * 3] = {};
  WideCharToMultiByte(CP_UTF8, 0, cwd, -1, narrow, sizeof narrow, nullptr, nullptr);
  Log("start %s", narrow);

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"TZRCFGMain";
  RegisterClassExW(&wc);
  HWND hwnd = CreateWindowExW(0, L"TZRCFGMain", L"Configuration (test peer)", WS_OVERLAPPEDWINDOW, 40, 40, 360, 200,
                              nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, show);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
