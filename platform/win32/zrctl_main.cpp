// zrctl.exe: the monitor's command-line companion on the real platform. A
// console program; everything it does is RunCtl's.
#include "platform/win32/windows_h.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/ctl.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace {

// UTF-8 text to a standard handle: as UTF-16 to a console, as UTF-8 bytes to
// a file or pipe. In pieces, since older consoles refuse a write of more
// than some 64 KiB. False when not all of it could be written.
bool WriteTo(DWORD which, const std::string& text) {
  if (text.empty()) return true;
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  constexpr std::size_t kPiece = 8192;
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) {
    const std::wstring w = zr::win32::Widen(text);
    for (std::size_t at = 0; at < w.size();) {
      std::size_t n = std::min(kPiece, w.size() - at);
      // A surrogate pair stays in one piece.
      if (at + n < w.size() && w[at + n - 1] >= 0xD800 && w[at + n - 1] <= 0xDBFF) --n;
      DWORD done = 0;
      if (!WriteConsoleW(h, w.data() + at, static_cast<DWORD>(n), &done, nullptr) || done == 0) return false;
      at += done;
    }
    return true;
  }
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = std::min(kPiece, text.size() - at);
    DWORD done = 0;
    if (!WriteFile(h, text.data() + at, static_cast<DWORD>(n), &done, nullptr) || done == 0) return false;
    at += done;
  }
  return true;
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
  const bool written = WriteTo(STD_OUTPUT_HANDLE, out.str());
  if (!written) err << "zrctl: the output could not be written in full\n";
  WriteTo(STD_ERROR_HANDLE, err.str());
  return written ? rc : zr::ctl::kExitRefused;
}
