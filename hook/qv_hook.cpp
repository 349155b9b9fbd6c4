#include "hook/qv_hook.h"

#include <string>

namespace zr {

namespace {

constexpr std::uintptr_t kWmMouseFirst = 0x0200;
constexpr std::uintptr_t kWmMouseMove = 0x0200;
constexpr std::uintptr_t kWmMButtonDown = 0x0207;
constexpr std::uintptr_t kWmMButtonUp = 0x0208;
constexpr std::uintptr_t kWmMouseWheel = 0x020A;
constexpr std::uintptr_t kWmXButtonDown = 0x020B;
constexpr std::uintptr_t kWmXButtonUp = 0x020C;

constexpr char kNotFoundText[] = "qvHook.dll can not be found!";

}  // namespace

TqvHook::TqvHook(Platform& platform) : platform_(platform) {
  FDLLLoaded = LoadHookLibrary() > 0;
  FGlobalEvent = platform_.kernel.CreateManualResetEvent();
  FGlobalDataEvent = platform_.kernel.CreateManualResetEvent();
  FIdThreadComponentDataEvent = platform_.kernel.StartThread([this] { return DataEventThreadProc(); });
}

TqvHook::~TqvHook() {
  // A library that kept calling back after the component is gone would call
  // into freed memory: both slots are emptied before the library goes.
  StopHookKeyboard();
  StopHookMouse();
  UnloadHookLibrary();
  FGlobalEvent->Set();
  if (FIdThreadComponentDataEvent) FIdThreadComponentDataEvent->Join();
  FIdThreadComponentDataEvent.reset();
  RemoveAllKeyboardHookObject();
  RemoveAllMouseHookObject();
  FRecordDataToProcessList.clear();
}

// ---- the library ------------------------------------------------------------------

int TqvHook::LoadHookLibrary() {
  HookLibraryPort& port = platform_.hookLibrary;
  if (port.processLibrary) return 1;
  HookLibraryLoad result = HookLibraryLoad::NotFound;
  std::unique_ptr<HookLibrary> library = port.Load(kLibraryName, result);
  if (result == HookLibraryLoad::NotFound) {
    platform_.system.MessageBox(kNotFoundText, "Error", kMbOk | kMbIconError);
    return 0;
  }
  // A missing entry point: the port has unloaded the library again.
  if (result != HookLibraryLoad::Loaded || !library) return 0;
  port.processLibrary = std::move(library);
  return 1;
}

void TqvHook::UnloadHookLibrary() {
  platform_.hookLibrary.processLibrary.reset();
  FDLLLoaded = false;
}

HookLibrary* TqvHook::Library() const { return FDLLLoaded ? platform_.hookLibrary.processLibrary.get() : nullptr; }

void TqvHook::StartHookKeyboard() {
  if (HookLibrary* lib = Library()) {
    lib->DisableKeyboardHook();
    lib->EnableKeyboardHook(&TqvHook::KeyboardCallback, this, 0);
  }
}

void TqvHook::StopHookKeyboard() {
  if (HookLibrary* lib = Library()) lib->DisableKeyboardHook();
}

void TqvHook::StartHookMouse() {
  if (HookLibrary* lib = Library()) {
    lib->DisableMouseHook();
    lib->EnableMouseHook(&TqvHook::MouseCallback, this, 0);
  }
}

void TqvHook::StopHookMouse() {
  if (HookLibrary* lib = Library()) lib->DisableMouseHook();
}

// ---- rule lists --------------------------------------------------------------------

void TqvHook::AddKeyboardHookObject(std::unique_ptr<TKeyBoardHookDetailObject> AObject) {
  if (!AObject) return;
  std::string key = std::to_string(AObject->FKeyBoardHookDetail.KeyboardVKKey);
  FKeyboardHookObjectList.items.emplace_back(std::move(key), std::move(AObject));
}

void TqvHook::RemoveAllKeyboardHookObject() { FKeyboardHookObjectList.items.clear(); }

void TqvHook::AddMouseHookObject(std::unique_ptr<TMouseHookDetailObject> AObject) {
  if (!AObject) return;
  std::string button = std::to_string(static_cast<int>(AObject->FMouseHookDetail.MouseButton));
  FMouseHookObjectList.items.emplace_back(std::move(button), std::move(AObject));
}

void TqvHook::RemoveAllMouseHookObject() { FMouseHookObjectList.items.clear(); }

// ---- the callbacks -----------------------------------------------------------------

void TqvHook::KeyboardCallback(void* owner, std::int32_t code, std::uintptr_t, void* data, std::uint8_t* blocked) {
  if (owner == nullptr || data == nullptr || blocked == nullptr) return;
  bool b = *blocked != 0;
  static_cast<TqvHook*>(owner)->KeyboardHookProc(code, *static_cast<const TKBDLLHOOKSTRUCT*>(data), b);
  *blocked = b ? 1 : 0;
}

void TqvHook::MouseCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                            std::uint8_t* blocked) {
  if (owner == nullptr || data == nullptr || blocked == nullptr) return;
  bool b = *blocked != 0;
  static_cast<TqvHook*>(owner)->MouseHookProc(code, message, *static_cast<const TMSLLHOOKSTRUCT*>(data), b);
  *blocked = b ? 1 : 0;
}

void TqvHook::KeyboardHookProc(std::int32_t code, const TKBDLLHOOKSTRUCT& data, bool& blocked) {
  if (code != 0) return;
  const std::int32_t extended = (data.flags & kLlkhfExtended) ? 1 : 0;
  const std::int32_t state = (data.flags & kLlkhfUp) ? 0 : 1;
  const auto vk = static_cast<std::int32_t>(data.vkCode);
  if (OnHookKeyboardAllKey) OnHookKeyboardAllKey(vk, state, extended, blocked, data.scanCode);
  if (!OnHookKeyboardKey) return;
  for (const auto& item : FKeyboardHookObjectList.items) {
    const TKeyBoardHookDetail& rule = item.second->FKeyBoardHookDetail;
    if (rule.KeyboardVKKey == -1) return;
    const bool byVk = rule.KeyboardVKKey != 0 && rule.KeyboardVKKey == vk && rule.KeyExtended == extended;
    const bool byScan = rule.KeyboardSCANKey != 0 && static_cast<std::uint32_t>(rule.KeyboardSCANKey) == data.scanCode &&
                        rule.KeyExtended == extended;
    if (!byVk && !byScan) continue;
    if (rule.block == 1) blocked = true;
    OnHookKeyboardKey(vk, state, extended, blocked, data.scanCode);
    return;
  }
}

void TqvHook::MouseHookProc(std::int32_t, std::uintptr_t message, const TMSLLHOOKSTRUCT& data, bool& blocked) {
  const bool injected = (data.flags & kLlmhfInjected) != 0;
  if (message == kWmMouseMove) {
    if (OnHookMouseMove && !injected) OnHookMouseMove(data.x, data.y, static_cast<double>(data.time));
    blocked = false;  // a move is never swallowed
    return;
  }
  if (injected) return;
  const std::int32_t state =
      (message == kWmLButtonUp || message == kWmRButtonUp || message == kWmMButtonUp || message == kWmXButtonUp) ? 0
                                                                                                                : 1;
  TMouseButtons button = TMouseButtons::BUTTON_NONE;
  std::int16_t extra = 0;
  const auto high = static_cast<std::uint16_t>(data.mouseData >> 16);
  switch (message) {
    case kWmXButtonDown:
    case kWmXButtonUp:
      // The extra value is the X button number; above 32767 it does not fit
      // the signed field and wraps as the platform's 16-bit value does.
      extra = static_cast<std::int16_t>(high);
      button = high == 1 ? TMouseButtons::XCLICK4 : high == 2 ? TMouseButtons::XCLICK5 : TMouseButtons::BUTTON_NONE;
      break;
    case kWmMouseWheel:
      extra = static_cast<std::int16_t>(high);
      button = extra > 0 ? TMouseButtons::WHEELUP : extra < 0 ? TMouseButtons::WHEELDOWN : TMouseButtons::BUTTON_NONE;
      break;
    case kWmLButtonDown:
    case kWmLButtonUp:
      button = TMouseButtons::LCLICK;
      break;
    case kWmRButtonDown:
    case kWmRButtonUp:
      button = TMouseButtons::RCLICK;
      break;
    case kWmMButtonDown:
    case kWmMButtonUp:
      button = TMouseButtons::MCLICK;
      break;
    default:
      break;
  }
  if (OnHookMouseAllButton) OnHookMouseAllButton(button, state, extra, blocked);
  if (!OnHookMouseButton) return;
  // Messages outside the mouse range have no state ordinal: no rule applies.
  if (message < kWmMouseFirst || message - kWmMouseFirst > 15) return;
  const auto stateBit = static_cast<TMouseButtonStateSet>(1u << (message - kWmMouseFirst));
  for (const auto& item : FMouseHookObjectList.items) {
    const TMouseHookDetail& rule = item.second->FMouseHookDetail;
    if ((rule.MouseStateSet & stateBit) == 0 || rule.MouseButton < button) continue;
    if (rule.ModifiedFunction == button) return;
    OnHookMouseButton(button, state, blocked);
    return;
  }
}

// ---- the worker thread -------------------------------------------------------------

ThreadRun TqvHook::DataEventThreadProc() {
  while (!threadTerminated_) {
    KernelEvent* const events[] = {FGlobalDataEvent.get(), FGlobalEvent.get()};
    const int r = platform_.kernel.WaitForAny(events);
    if (r == kWaitNotYet) return ThreadRun::Waiting;
    if (r == 0) {
      // Reset before the drain: a block queued during it sets the event again.
      FGlobalDataEvent->Reset();
      platform_.windowing.RunOnMainThread([this] { ProcessDataEvent(); });
    } else {
      // The stop event, or a wait that failed (it would fail again at once).
      threadTerminated_ = true;
    }
  }
  return ThreadRun::Ended;
}

void TqvHook::ProcessDataEvent() {
  std::vector<std::unique_ptr<TRecordDataBlock>> entries;
  {
    std::lock_guard lock(FRecordDataLock);
    entries.swap(FRecordDataToProcessList);
  }
  // Blocks of kind 0 (a recorded mouse item) and 1 (a recorded key) are
  // raised as the recording events; recording is not part of this program
  // yet, so nothing queues them and every block is freed unseen.
  entries.clear();
}

}  // namespace zr
