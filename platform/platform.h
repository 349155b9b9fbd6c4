// Everything the core asks of the operating system or of components outside
// the program goes through these ports.
#pragma once

#include "platform/audio.h"
#include "platform/bitmaps.h"
#include "platform/control_device.h"
#include "platform/device_notify.h"
#include "platform/device_setup.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/hook_library.h"
#include "platform/input.h"
#include "platform/kernel.h"
#include "platform/locale.h"
#include "platform/os_facts.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/windowing.h"

namespace zr {

struct Platform {
  System& system;
  FileSystem& files;
  Registry& registry;
  Windowing& windowing;
  Kernel& kernel;
  HidPort& hid;
  DeviceNotifications& deviceNotifications;
  ControlDevices& controlDevices;
  ShellPort& shell;
  TrayPort& tray;
  LocalePort& locale;
  InputPort& input;
  AudioPort& audio;
  HookLibraryPort& hookLibrary;
  OsFacts& os;
  DeviceSetup& deviceSetup;
  ServiceControl& services;
  BitmapPort& bitmaps;
};

// Ports that replace those of another platform (benchmarks and fuzz targets
// put stand-ins of their own in); the others stay.
struct PlatformOverrides {
  System* system = nullptr;
  Windowing* windowing = nullptr;
  Kernel* kernel = nullptr;
  HidPort* hid = nullptr;
};

inline Platform WithOverrides(const Platform& base, const PlatformOverrides& o) {
  return Platform{o.system != nullptr ? *o.system : base.system,
                  base.files,
                  base.registry,
                  o.windowing != nullptr ? *o.windowing : base.windowing,
                  o.kernel != nullptr ? *o.kernel : base.kernel,
                  o.hid != nullptr ? *o.hid : base.hid,
                  base.deviceNotifications,
                  base.controlDevices,
                  base.shell,
                  base.tray,
                  base.locale,
                  base.input,
                  base.audio,
                  base.hookLibrary,
                  base.os,
                  base.deviceSetup,
                  base.services,
                  base.bitmaps};
}

}  // namespace zr
