// zrrecord.exe: runs one recording mode of the hook component on the real
// platform (qvHook.dll beside it) and writes every event it raises as one
// line: the event's name, then its arguments in order, texts in double
// quotes, a list as its item count. Not shipped.
//
//   zrrecord MODE [--seconds N] [--log FILE]
//
//   MODE     single (nothing is swallowed), combo, combo2 (the event with the
//            scan codes), macro, macro-ex (the extended keyboard macro), mouse
//   N        stops after N seconds; otherwise it runs until Ctrl-C, Ctrl-Break,
//            its console closing, or WM_CLOSE to its window (class
//            "zrrecord.Recorder")
//   FILE     appends the lines to FILE instead of standard output
//
// The first line is "recording MODE" once the mode has taken its slot; the
// stop operation's event (for the macro modes) and "stopped" come last.
// Exit code 0, 1 when the hook library could not be loaded, 2 for usage.
#include "platform/win32/windows_h.h"

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>

#include "hook/qv_hook.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace {

constexpr wchar_t kWindowClass[] = L"zrrecord.Recorder";
HWND gWindow = nullptr;
FILE* gOut = stdout;
std::mutex gOutLock;

// One line, written at once so that a reader of the file sees it whole.
void Line(const std::string& text) {
  std::lock_guard lock(gOutLock);
  std::fprintf(gOut, "%s\n", text.c_str());
  std::fflush(gOut);
}

std::string Q(const std::string& text) { return " \"" + text + "\""; }
std::string N(long long value) { return " " + std::to_string(value); }

BOOL WINAPI OnConsoleSignal(DWORD) {
  if (gWindow != nullptr) PostMessageW(gWindow, WM_CLOSE, 0, 0);
  return TRUE;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE || msg == WM_TIMER) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int Usage() {
  std::fputs("usage: zrrecord single|combo|combo2|macro|macro-ex|mouse [--seconds N] [--log FILE]\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring mode = argv[1];
  unsigned seconds = 0;
  for (int i = 2; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--seconds" && i + 1 < argc) {
      seconds = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
    } else if (option == L"--log" && i + 1 < argc) {
      gOut = _wfopen(argv[++i], L"ab");
      if (gOut == nullptr) {
        std::fputs("zrrecord: cannot open the log file\n", stderr);
        return 2;
      }
    } else {
      return Usage();
    }
  }

  zr::win32::Win32Platform platform;
  zr::TqvHook hook(platform.platform());
  if (!hook.DLLLoaded()) {
    std::fputs("zrrecord: qvHook.dll could not be loaded\n", stderr);
    return 1;
  }
  using zr::TMacroKeyList;
  using zr::TMouseMacroKeyList;
  hook.OnRecordKeyboardSingleKey = [](std::int32_t key, std::uint32_t scan, std::int32_t state, std::int32_t ext,
                                      const std::string& text, bool&) {
    Line("OnRecordKeyboardSingleKey" + N(key) + N(scan) + N(state) + N(ext) + Q(text));
  };
  const auto combo = [](std::int32_t k1, std::int32_t e1, std::int32_t k2, std::int32_t e2, std::int32_t mod,
                        const std::string& text) {
    Line("OnRecordKeyboardComboKey" + N(k1) + N(e1) + N(k2) + N(e2) + N(mod) + Q(text));
  };
  const auto combo2 = [](std::int32_t k1, std::int32_t s1, std::int32_t e1, std::int32_t k2, std::int32_t s2,
                         std::int32_t e2, std::int32_t mod, const std::string& text) {
    Line("OnRecordKeyboardComboKey2" + N(k1) + N(s1) + N(e1) + N(k2) + N(s2) + N(e2) + N(mod) + Q(text));
  };
  hook.OnRecordKeyboardMacroKey = [](std::int32_t type, std::int32_t key, std::int32_t state, std::int32_t ext,
                                     double time, const std::string& text, const std::string& stateText,
                                     const TMacroKeyList& list) {
    Line("OnRecordKeyboardMacroKey" + N(type) + N(key) + N(state) + N(ext) + N(static_cast<long long>(time)) +
         Q(text) + Q(stateText) + N(static_cast<long long>(list.items.size())));
  };
  hook.OnRecordKeyboardMacroKeyEx = [](std::int32_t type, std::int32_t key, std::int32_t state, std::int32_t ext,
                                       double time, std::uint32_t total, const std::string& text,
                                       const std::string& stateText, const TMacroKeyList& list) {
    Line("OnRecordKeyboardMacroKeyEx" + N(type) + N(key) + N(state) + N(ext) + N(static_cast<long long>(time)) +
         N(total) + Q(text) + Q(stateText) + N(static_cast<long long>(list.items.size())));
  };
  hook.OnRecordMouseMacroKey = [](std::int32_t type, zr::TMouseButtons button, std::int32_t state, std::uint16_t x,
                                  std::uint16_t y, double time, const std::string& text, const std::string& stateText,
                                  const TMouseMacroKeyList& list) {
    Line("OnRecordMouseMacroKey" + N(type) + N(static_cast<int>(button)) + N(state) + N(x) + N(y) +
         N(static_cast<long long>(time)) + Q(text) + Q(stateText) + N(static_cast<long long>(list.items.size())));
  };
  hook.OnStopRecordKeyboardMacroKey = [](TMacroKeyList& list) {
    Line("OnStopRecordKeyboardMacroKey" + N(static_cast<long long>(list.items.size())));
  };
  hook.OnStopRecordMouseMacroKey = [](const TMouseMacroKeyList& list) {
    Line("OnStopRecordMouseMacroKey" + N(static_cast<long long>(list.items.size())));
  };

  void (zr::TqvHook::*record)() = nullptr;
  void (zr::TqvHook::*stop)() = nullptr;
  if (mode == L"single") {
    record = &zr::TqvHook::RecordKeyboardSingleKey, stop = &zr::TqvHook::StopRecordKeyboardSingleKey;
  } else if (mode == L"combo" || mode == L"combo2") {
    // The first combination event is used whenever it is assigned.
    if (mode == L"combo") hook.OnRecordKeyboardComboKey = combo;
    hook.OnRecordKeyboardComboKey2 = combo2;
    record = &zr::TqvHook::RecordKeyboardComboKey, stop = &zr::TqvHook::StopRecordKeyboardComboKey;
  } else if (mode == L"macro") {
    record = &zr::TqvHook::RecordKeyboardMacroKey, stop = &zr::TqvHook::StopRecordKeyboardMacroKey;
  } else if (mode == L"macro-ex") {
    record = &zr::TqvHook::RecordKeyboardMacroKeyEx, stop = &zr::TqvHook::StopRecordKeyboardMacroKeyEx;
  } else if (mode == L"mouse") {
    record = &zr::TqvHook::RecordMouseMacro, stop = &zr::TqvHook::StopRecordMouseMacro;
  } else {
    return Usage();
  }

  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
  gWindow = CreateWindowExW(0, kWindowClass, L"zrrecord", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                            nullptr);
  SetConsoleCtrlHandler(OnConsoleSignal, TRUE);
  if (seconds > 0 && gWindow != nullptr) SetTimer(gWindow, 1, seconds * 1000, nullptr);

  (hook.*record)();
  Line("recording " + zr::win32::Narrow(mode));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  (hook.*stop)();
  Line("stopped");
  if (gWindow != nullptr) DestroyWindow(gWindow);
  if (gOut != stdout) std::fclose(gOut);
  return 0;
}
