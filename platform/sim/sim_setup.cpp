#include "platform/sim/sim_setup.h"

#include "common/text.h"
#include "platform/error_codes.h"

namespace zr::sim {

namespace {

std::string Joined(const std::vector<std::string>& list) {
  std::string out;
  for (const auto& s : list) out += (out.empty() ? "" : ",") + s;
  return out;
}

class SimDeviceInfoList final : public DeviceInfoList {
 public:
  SimDeviceInfoList(SimDeviceSetup& setup, std::vector<std::size_t> members)
      : setup_(setup), members_(std::move(members)) {
    ++setup_.openLists;
  }
  ~SimDeviceInfoList() override { --setup_.openLists; }

  bool HasDevice(std::uint32_t index) override { return index < members_.size(); }

  std::optional<std::vector<std::string>> MultiStringProperty(std::uint32_t index, std::uint32_t property) override {
    SimSetupDevice* d = Device(index);
    if (d == nullptr) return std::nullopt;
    switch (property) {
      case kSpdrpHardwareId: return d->hardwareIds;
      case kSpdrpLowerFilters: return d->lowerFilters;
      case kSpdrpUpperFilters: return d->upperFilters;
      default: return std::nullopt;
    }
  }

  bool SetProperty(std::uint32_t index, std::uint32_t property, std::span<const std::uint8_t> value) override {
    SimSetupDevice* d = Device(index);
    if (d == nullptr || d->refuseWrites || value.size() % 2 != 0) return false;
    if (property != kSpdrpLowerFilters && property != kSpdrpUpperFilters) return false;
    std::u16string units(value.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      units[i] = static_cast<char16_t>(value[2 * i] | (value[2 * i + 1] << 8));
    }
    auto list = SplitMultiString(units);
    setup_.log.push_back("set " + std::to_string(index) + (property == kSpdrpUpperFilters ? " upper " : " lower ") +
                         Joined(list) + " (" + std::to_string(value.size()) + " bytes)");
    (property == kSpdrpUpperFilters ? d->upperFilters : d->lowerFilters) = std::move(list);
    return true;
  }

  std::optional<std::uint32_t> DevNodeStatus(std::uint32_t index) override {
    SimSetupDevice* d = Device(index);
    if (d == nullptr || !d->statusReadable) return std::nullopt;
    constexpr std::uint32_t kDnStartedAndDriverLoaded = 0x0000000A;
    return (d->problem || d->disabled) ? kDnHasProblem : kDnStartedAndDriverLoaded;
  }

  bool ChangeState(std::uint32_t index, std::uint32_t state) override {
    SimSetupDevice* d = Device(index);
    if (d == nullptr || (state != kDicsEnable && state != kDicsDisable)) return false;
    d->disabled = state == kDicsDisable;
    setup_.log.push_back(std::string(d->disabled ? "disable " : "enable ") + std::to_string(index) + " @" +
                         std::to_string(setup_.clock()));
    return true;
  }

 private:
  SimSetupDevice* Device(std::uint32_t index) {
    return index < members_.size() && members_[index] < setup_.devices.size() ? &setup_.devices[members_[index]]
                                                                              : nullptr;
  }
  SimDeviceSetup& setup_;
  std::vector<std::size_t> members_;  // indexes into the setup's devices
};

}  // namespace

std::unique_ptr<DeviceInfoList> SimDeviceSetup::PresentDevices(const Guid& setupClass) {
  if (!setOpens) return nullptr;
  std::vector<std::size_t> members;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].setupClass == setupClass) members.push_back(i);
  }
  return std::make_unique<SimDeviceInfoList>(*this, std::move(members));
}

SimSetupDevice& SimDeviceSetup::AddDevice(std::vector<std::string> hardwareIds) {
  devices.push_back({});
  devices.back().hardwareIds = std::move(hardwareIds);
  return devices.back();
}

// ---- services ------------------------------------------------------------------

namespace {

class SimServiceHandle final : public Service {
 public:
  SimServiceHandle(SimServices& scm, std::string key) : scm_(scm), key_(std::move(key)) {
    ++scm_.openHandles;
    ++scm_.services.at(key_).openHandles;
  }
  ~SimServiceHandle() override {
    --scm_.openHandles;
    const auto it = scm_.services.find(key_);
    if (it == scm_.services.end()) return;
    // A service marked for deletion goes with its last handle.
    if (--it->second.openHandles == 0 && it->second.markedForDeletion) scm_.services.erase(it);
  }
  bool ChangeConfig(const ServiceConfig& config) override {
    SimService& s = scm_.services.at(key_);
    if (scm_.failChange || s.markedForDeletion) return false;
    s.config = config;
    scm_.log.push_back("change " + s.name);
    return true;
  }
  bool Delete() override {
    SimService& s = scm_.services.at(key_);
    if (scm_.failDelete || s.markedForDeletion) return false;
    s.markedForDeletion = true;
    scm_.log.push_back("delete " + s.name);
    return true;
  }

 private:
  SimServices& scm_;
  std::string key_;
};

class SimServiceManager final : public ServiceManager {
 public:
  explicit SimServiceManager(SimServices& scm) : scm_(scm) { ++scm_.openHandles; }
  ~SimServiceManager() override { --scm_.openHandles; }
  std::unique_ptr<Service> OpenService(std::string_view name, std::uint32_t) override {
    const std::string key = ToLowerAscii(name);
    if (scm_.services.count(key) == 0) return nullptr;
    return std::make_unique<SimServiceHandle>(scm_, key);
  }
  std::unique_ptr<Service> CreateService(std::string_view name, const ServiceConfig& config, std::uint32_t,
                                         std::uint32_t& error) override {
    const std::string key = ToLowerAscii(name);
    constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
    const auto it = scm_.services.find(key);
    error = scm_.failCreate;
    if (it != scm_.services.end()) error = it->second.markedForDeletion ? kErrorServiceMarkedForDelete : kErrorServiceExists;
    if (error != 0) return nullptr;
    scm_.services[key] = SimService{std::string(name), config, false, 0};
    scm_.log.push_back("create " + std::string(name));
    return std::make_unique<SimServiceHandle>(scm_, key);
  }

 private:
  SimServices& scm_;
};

}  // namespace

std::unique_ptr<ServiceManager> SimServices::OpenManager(std::uint32_t) {
  if (!managerOpens) return nullptr;
  return std::make_unique<SimServiceManager>(*this);
}

const SimService* SimServices::Find(const std::string& name) const {
  const auto it = services.find(ToLowerAscii(name));
  return it == services.end() ? nullptr : &it->second;
}

void SimServices::AddService(const std::string& name, ServiceConfig config) {
  services[ToLowerAscii(name)] = SimService{name, std::move(config), false, 0};
}

// ---- facts -------------------------------------------------------------------------

void SimOsFacts::Set64Bit() {
  wow64 = true;
  nativeArchitecture = kProcessorArchitectureAmd64;
}

void SimOsFacts::SetXp64() {
  Set64Bit();
  version = OsVersion{kVerPlatformWin32Nt, 5, 2, kVerNtWorkstation};
  serverR2 = 0;
}

}  // namespace zr::sim
