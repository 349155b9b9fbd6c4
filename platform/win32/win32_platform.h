// The real platform: one Win32 adapter of every port (the other win32_*.h),
// composed as the program uses them on Windows.
#pragma once

#include "platform/win32/windows_h.h"

#include <memory>

#include "platform/platform.h"
#include "platform/win32/win32_bitmaps.h"
#include "platform/win32/win32_devices.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_hook_library.h"
#include "platform/win32/win32_input_audio.h"
#include "platform/win32/win32_locale.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_windowing.h"

namespace zr::win32 {

// The device-side ports of a platform.
struct DevicePorts {
  Kernel& kernel;
  HidPort& hid;
  DeviceNotifications& notifications;
  ControlDevices& controlDevices;
};

class Win32Platform {
 public:
  // Everything real.
  Win32Platform() : Win32Platform(nullptr) {}
  // Real windows, files, registry, shell and tray with other device ports
  // (the simulated mouse and driver).
  explicit Win32Platform(const DevicePorts& devices) : Win32Platform(&devices) {}
  Platform& platform() { return platform_; }
  Win32Windowing& windowing() { return windowing_; }
  Win32Files& files() { return files_; }

 private:
  explicit Win32Platform(const DevicePorts* devices)
      : realDevices_(devices == nullptr ? std::make_unique<Win32Devices>() : nullptr),
        platform_{system_,
                  files_,
                  registry_,
                  windowing_,
                  devices ? devices->kernel : realDevices_->kernel,
                  devices ? devices->hid : realDevices_->hid,
                  devices ? devices->notifications : realDevices_->notifications,
                  devices ? devices->controlDevices : realDevices_->controlDevices,
                  shell_,
                  tray_,
                  locale_,
                  input_,
                  audio_,
                  hookLibrary_,
                  os_,
                  deviceSetup_,
                  services_,
                  bitmaps_} {}

  Win32System system_;
  Win32Files files_;
  Win32Registry registry_;
  Win32Windowing windowing_;
  Win32Shell shell_;
  Win32Tray tray_;
  Win32Locale locale_;
  Win32Input input_;
  Win32Audio audio_;
  Win32HookLibraryPort hookLibrary_;
  Win32OsFacts os_;
  Win32DeviceSetup deviceSetup_;
  Win32Services services_;
  Win32Bitmaps bitmaps_;
  std::unique_ptr<Win32Devices> realDevices_;
  Platform platform_;
};

}  // namespace zr::win32
