// The registry: keys opened or created with their values.
#pragma once

#include "platform/win32/windows_h.h"

#include <memory>
#include <string_view>

#include "platform/registry.h"

namespace zr::win32 {

class Win32Registry final : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenOrCreateKey(RegistryRoot root, std::string_view path) override;
  std::unique_ptr<RegistryKey> OpenKeyForReading(RegistryRoot root, std::string_view path) override;
  bool KeyExists(RegistryRoot root, std::string_view path) const override;
};

}  // namespace zr::win32
