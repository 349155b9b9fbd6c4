// DIFxCmd.exe stand-in for the tests of the driver installation (a GUI
// program, so that no console window opens). Each run appends to the file
// named by DIFXCMD_LOG (default DIFxCmd.log beside the executable), in UTF-8:
//   command-line TEXT   its whole command line
//   folder DIR          its working folder
//   end                 written last, DIFXCMD_DELAY_MS milliseconds later
//                       (default 0), so a caller's wait for it shows
// and it ends with the exit code DIFXCMD_EXIT (default 0).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buf[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(name, buf, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

void Append(const std::wstring& log, const std::string& line) {
  FILE* f = _wfopen(log.c_str(), L"ab");
  if (f == nullptr) return;
  std::fputs((line + "\n").c_str(), f);
  std::fclose(f);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring log = Env(L"DIFXCMD_LOG");
  if (log.empty()) {
    wchar_t buf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    log = buf;
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"DIFxCmd.log";
  }
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  Append(log, "command-line " + Utf8(GetCommandLineW()));
  Append(log, "folder " + Utf8(folder));
  const std::wstring delay = Env(L"DIFXCMD_DELAY_MS");
  if (!delay.empty()) Sleep(static_cast<DWORD>(std::wcstoul(delay.c_str(), nullptr, 10)));
  Append(log, "end");
  return static_cast<int>(std::wcstoul(Env(L"DIFXCMD_EXIT").c_str(), nullptr, 10));
}
