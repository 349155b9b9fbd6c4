// Simulated audio: a capture endpoint, a speaker and a mixer whose mute
// states a test reads and sets, and a version a test chooses.
#pragma once

#include <cstdint>
#include <map>

#include "platform/audio.h"

namespace zr::sim {

class SimAudio final : public AudioPort {
 public:
  // Core Audio: a default capture endpoint while `microphonePresent`, and a
  // default render endpoint (the speaker), whose mute nothing should touch.
  bool microphonePresent = true;
  bool microphoneMuted = false;
  bool speakerMuted = false;
  int comInitializations = 0;
  int endpointsObtained = 0;  // successful activations

  // The legacy mixer: device 0 with a microphone line (while
  // `mixerHasMicrophoneLine`) whose mute control is there while
  // `mixerHasMuteControl`; reading and writing it fail while
  // `mixerDetailsFail`.
  std::uint32_t mixerDevices = 1;
  bool mixerHasMicrophoneLine = true;
  bool mixerHasMuteControl = true;
  bool mixerDetailsFail = false;
  bool mixerMicrophoneMuted = false;
  int mixersOpen = 0;

  // Interface references that are still held (each Release must match), and
  // releases of references that were not held.
  std::size_t LiveObjects() const { return objects_.size(); }
  int badReleases = 0;

  void InitializeComApartment() override { ++comInitializations; }
  ComObject CreateDeviceEnumerator() override;
  HResult GetDefaultAudioEndpoint(ComObject enumerator, int dataFlow, int role, ComObject& device) override;
  HResult ActivateEndpointVolume(ComObject device, ComObject& endpoint) override;
  HResult GetMute(ComObject endpoint, bool& muted) override;
  HResult SetMute(ComObject endpoint, bool muted) override;
  void Release(ComObject object) override;

  std::uint32_t MixerGetNumDevs() override { return mixerDevices; }
  MmResult MixerOpen(std::uint32_t device, MixerHandle& mixer) override;
  MmResult MixerGetLineByComponentType(MixerHandle mixer, std::uint32_t componentType,
                                       std::uint32_t& lineId) override;
  MmResult MixerGetLineControlByType(MixerHandle mixer, std::uint32_t lineId, std::uint32_t controlType,
                                     std::uint32_t& controlId) override;
  MmResult MixerGetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t& value) override;
  MmResult MixerSetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t value) override;
  void MixerClose(MixerHandle mixer) override;

 private:
  enum class Kind { Enumerator, Microphone, Speaker, MicrophoneVolume, SpeakerVolume };
  ComObject Make(Kind kind);
  bool Is(ComObject object, Kind kind) const;
  std::map<ComObject, Kind> objects_;
  ComObject next_ = 0x1000;
  static constexpr std::uint32_t kMicrophoneLine = 0x10003;
  static constexpr std::uint32_t kMicrophoneMute = 7;
};

}  // namespace zr::sim
