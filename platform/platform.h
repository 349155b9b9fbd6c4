// Everything the core asks of the operating system or of components outside
// the program goes through these ports.
#pragma once

#include "platform/files.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/windowing.h"

namespace zr {

struct Platform {
  System& system;
  FileSystem& files;
  Registry& registry;
  Windowing& windowing;
  ShellPort& shell;
  TrayPort& tray;
  LocalePort& locale;
};

}  // namespace zr
