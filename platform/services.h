// The service control manager: kernel-driver services created, reconfigured
// and deleted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zr {

inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
inline constexpr std::uint32_t kServiceKernelDriver = 1;
inline constexpr std::uint32_t kServiceDemandStart = 3;
inline constexpr std::uint32_t kServiceErrorNormal = 1;
inline constexpr std::uint32_t kErrorServiceExists = 1073;

struct ServiceConfig {
  std::uint32_t serviceType = kServiceKernelDriver;
  std::uint32_t startType = kServiceDemandStart;
  std::uint32_t errorControl = kServiceErrorNormal;
  std::string binaryPath;
  std::string displayName;
};

// An open service; its handle is closed with the object.
class Service {
 public:
  virtual ~Service() = default;
  virtual bool ChangeConfig(const ServiceConfig& config) = 0;
  // Marks the service for deletion; it goes when its last handle is closed.
  virtual bool Delete() = 0;
};

// An open connection to the manager; closed with the object.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  virtual std::unique_ptr<Service> OpenService(std::string_view name, std::uint32_t access) = 0;
  // Without group, tag, dependencies, account or password. Null with `error`
  // set (kErrorServiceExists among others) when it is not created.
  virtual std::unique_ptr<Service> CreateService(std::string_view name, const ServiceConfig& config,
                                                 std::uint32_t access, std::uint32_t& error) = 0;
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // Null when the manager cannot be opened with that access.
  virtual std::unique_ptr<ServiceManager> OpenManager(std::uint32_t access) = 0;
};

}  // namespace zr
