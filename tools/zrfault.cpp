// zrfault.exe: the fault script's hands inside the Wine prefix (not shipped).
// It stays running and takes one command a line on standard input, fields
// separated by tabs, and answers every command with one line on standard
// output, so that thousands of steps cost no program start each:
//
//   send CLASS MSG [WPARAM [LPARAM]]   SendMessageTimeout (30 s): "ok RESULT", "no-window" or "no-answer"
//   post CLASS MSG [WPARAM [LPARAM]]   PostMessage: "ok" or "no-window"
//   wait-window CLASS MS               "ok" once a window of CLASS exists, "timeout" when none came in MS
//   wait-sim MS                        the same for zrmon-sim.exe's control window
//   sim LINE                           a zrsim command to zrmon-sim.exe: "ok", "refused REASON", "no-sim"
//                                      or "no-answer"
//   sleep MS                           pauses (between two commands sent in one go): "ok"
//   ctl ARG...                         zrctl's command run in this process, on the real platform:
//                                      "exit CODE" and, after a tab, the first line of its errors
//   reg-get KEY NAME                   "missing", or "value TYPE HEX" (the whole data)
//   reg-set KEY NAME HEX               stores a REG_BINARY value (the key is created): "ok" or "error CODE"
//   reg-delete KEY NAME                "ok" (also when it was missing) or "error CODE"
//   key-access KEY read|full           the key's access list: everyone may only read it, or do
//                                      everything: "ok" or "error CODE"
//   quit                               ends the program
//
// KEY is HKCU\... or HKLM\.... zrfault.exe belongs beside zrctl.exe: the
// command code reads config.ini in the program's own folder.
#include "platform/win32/windows_h.h"

#include <sddl.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/ctl.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "tools/zrsim_client.h"

namespace {

using zr::win32::Narrow;
using zr::win32::Widen;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::string::size_type at = 0;
  for (;;) {
    const auto tab = line.find('\t', at);
    out.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) return out;
    at = tab + 1;
  }
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string Hex(const BYTE* data, DWORD size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (DWORD i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

// The root and the path below it of "HKCU\..." or "HKLM\...".
bool SplitKey(const std::string& key, HKEY& root, std::wstring& path) {
  const auto slash = key.find('\\');
  const std::string head = key.substr(0, slash);
  if (head == "HKCU") {
    root = HKEY_CURRENT_USER;
  } else if (head == "HKLM") {
    root = HKEY_LOCAL_MACHINE;
  } else {
    return false;
  }
  path = slash == std::string::npos ? std::wstring() : Widen(key.substr(slash + 1));
  return true;
}

std::string Error(LONG code) { return "error " + std::to_string(code); }

std::string RegGet(const std::string& key, const std::string& name) {
  HKEY root;
  std::wstring path;
  if (!SplitKey(key, root, path)) return "error bad-key";
  HKEY k;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return "missing";
  const std::wstring value = Widen(name);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExW(k, value.c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size + 1);
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExW(k, value.c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(k);
  if (rc == ERROR_FILE_NOT_FOUND) return "missing";
  if (rc != ERROR_SUCCESS) return Error(rc);
  return "value " + std::to_string(type) + " " + Hex(data.data(), size);
}

std::string RegDelete(const std::string& key, const std::string& name) {
  HKEY root;
  std::wstring path;
  if (!SplitKey(key, root, path)) return "error bad-key";
  HKEY k;
  LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &k);
  if (rc == ERROR_FILE_NOT_FOUND) return "ok";
  if (rc != ERROR_SUCCESS) return Error(rc);
  rc = RegDeleteValueW(k, Widen(name).c_str());
  RegCloseKey(k);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? "ok" : Error(rc);
}

// Everyone may read the key (and its subkeys), or do everything with it.
std::string KeyAccess(const std::string& key, const std::string& mode) {
  HKEY root;
  std::wstring path;
  if (!SplitKey(key, root, path) || (mode != "read" && mode != "full")) return "error bad-arguments";
  HKEY k;
  LONG rc = RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &k);
  if (rc != ERROR_SUCCESS) return Error(rc);
  PSECURITY_DESCRIPTOR sd = nullptr;
  const wchar_t* sddl = mode == "read" ? L"D:P(A;OICI;KR;;;WD)" : L"D:P(A;OICI;KA;;;WD)";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) {
    RegCloseKey(k);
    return Error(static_cast<LONG>(GetLastError()));
  }
  rc = RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd);
  LocalFree(sd);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS ? "ok" : Error(rc);
}

std::string RegSet(const std::string& key, const std::string& name, const std::string& hex) {
  HKEY root;
  std::wstring path;
  if (!SplitKey(key, root, path) || hex.size() % 2 != 0) return "error bad-arguments";
  std::vector<BYTE> data(hex.size() / 2);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  HKEY k;
  LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
  if (rc != ERROR_SUCCESS) return Error(rc);
  rc = RegSetValueExW(k, Widen(name).c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
  RegCloseKey(k);
  return rc == ERROR_SUCCESS ? "ok" : Error(rc);
}

// SendMessageTimeout or PostMessage to the window of a class.
std::string Message(const std::vector<std::string>& f, bool post) {
  if (f.size() < 3) return "error bad-arguments";
  HWND h = FindWindowW(Widen(f[1]).c_str(), nullptr);
  if (h == nullptr) return "no-window";
  const UINT msg = static_cast<UINT>(std::stoul(f[2], nullptr, 0));
  const WPARAM w = f.size() > 3 ? static_cast<WPARAM>(std::stoull(f[3], nullptr, 0)) : 0;
  const LPARAM l = f.size() > 4 ? static_cast<LPARAM>(std::stoll(f[4], nullptr, 0)) : 0;
  if (post) return PostMessageW(h, msg, w, l) ? "ok" : "no-window";
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, msg, w, l, SMTO_NORMAL, 30000, &result)) return "no-answer";
  return "ok " + std::to_string(static_cast<unsigned long long>(result));
}

std::string WaitWindow(const std::wstring& cls, DWORD ms) {
  const DWORD start = GetTickCount();
  while (FindWindowW(cls.c_str(), nullptr) == nullptr) {
    if (GetTickCount() - start >= ms) return "timeout";
    Sleep(5);
  }
  return "ok";
}

std::string Sim(zr::SimClient& client, const std::vector<std::string>& f) {
  if (f.size() != 2) return "error bad-arguments";
  HWND target = zr::SimClient::FindControl();
  if (target == nullptr) return "no-sim";
  std::string refusal;
  switch (client.Send(target, f[1], refusal)) {
    case zr::SimClient::Result::Taken:
      return "ok";
    case zr::SimClient::Result::Refused:
      return "refused " + refusal;
    case zr::SimClient::Result::NoAnswer:
      break;
  }
  return "no-answer";
}

std::string Ctl(const std::vector<std::string>& f) {
  const std::vector<std::string> args(f.begin() + 1, f.end());
  zr::win32::Win32Platform platform;
  std::ostringstream out, err;
  const int rc = zr::ctl::RunCtl(args, platform.platform(), out, err);
  return "exit " + std::to_string(rc) + "\t" + FirstLine(err.str());
}

std::string Run(zr::SimClient& client, const std::vector<std::string>& f) {
  const std::string& cmd = f[0];
  if (cmd == "send" || cmd == "post") return Message(f, cmd == "post");
  if (cmd == "wait-window" && f.size() == 3) return WaitWindow(Widen(f[1]), static_cast<DWORD>(std::stoul(f[2])));
  if (cmd == "wait-sim" && f.size() == 2) {
    const std::string cls = zr::kZrSimControlClass;
    return WaitWindow(Widen(cls), static_cast<DWORD>(std::stoul(f[1])));
  }
  if (cmd == "sim") return Sim(client, f);
  if (cmd == "sleep" && f.size() == 2) {
    Sleep(static_cast<DWORD>(std::stoul(f[1])));
    return "ok";
  }
  if (cmd == "ctl") return Ctl(f);
  if (cmd == "reg-get" && f.size() == 3) return RegGet(f[1], f[2]);
  if (cmd == "reg-set" && f.size() == 4) return RegSet(f[1], f[2], f[3]);
  if (cmd == "reg-delete" && f.size() == 3) return RegDelete(f[1], f[2]);
  if (cmd == "key-access" && f.size() == 3) return KeyAccess(f[1], f[2]);
  return "error unknown-command";
}

}  // namespace

int wmain() {
  zr::SimClient client;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = Fields(line);
    const std::string& cmd = f[0];
    if (cmd == "quit") break;
    std::string answer;
    try {
      answer = Run(client, f);
    } catch (const std::exception& e) {  // a number that is none
      answer = std::string("error ") + e.what();
    }
    std::cout << answer << std::endl;
  }
  return 0;
}

