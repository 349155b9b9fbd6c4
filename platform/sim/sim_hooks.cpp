#include "platform/sim/sim_hooks.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "common/text.h"

namespace zr::sim {

bool SimInput::Walk(Kind kind, std::int32_t code, std::uint32_t message, void* data) {
  // Copied first (without allocating: a hot path of the benchmarks): a
  // callback may install or remove hooks.
  std::array<Hook, kMaxHooks> chain;
  std::size_t n = 0;
  for (const Hook& h : hooks_) {
    if (h.kind == kind) chain[n++] = h;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const Hook& h = chain[i];
    std::uint8_t blocked = 0;
    h.callback(h.owner, code, message, data, &blocked);
    if (blocked != 0) return false;
  }
  return true;
}

bool SimInput::Mouse(std::uint32_t message, const TMSLLHOOKSTRUCT& data, std::int32_t code) {
  TMSLLHOOKSTRUCT copy = data;
  if (!Walk(Kind::Mouse, code, message, &copy)) return false;
  delivered.push_back({Kind::Mouse, message, data, {}});
  return true;
}

bool SimInput::Keyboard(std::uint32_t message, const TKBDLLHOOKSTRUCT& data, std::int32_t code) {
  TKBDLLHOOKSTRUCT copy = data;
  if (!Walk(Kind::Keyboard, code, message, &copy)) return false;
  delivered.push_back({Kind::Keyboard, message, {}, data});
  if (data.vkCode < keysDown_.size()) {
    const bool down = (data.flags & kLlkhfUp) == 0;
    keysDown_[data.vkCode] = down;
    // VK_LSHIFT..VK_RMENU in pairs; VK_SHIFT, VK_CONTROL, VK_MENU follow both.
    if (data.vkCode >= 0xA0 && data.vkCode <= 0xA5) {
      const std::uint32_t left = data.vkCode & ~1u;
      keysDown_[0x10 + (left - 0xA0) / 2] = keysDown_[left] || keysDown_[left + 1];
    }
  }
  return true;
}

std::int16_t SimInput::KeyState(std::uint8_t virtualKey) {
  return keysDown_[virtualKey] ? static_cast<std::int16_t>(0x8000) : std::int16_t{0};
}

bool SimInput::Wheel(int delta, bool injected) {
  TMSLLHOOKSTRUCT data{};
  data.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta))) << 16;
  data.flags = injected ? kLlmhfInjected : 0;
  data.time = ++time;
  return Mouse(kSimWmMouseWheel, data);
}

bool SimInput::GetCursorPos(int& x, int& y) {
  x = cursorX;
  y = cursorY;
  return true;
}

bool SimInput::InjectMouseEvent(std::uint32_t flags, int x, int y, std::int32_t data) {
  injectedEvents.push_back({false, flags, x, y, data, 0, 0, clock_()});
  TMSLLHOOKSTRUCT event{};
  // Without a move flag the event happens where the cursor is.
  event.x = cursorX;
  event.y = cursorY;
  event.flags = kLlmhfInjected;
  event.time = ++time;
  if (flags & kMouseEventWheel) {
    event.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(data))) << 16;
    (void)Mouse(kSimWmMouseWheel, event);
  } else {
    (void)Mouse(kSimWmMouseMove, event);
  }
  return true;
}

bool SimInput::InjectKeyEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) {
  injectedEvents.push_back({true, flags, 0, 0, 0, virtualKey, scanCode, clock_()});
  const bool up = (flags & kKeyEventKeyUp) != 0;
  TKBDLLHOOKSTRUCT event{};
  event.vkCode = virtualKey;
  event.scanCode = scanCode;
  event.flags = kLlkhfInjected | (up ? kLlkhfUp : 0) | ((flags & kKeyEventExtendedKey) ? kLlkhfExtended : 0);
  event.time = ++time;
  (void)Keyboard(up ? kSimWmKeyUp : kSimWmKeyDown, event);
  return true;
}

const SimInput::Hook* SimInput::Install(Kind kind, HookLibraryCallback callback, void* owner) {
  if (hooks_.size() >= kMaxHooks) throw std::logic_error("too many simulated hooks");
  hooks_.push_front({kind, callback, owner});
  return &hooks_.front();
}

void SimInput::Remove(const Hook* hook) {
  hooks_.remove_if([hook](const Hook& h) { return &h == hook; });
}

int SimInput::Installed(Kind kind) const {
  return static_cast<int>(std::count_if(hooks_.begin(), hooks_.end(), [kind](const Hook& h) { return h.kind == kind; }));
}

std::vector<int> SimInput::WheelDeltasDelivered() const {
  std::vector<int> out;
  for (const Delivered& d : delivered) {
    if (d.kind == Kind::Mouse && d.message == kSimWmMouseWheel) {
      out.push_back(static_cast<std::int16_t>(d.mouse.mouseData >> 16));
    }
  }
  return out;
}

// One loaded copy of the library over the process's two slots.
class SimHookLibrary final : public HookLibrary {
 public:
  explicit SimHookLibrary(SimHookLibraryPort& port) : port_(port) {}
  void EnableKeyboardHook(HookLibraryCallback callback, void* owner, std::uint32_t) override {
    Enable(port_.keyboard_, SimInput::Kind::Keyboard, callback, owner);
  }
  void DisableKeyboardHook() override { Disable(port_.keyboard_); }
  void EnableMouseHook(HookLibraryCallback callback, void* owner, std::uint32_t) override {
    Enable(port_.mouse_, SimInput::Kind::Mouse, callback, owner);
  }
  void DisableMouseHook() override { Disable(port_.mouse_); }

 private:
  void Enable(const SimInput::Hook*& slot, SimInput::Kind kind, HookLibraryCallback callback, void* owner) {
    ++port_.enables;
    Disable(slot);
    if (callback == nullptr) return;
    slot = port_.input_.Install(kind, callback, owner);
    if (port_.duringEnable) port_.duringEnable();
  }
  void Disable(const SimInput::Hook*& slot) {
    if (slot != nullptr) port_.input_.Remove(slot);
    slot = nullptr;
  }
  SimHookLibraryPort& port_;
};


SimHookLibraryPort::~SimHookLibraryPort() {
  for (const SimInput::Hook* slot : {keyboard_, mouse_}) {
    if (slot != nullptr) input_.Remove(slot);
  }
}

std::unique_ptr<HookLibrary> SimHookLibraryPort::Load(std::string_view fileName, HookLibraryLoad& result) {
  if (!present || !EqualsIgnoreCase(fileName, "qvHook.dll")) {
    result = HookLibraryLoad::NotFound;
    return nullptr;
  }
  if (!missingExport.empty()) {
    result = HookLibraryLoad::EntryPointMissing;
    return nullptr;
  }
  result = HookLibraryLoad::Loaded;
  ++loads;
  return std::make_unique<SimHookLibrary>(*this);
}

}  // namespace zr::sim
