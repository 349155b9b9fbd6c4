// zrdriver.exe install|remove [FOLDER]: installs the mouse's filter driver on
// every present device that config.ini lists, or removes it, as the monitor's
// filter-driver component does it. FOLDER is the shipped program's folder
// (config.ini and the driver folders DRIVERX86\, DRIVERX64\, XP64\ inside);
// without it, the folder zrdriver.exe lies in. Exit code 0 when the operation
// ran (it reports nothing of its own), 2 for a wrong command line.
#include "platform/win32/windows_h.h"

#include <cstdio>
#include <string>

#include "device/std_command.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring operation = argc >= 2 ? argv[1] : L"";
  if (argc > 3 || (operation != L"install" && operation != L"remove")) {
    std::fputs("usage: zrdriver.exe install|remove [FOLDER]\n", stderr);
    return 2;
  }
  zr::win32::Win32Platform platform;
  if (argc == 3) {
    std::string folder = zr::win32::Narrow(argv[2]);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    platform.files().SetExecutableFolder(folder);
  }
  std::printf("%s from %s\n", zr::win32::Narrow(operation).c_str(), platform.files().ExecutableFolder().c_str());
  std::fflush(stdout);
  zr::TqvSTDCommand command(platform.platform());
  command.HidInstallDriver(operation == L"install");
  return 0;
}
