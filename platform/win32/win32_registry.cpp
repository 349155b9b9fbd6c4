#include "platform/win32/win32_registry.h"

#include <vector>

#include "platform/win32/win32_text.h"

namespace zr::win32 {

namespace {

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  std::optional<RegistryValueInfo> QueryValue(std::string_view name) override {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return RegistryValueInfo{type, size};
  }

  IoResult ReadValue(std::string_view name, std::vector<std::uint8_t>& out) override {
    const std::wstring w = Widen(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD size = 0;
      LONG rc = RegQueryValueExW(key_, w.c_str(), nullptr, nullptr, nullptr, &size);
      if (rc != ERROR_SUCCESS) return IoResult::Failure(ErrorText(static_cast<DWORD>(rc)));
      out.assign(size, 0);
      rc = RegQueryValueExW(key_, w.c_str(), nullptr, nullptr, out.data(), &size);
      if (rc == ERROR_MORE_DATA) continue;  // it grew meanwhile
      if (rc != ERROR_SUCCESS) return IoResult::Failure(ErrorText(static_cast<DWORD>(rc)));
      out.resize(size);
      return IoResult::Success();
    }
    return IoResult::Failure("value keeps changing size");
  }

  IoResult WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes) override {
    const LONG rc = RegSetValueExW(key_, Widen(name).c_str(), 0, REG_BINARY, bytes.data(),
                                   static_cast<DWORD>(bytes.size()));
    if (rc != ERROR_SUCCESS) return IoResult::Failure(ErrorText(static_cast<DWORD>(rc)));
    return IoResult::Success();
  }

 private:
  HKEY key_;
};

}  // namespace

namespace {

// The root's handle, or null for a root the program does not use.
HKEY RootHandle(RegistryRoot root) {
  if (root == kHkeyCurrentUser) return HKEY_CURRENT_USER;
  if (root == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
  return nullptr;
}

std::wstring RelativeKeyPath(std::string_view path) {
  std::wstring w = Widen(path);
  while (!w.empty() && w.front() == L'\\') w.erase(w.begin());  // relative to the root either way
  return w;
}

}  // namespace

bool Win32Registry::KeyExists(RegistryRoot root, std::string_view path) const {
  HKEY rootKey = RootHandle(root);
  if (rootKey == nullptr) return false;
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExW(rootKey, RelativeKeyPath(path).c_str(), 0, KEY_QUERY_VALUE, &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  // A key that exists but cannot be opened (access denied) still exists.
  return rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND;
}

std::unique_ptr<RegistryKey> Win32Registry::OpenOrCreateKey(RegistryRoot root, std::string_view path) {
  HKEY rootKey = RootHandle(root);
  if (rootKey == nullptr) return nullptr;
  const std::wstring w = RelativeKeyPath(path);
  HKEY key = nullptr;
  if (RegCreateKeyExW(rootKey, w.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::make_unique<Win32RegistryKey>(key);
}

std::unique_ptr<RegistryKey> Win32Registry::OpenKeyForReading(RegistryRoot root, std::string_view path) {
  HKEY rootKey = RootHandle(root);
  if (rootKey == nullptr) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExW(rootKey, RelativeKeyPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace zr::win32
