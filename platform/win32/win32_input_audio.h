// Input injection and the cursor, the version facts, Core Audio and the
// legacy mixer on Windows.
#pragma once

#include "platform/win32/windows_h.h"

#include "platform/audio.h"
#include "platform/input.h"

namespace zr::win32 {

class Win32Input final : public InputPort {
 public:
  bool GetCursorPos(int& x, int& y) override;
  bool InjectMouseEvent(std::uint32_t flags, int x, int y, std::int32_t data) override;
  bool InjectKeyEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
  // The asynchronous state: a low-level hook's thread has no keyboard
  // input of its own, so its thread key state would lag behind.
  std::int16_t KeyState(std::uint8_t virtualKey) override;
};

class Win32Audio final : public AudioPort {
 public:
  // Every initialisation of COM is undone at the end (on the main thread,
  // which made them).
  Win32Audio() = default;
  ~Win32Audio() override;
  Win32Audio(const Win32Audio&) = delete;
  Win32Audio& operator=(const Win32Audio&) = delete;

  void InitializeComApartment() override;
  ComObject CreateDeviceEnumerator() override;
  HResult GetDefaultAudioEndpoint(ComObject enumerator, int dataFlow, int role, ComObject& device) override;
  HResult ActivateEndpointVolume(ComObject device, ComObject& endpoint) override;
  HResult GetMute(ComObject endpoint, bool& muted) override;
  HResult SetMute(ComObject endpoint, bool muted) override;
  void Release(ComObject object) override;

  std::uint32_t MixerGetNumDevs() override;
  MmResult MixerOpen(std::uint32_t device, MixerHandle& mixer) override;
  MmResult MixerGetLineByComponentType(MixerHandle mixer, std::uint32_t componentType,
                                       std::uint32_t& lineId) override;
  MmResult MixerGetLineControlByType(MixerHandle mixer, std::uint32_t lineId, std::uint32_t controlType,
                                     std::uint32_t& controlId) override;
  MmResult MixerGetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t& value) override;
  MmResult MixerSetBooleanValue(MixerHandle mixer, std::uint32_t controlId, std::int32_t value) override;
  void MixerClose(MixerHandle mixer) override;

 private:
  int comInitializations_ = 0;
};

}  // namespace zr::win32
