// The vendor feature-report protocol of the mouse's firmware: a command block
// framed into a feature report of one of five size classes, sent on the
// vendor collection; commands that expect an answer send the bare request
// header first and then fetch the answer. Free functions without state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/hid_types.h"

namespace zr {

class TqvHIDData;

inline constexpr std::uint16_t kBlockSignature = 0x5A3C;

#pragma pack(push, 1)
// The in-memory request: signature and a zero byte (neither transmitted),
// the header H0..H7 and the payload.
struct TCommandBlock {
  std::uint16_t Signature;
  std::uint8_t Zero;
  std::uint8_t Header[8];
  std::uint8_t Payload[2048];

  std::uint8_t* Framed() { return Header; }  // offset 3: what goes into a report
  static constexpr std::size_t kFramedCapacity = sizeof Header + sizeof Payload;
};
#pragma pack(pop)
static_assert(sizeof(TCommandBlock) == 2059);
static_assert(offsetof(TCommandBlock, Header) == 3);
static_assert(offsetof(TCommandBlock, Payload) == 11);

using TCommandHeader = std::array<std::uint8_t, 8>;

// (DeviceType << 16) | (Access << 14) | (Function << 2) | Method.
constexpr std::uint32_t MakeIoControlCode(std::uint32_t DeviceType, std::uint32_t Function, std::uint32_t Method,
                                          std::uint32_t Access) {
  return DeviceType << 16 | Access << 14 | Function << 2 | Method;
}

// Payload length of a command by H0 (bit 7 ignored): H2 for command 0,
// H3 + 256 * H4 for commands 2 and 3, none otherwise.
std::uint32_t PayloadLength(const TCommandHeader& header);
// Report ID of the size class for `Size` content bytes (n + 8).
std::uint8_t GetReportIDBySize(std::uint32_t Size);
// Report length of a report ID: 16, 64, 1024, 2048, 4096 for IDs 2 to 6,
// 16 for any other.
std::uint32_t GetReportSizeByID(std::uint8_t ReportID);
// [report ID, H0..H6]
std::array<std::uint8_t, 8> PackFeatureHeader(std::uint8_t ReportID, const TCommandHeader& header);
// [in[1]..in[7], 0]
TCommandHeader UnpackFeatureHeader(std::span<const std::uint8_t, 8> received);

// Set only. 0 or the error of the HID layer. The block keeps its packed
// header afterwards.
std::uint32_t SendFeatureCommand(TqvHIDData& HIDData, USAGE_AND_PAGE usage, TCommandBlock& block);
// Set the request, then get the answer into the block (answer header
// unpacked into the header, answer payload into the payload).
std::uint32_t QueryFeatureCommand(TqvHIDData& HIDData, USAGE_AND_PAGE usage, TCommandBlock& block);

// The largest memory read whose answer fits the block.
inline constexpr std::uint16_t kMaxMemoryRead = 2040;
// Command 3: `Length` bytes from device memory at `Address` into `Buffer`
// (which must hold them); ERROR_INVALID_PARAMETER without an exchange for a
// length beyond kMaxMemoryRead. On failure `Buffer` is untouched.
std::uint32_t ReadDeviceMemory(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::span<std::uint8_t> Buffer,
                               std::uint16_t Length, std::uint16_t Address);
std::uint32_t ReadDeviceByte(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::uint8_t& Buffer, std::uint16_t Address);
std::uint32_t ReadDeviceBlock32(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::span<std::uint8_t, 32> Buffer,
                                std::uint16_t Address);
// Command 6 with two parameters; the result is dropped.
void SendShortCommand(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::uint8_t Param1, std::uint8_t Param2);

// Device memory read for the current CPI stage.
inline constexpr std::uint16_t kCpiRecordSelectorAddress = 0x0040;
inline constexpr std::uint16_t kCpiRecordAddress0 = 0x0048;
inline constexpr std::uint16_t kCpiRecordAddress1 = 0x0948;
// The selector byte picks one of two records; the stage is byte 1 of it.
// On failure `Stage` is untouched.
std::uint32_t ReadCurrentCpiStage(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::uint32_t& Stage);

}  // namespace zr
