// zrfloor.exe: the smallest program of the monitor's kind, built with the same
// compiler and options: one hidden top-level window (class "zrfloor.Window")
// and a message loop, until WM_CLOSE. scripts/bench-wine measures the monitor
// beside it.
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"zrfloor.Window";
  RegisterClassExW(&wc);
  if (CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"floor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                      nullptr) == nullptr) {
    return 1;
  }
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
