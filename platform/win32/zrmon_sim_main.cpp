// zrmon-sim.exe: the monitor with the simulated mouse and filter driver in
// place of hid.dll, setupapi.dll and the driver's control device; windows,
// messages, timers, registry, files, shell and tray are the real ones.
//
// Set at start by the environment:
//   ZRSIM_PLUGGED  1 (default): the mouse is in when the program starts; 0: it is not
//   ZRSIM_MEMORY   firmware memory seeds, ADDRESS=HEX;ADDRESS=HEX... (ADDRESS hexadecimal)
//   ZRSIM_DRIVER   1 (default): the control device is there; 0: it is not
//   ZRSIM_LOG      the exchange log (default sim.log beside the executable)
// While it runs, zrsim.exe hands it commands through its window of class
// "zrsim.Control" (WM_COPYDATA).
#include "platform/win32/windows_h.h"

#include <cstdio>
#include <deque>
#include <string>

#include "app/monitor_program.h"
#include "platform/sim/sim_devices.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "tools/zrsim_protocol.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buf[32768];
  const DWORD n = GetEnvironmentVariableW(name, buf, 32768);
  return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

std::wstring ExecutableFolder() {
  wchar_t buf[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path = buf;
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Each line goes to the end of the file at once, so that others can read
// the log while the program runs.
void AppendLine(const std::wstring& path, const std::string& line) {
  HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

int Refuse(const std::string& why) {
  const std::string text = "zrmon-sim: " + why + "\n";
  OutputDebugStringW(zr::win32::Widen(text).c_str());
  std::fputs(text.c_str(), stderr);
  return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zr::sim::SimKernel kernel;
  zr::sim::SimDevices devices(kernel);
  devices.keepLog = false;
  std::wstring logPath = Environment(L"ZRSIM_LOG");
  if (logPath.empty()) logPath = ExecutableFolder() + L"sim.log";
  devices.onLog = [logPath](const std::string& line) { AppendLine(logPath, line); };

  const std::wstring plugged = Environment(L"ZRSIM_PLUGGED");
  const std::wstring driver = Environment(L"ZRSIM_DRIVER");
  if (!plugged.empty() && plugged != L"0" && plugged != L"1") return Refuse("ZRSIM_PLUGGED must be 0 or 1");
  if (!driver.empty() && driver != L"0" && driver != L"1") return Refuse("ZRSIM_DRIVER must be 0 or 1");
  std::string error;
  if (!devices.SeedMemory(zr::win32::Narrow(Environment(L"ZRSIM_MEMORY")), error)) {
    return Refuse("ZRSIM_MEMORY: " + error);
  }
  devices.driverPresent = driver != L"0";
  if (plugged != L"0") devices.StartPlugged();

  zr::win32::Win32Platform platform(
      {kernel, devices.hid(), devices.notifications(), devices.controlDevices()});

  // Device notifications carry a pointer, which a posted system message may
  // not: they are queued here and sent, one per posted wake-up of the
  // control window, after the command that caused them has returned.
  struct Notification {
    zr::WindowHandle window;
    std::uint32_t wParam;
    std::intptr_t lParam;
  };
  std::deque<Notification> notifications;
  constexpr UINT kDeliverNotification = WM_APP + 1;

  // The control window: a command in, 1 when taken; a refusal's reason goes
  // back to the sender's window.
  const zr::WindowHandle control = platform.windowing().CreateHiddenWindow(
      zr::kZrSimControlClass, "",
      [&devices, &notifications](std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) -> std::optional<std::intptr_t> {
        if (msg == kDeliverNotification) {
          if (notifications.empty()) return 0;
          const Notification n = notifications.front();
          notifications.pop_front();
          SendMessageW(reinterpret_cast<HWND>(n.window), WM_DEVICECHANGE, n.wParam, n.lParam);
          return 0;
        }
        if (msg != WM_COPYDATA) return std::nullopt;
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data == nullptr || data->dwData != zr::kZrSimCommand || data->cbData > 65536) return 0;
        const std::string line(static_cast<const char*>(data->lpData), data->cbData);
        std::string why;
        if (devices.Command(line, why)) return 1;
        if (wParam != 0) {
          COPYDATASTRUCT reply{zr::kZrSimRefusal, static_cast<DWORD>(why.size()), why.data()};
          SendMessageW(reinterpret_cast<HWND>(wParam), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&reply));
        }
        return 0;
      });
  devices.postDeviceChange = [&notifications, control](zr::WindowHandle window, std::uint32_t wParam,
                                                        std::intptr_t lParam) {
    notifications.push_back({window, wParam, lParam});
    PostMessageW(reinterpret_cast<HWND>(control), kDeliverNotification, 0, 0);
  };
  const int code = zr::RunMonitor(platform.platform());
  platform.windowing().DestroyWindow(control);
  return code;
}
