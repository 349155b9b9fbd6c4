// Input reports of the mouse as any bytes: a run of reports on its vendor
// and mouse collections (each of the collection's length, as a HID device's
// reads return them), read by the HID component's readers and handed to
// handlers that look at every byte they are given.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/hid_data.h"
#include "platform/sim/sim_world.h"

namespace {

struct Rig {
  zr::sim::SimWorld world;
  zr::sim::SimProcess process{world};
  std::unique_ptr<zr::TqvHIDData> hid;
  unsigned sum = 0;

  Rig() {
    world.devices.keepLog = false;
    hid = std::make_unique<zr::TqvHIDData>(process.platform());
    hid->OnData = [this](const std::string&, const std::string&, std::uint8_t id, const std::uint8_t* data,
                         std::uint16_t size) {
      sum += id;
      for (std::uint16_t i = 0; i < size; ++i) sum += data[i];
    };
    hid->OnParsedData = [this](const std::string&, const std::string&, std::uint8_t, std::uint32_t buttons) {
      sum += buttons;
    };
  }
  // Plugged, with one reader on each collection.
  void Ready() {
    hid->HidStopRead();
    world.devices.Plug();
    hid->HidFindAndReadDevice(zr::kVendorCollection, "*");
    hid->HidFindAndReadDevice({0x0002, 0x0001}, "*");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A world of its own for every input: nothing carries over, and anything
  // left allocated afterwards is a leak.
  Rig rig;
  rig.Ready();
  // Each report: a control byte (bit 7: the mouse collection; bits 0-6:
  // the length, 127 instead: the mouse goes and comes back), then its bytes.
  std::size_t i = 0;
  for (int reports = 0; i < size && reports < 32; ++reports) {
    const std::uint8_t control = data[i++];
    if ((control & 0x7F) == 0x7F) {
      rig.world.devices.Unplug();
      rig.Ready();
      continue;
    }
    const std::size_t length = std::min<std::size_t>(control & 0x7F, size - i);
    // A HID device's reads always return the collection's report length:
    // the bytes given, zero-filled or cut to it.
    std::vector<std::uint8_t> report(data + i, data + i + length);
    report.resize(8, 0);
    rig.world.devices.InputOn((control & 0x80) ? zr::sim::kSimMouseInterface : zr::sim::kSimVendorInterface, report);
    i += length;
  }
  return 0;
}
