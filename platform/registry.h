// The registry: keys below the two roots the program uses, values with their
// type and size, binary reads and writes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace zr {

using RegistryRoot = std::uint32_t;
inline constexpr RegistryRoot kHkeyCurrentUser = 0x80000001u;
inline constexpr RegistryRoot kHkeyLocalMachine = 0x80000002u;

enum RegistryType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
};

struct RegistryValueInfo {
  std::uint32_t type = kRegNone;
  std::uint32_t size = 0;
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  virtual std::optional<RegistryValueInfo> QueryValue(std::string_view name) = 0;
  // Reads the value's data whole into `out`.
  virtual IoResult ReadValue(std::string_view name, std::vector<std::uint8_t>& out) = 0;
  // Writes a REG_BINARY value, replacing any earlier value of that name.
  virtual IoResult WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens `path` below `root` with full access, creating it when missing;
  // null when it can be neither opened nor created.
  virtual std::unique_ptr<RegistryKey> OpenOrCreateKey(RegistryRoot root, std::string_view path) = 0;
  // Opens an existing key for reading only (its values cannot be written
  // through it); null when it does not exist or may not be read.
  virtual std::unique_ptr<RegistryKey> OpenKeyForReading(RegistryRoot root, std::string_view path) = 0;
  // Whether `path` exists below `root`; nothing is created.
  virtual bool KeyExists(RegistryRoot root, std::string_view path) const = 0;
};

}  // namespace zr
