// Everything the core asks of the operating system or of components outside
// the program goes through these ports.
#pragma once

#include "platform/control_device.h"
#include "platform/device_notify.h"
#include "platform/device_setup.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/hook_library.h"
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
  HookLibraryPort& hookLibrary;
  OsFacts& os;
  DeviceSetup& deviceSetup;
  ServiceControl& services;
};

}  // namespace zr
