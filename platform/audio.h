// The operating system's two ways to the microphone's mute state: the Core Audio endpoint volume (Vista and later) and the legacy
// mixer (before Vista). Both keep the platform's own calling shapes, so that
// the monitor's steps and their failures read as they happen on Windows.
#pragma once

#include <cstdint>

namespace zr {

// An interface reference held by the program (0: empty).
using ComObject = std::uintptr_t;
using HResult = std::int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kENotFound = static_cast<HResult>(0x80070490);  // no such element (no device)

// Data flow and role of the default endpoint.
inline constexpr int kERender = 0;
inline constexpr int kECapture = 1;
inline constexpr int kEMultimedia = 1;

using MixerHandle = std::uintptr_t;
using MmResult = std::uint32_t;  // 0: success
inline constexpr MmResult kMmSysErrNoError = 0;
inline constexpr MmResult kMixerErrInvalLine = 1024;
inline constexpr MmResult kMixerErrInvalControl = 1025;

// Mixer line component types and the mute control type.
inline constexpr std::uint32_t kMixerLineDstSpeakers = 4;
inline constexpr std::uint32_t kMixerLineSrcMicrophone = 0x1003;
inline constexpr std::uint32_t kMixerLineSrcWaveOut = 0x1008;
inline constexpr std::uint32_t kMixerLineSrcSynthesizer = 0x1004;
inline constexpr std::uint32_t kMixerControlTypeMute = 0x20010002;

class AudioPort {
 public:
  virtual ~AudioPort() = default;

  // ---- Core Audio -----------------------------------------------------------
  // COM for the calling thread, as a single-threaded apartment.
  virtual void InitializeComApartment() = 0;
  // The multimedia device enumerator (0 when it cannot be created).
  virtual ComObject CreateDeviceEnumerator() = 0;
  virtual HResult GetDefaultAudioEndpoint(ComObject enumerator, int dataFlow, int role, ComObject& device) = 0;
  // Activate of the endpoint-volume interface on a device.
  virtual HResult ActivateEndpointVolume(ComObject device, ComObject& endpoint) = 0;
  virtual HResult GetMute(ComObject endpoint, bool& muted) = 0;
  virtual HResult SetMute(ComObject endpoint, bool muted) = 0;
  virtual void Release(ComObject object) = 0;

  // ---- the legacy mixer --------------------------------------------------------
  virtual std::uint32_t MixerGetNumDevs() = 0;
  virtual MmResult MixerOpen(std::uint32_t device, MixerHandle& mixer) = 0;
  // The line of that component type (by component type); its ID.
  virtual MmResult MixerGetLineByComponentType(MixerHandle mixer, std::uint32_t componentType,
                                               std::uint32_t& lineId) = 0;
  // One control of that line by type; its ID.
  virtual MmResult MixerGetLineControlByType(MixerHandle mixer, std::uint32_t lineId, std::uint32_t controlType,
                                             std::uint32_t& controlId) = 0;
  // One channel, one Boolean value.
  virtual MmResult MixerGetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t& value) = 0;
  virtual MmResult MixerSetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t value) = 0;
  virtual void MixerClose(MixerHandle mixer) = 0;
};

}  // namespace zr
