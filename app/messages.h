// Window message numbers: the platform's own that the monitor form handles,
// and the messages of this system (those shared with other programs are in
// contract/monitor_contract.h).
#pragma once

#include <cstdint>

#include "contract/monitor_contract.h"  // the messages between the monitor and its peers
#include "platform/device_notify.h"       // kWmDeviceChange

namespace zr {

// (Named apart from the platform header's macros, which would clash.)
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQueryEndSession = 0x0011;
inline constexpr std::uint32_t kWmEndSession = 0x0016;
inline constexpr std::uint32_t kWmPowerBroadcast = 0x0218;
inline constexpr std::uintptr_t kPbtApmSuspend = 0x0004;
inline constexpr std::uintptr_t kPbtApmResumeSuspend = 0x0007;     // resumed by the user
inline constexpr std::uintptr_t kPbtApmResumeAutomatic = 0x0012;   // resumed, by the user or not

// Between the monitor and its own components.
inline constexpr std::uint32_t WM_DEVICE_KEY = 7524;       // the monitor to itself: a device key
inline constexpr std::uint32_t WM_HOOKED_BUTTON = 7624;    // the monitor to itself: a hooked wheel event

}  // namespace zr
