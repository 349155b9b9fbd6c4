// zrdriver.exe install|remove [FOLDER]: installs the mouse's filter driver on
// every present device that config.ini lists, or removes it, as the monitor's
// filter-driver component does it. FOLDER is the shipped program's folder
// (config.ini and the driver folders DRIVERX86\, DRIVERX64\, XP64\ inside);
// without it, the folder zrdriver.exe lies in.
//
// Prints a line per listed device (what was done) on standard output and
// what failed on standard error. Exit code 0 when every listed device is as
// asked, 1 when a device could not be handled (most often: not run as an
// administrator) or config.ini is missing, 2 for a wrong command line, 3 when
// no listed device is present.
#include "platform/win32/windows_h.h"

#include <cstdio>
#include <string>
#include <vector>

#include "device/std_command.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace {

constexpr char kUsage[] =
    "usage: zrdriver.exe install|remove [FOLDER]\n"
    "Installs the mouse's filter driver on every present device that FOLDER\\config.ini lists\n"
    "(section usbdevicelist), or removes it; FOLDER holds config.ini and the driver folders\n"
    "DRIVERX86\\, DRIVERX64\\ and XP64\\ (default: the folder of zrdriver.exe).\n"
    "It needs an administrator: it writes into the system's drivers folder, registers a\n"
    "kernel-driver service and changes the devices' filter lists, or runs DIFxCmd.exe, which\n"
    "does the same. Run it from a command prompt started as administrator.\n"
    "Exit code: 0 done, 1 a device could not be handled, 2 wrong command line,\n"
    "3 no listed device present.\n";

std::string Done(const zr::TDriverInstallStep& step, bool install) {
  if (step.Action == "none") return install ? "already installed" : "not installed, nothing to remove";
  const std::string way = step.ByTool ? " through DIFxCmd.exe" : " by hand";
  if (step.Action == "install again") return "installed again (the device reported a problem)" + way;
  return (install ? "installed" : "removed") + way;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring operation = argc >= 2 ? argv[1] : L"";
  if (operation == L"--help" || operation == L"-h" || operation == L"/?") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 3 || (operation != L"install" && operation != L"remove")) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const bool install = operation == L"install";
  zr::win32::Win32Platform platform;
  if (argc == 3) {
    std::string folder = zr::win32::Narrow(argv[2]);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    platform.files().SetExecutableFolder(folder);
  }
  const std::string folder = platform.files().ExecutableFolder();
  std::printf("%s from %s\n", install ? "install" : "remove", folder.c_str());
  std::fflush(stdout);
  if (!platform.files().FileExists(folder + "config.ini")) {
    std::fprintf(stderr, "%sconfig.ini is missing: it lists the devices to handle\n", folder.c_str());
    return 1;
  }

  zr::TqvSTDCommand command(platform.platform());
  std::vector<zr::TDriverInstallStep> steps;
  command.HidInstallDriver(install, &steps);
  if (steps.empty()) {
    std::fputs("no device that config.ini lists is present: nothing was done\n", stderr);
    return 3;
  }
  int failed = 0;
  for (const zr::TDriverInstallStep& step : steps) {
    if (step.Failure.empty()) {
      std::printf("%s: %s\n", step.HardwareId.c_str(), Done(step, install).c_str());
    } else {
      ++failed;
      std::fprintf(stderr, "%s: %s failed: %s\n", step.HardwareId.c_str(), install ? "install" : "removal",
                   step.Failure.c_str());
    }
  }
  std::fflush(stdout);
  if (failed > 0) {
    std::fprintf(stderr,
                 "%d of %zu listed devices could not be handled. Installing and removing the driver needs an "
                 "administrator: run zrdriver.exe from a command prompt started as administrator.\n",
                 failed, steps.size());
    return 1;
  }
  return 0;
}
