// zrsim.exe: hands one command to a running zrmon-sim.exe and exits 0 when it
// was taken, 1 when it was refused (the reason on standard error), 3 when no
// zrmon-sim.exe runs, 2 for a missing command.
//
//   zrsim plug | unplug              the mouse arrives / goes
//   zrsim input HEX                  the vendor collection delivers a report (8 bytes, report ID first)
//   zrsim memory ADDRESS HEX         firmware memory from ADDRESS (hexadecimal) on
//   zrsim driver on | off            the filter driver's control device is there / not
//   zrsim fail-feature N             the next N feature exchanges fail
//   zrsim fail-ioctl N               the next N control requests fail
//   zrsim A ; wait 50 ; B            several commands in one go ("wait MS" pauses
//                                    between them, here in zrsim.exe)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/zrsim_protocol.h"

namespace {

std::string refusal;

LRESULT CALLBACK ReplyProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
    if (data != nullptr && data->dwData == zr::kZrSimRefusal) {
      refusal.assign(static_cast<const char*>(data->lpData), data->cbData);
    }
    return 1;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

// Hands one command line to the simulation: 0 taken, 1 refused, 3 no answer.
int Send(HWND target, HWND reply, const std::string& line) {
  refusal.clear();
  COPYDATASTRUCT data{zr::kZrSimCommand, static_cast<DWORD>(line.size()), const_cast<char*>(line.data())};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(reply), reinterpret_cast<LPARAM>(&data),
                           SMTO_NORMAL, 30000, &result)) {
    std::fputs("zrsim: zrmon-sim.exe did not answer\n", stderr);
    return 3;
  }
  if (result == 1) return 0;
  std::fprintf(stderr, "zrsim: not taken: %s\n", refusal.empty() ? line.c_str() : refusal.c_str());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs(
        "usage: zrsim COMMAND [; COMMAND]...   COMMAND: plug | unplug | input HEX | memory ADDRESS HEX | "
        "driver on|off | fail-feature N | fail-ioctl N | wait MS\n",
        stderr);
    return 2;
  }
  // Commands separated by a lone ";", each handed over when the one before
  // was taken; "wait MS" pauses between two of them.
  std::vector<std::string> lines(1);
  for (int i = 1; i < argc; ++i) {
    const std::string word = Utf8(argv[i]);
    if (word == ";") {
      lines.emplace_back();
    } else {
      lines.back() += (lines.back().empty() ? "" : " ") + word;
    }
  }

  const std::wstring controlClass(zr::kZrSimControlClass, zr::kZrSimControlClass + sizeof zr::kZrSimControlClass - 1);
  HWND target = FindWindowW(controlClass.c_str(), nullptr);
  if (target == nullptr) {
    std::fputs("zrsim: zrmon-sim.exe is not running\n", stderr);
    return 3;
  }
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ReplyProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"zrsim.Reply";
  RegisterClassW(&wc);
  HWND reply = CreateWindowW(L"zrsim.Reply", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

  for (const std::string& line : lines) {
    unsigned ms = 0;
    char extra = 0;
    if (std::sscanf(line.c_str(), "wait %u%c", &ms, &extra) == 1) {
      Sleep(ms);
      continue;
    }
    if (const int rc = Send(target, reply, line); rc != 0) return rc;
  }
  return 0;
}
