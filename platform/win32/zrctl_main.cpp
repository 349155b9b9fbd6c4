// zrctl.exe: the monitor's command-line companion on the real platform. A
// console program; everything it does is RunCtl's.
#include "platform/win32/windows_h.h"

#include <sstream>
#include <string>
#include <vector>

#include "ctl/ctl.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace {

// UTF-8 text to a standard handle: as UTF-16 to a console, as UTF-8 bytes to
// a file or pipe.
void WriteTo(DWORD which, const std::string& text) {
  if (text.empty()) return;
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD done = 0;
  if (GetConsoleMode(h, &mode)) {
    const std::wstring w = zr::win32::Widen(text);
    WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &done, nullptr);
  } else {
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  }
}

// A file argument as a full path, so that the file is replaced in its own
// folder whatever the form it was given in.
std::string FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return zr::win32::Narrow(path);
  std::wstring full(n, L'\0');
  const DWORD m = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(m);
  return zr::win32::Narrow(full);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(zr::win32::Narrow(argv[i]));
  // export and import SLOT FILE: the file as a full path.
  if (args.size() == 3 && (args[0] == "export" || args[0] == "import") && args[2] != "--help" &&
      args[2] != "-h") {
    args[2] = FullPath(argv[3]);
  }
  zr::win32::Win32Platform platform;
  std::ostringstream out;
  std::ostringstream err;
  const int rc = zr::ctl::RunCtl(args, platform.platform(), out, err);
  WriteTo(STD_OUTPUT_HANDLE, out.str());
  WriteTo(STD_ERROR_HANDLE, err.str());
  return rc;
}
