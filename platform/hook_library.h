// The hook library (qvHook.dll): system-wide low-level keyboard and mouse
// input, handed to one callback per device kind. The library has one
// keyboard slot and one mouse slot; an Enable replaces whatever callback the
// slot held, a Disable empties it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace zr {

// The library's exports use the platform's standard calling convention (it
// matters only on 32-bit Windows); the callback uses the default one on both
// sides.
#if defined(_WIN32) && defined(__i386__)
#define ZR_HOOK_EXPORT_CALL __attribute__((stdcall))
#else
#define ZR_HOOK_EXPORT_CALL
#endif

// Keyboard event data in the platform's layout (KBDLLHOOKSTRUCT).
struct TKBDLLHOOKSTRUCT {
  std::uint32_t vkCode;
  std::uint32_t scanCode;
  std::uint32_t flags;  // bit 0: extended key; bit 4: injected; bit 7: key up
  std::uint32_t time;
  std::uintptr_t dwExtraInfo;
};
static_assert(offsetof(TKBDLLHOOKSTRUCT, dwExtraInfo) == 16);
static_assert(sizeof(TKBDLLHOOKSTRUCT) == 16 + sizeof(std::uintptr_t));

// Mouse event data in the platform's layout (MSLLHOOKSTRUCT).
struct TMSLLHOOKSTRUCT {
  std::int32_t x;
  std::int32_t y;
  std::uint32_t mouseData;  // high 16 bits: the wheel delta or the X button
  std::uint32_t flags;      // bit 0: injected
  std::uint32_t time;
  std::uintptr_t dwExtraInfo;
};
static_assert(offsetof(TMSLLHOOKSTRUCT, mouseData) == 8);
static_assert(offsetof(TMSLLHOOKSTRUCT, time) == 16);
static_assert(offsetof(TMSLLHOOKSTRUCT, dwExtraInfo) == (sizeof(std::uintptr_t) == 4 ? 20 : 24));
static_assert(sizeof(TMSLLHOOKSTRUCT) == (sizeof(std::uintptr_t) == 4 ? 24 : 32));

inline constexpr std::uint32_t kLlmhfInjected = 0x01;
inline constexpr std::uint32_t kLlkhfExtended = 0x01;
inline constexpr std::uint32_t kLlkhfInjected = 0x10;
inline constexpr std::uint32_t kLlkhfUp = 0x80;

// Called on the library's own thread for every event of an enabled slot:
// the owner given to Enable, the hook code, the window message of the event,
// the event data (TKBDLLHOOKSTRUCT or TMSLLHOOKSTRUCT) and Blocked, presented
// as 0. The event is swallowed when the callback leaves Blocked non-zero.
using HookLibraryCallback = void (*)(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                                     std::uint8_t* blocked);

// One loaded library with its four exports resolved; destroying it unloads
// the library.
class HookLibrary {
 public:
  virtual ~HookLibrary() = default;
  // The third argument is reserved (0).
  virtual void EnableKeyboardHook(HookLibraryCallback callback, void* owner, std::uint32_t reserved) = 0;
  // Returns when no callback of the keyboard slot runs any more.
  virtual void DisableKeyboardHook() = 0;
  virtual void EnableMouseHook(HookLibraryCallback callback, void* owner, std::uint32_t reserved) = 0;
  // Returns when no callback of the mouse slot runs any more.
  virtual void DisableMouseHook() = 0;
};

enum class HookLibraryLoad {
  Loaded,
  NotFound,            // the library could not be loaded
  EntryPointMissing,   // loaded, but an export is missing: unloaded again
};

class HookLibraryPort {
 public:
  virtual ~HookLibraryPort() = default;
  // Loads the library by its bare file name (the normal search order) and
  // resolves "EnableKeyboardHook", "DisableKeyboardHook", "EnableMouseHook"
  // and "DisableMouseHook". Null unless `result` is Loaded.
  virtual std::unique_ptr<HookLibrary> Load(std::string_view fileName, HookLibraryLoad& result) = 0;

  // The library as this process holds it: loaded once per process, by the
  // first component that asks, and unloaded by whoever unloads it.
  std::unique_ptr<HookLibrary> processLibrary;
};

}  // namespace zr
