#include "platform/win32/win32_input_audio.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>

#include "platform/win32/win32_libraries.h"

namespace zr::win32 {

namespace {

// The platform's published identifiers, spelled out here so that no import
// library of GUIDs is needed.
constexpr GUID kClsidMMDeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr GUID kIidIMMDeviceEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
constexpr GUID kIidIAudioEndpointVolume = {0x5CDF2C82, 0x841E, 0x4546, {0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A}};
// In-process server, in-process handler and local server together.
constexpr DWORD kClsCtxAll = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

template <class T>
T* As(ComObject object) {
  return reinterpret_cast<T*>(object);
}

HMIXEROBJ Mixer(MixerHandle mixer) { return reinterpret_cast<HMIXEROBJ>(mixer); }

// COM (ole32.dll) is needed for Core Audio and the shell, the mixer
// (winmm.dll) only before Vista: both are loaded at their first use.
template <class F>
F Ole32(const char* name) {
  return SystemFunction<F>(L"ole32.dll", name);
}
template <class F>
F Winmm(const char* name) {
  return SystemFunction<F>(L"winmm.dll", name);
}

// The sizes the mixer functions are told (the 32-bit layouts).
static_assert(sizeof(void*) != 4 || sizeof(MIXERLINEW) == 280);
static_assert(sizeof(void*) != 4 || sizeof(MIXERCONTROLW) == 228);

}  // namespace

bool Win32Input::GetCursorPos(int& x, int& y) {
  POINT p{};
  if (!::GetCursorPos(&p)) return false;
  x = p.x;
  y = p.y;
  return true;
}

bool Win32Input::InjectMouseEvent(std::uint32_t flags, int x, int y, std::int32_t data) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = x;
  input.mi.dy = y;
  input.mi.mouseData = static_cast<DWORD>(data);
  input.mi.dwFlags = flags;
  return SendInput(1, &input, sizeof input) == 1;
}

bool Win32Input::InjectKeyEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = scanCode;
  input.ki.dwFlags = flags;
  return SendInput(1, &input, sizeof input) == 1;
}

std::int16_t Win32Input::KeyState(std::uint8_t virtualKey) { return GetAsyncKeyState(virtualKey); }

Win32Audio::~Win32Audio() {
  if (comInitializations_ == 0) return;
  static const auto uninitialize = Ole32<decltype(&::CoUninitialize)>("CoUninitialize");
  for (; comInitializations_ > 0; --comInitializations_) uninitialize();
}

void Win32Audio::InitializeComApartment() {
  static const auto initialize = Ole32<decltype(&::CoInitializeEx)>("CoInitializeEx");
  // S_FALSE (already initialised on this thread) counts as well and is
  // undone as well.
  if (initialize != nullptr && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED))) ++comInitializations_;
}

ComObject Win32Audio::CreateDeviceEnumerator() {
  static const auto createInstance = Ole32<decltype(&::CoCreateInstance)>("CoCreateInstance");
  IMMDeviceEnumerator* enumerator = nullptr;
  if (createInstance == nullptr ||
      FAILED(createInstance(kClsidMMDeviceEnumerator, nullptr, kClsCtxAll, kIidIMMDeviceEnumerator,
                            reinterpret_cast<void**>(&enumerator)))) {
    return 0;
  }
  return reinterpret_cast<ComObject>(enumerator);
}

HResult Win32Audio::GetDefaultAudioEndpoint(ComObject enumerator, int dataFlow, int role, ComObject& device) {
  IMMDevice* result = nullptr;
  const HRESULT hr = As<IMMDeviceEnumerator>(enumerator)->GetDefaultAudioEndpoint(
      static_cast<EDataFlow>(dataFlow), static_cast<ERole>(role), &result);
  device = reinterpret_cast<ComObject>(result);
  return hr;
}

HResult Win32Audio::ActivateEndpointVolume(ComObject device, ComObject& endpoint) {
  void* result = nullptr;
  const HRESULT hr = As<IMMDevice>(device)->Activate(kIidIAudioEndpointVolume, kClsCtxAll, nullptr, &result);
  endpoint = reinterpret_cast<ComObject>(result);
  return hr;
}

HResult Win32Audio::GetMute(ComObject endpoint, bool& muted) {
  BOOL value = FALSE;
  const HRESULT hr = As<IAudioEndpointVolume>(endpoint)->GetMute(&value);
  muted = value != FALSE;
  return hr;
}

HResult Win32Audio::SetMute(ComObject endpoint, bool muted) {
  return As<IAudioEndpointVolume>(endpoint)->SetMute(muted ? TRUE : FALSE, nullptr);
}

void Win32Audio::Release(ComObject object) {
  if (object != 0) As<IUnknown>(object)->Release();
}

std::uint32_t Win32Audio::MixerGetNumDevs() {
  static const auto getNumDevs = Winmm<decltype(&::mixerGetNumDevs)>("mixerGetNumDevs");
  return getNumDevs != nullptr ? getNumDevs() : 0;
}

MmResult Win32Audio::MixerOpen(std::uint32_t device, MixerHandle& mixer) {
  static const auto open = Winmm<decltype(&::mixerOpen)>("mixerOpen");
  HMIXER handle = nullptr;
  const MMRESULT r = open != nullptr ? open(&handle, device, 0, 0, 0) : MMSYSERR_NODRIVER;
  mixer = reinterpret_cast<MixerHandle>(handle);
  return r;
}

MmResult Win32Audio::MixerGetLineByComponentType(MixerHandle mixer, std::uint32_t componentType,
                                                 std::uint32_t& lineId) {
  MIXERLINEW line{};
  line.cbStruct = sizeof line;
  line.dwComponentType = componentType;
  static const auto getLineInfo = Winmm<decltype(&::mixerGetLineInfoW)>("mixerGetLineInfoW");
  const MMRESULT r = getLineInfo != nullptr ? getLineInfo(Mixer(mixer), &line,
                                                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE)
                                            : MMSYSERR_NODRIVER;
  lineId = line.dwLineID;
  return r;
}

MmResult Win32Audio::MixerGetLineControlByType(MixerHandle mixer, std::uint32_t lineId, std::uint32_t controlType,
                                               std::uint32_t& controlId) {
  MIXERCONTROLW control{};
  control.cbStruct = sizeof control;
  MIXERLINECONTROLSW controls{};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = lineId;
  controls.dwControlType = controlType;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof control;
  controls.pamxctrl = &control;
  static const auto getLineControls = Winmm<decltype(&::mixerGetLineControlsW)>("mixerGetLineControlsW");
  const MMRESULT r = getLineControls != nullptr
                         ? getLineControls(Mixer(mixer), &controls,
                                           MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE)
                         : MMSYSERR_NODRIVER;
  controlId = control.dwControlID;
  return r;
}

namespace {
MMRESULT BooleanDetails(MixerHandle mixer, std::uint32_t controlId, MIXERCONTROLDETAILS_BOOLEAN& value, bool set) {
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = controlId;
  details.cChannels = 1;
  details.cbDetails = sizeof value;
  details.paDetails = &value;
  static const auto setDetails = Winmm<decltype(&::mixerSetControlDetails)>("mixerSetControlDetails");
  static const auto getDetails = Winmm<decltype(&::mixerGetControlDetailsW)>("mixerGetControlDetailsW");
  const auto call = set ? setDetails : getDetails;
  if (call == nullptr) return MMSYSERR_NODRIVER;
  return call(Mixer(mixer), &details,
              MIXER_OBJECTF_HMIXER | (set ? MIXER_SETCONTROLDETAILSF_VALUE : MIXER_GETCONTROLDETAILSF_VALUE));
}
}  // namespace

MmResult Win32Audio::MixerGetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t& value) {
  MIXERCONTROLDETAILS_BOOLEAN v{};
  const MMRESULT r = BooleanDetails(mixer, controlId, v, false);
  value = v.fValue;
  return r;
}

MmResult Win32Audio::MixerSetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t value) {
  MIXERCONTROLDETAILS_BOOLEAN v{};
  v.fValue = value;
  return BooleanDetails(mixer, controlId, v, true);
}

void Win32Audio::MixerClose(MixerHandle mixer) {
  static const auto close = Winmm<decltype(&::mixerClose)>("mixerClose");
  if (close != nullptr) close(reinterpret_cast<HMIXER>(mixer));
}

}  // namespace zr::win32
