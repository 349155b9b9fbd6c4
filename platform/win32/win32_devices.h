// The real device side: kernel events and threads, HID class support and
// the device installer (hid.dll and setupapi.dll, loaded at run time and
// called through the addresses of their functions), device-interface
// notifications and driver control devices.
#pragma once

#include "platform/win32/windows_h.h"

#include <memory>
#include <mutex>

#include "platform/platform.h"

namespace zr::win32 {

class Win32Event final : public KernelEvent {
 public:
  Win32Event();
  ~Win32Event() override;
  Win32Event(const Win32Event&) = delete;
  Win32Event& operator=(const Win32Event&) = delete;
  void Set() override { SetEvent(handle_); }
  void Reset() override { ResetEvent(handle_); }
  HANDLE Native() const { return handle_; }

 private:
  HANDLE handle_;
};

class Win32Kernel final : public Kernel {
 public:
  std::shared_ptr<KernelEvent> CreateManualResetEvent() override;
  int WaitForAny(std::span<KernelEvent* const> events) override;
  std::unique_ptr<KernelThread> StartThread(std::function<ThreadRun()> body) override;
};

struct HidLibraries;

class Win32Hid final : public HidPort {
 public:
  // hid.dll is loaded at the first call that needs it (the first device
  // check), not with the platform, and kept; setupapi.dll and cfgmgr32.dll
  // only while a walk of the present devices runs.
  Win32Hid();
  ~Win32Hid() override;
  Win32Hid(const Win32Hid&) = delete;
  Win32Hid& operator=(const Win32Hid&) = delete;

  std::optional<Guid> HidGuid() override;
  std::optional<std::vector<HidInterface>> PresentInterfaces(const Guid& interfaceClass) override;
  std::unique_ptr<HidCollection> Open(std::string_view devicePath, bool overlapped, std::uint32_t& error) override;
  std::optional<std::vector<std::vector<std::string>>> PresentDevicesOfSetupClass(const Guid& setupClass) override;

 private:
  // From any thread.
  const std::shared_ptr<const HidLibraries>& Libraries();
  std::once_flag loaded_;
  std::shared_ptr<const HidLibraries> libs_;
};

// The device installer and the configuration manager (setupapi.dll and
// cfgmgr32.dll, loaded while a device list lives).
class Win32DeviceSetup final : public DeviceSetup {
 public:
  std::unique_ptr<DeviceInfoList> PresentDevices(const Guid& setupClass) override;
};

class Win32Notifications final : public DeviceNotifications {
 public:
  bool RegisterForDeviceInterfaces(WindowHandle window, const Guid& interfaceClass) override;
  std::uint32_t BroadcastDeviceType(std::intptr_t lParam) override;
  std::string BroadcastDevicePath(std::intptr_t lParam) override;
};

class Win32ControlDevices final : public ControlDevices {
 public:
  std::shared_ptr<ControlDevice> Open(std::string_view path, bool overlapped, std::uint32_t& error) override;
};

// The four device-side ports together.
struct Win32Devices {
  Win32Kernel kernel;
  Win32Hid hid;
  Win32Notifications notifications;
  Win32ControlDevices controlDevices;
};

}  // namespace zr::win32
