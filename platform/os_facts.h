// What the operating system says about itself: the facts behind "64-bit
// Windows" and "Windows XP x64".
#pragma once

#include <cstdint>
#include <optional>

namespace zr {

inline constexpr std::uint16_t kProcessorArchitectureIntel = 0;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
inline constexpr std::uint32_t kVerPlatformWin32Nt = 2;
inline constexpr std::uint8_t kVerNtWorkstation = 1;
inline constexpr int kSmServerR2 = 89;

struct OsVersion {
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint8_t productType = 0;
};

class OsFacts {
 public:
  virtual ~OsFacts() = default;
  // The program's own process runs on 64-bit Windows as a WOW64 process
  // does (a 64-bit build of the program counts as such); none when the
  // platform cannot tell (IsWow64Process missing or failing).
  virtual std::optional<bool> IsWow64Process() = 0;
  // The native processor architecture; none when GetNativeSystemInfo is missing.
  virtual std::optional<std::uint16_t> NativeProcessorArchitecture() = 0;
  // The extended version information; none when it cannot be read.
  virtual std::optional<OsVersion> Version() = 0;
  virtual int SystemMetric(int index) = 0;
};

}  // namespace zr
