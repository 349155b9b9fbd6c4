#include "platform/sim/sim_audio.h"

namespace zr::sim {

ComObject SimAudio::Make(Kind kind) {
  const ComObject object = next_++;
  objects_[object] = kind;
  return object;
}

bool SimAudio::Is(ComObject object, Kind kind) const {
  const auto it = objects_.find(object);
  return it != objects_.end() && it->second == kind;
}

ComObject SimAudio::CreateDeviceEnumerator() { return Make(Kind::Enumerator); }

HResult SimAudio::GetDefaultAudioEndpoint(ComObject enumerator, int dataFlow, int role, ComObject& device) {
  device = 0;
  if (!Is(enumerator, Kind::Enumerator) || role != kEMultimedia) return kENotFound;
  if (dataFlow == kERender) {
    device = Make(Kind::Speaker);
    return kSOk;
  }
  if (dataFlow != kECapture || !microphonePresent) return kENotFound;
  device = Make(Kind::Microphone);
  return kSOk;
}

HResult SimAudio::ActivateEndpointVolume(ComObject device, ComObject& endpoint) {
  endpoint = 0;
  if (Is(device, Kind::Speaker)) {
    endpoint = Make(Kind::SpeakerVolume);
    return kSOk;
  }
  if (!Is(device, Kind::Microphone)) return kENotFound;
  endpoint = Make(Kind::MicrophoneVolume);
  ++endpointsObtained;
  return kSOk;
}

HResult SimAudio::GetMute(ComObject endpoint, bool& muted) {
  if (Is(endpoint, Kind::MicrophoneVolume)) {
    muted = microphoneMuted;
  } else if (Is(endpoint, Kind::SpeakerVolume)) {
    muted = speakerMuted;
  } else {
    return kENotFound;
  }
  return kSOk;
}

HResult SimAudio::SetMute(ComObject endpoint, bool muted) {
  if (Is(endpoint, Kind::MicrophoneVolume)) {
    microphoneMuted = muted;
  } else if (Is(endpoint, Kind::SpeakerVolume)) {
    speakerMuted = muted;
  } else {
    return kENotFound;
  }
  return kSOk;
}

void SimAudio::Release(ComObject object) {
  if (object == 0) return;  // an empty reference is not released
  if (objects_.erase(object) == 0) ++badReleases;
}

MmResult SimAudio::MixerOpen(std::uint32_t device, MixerHandle& mixer) {
  mixer = 0;
  if (device >= mixerDevices) return 2;  // MMSYSERR_BADDEVICEID
  ++mixersOpen;
  mixer = 0x2000 + device;
  return kMmSysErrNoError;
}

MmResult SimAudio::MixerGetLineByComponentType(MixerHandle mixer, std::uint32_t componentType,
                                               std::uint32_t& lineId) {
  if (mixer == 0) return 5;  // MMSYSERR_INVALHANDLE
  if (componentType != kMixerLineSrcMicrophone || !mixerHasMicrophoneLine) return kMixerErrInvalLine;
  lineId = kMicrophoneLine;
  return kMmSysErrNoError;
}

MmResult SimAudio::MixerGetLineControlByType(MixerHandle mixer, std::uint32_t lineId, std::uint32_t controlType,
                                             std::uint32_t& controlId) {
  if (mixer == 0) return 5;
  if (lineId != kMicrophoneLine || controlType != kMixerControlTypeMute || !mixerHasMuteControl) {
    return kMixerErrInvalControl;
  }
  controlId = kMicrophoneMute;
  return kMmSysErrNoError;
}

MmResult SimAudio::MixerGetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t& value) {
  if (mixer == 0) return 5;
  if (controlId != kMicrophoneMute) return kMixerErrInvalControl;
  if (mixerDetailsFail) return 11;  // MMSYSERR_INVALPARAM
  value = mixerMicrophoneMuted ? 1 : 0;
  return kMmSysErrNoError;
}

MmResult SimAudio::MixerSetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t value) {
  if (mixer == 0) return 5;
  if (controlId != kMicrophoneMute) return kMixerErrInvalControl;
  if (mixerDetailsFail) return 11;
  mixerMicrophoneMuted = value != 0;
  return kMmSysErrNoError;
}

void SimAudio::MixerClose(MixerHandle mixer) {
  if (mixer != 0) --mixersOpen;
}

}  // namespace zr::sim
