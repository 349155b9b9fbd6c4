// Feature answers of the mouse as any bytes: a collection whose feature
// report length, exchange results and answer contents all come from the
// input, asked by every routine of the vendor protocol.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "device/hid_data.h"
#include "device/vendor_protocol.h"
#include "platform/sim/sim_world.h"

namespace {

struct Bytes {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t Next() { return at < size ? data[at++] : 0; }
};

class AnswerCollection final : public zr::HidCollection {
 public:
  explicit AnswerCollection(Bytes& in) : in_(in) {}
  std::uint32_t HandleValue() const override { return 1; }
  bool GetAttributes() override { return true; }
  std::optional<zr::HidCaps> GetCaps() override {
    const std::uint16_t length = static_cast<std::uint16_t>(in_.Next() << 8 | in_.Next());
    return zr::HidCaps{0x0001, 0xFFA0, 8, 0, length};
  }
  std::uint32_t GetFeature(std::span<std::uint8_t> report) override {
    if (in_.Next() & 1) return 31;
    for (std::size_t i = 1; i < report.size(); ++i) report[i] = in_.Next();
    return 0;
  }
  std::uint32_t SetFeature(std::span<const std::uint8_t>) override { return (in_.Next() & 1) ? 31 : 0; }
  std::uint32_t Write(std::span<const std::uint8_t>) override { return 0; }
  std::uint32_t MaxInputUsageListLength() override { return 0; }
  std::optional<std::vector<zr::USAGE_AND_PAGE>> GetInputUsages(std::span<const std::uint8_t>, std::size_t) override {
    return std::nullopt;
  }
  std::uint32_t StartRead(std::size_t) override { return 6; }
  zr::HidReadWait WaitForReadOrStop(zr::KernelEvent&) override { return zr::HidReadWait::Failed; }
  std::uint32_t FinishRead(std::span<std::uint8_t>, std::uint32_t&) override { return 6; }

 private:
  Bytes& in_;
};

class AnswerHid final : public zr::HidPort {
 public:
  explicit AnswerHid(Bytes& in) : in_(in) {}
  std::optional<zr::Guid> HidGuid() override { return zr::kHidInterfaceGuid; }
  std::optional<std::vector<zr::HidInterface>> PresentInterfaces(const zr::Guid&) override {
    // One or two collections of the vendor usage.
    std::vector<zr::HidInterface> out(1 + (in_.Next() & 1), zr::HidInterface{"\\\\?\\hid#fuzz", {"HID\\FUZZ"}, true});
    return out;
  }
  std::unique_ptr<zr::HidCollection> Open(std::string_view, bool, std::uint32_t&) override {
    return std::make_unique<AnswerCollection>(in_);
  }
  std::optional<std::vector<std::vector<std::string>>> PresentDevicesOfSetupClass(const zr::Guid&) override {
    return std::nullopt;
  }

 private:
  Bytes& in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zr::sim::SimWorld world;
  static zr::sim::SimProcess process(world);
  Bytes in{data, size};
  AnswerHid hid(in);
  const zr::Platform& base = process.platform();
  zr::Platform platform = zr::WithOverrides(base, {.hid = &hid});
  zr::TqvHIDData component(platform);
  const zr::USAGE_AND_PAGE usage = zr::kVendorCollection;

  std::uint32_t stage = 0;
  (void)zr::ReadCurrentCpiStage(component, usage, stage);
  const std::uint16_t length = static_cast<std::uint16_t>((in.Next() << 8 | in.Next()) % 2100);
  std::vector<std::uint8_t> buffer(length);
  (void)zr::ReadDeviceMemory(component, usage, buffer, length, static_cast<std::uint16_t>(in.Next() << 8));
  auto block = std::make_unique<zr::TCommandBlock>();
  for (auto& h : block->Header) h = in.Next();
  (void)zr::QueryFeatureCommand(component, usage, *block);
  for (auto& h : block->Header) h = in.Next();
  (void)zr::SendFeatureCommand(component, usage, *block);
  return 0;
}
