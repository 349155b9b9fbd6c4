// zrmon.exe: the monitor on the real platform.
#include "platform/win32/windows_h.h"

#include "app/monitor_program.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zr::win32::Win32Platform platform;
  return zr::RunMonitor(platform.platform());
}
