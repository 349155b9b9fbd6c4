// Device-interface change notification on a hidden window: the window is
// registered for a device-interface class and then receives WM_DEVICECHANGE.
#pragma once

#include <cstdint>
#include <string>

#include "common/guid.h"
#include "platform/windowing.h"

namespace zr {

inline constexpr std::uint32_t kWmDeviceChange = 0x0219;
inline constexpr std::uint32_t kDbtDevNodesChanged = 0x0007;
inline constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDbtDevtypDeviceInterface = 5;

#pragma pack(push, 1)
// The platform's DEV_BROADCAST_HDR, at the start of every record that lParam
// of an arrival or removal points to.
struct DevBroadcastHeader {
  std::uint32_t dbch_size;
  std::uint32_t dbch_devicetype;
  std::uint32_t dbch_reserved;
};
// The platform's DEV_BROADCAST_DEVICEINTERFACE_W without its name.
struct DevBroadcastDeviceInterface {
  DevBroadcastHeader header;
  Guid dbcc_classguid;
};
#pragma pack(pop)
static_assert(sizeof(DevBroadcastHeader) == 12);
static_assert(sizeof(DevBroadcastDeviceInterface) == 28);

class DeviceNotifications {
 public:
  virtual ~DeviceNotifications() = default;
  // Registers the window for the arrivals and removals of device interfaces
  // of the class, for the life of the process. False when refused.
  virtual bool RegisterForDeviceInterfaces(WindowHandle window, const Guid& interfaceClass) = 0;
  // The device type in the header that lParam of an arrival or removal
  // points to; 0 when lParam points to none.
  virtual std::uint32_t BroadcastDeviceType(std::intptr_t lParam) = 0;
  // The interface's path (the record's name) when lParam points to a
  // device-interface record; empty otherwise.
  virtual std::string BroadcastDevicePath(std::intptr_t lParam) = 0;
};

}  // namespace zr
