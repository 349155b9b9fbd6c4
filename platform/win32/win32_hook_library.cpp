#include "platform/win32/win32_hook_library.h"

#include "platform/win32/windows_h.h"
#include "platform/win32/win32_text.h"

#include <cstddef>

namespace zr::win32 {

// The event data reaches the core as the platform lays it out.
static_assert(sizeof(KBDLLHOOKSTRUCT) == sizeof(TKBDLLHOOKSTRUCT));
static_assert(offsetof(KBDLLHOOKSTRUCT, scanCode) == offsetof(TKBDLLHOOKSTRUCT, scanCode));
static_assert(offsetof(KBDLLHOOKSTRUCT, flags) == offsetof(TKBDLLHOOKSTRUCT, flags));
static_assert(offsetof(KBDLLHOOKSTRUCT, time) == offsetof(TKBDLLHOOKSTRUCT, time));
static_assert(offsetof(KBDLLHOOKSTRUCT, dwExtraInfo) == offsetof(TKBDLLHOOKSTRUCT, dwExtraInfo));
static_assert(sizeof(MSLLHOOKSTRUCT) == sizeof(TMSLLHOOKSTRUCT));
static_assert(offsetof(MSLLHOOKSTRUCT, pt.y) == offsetof(TMSLLHOOKSTRUCT, y));
static_assert(offsetof(MSLLHOOKSTRUCT, mouseData) == offsetof(TMSLLHOOKSTRUCT, mouseData));
static_assert(offsetof(MSLLHOOKSTRUCT, flags) == offsetof(TMSLLHOOKSTRUCT, flags));
static_assert(offsetof(MSLLHOOKSTRUCT, time) == offsetof(TMSLLHOOKSTRUCT, time));
static_assert(offsetof(MSLLHOOKSTRUCT, dwExtraInfo) == offsetof(TMSLLHOOKSTRUCT, dwExtraInfo));
static_assert(LLMHF_INJECTED == kLlmhfInjected && LLKHF_EXTENDED == kLlkhfExtended &&
              LLKHF_INJECTED == kLlkhfInjected && LLKHF_UP == kLlkhfUp);

namespace {

using EnableProc = BOOL(ZR_HOOK_EXPORT_CALL*)(HookLibraryCallback callback, void* owner, std::uint32_t reserved);
using DisableProc = BOOL(ZR_HOOK_EXPORT_CALL*)();

template <typename F>
F Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class Win32HookLibrary final : public HookLibrary {
 public:
  explicit Win32HookLibrary(HMODULE module) : module_(module) {
    enableKeyboard_ = Resolve<EnableProc>(module, "EnableKeyboardHook");
    disableKeyboard_ = Resolve<DisableProc>(module, "DisableKeyboardHook");
    enableMouse_ = Resolve<EnableProc>(module, "EnableMouseHook");
    disableMouse_ = Resolve<DisableProc>(module, "DisableMouseHook");
  }
  ~Win32HookLibrary() override { FreeLibrary(module_); }
  bool Complete() const { return enableKeyboard_ && disableKeyboard_ && enableMouse_ && disableMouse_; }

  void EnableKeyboardHook(HookLibraryCallback callback, void* owner, std::uint32_t reserved) override {
    enableKeyboard_(callback, owner, reserved);
  }
  void DisableKeyboardHook() override { disableKeyboard_(); }
  void EnableMouseHook(HookLibraryCallback callback, void* owner, std::uint32_t reserved) override {
    enableMouse_(callback, owner, reserved);
  }
  void DisableMouseHook() override { disableMouse_(); }

 private:
  HMODULE module_;
  EnableProc enableKeyboard_ = nullptr;
  DisableProc disableKeyboard_ = nullptr;
  EnableProc enableMouse_ = nullptr;
  DisableProc disableMouse_ = nullptr;
};

}  // namespace

std::unique_ptr<HookLibrary> Win32HookLibraryPort::Load(std::string_view fileName, HookLibraryLoad& result) {
  HMODULE module = LoadLibraryW(Widen(fileName).c_str());
  if (module == nullptr) {
    result = HookLibraryLoad::NotFound;
    return nullptr;
  }
  auto library = std::make_unique<Win32HookLibrary>(module);
  if (!library->Complete()) {
    result = HookLibraryLoad::EntryPointMissing;
    return nullptr;  // unloads it
  }
  result = HookLibraryLoad::Loaded;
  return library;
}

}  // namespace zr::win32
