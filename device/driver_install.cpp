// Installation of the filter driver on the listed devices, and its removal:
// through the driver-package tool shipped beside the program when the
// package is signed, otherwise by hand (driver file, kernel-driver service,
// the device's filter list, a restart of the device).
#include <algorithm>
#include <cstring>

#include "common/text.h"
#include "device/std_command.h"

namespace zr {

bool IsWindows64(OsFacts& os) {
  const std::optional<bool> wow64 = os.IsWow64Process();
  if (!wow64 || !*wow64) return false;
  const std::optional<std::uint16_t> arch = os.NativeProcessorArchitecture();
  return arch && (*arch == kProcessorArchitectureAmd64 || *arch == kProcessorArchitectureIa64);
}

bool IsWindowsXp64(OsFacts& os) {
  const std::optional<OsVersion> v = os.Version();
  if (!v || v->platformId != kVerPlatformWin32Nt || v->major != 5 || v->minor != 2) return false;
  if (os.SystemMetric(kSmServerR2) != 0) return false;
  const std::uint16_t arch = os.NativeProcessorArchitecture().value_or(kProcessorArchitectureIntel);
  return arch != kProcessorArchitectureIntel && v->productType == kVerNtWorkstation;
}

namespace {

// A filter list of one entry, the service, in a value of fixed size. A name
// too long for it is cut so that the list still ends inside the value.
std::vector<std::uint8_t> OneEntryFilterList(const std::string& service) {
  std::vector<std::uint8_t> value(kFilterListValueSize, 0);
  const std::u16string name = Utf8ToUtf16(service);
  const std::size_t units = std::min(name.size(), kFilterListValueSize / 2 - 2);
  for (std::size_t i = 0; i < units; ++i) {
    value[2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
    value[2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
  }
  return value;
}

}  // namespace

void TqvSTDCommand::HidInstallDriver(bool Install, std::vector<TDriverInstallStep>* steps) {
  const std::unique_ptr<DeviceInfoList> devices = platform_.deviceSetup.PresentDevices(FUSBGuid);
  if (!devices) return;
  const bool upper = FDriverInfo.UpperFilter == 1;
  const std::uint32_t filterProperty = upper ? kSpdrpUpperFilters : kSpdrpLowerFilters;
  const bool windows64 = IsWindows64(platform_.os);
  const bool byTool = FDriverInfo.WHQL != 0 && (FDriverInfo.X32WHQL != 0 || windows64);

  for (std::uint32_t index = 0; devices->HasDevice(index); ++index) {
    const auto ids = devices->MultiStringProperty(index, kSpdrpHardwareId);
    const auto lower = devices->MultiStringProperty(index, kSpdrpLowerFilters);
    const auto upperList = devices->MultiStringProperty(index, kSpdrpUpperFilters);
    if (!ids || !HardwareIdsInConfigUsbList(*ids)) continue;

    const auto& filters = upper ? upperList : lower;
    const bool installed = filters && ContainsIgnoreCase(*filters, FDriverInfo.ServiceName);
    bool problem = false;
    if (installed) {
      const std::optional<std::uint32_t> status = devices->DevNodeStatus(index);
      problem = status && (*status & kDnHasProblem) != 0;
    }
    const bool act = Install ? (!installed || problem) : installed;
    TDriverInstallStep step;
    step.HardwareId = ids->empty() ? std::string() : ids->front();
    step.Action = !act ? "none" : !Install ? "remove" : installed ? "install again" : "install";
    step.ByTool = act && byTool;

    if (act && byTool) {
      step.Failure = RunPackageTool(Install, windows64);
    } else if (act && Install) {
      step.Failure = InstallByHand(*devices, index, filterProperty, windows64);
    } else if (act) {
      step.Failure = RemoveByHand(*devices, index, filterProperty);
    }
    if (steps != nullptr) steps->push_back(std::move(step));
  }
}

std::string TqvSTDCommand::RunPackageTool(bool install, bool windows64) {
  const bool xp64 = IsWindowsXp64(platform_.os);
  const std::string folder =
      platform_.files.ExecutableFolder() + (!windows64 ? "DRIVERX86\\" : xp64 ? "XP64\\" : "DRIVERX64\\");
  std::string parameters = (install ? "/i " : "/u ") + FDriverInfo.InfFileName;
  if (!xp64) {
    parameters += " DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE";
    if (!install) parameters += " DRIVER_PACKAGE_DELETE_FILES";
  }
  // A missing tool is told to whoever asked, never in a message box.
  const std::unique_ptr<ProcessHandle> process =
      platform_.shell.ShellExecuteEx(kSeeMaskNoCloseProcess | kSeeMaskDoEnvSubst | kSeeMaskFlagNoUi, "open",
                                     folder + "DIFxCmd.exe", parameters, folder, kSwHide);
  if (!process) return "the driver-package tool " + folder + "DIFxCmd.exe could not be started";
  // The component goes on whatever the tool's exit code; a caller that asks
  // is told a code other than 0.
  const std::optional<std::uint32_t> exitCode = process->WaitForEnd();
  if (exitCode && *exitCode != 0) {
    return "the driver-package tool " + folder + "DIFxCmd.exe ended with exit code " + std::to_string(*exitCode);
  }
  return {};
}

std::string TqvSTDCommand::InstallByHand(DeviceInfoList& devices, std::uint32_t index, std::uint32_t filterProperty,
                                         bool windows64) {
  FileSystem& files = platform_.files;
  const std::string source =
      files.ExecutableFolder() + (windows64 ? "DRIVERX64\\" : "DRIVERX86\\") + FDriverInfo.FileName;
  const std::string target = files.WindowsFolder() + "\\System32\\Drivers\\" + FDriverInfo.FileName;
  if (files.FileExists(target)) (void)files.DeleteFile(target);
  if (!files.CopyFile(source, target, false)) return "the driver file " + source + " could not be copied to " + target;
  if (std::string failure = RegisterDriverService(target); !failure.empty()) return failure;
  const bool written = devices.SetProperty(index, filterProperty, OneEntryFilterList(FDriverInfo.ServiceName));
  RestartDevice(devices, index);
  return written ? std::string() : "the device's filter list could not be written";
}

std::string TqvSTDCommand::RegisterDriverService(const std::string& imagePath) {
  const std::unique_ptr<ServiceManager> manager = platform_.services.OpenManager(kScManagerAllAccess);
  if (!manager) return "the service control manager could not be opened with all access";
  ServiceConfig config;
  config.binaryPath = imagePath;
  if (const auto service = manager->OpenService(FDriverInfo.ServiceName, kServiceAllAccess)) {
    config.displayName = FDriverInfo.ServiceName + "_DisplayChange";
    if (service->ChangeConfig(config)) return {};
    return "the service " + FDriverInfo.ServiceName + " could not be reconfigured";
  }
  config.displayName = FDriverInfo.ServiceName + "_Display";
  std::uint32_t error = 0;
  const auto created = manager->CreateService(FDriverInfo.ServiceName, config, kServiceAllAccess, error);
  if (created != nullptr || error == kErrorServiceExists) return {};
  return "the service " + FDriverInfo.ServiceName + " could not be created (error " + std::to_string(error) + ")";
}

std::string TqvSTDCommand::RemoveByHand(DeviceInfoList& devices, std::uint32_t index, std::uint32_t filterProperty) {
  {
    const std::unique_ptr<ServiceManager> manager = platform_.services.OpenManager(kScManagerAllAccess);
    if (!manager) return "the service control manager could not be opened with all access";
    const std::unique_ptr<Service> service = manager->OpenService(FDriverInfo.ServiceName, kServiceAllAccess);
    if (!service) return "the service " + FDriverInfo.ServiceName + " could not be opened";
    if (!service->Delete()) return "the service " + FDriverInfo.ServiceName + " could not be deleted";
  }
  const std::vector<std::uint8_t> empty(kFilterListValueSize, 0);
  const bool written = devices.SetProperty(index, filterProperty, empty);
  RestartDevice(devices, index);
  return written ? std::string() : "the device's filter list could not be emptied";
}

void TqvSTDCommand::RestartDevice(DeviceInfoList& devices, std::uint32_t index) {
  (void)devices.ChangeState(index, kDicsDisable);
  platform_.windowing.Sleep(100);
  (void)devices.ChangeState(index, kDicsEnable);
}

}  // namespace zr
