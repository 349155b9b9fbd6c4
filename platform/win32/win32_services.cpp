#include "platform/win32/win32_services.h"

#include <string>

#include "platform/win32/win32_text.h"

namespace zr::win32 {

namespace {

class Win32Service final : public Service {
 public:
  explicit Win32Service(SC_HANDLE handle) : handle_(handle) {}
  ~Win32Service() override { CloseServiceHandle(handle_); }
  Win32Service(const Win32Service&) = delete;
  Win32Service& operator=(const Win32Service&) = delete;

  bool ChangeConfig(const ServiceConfig& c) override {
    const std::wstring path = Widen(c.binaryPath), display = Widen(c.displayName);
    return ChangeServiceConfigW(handle_, c.serviceType, c.startType, c.errorControl, path.c_str(), nullptr, nullptr,
                                nullptr, nullptr, nullptr, display.c_str()) != FALSE;
  }
  bool Delete() override { return DeleteService(handle_) != FALSE; }

 private:
  SC_HANDLE handle_;
};

class Win32ServiceManager final : public ServiceManager {
 public:
  explicit Win32ServiceManager(SC_HANDLE handle) : handle_(handle) {}
  ~Win32ServiceManager() override { CloseServiceHandle(handle_); }
  Win32ServiceManager(const Win32ServiceManager&) = delete;
  Win32ServiceManager& operator=(const Win32ServiceManager&) = delete;

  std::unique_ptr<Service> OpenService(std::string_view name, std::uint32_t access) override {
    SC_HANDLE s = OpenServiceW(handle_, Widen(name).c_str(), access);
    if (s == nullptr) return nullptr;
    return std::make_unique<Win32Service>(s);
  }

  std::unique_ptr<Service> CreateService(std::string_view name, const ServiceConfig& c, std::uint32_t access,
                                         std::uint32_t& error) override {
    const std::wstring n = Widen(name), path = Widen(c.binaryPath), display = Widen(c.displayName);
    SC_HANDLE s = CreateServiceW(handle_, n.c_str(), display.c_str(), access, c.serviceType, c.startType,
                                 c.errorControl, path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (s == nullptr) {
      error = GetLastError();
      return nullptr;
    }
    error = 0;
    return std::make_unique<Win32Service>(s);
  }

 private:
  SC_HANDLE handle_;
};

template <class F>
F Kernel32Function(const char* name) {
  // Through the generic function pointer type, which converts to any other.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

std::unique_ptr<ServiceManager> Win32Services::OpenManager(std::uint32_t access) {
  SC_HANDLE m = OpenSCManagerW(nullptr, nullptr, access);
  if (m == nullptr) return nullptr;
  return std::make_unique<Win32ServiceManager>(m);
}

std::optional<bool> Win32OsFacts::IsWow64Process() {
  using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64 = Kernel32Function<Fn>("IsWow64Process");
  if (isWow64 == nullptr) return std::nullopt;
  BOOL wow64 = FALSE;
  if (!isWow64(GetCurrentProcess(), &wow64)) return std::nullopt;
#ifdef _WIN64
  // A 64-bit build runs on 64-bit Windows, where the shipped 32-bit program
  // would be a WOW64 process.
  return true;
#else
  return wow64 != FALSE;
#endif
}

std::optional<std::uint16_t> Win32OsFacts::NativeProcessorArchitecture() {
  using Fn = void(WINAPI*)(LPSYSTEM_INFO);
  const auto nativeInfo = Kernel32Function<Fn>("GetNativeSystemInfo");
  if (nativeInfo == nullptr) return std::nullopt;
  SYSTEM_INFO info = {};
  nativeInfo(&info);
  return info.wProcessorArchitecture;
}

std::optional<OsVersion> Win32OsFacts::Version() {
  OSVERSIONINFOEXW v = {};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return std::nullopt;
  return OsVersion{v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion, v.wProductType};
}

}  // namespace zr::win32
