// The microphone's mute, toggled by a device key: Core Audio on Vista and
// later, the legacy mixer before.
#include "app/monitor_form.h"

#include <exception>

namespace zr {

namespace {
// Mixer line selectors of GetMixerLineMute and SetMixerLineMute.
constexpr std::uint32_t kMixerLineOfType[] = {kMixerLineDstSpeakers, kMixerLineSrcMicrophone, kMixerLineSrcWaveOut,
                                              kMixerLineSrcSynthesizer};
constexpr std::uint8_t kMixerMicrophone = 1;
}  // namespace

bool ZEDEZAVadi::UsesCoreAudio() {
  const std::optional<OsVersion> v = platform_.os.Version();
  return v && v->platformId == kVerPlatformWin32Nt && v->major >= 6;
}

void ZEDEZAVadi::InitEndpointVolume() {
  AudioPort& audio = platform_.audio;
  try {
    audio.InitializeComApartment();
    audio.Release(FMMDevEnum);
    FMMDevEnum = 0;
    FMMDevEnum = audio.CreateDeviceEnumerator();
    if (FMMDevEnum == 0) return;
    audio.Release(FMMDev);
    FMMDev = 0;
    if (audio.GetDefaultAudioEndpoint(FMMDevEnum, kECapture, kEMultimedia, FMMDev) < 0) return;
    // An endpoint obtained earlier goes before the new one takes its place.
    audio.Release(FEndpoint);
    FEndpoint = 0;
    (void)audio.ActivateEndpointVolume(FMMDev, FEndpoint);
  } catch (const std::exception&) {
    // What was obtained so far stays.
  }
}

void ZEDEZAVadi::ReleaseEndpointVolume() {
  for (ComObject* object : {&FEndpoint, &FMMDev, &FMMDevEnum}) {
    platform_.audio.Release(*object);
    *object = 0;
  }
}

void ZEDEZAVadi::ToggleMicrophoneMute() {
  if (!UsesCoreAudio()) {
    const bool state = GetMixerLineMute(kMixerMicrophone);
    SetMixerLineMute(kMixerMicrophone, state ? 0 : 1);
    return;
  }
  if (FEndpoint == 0) InitEndpointVolume();
  if (FEndpoint == 0) return;
  try {
    bool state = false;
    (void)platform_.audio.GetMute(FEndpoint, state);
    (void)platform_.audio.SetMute(FEndpoint, !state);
  } catch (const std::exception&) {
  }
}

// The steps both mixer operations share; `value` is read or written. False
// when the value could not be read (then it stays as it was).
bool ZEDEZAVadi::MixerLineMute(std::uint8_t Type, std::int32_t& value, bool write) {
  AudioPort& audio = platform_.audio;
  if (Type >= std::size(kMixerLineOfType) || audio.MixerGetNumDevs() == 0) return false;
  MixerHandle mixer = 0;
  if (audio.MixerOpen(0, mixer) != kMmSysErrNoError) return false;
  bool done = false;
  std::uint32_t line = 0, control = 0;
  if (audio.MixerGetLineByComponentType(mixer, kMixerLineOfType[Type], line) == kMmSysErrNoError) {
    if (audio.MixerGetLineControlByType(mixer, line, kMixerControlTypeMute, control) != kMmSysErrNoError) {
      ShowMessage("GetLineInfo Error");
    } else {
      const MmResult r = write ? audio.MixerSetBooleanValue(mixer, control, value)
                               : audio.MixerGetBooleanValue(mixer, control, value);
      if (r != kMmSysErrNoError) {
        ShowMessage("SetControlDetails Error");
      } else {
        done = true;
      }
    }
  }
  audio.MixerClose(mixer);
  return done;
}

bool ZEDEZAVadi::GetMixerLineMute(std::uint8_t Type) {
  // A value that could not be read counts as not muted, so the toggle that
  // follows tries to mute.
  std::int32_t value = 0;
  return MixerLineMute(Type, value, false) && value != 0;
}

void ZEDEZAVadi::SetMixerLineMute(std::uint8_t Type, std::uint8_t Value) {
  std::int32_t value = Value;
  (void)MixerLineMute(Type, value, true);
}

void ZEDEZAVadi::ShowMessage(std::string_view text) {
  platform_.system.MessageBox(text, application_.Title, kMbOk);
}

}  // namespace zr
