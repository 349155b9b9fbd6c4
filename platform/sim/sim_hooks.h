// The desktop's input as low-level hooks see it, and a stand-in for the hook
// library. Input made by the user (or injected by a program) passes every
// installed low-level hook of its kind, the most recently installed first,
// as on Windows; a hook that swallows it ends the walk and no program gets
// the event. What reaches the programs is recorded.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/hook_library.h"
#include "platform/input.h"

namespace zr::sim {

inline constexpr std::uint32_t kSimWmKeyDown = 0x0100;
inline constexpr std::uint32_t kSimWmKeyUp = 0x0101;
inline constexpr std::uint32_t kSimWmMouseMove = 0x0200;
inline constexpr std::uint32_t kSimWmMouseWheel = 0x020A;

// An event a program injected, as the simulation recorded it.
struct InjectedEvent {
  bool keyboard = false;
  std::uint32_t flags = 0;
  int x = 0, y = 0;             // mouse
  std::int32_t data = 0;        // mouse: the wheel delta
  std::uint8_t virtualKey = 0;  // keyboard
  std::uint8_t scanCode = 0;
  std::uint64_t at = 0;         // virtual time
};

// The desktop's input; also the programs' way to inject events, which pass
// the hooks like the user's own, marked as injected.
class SimInput final : public InputPort {
 public:
  explicit SimInput(std::function<std::uint64_t()> clock = [] { return std::uint64_t{0}; })
      : clock_(std::move(clock)) {}

  enum class Kind { Keyboard, Mouse };
  struct Hook {
    Kind kind;
    HookLibraryCallback callback;
    void* owner;
  };
  struct Delivered {
    Kind kind;
    std::uint32_t message;
    TMSLLHOOKSTRUCT mouse;
    TKBDLLHOOKSTRUCT keyboard;
  };

  // One event through the hooks (hook code 0 unless given); true when it
  // reached the programs.
  bool Mouse(std::uint32_t message, const TMSLLHOOKSTRUCT& data, std::int32_t code = 0);
  bool Keyboard(std::uint32_t message, const TKBDLLHOOKSTRUCT& data, std::int32_t code = 0);
  // One wheel notch (delta 120 up, -120 down), as the user turns the wheel.
  bool Wheel(int delta, bool injected = false);

  // Installed by a hook library; a handle for removing it.
  const Hook* Install(Kind kind, HookLibraryCallback callback, void* owner);
  void Remove(const Hook* hook);
  int Installed(Kind kind) const;

  std::vector<Delivered> delivered;  // in order
  // Wheel deltas that reached the programs.
  std::vector<int> WheelDeltasDelivered() const;
  std::uint32_t time = 0;  // stamped on wheel notches made here

  // ---- what programs do ----
  bool GetCursorPos(int& x, int& y) override;
  bool InjectMouseEvent(std::uint32_t flags, int x, int y, std::int32_t data) override;
  bool InjectKeyEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
  // As Windows keeps it: a key event that reached the programs sets or
  // clears its key, and a left or right Shift, Ctrl or Alt the generic one
  // too; a swallowed event changes nothing.
  std::int16_t KeyState(std::uint8_t virtualKey) override;
  int cursorX = 0, cursorY = 0;
  std::vector<InjectedEvent> injectedEvents;  // in order, whether or not a hook swallowed them

 private:
  std::function<std::uint64_t()> clock_;
  bool Walk(Kind kind, std::int32_t code, std::uint32_t message, void* data);
  static constexpr std::size_t kMaxHooks = 16;
  std::list<Hook> hooks_;  // the most recent first
  std::array<bool, 256> keysDown_{};
};

// The hook library as a program of the simulation loads it: one slot per
// device kind over the desktop's input. It can be absent or lack an export.
// As with qvHook.dll, whose hook thread keeps it loaded, the slots belong to
// the process: unloading the library leaves whatever they hold installed,
// and a later load finds them as they were.
class SimHookLibraryPort final : public HookLibraryPort {
 public:
  explicit SimHookLibraryPort(SimInput& input) : input_(input) {}
  // The process ends: Windows removes the hooks of its threads.
  ~SimHookLibraryPort() override;
  SimHookLibraryPort(const SimHookLibraryPort&) = delete;
  SimHookLibraryPort& operator=(const SimHookLibraryPort&) = delete;
  std::unique_ptr<HookLibrary> Load(std::string_view fileName, HookLibraryLoad& result) override;

  bool present = true;
  std::string missingExport;  // an export the library lacks, or empty
  int loads = 0;              // successful loads
  int enables = 0;            // Enable calls of either kind
  // Runs inside every Enable once its hook is in, before Enable returns: the
  // library's thread may take input at that moment, ahead of the caller.
  std::function<void()> duringEnable;

 private:
  friend class SimHookLibrary;
  SimInput& input_;
  const SimInput::Hook* keyboard_ = nullptr;
  const SimInput::Hook* mouse_ = nullptr;
};

}  // namespace zr::sim
