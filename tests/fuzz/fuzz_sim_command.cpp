// Commands of the simulation's control tool as any text, and memory seeds as
// any text: taken or refused with a reason, never more.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sim/sim_devices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zr::sim::SimKernel kernel;
  static zr::sim::SimDevices devices(kernel);
  devices.keepLog = false;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t split = text.find('\n');
  std::string error;
  if (!devices.Command(text.substr(0, split), error) && error.empty()) __builtin_trap();
  error.clear();
  if (split != std::string_view::npos && !devices.SeedMemory(text.substr(split + 1), error) && error.empty()) {
    __builtin_trap();
  }
  return 0;
}
