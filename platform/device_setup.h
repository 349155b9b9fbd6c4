// The device installer and the configuration manager, as driver installation
// uses them: the present devices of a setup class, their multi-string
// registry properties (read and written), their device-node status, and a
// restart through a property-change request.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/guid.h"

namespace zr {

// Device registry properties.
inline constexpr std::uint32_t kSpdrpHardwareId = 1;
inline constexpr std::uint32_t kSpdrpUpperFilters = 17;
inline constexpr std::uint32_t kSpdrpLowerFilters = 18;

// Device-node status bits.
inline constexpr std::uint32_t kDnHasProblem = 0x400;

// States of a property-change request.
inline constexpr std::uint32_t kDicsEnable = 1;
inline constexpr std::uint32_t kDicsDisable = 2;

// An open list of devices; destroyed with the object. Devices are addressed
// by their enumeration index.
class DeviceInfoList {
 public:
  virtual ~DeviceInfoList() = default;
  // The device at `index` exists (the enumeration goes on).
  virtual bool HasDevice(std::uint32_t index) = 0;
  // A multi-string property, its strings in order up to the empty one that
  // ends the list; none when the device does not have it or it cannot be read.
  virtual std::optional<std::vector<std::string>> MultiStringProperty(std::uint32_t index, std::uint32_t property) = 0;
  // Writes the property's value as these bytes (UTF-16 strings, each ended
  // by a zero, the list by an empty one).
  virtual bool SetProperty(std::uint32_t index, std::uint32_t property, std::span<const std::uint8_t> value) = 0;
  // The status bits of the device's node; none when it cannot be read.
  virtual std::optional<std::uint32_t> DevNodeStatus(std::uint32_t index) = 0;
  // A property-change request of global scope with this state (kDicsEnable,
  // kDicsDisable), handed to the class installer.
  virtual bool ChangeState(std::uint32_t index, std::uint32_t state) = 0;
};

class DeviceSetup {
 public:
  virtual ~DeviceSetup() = default;
  // The present devices of a setup class; null when the set cannot be opened.
  virtual std::unique_ptr<DeviceInfoList> PresentDevices(const Guid& setupClass) = 0;
};

}  // namespace zr
