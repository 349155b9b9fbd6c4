// The service control manager and the system's facts about itself.
#pragma once

#include "platform/win32/windows_h.h"

#include "platform/os_facts.h"
#include "platform/services.h"

namespace zr::win32 {

class Win32Services final : public ServiceControl {
 public:
  std::unique_ptr<ServiceManager> OpenManager(std::uint32_t access) override;
};

// IsWow64Process and GetNativeSystemInfo are looked up in kernel32.dll: older
// systems lack them.
class Win32OsFacts final : public OsFacts {
 public:
  std::optional<bool> IsWow64Process() override;
  std::optional<std::uint16_t> NativeProcessorArchitecture() override;
  std::optional<OsVersion> Version() override;
  int SystemMetric(int index) override { return GetSystemMetrics(index); }
};

}  // namespace zr::win32
