// The simulated registry: keys and values in memory, with the failures a
// test can arrange (denied keys, failing writes, unreadable values).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zr::sim {

class SimRegistry final : public Registry {
 public:
  struct Value {
    std::string name;
    std::uint32_t type = kRegBinary;
    std::vector<std::uint8_t> data;
    bool unreadable = false;  // exists, but reading its data fails
    // Zero bytes after `data` that belong to the value but are not held in
    // memory until the value is read: a very large value stays cheap while
    // nothing reads it.
    std::uint32_t zerosAfter = 0;
    std::uint64_t size() const { return data.size() + std::uint64_t{zerosAfter}; }
  };

  std::unique_ptr<RegistryKey> OpenOrCreateKey(RegistryRoot root, std::string_view path) override;
  std::unique_ptr<RegistryKey> OpenKeyForReading(RegistryRoot root, std::string_view path) override;

  bool KeyExists(RegistryRoot root, std::string_view path) const override;

  // Test access.
  std::optional<Value> GetValue(RegistryRoot root, std::string_view path, std::string_view name) const;
  // The same without a copy; valid until the registry changes.
  const Value* PeekValue(RegistryRoot root, std::string_view path, std::string_view name) const;
  // `zerosAfter`: zero bytes that follow `data` (see Value).
  void SetValue(RegistryRoot root, std::string_view path, std::string_view name, std::uint32_t type,
                std::vector<std::uint8_t> data, std::uint32_t zerosAfter = 0);
  std::vector<std::string> ValueNames(RegistryRoot root, std::string_view path) const;
  // Keys below this path can be neither opened nor created.
  void DenyKey(RegistryRoot root, std::string_view path);
  // Keys below this path may be read but not written (their access list):
  // opening one with full access fails, as does every write through a key
  // opened for reading.
  void SetReadOnly(RegistryRoot root, std::string_view path, bool readOnly = true);
  // The next `count` value writes fail.
  void FailWrites(int count) { failWrites_ = count; }
  // The value exists but reading its data fails (until it is written).
  void SetUnreadable(RegistryRoot root, std::string_view path, std::string_view name, bool unreadable = true);
  int writes = 0;  // value writes that succeeded

 private:
  friend class SimRegistryKey;
  struct Key {
    std::map<std::string, Value> values;  // by lower-case name
  };
  static std::string KeyId(RegistryRoot root, std::string_view path);
  std::map<std::string, Key> keys_;  // by lower-case root\path
  std::set<std::string> denied_;
  std::set<std::string> readOnly_;
  int failWrites_ = 0;
};

}  // namespace zr::sim
