#include "device/vendor_protocol.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "device/hid_data.h"
#include "platform/error_codes.h"

namespace zr {
namespace {

TCommandHeader HeaderOf(const TCommandBlock& block) {
  TCommandHeader h;
  std::memcpy(h.data(), block.Header, h.size());
  return h;
}

void PackInPlace(TCommandBlock& block, std::uint8_t reportId, const TCommandHeader& header) {
  const auto packed = PackFeatureHeader(reportId, header);
  std::memcpy(block.Header, packed.data(), packed.size());
}

// A report of the class `reportId` holding the block's framed bytes (packed
// header, then payload) as far as the content, the report and the block go.
std::unique_ptr<THIDDataParam> FramedReport(USAGE_AND_PAGE usage, TCommandBlock& block, std::uint8_t reportId,
                                            std::uint32_t total) {
  auto p = std::make_unique<THIDDataParam>();
  p->UsageAndPage = usage;
  p->Data.ReportID = reportId;
  p->Data.DATASIZE = GetReportSizeByID(reportId);
  const std::size_t n = std::min<std::size_t>({total, p->Data.DATASIZE, TCommandBlock::kFramedCapacity});
  std::memcpy(p->Data.Raw(), block.Framed(), n);
  return p;
}

}  // namespace

std::uint32_t PayloadLength(const TCommandHeader& header) {
  switch (header[0] & 0x7F) {
    case 0:
      return header[2];
    case 2:
    case 3:
      return header[3] + 256u * header[4];
    default:
      return 0;
  }
}

std::uint8_t GetReportIDBySize(std::uint32_t Size) {
  if (Size <= 16) return 2;
  if (Size <= 64) return 3;
  if (Size <= 1024) return 4;
  if (Size <= 2048) return 5;
  if (Size <= 4096) return 6;
  return 2;
}

std::uint32_t GetReportSizeByID(std::uint8_t ReportID) {
  switch (ReportID) {
    case 3:
      return 64;
    case 4:
      return 1024;
    case 5:
      return 2048;
    case 6:
      return 4096;
    default:
      return 16;
  }
}

std::array<std::uint8_t, 8> PackFeatureHeader(std::uint8_t ReportID, const TCommandHeader& header) {
  std::array<std::uint8_t, 8> out{};
  out[0] = ReportID;
  std::copy(header.begin(), header.begin() + 7, out.begin() + 1);
  return out;
}

TCommandHeader UnpackFeatureHeader(std::span<const std::uint8_t, 8> received) {
  TCommandHeader out{};
  std::copy(received.begin() + 1, received.end(), out.begin());
  return out;
}

std::uint32_t SendFeatureCommand(TqvHIDData& HIDData, USAGE_AND_PAGE usage, TCommandBlock& block) {
  const TCommandHeader header = HeaderOf(block);
  const std::uint32_t total = PayloadLength(header) + 8;
  const std::uint8_t id = GetReportIDBySize(total);
  PackInPlace(block, id, header);
  const auto report = FramedReport(usage, block, id, total);
  return HIDData.HidFindAndSetFeatureReport(*report);
}

std::uint32_t QueryFeatureCommand(TqvHIDData& HIDData, USAGE_AND_PAGE usage, TCommandBlock& block) {
  const TCommandHeader header = HeaderOf(block);
  // The request: the header alone, in a class-2 report.
  PackInPlace(block, 2, header);
  {
    auto request = std::make_unique<THIDDataParam>();
    request->UsageAndPage = usage;
    request->Data.DATASIZE = 16;
    std::memcpy(request->Data.Raw(), block.Header, sizeof block.Header);
    if (const std::uint32_t r = HIDData.HidFindAndSetFeatureReport(*request); r != kErrorSuccess) return r;
  }
  // The answer, in the class of the command's whole content.
  const std::uint32_t total = PayloadLength(header) + 8;
  const std::uint8_t id = GetReportIDBySize(total);
  PackInPlace(block, id, header);
  const auto answer = FramedReport(usage, block, id, total);
  if (const std::uint32_t r = HIDData.HidFindAndGetFeatureReport(*answer); r != kErrorSuccess) return r;
  // The block holds as much of the answer as fits it.
  const std::size_t n = std::min<std::size_t>(answer->Data.DATASIZE, TCommandBlock::kFramedCapacity);
  std::memcpy(block.Framed(), answer->Data.Raw(), n);
  std::array<std::uint8_t, 8> received;
  std::memcpy(received.data(), block.Header, received.size());
  const TCommandHeader unpacked = UnpackFeatureHeader(received);
  std::memcpy(block.Header, unpacked.data(), unpacked.size());
  return kErrorSuccess;
}

std::uint32_t ReadDeviceMemory(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::span<std::uint8_t> Buffer,
                               std::uint16_t Length, std::uint16_t Address) {
  if (Length > kMaxMemoryRead || Buffer.size() < Length) return kErrorInvalidParameter;
  auto block = std::make_unique<TCommandBlock>();
  block->Signature = kBlockSignature;
  const TCommandHeader header = {3,
                                 static_cast<std::uint8_t>(Address & 0xFF),
                                 static_cast<std::uint8_t>(Address >> 8),
                                 static_cast<std::uint8_t>(Length & 0xFF),
                                 static_cast<std::uint8_t>(Length >> 8),
                                 0xFA,
                                 0xFA,
                                 0xFA};
  std::memcpy(block->Header, header.data(), header.size());
  if (const std::uint32_t r = QueryFeatureCommand(HIDData, usage, *block); r != kErrorSuccess) return r;
  std::copy_n(block->Payload, Length, Buffer.begin());
  return kErrorSuccess;
}

std::uint32_t ReadDeviceByte(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::uint8_t& Buffer, std::uint16_t Address) {
  return ReadDeviceMemory(HIDData, usage, {&Buffer, 1}, 1, Address);
}

std::uint32_t ReadDeviceBlock32(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::span<std::uint8_t, 32> Buffer,
                                std::uint16_t Address) {
  return ReadDeviceMemory(HIDData, usage, Buffer, 32, Address);
}

void SendShortCommand(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::uint8_t Param1, std::uint8_t Param2) {
  auto block = std::make_unique<TCommandBlock>();
  block->Signature = kBlockSignature;
  block->Header[0] = 6;
  block->Header[1] = Param1;
  block->Header[2] = Param2;
  (void)SendFeatureCommand(HIDData, usage, *block);
}

std::uint32_t ReadCurrentCpiStage(TqvHIDData& HIDData, USAGE_AND_PAGE usage, std::uint32_t& Stage) {
  std::array<std::uint8_t, 36> work{};
  if (const std::uint32_t r = ReadDeviceByte(HIDData, usage, work[0], kCpiRecordSelectorAddress); r != kErrorSuccess) {
    return r;
  }
  const std::uint16_t record = work[0] == 0 ? kCpiRecordAddress0 : kCpiRecordAddress1;
  if (const std::uint32_t r = ReadDeviceBlock32(HIDData, usage, std::span<std::uint8_t, 32>(work.data() + 1, 32), record);
      r != kErrorSuccess) {
    return r;
  }
  Stage = work[2];
  return kErrorSuccess;
}

}  // namespace zr
