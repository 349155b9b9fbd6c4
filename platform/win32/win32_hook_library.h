// The hook library on the real platform: qvHook.dll loaded by its bare name.
#pragma once

#include "platform/hook_library.h"

namespace zr::win32 {

class Win32HookLibraryPort final : public HookLibraryPort {
 public:
  std::unique_ptr<HookLibrary> Load(std::string_view fileName, HookLibraryLoad& result) override;
};

}  // namespace zr::win32
