// Types shared by the HID access layer and its users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/hid.h"  // USAGE_AND_PAGE

namespace zr {

#pragma pack(push, 1)
// One report: ReportID and DATAReally together are the raw report buffer
// handed to the platform (report ID first).
struct THidReallyData {
  std::uint8_t ReportID;
  std::uint8_t DATAReally[65535];
  // The length the operation moves; whether it counts the report ID byte
  // depends on the operation.
  std::uint32_t DATASIZE;

  std::uint8_t* Raw() { return &ReportID; }
  const std::uint8_t* Raw() const { return &ReportID; }
  static constexpr std::size_t kRawCapacity = 1 + sizeof DATAReally;
};
#pragma pack(pop)
static_assert(sizeof(THidReallyData) == 65540);
static_assert(offsetof(THidReallyData, DATAReally) == 1);
static_assert(offsetof(THidReallyData, DATASIZE) == 65536);

// Request and result of every HID operation except reading. About 64 KiB:
// keep it off small stacks.
struct THIDDataParam {
  USAGE_AND_PAGE UsageAndPage{0, 0};
  // Empty or "*": the include list decides; anything else: this one
  // hardware ID.
  std::string DeviceID;
  THidReallyData Data{};
  // Set by HidFindAndSetFeatureReport to the handle of the last collection
  // written to; that handle is already closed when the call returns.
  std::uint32_t DeviceHandle = 0;
};

// The mouse's vendor collection, through which it is read and written.
inline constexpr USAGE_AND_PAGE kVendorCollection{0x0001, 0xFFA0};

}  // namespace zr
