// Models of the device installer with the configuration manager, the service
// control manager and the operating system's facts about itself, for the
// driver installation. Tests set up devices (hardware IDs, filter lists,
// problems), services, 32- or 64-bit Windows and Windows XP x64, and read
// back what was done.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_setup.h"
#include "platform/os_facts.h"
#include "platform/services.h"

namespace zr::sim {

struct SimSetupDevice {
  Guid setupClass = kHidSetupClassGuid;
  std::vector<std::string> hardwareIds;
  // The filter lists; none: the device has no such value.
  std::optional<std::vector<std::string>> lowerFilters;
  std::optional<std::vector<std::string>> upperFilters;
  bool problem = false;    // the node reports a problem of its own
  bool disabled = false;   // disabled by a property change (a problem too, as on Windows)
  bool statusReadable = true;
  bool refuseWrites = false;
};

class SimDeviceSetup final : public DeviceSetup {
 public:
  std::unique_ptr<DeviceInfoList> PresentDevices(const Guid& setupClass) override;

  // A present device of the HID setup class.
  SimSetupDevice& AddDevice(std::vector<std::string> hardwareIds);
  std::vector<SimSetupDevice> devices;
  bool setOpens = true;  // false: no device list can be opened

  // What was done, in order: "set INDEX lower|upper NAME,NAME (BYTES bytes)",
  // "disable INDEX @TIME", "enable INDEX @TIME"; TIME from `clock`.
  std::vector<std::string> log;
  std::function<std::uint64_t()> clock = [] { return std::uint64_t{0}; };
  std::size_t openLists = 0;  // lists not yet destroyed
};

struct SimService {
  std::string name;
  ServiceConfig config;
  bool markedForDeletion = false;
  int openHandles = 0;
};

class SimServices final : public ServiceControl {
 public:
  std::unique_ptr<ServiceManager> OpenManager(std::uint32_t access) override;

  // By lower-case name.
  std::map<std::string, SimService> services;
  const SimService* Find(const std::string& name) const;
  void AddService(const std::string& name, ServiceConfig config);

  bool managerOpens = true;
  std::uint32_t failCreate = 0;  // the error of every creation; 0: creations work
  bool failChange = false;
  bool failDelete = false;
  // "create NAME", "change NAME", "delete NAME", in order.
  std::vector<std::string> log;
  int openHandles = 0;  // manager and service handles not yet closed
};

class SimOsFacts final : public OsFacts {
 public:
  std::optional<bool> IsWow64Process() override { return wow64; }
  std::optional<std::uint16_t> NativeProcessorArchitecture() override { return nativeArchitecture; }
  std::optional<OsVersion> Version() override { return version; }
  int SystemMetric(int index) override { return index == kSmServerR2 ? serverR2 : 0; }

  // 32-bit Windows 7 by default.
  std::optional<bool> wow64 = false;
  std::optional<std::uint16_t> nativeArchitecture = kProcessorArchitectureIntel;
  std::optional<OsVersion> version = OsVersion{kVerPlatformWin32Nt, 6, 1, kVerNtWorkstation};
  int serverR2 = 0;

  // The program runs as a 32-bit process on 64-bit Windows 7.
  void Set64Bit();
  // ... on Windows XP Professional x64 Edition.
  void SetXp64();
};

}  // namespace zr::sim
