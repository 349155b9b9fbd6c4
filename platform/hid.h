// HID class support and the device installer, as the HID access layer uses
// them: the present HID interfaces of a class with their device paths and
// hardware IDs, collections opened for synchronous or overlapped I/O, their
// capabilities, feature reports, output reports, input usages, and the
// present devices of a setup class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/guid.h"
#include "platform/kernel.h"

namespace zr {

#pragma pack(push, 1)
// The platform's structure of that name: Usage, then UsagePage.
struct USAGE_AND_PAGE {
  std::uint16_t Usage;
  std::uint16_t UsagePage;

  // Passed by value as one 32-bit value with Usage in the low half.
  std::uint32_t AsUInt32() const { return Usage | (std::uint32_t(UsagePage) << 16); }
  static USAGE_AND_PAGE FromUInt32(std::uint32_t v) {
    return {static_cast<std::uint16_t>(v & 0xFFFF), static_cast<std::uint16_t>(v >> 16)};
  }
  friend bool operator==(const USAGE_AND_PAGE&, const USAGE_AND_PAGE&) = default;
};
#pragma pack(pop)
static_assert(sizeof(USAGE_AND_PAGE) == 4);
static_assert(offsetof(USAGE_AND_PAGE, UsagePage) == 2);

struct HidInterface {
  std::string devicePath;                // the collection's device-interface path
  std::vector<std::string> hardwareIds;  // of the device the interface belongs to, as reported
  // The size query of the interface detail answered as expected (a size and
  // ERROR_INSUFFICIENT_BUFFER); interfaces where it did not are skipped.
  bool detailSizeKnown = true;
};

// The capabilities read from a collection's preparsed data. Report lengths
// count the report ID byte.
struct HidCaps {
  std::uint16_t Usage = 0;
  std::uint16_t UsagePage = 0;
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
  std::uint16_t FeatureReportByteLength = 0;
};

enum class HidReadWait { Completed, Stopped, NotYet, Failed };

// An open handle to one collection; closed when the object goes.
class HidCollection {
 public:
  virtual ~HidCollection() = default;
  // The handle's value, for callers that report which handle was used.
  virtual std::uint32_t HandleValue() const = 0;
  virtual bool GetAttributes() = 0;
  // Preparsed data (kept with the handle) and capabilities; none when either
  // cannot be read.
  virtual std::optional<HidCaps> GetCaps() = 0;
  // `report` starts with the report ID and is filled whole. 0 or the error.
  virtual std::uint32_t GetFeature(std::span<std::uint8_t> report) = 0;
  virtual std::uint32_t SetFeature(std::span<const std::uint8_t> report) = 0;
  virtual std::uint32_t Write(std::span<const std::uint8_t> report) = 0;

  // Input usages, for the button changes of a report: the most usages an
  // input report can hold over all usage pages (0 when unknown) ...
  virtual std::uint32_t MaxInputUsageListLength() = 0;
  // ... and those set in `report` (at most `room`); none when they cannot be read.
  virtual std::optional<std::vector<USAGE_AND_PAGE>> GetInputUsages(std::span<const std::uint8_t> report,
                                                                    std::size_t room) = 0;

  // Overlapped reading, for a collection opened for it. One read at a time:
  // StartRead gives 0 when the read was started, else the error.
  virtual std::uint32_t StartRead(std::size_t length) = 0;
  // Waits (alertable, without a time limit) until the read has completed or
  // `stop` is set. Without a read pending only `stop` ends the wait.
  virtual HidReadWait WaitForReadOrStop(KernelEvent& stop) = 0;
  // The completed read's result, fetched without waiting: 0 and the bytes
  // copied into `buffer` (at most its size), or the error.
  virtual std::uint32_t FinishRead(std::span<std::uint8_t> buffer, std::uint32_t& bytesRead) = 0;
};

class HidPort {
 public:
  virtual ~HidPort() = default;
  // The HID device-interface class; none when the HID library is unavailable.
  virtual std::optional<Guid> HidGuid() = 0;
  // The present interfaces of the class, in enumeration order; none when the
  // set cannot be opened.
  virtual std::optional<std::vector<HidInterface>> PresentInterfaces(const Guid& interfaceClass) = 0;
  // Opens a collection with read and write access, shared for reading and
  // writing; null and `error` set when it cannot be opened.
  virtual std::unique_ptr<HidCollection> Open(std::string_view devicePath, bool overlapped, std::uint32_t& error) = 0;
  // The hardware IDs of each present device of a setup class; none when the
  // set cannot be opened.
  virtual std::optional<std::vector<std::vector<std::string>>> PresentDevicesOfSetupClass(const Guid& setupClass) = 0;
};

}  // namespace zr
