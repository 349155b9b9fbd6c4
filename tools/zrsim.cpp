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

#include "tools/zrsim_client.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
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

  HWND target = zr::SimClient::FindControl();
  if (target == nullptr) {
    std::fputs("zrsim: zrmon-sim.exe is not running\n", stderr);
    return 3;
  }
  zr::SimClient client;

  for (const std::string& line : lines) {
    unsigned ms = 0;
    char extra = 0;
    if (std::sscanf(line.c_str(), "wait %u%c", &ms, &extra) == 1) {
      Sleep(ms);
      continue;
    }
    std::string refusal;
    switch (client.Send(target, line, refusal)) {
      case zr::SimClient::Result::Taken:
        break;
      case zr::SimClient::Result::Refused:
        std::fprintf(stderr, "zrsim: not taken: %s\n", refusal.c_str());
        return 1;
      case zr::SimClient::Result::NoAnswer:
        std::fputs("zrsim: zrmon-sim.exe did not answer\n", stderr);
        return 3;
    }
  }
  return 0;
}
