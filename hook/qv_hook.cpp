#include "hook/qv_hook.h"

#include <cstdlib>
#include <string>

#include "hook/key_code_table.h"

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

struct MouseEventKind {
  TMouseButtons button = TMouseButtons::BUTTON_NONE;
  std::int32_t state = 1;  // 0 for the button-up messages
  std::int16_t extra = 0;  // the X button number or the wheel delta
};

// The button, state and extra value of a mouse message; a positive wheel
// delta is WHEELUP.
MouseEventKind ClassifyMouseEvent(std::uintptr_t message, std::uint32_t mouseData) {
  MouseEventKind k;
  k.state = (message == kWmLButtonUp || message == kWmRButtonUp || message == kWmMButtonUp || message == kWmXButtonUp)
                ? 0
                : 1;
  const auto high = static_cast<std::uint16_t>(mouseData >> 16);
  switch (message) {
    case kWmXButtonDown:
    case kWmXButtonUp:
      // The extra value is the X button number; above 32767 it does not fit
      // the signed field and wraps as the platform's 16-bit value does.
      k.extra = static_cast<std::int16_t>(high);
      k.button = high == 1 ? TMouseButtons::XCLICK4 : high == 2 ? TMouseButtons::XCLICK5 : TMouseButtons::BUTTON_NONE;
      break;
    case kWmMouseWheel:
      k.extra = static_cast<std::int16_t>(high);
      k.button = k.extra > 0   ? TMouseButtons::WHEELUP
                 : k.extra < 0 ? TMouseButtons::WHEELDOWN
                               : TMouseButtons::BUTTON_NONE;
      break;
    case kWmLButtonDown:
    case kWmLButtonUp:
      k.button = TMouseButtons::LCLICK;
      break;
    case kWmRButtonDown:
    case kWmRButtonUp:
      k.button = TMouseButtons::RCLICK;
      break;
    case kWmMButtonDown:
    case kWmMButtonUp:
      k.button = TMouseButtons::MCLICK;
      break;
    default:
      break;
  }
  return k;
}

// Virtual keys of the modifiers as low-level hooks see them.
constexpr std::uint32_t kVkLWin = 0x5B, kVkRWin = 0x5C;
constexpr std::uint32_t kVkLShift = 0xA0, kVkRShift = 0xA1, kVkLControl = 0xA2, kVkRControl = 0xA3, kVkLMenu = 0xA4,
                        kVkRMenu = 0xA5;

bool IsModifierKey(std::uint32_t vk) {
  return (vk >= kVkLShift && vk <= kVkRMenu) || vk == kVkLWin || vk == kVkRWin;
}

constexpr char kDownText[] = "Down";
constexpr char kUpText[] = "Up";
constexpr char kMsText[] = "ms";

constexpr TMouseButtonString kMouseButtonStrings[] = {
    {TMouseButtons::LCLICK, "Mouse Click"},
    {TMouseButtons::RCLICK, "Mouse Right Click"},
    {TMouseButtons::MCLICK, "Mouse Middle Click"},
    {TMouseButtons::XCLICK4, "Backward(Mouse) "},
    {TMouseButtons::XCLICK5, "Forward(Mouse)"},
    {TMouseButtons::WHEELUP, "Wheel up(Mouse)"},
    {TMouseButtons::WHEELDOWN, "Wheel Down(Mouse)"},
};

}  // namespace

const std::string& GetMouseButtonDescription(TMouseButtons button) {
  // Made once, so that a lookup on the hook thread never allocates.
  static const auto texts = [] {
    std::array<std::string, 256> t;
    for (auto it = std::rbegin(kMouseButtonStrings); it != std::rend(kMouseButtonStrings); ++it) {
      t[static_cast<std::uint8_t>(it->MouseButton)] = it->ButtonDescription;
    }
    return t;
  }();
  return texts[static_cast<std::uint8_t>(button)];
}

TqvHook::TqvHook(Platform& platform) : platform_(platform) {
  FDLLLoaded = LoadHookLibrary() > 0;
  FGlobalEvent = platform_.kernel.CreateManualResetEvent();
  FGlobalDataEvent = platform_.kernel.CreateManualResetEvent();
  // The worker thread only drains the hand-off queue: it starts with the
  // first entry (QueueRecordData), not here. The monitor queues none, and a
  // thread that waits for nothing would hold its stack all session.
}

TqvHook::~TqvHook() {
  // A library that kept calling back after the component is gone would call
  // into freed memory: both slots are emptied before the library goes.
  StopHookKeyboard();
  StopHookMouse();
  UnloadHookLibrary();
  // Closed before the worker is stopped: it starts no hand-off from then on.
  handOffs_.CloseAndWait(platform_.windowing);
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
  const MouseEventKind kind = ClassifyMouseEvent(message, data.mouseData);
  const TMouseButtons button = kind.button;
  const std::int32_t state = kind.state;
  const std::int16_t extra = kind.extra;
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
      if (!handOffs_.Begin()) break;
      // Runs on the main thread; while the destructor waits there for this
      // hand-off, it raises nothing.
      platform_.windowing.RunOnMainThread([this] {
        if (!handOffs_.Closed()) ProcessDataEvent();
      });
      handOffs_.End();
    } else {
      // The stop event, or a wait that failed (it would fail again at once).
      threadTerminated_ = true;
    }
  }
  return ThreadRun::Ended;
}

void TqvHook::ProcessDataEvent() {
  std::vector<TRecordDataEntry> entries;
  {
    std::lock_guard lock(FRecordDataLock);
    entries.swap(FRecordDataToProcessList);
  }
  // Only the entries' own copies are read: the recording may go on meanwhile.
  for (const TRecordDataEntry& entry : entries) {
    if (!entry.keys.items.empty() && OnRecordKeyboardMacroKey) {
      const TMACROKEYHOOK& k = entry.keys.items.back().second->FMacroKey;
      OnRecordKeyboardMacroKey(k.nKeyType, k.nKeyValue, k.nKeyState, k.nKeyValueExtended, k.Time, k.MacroKeyString,
                               k.MacroKeyStateString, entry.keys);
    } else if (!entry.buttons.items.empty() && OnRecordMouseMacroKey) {
      const TMOUSEMACROKEY& m = entry.buttons.items.back().second->FMOUSEMacroKey;
      OnRecordMouseMacroKey(m.nKeyType, m.MouseButton, m.nKeyState, m.X, m.Y, m.Time, m.MacroKeyString,
                            m.MacroKeyStateString, entry.buttons);
    }
  }
}

namespace {

// The items of `list` up to and with position `index`, copied; none when
// the list holds no such item.
template <typename T>
THookObjectList<T> CopyUpTo(const THookObjectList<T>& list, std::size_t index) {
  THookObjectList<T> out;
  if (index >= list.items.size()) return out;
  out.items.reserve(index + 1);
  for (std::size_t i = 0; i <= index; ++i) {
    out.items.emplace_back(list.items[i].first, std::make_unique<T>(*list.items[i].second));
  }
  return out;
}

}  // namespace

void TqvHook::QueueRecordData(std::unique_ptr<TRecordDataBlock> block) {
  if (!block) return;
  const TRecordDataBlock& b = *block;
  const std::size_t index = static_cast<std::size_t>(b[1]) | static_cast<std::size_t>(b[2]) << 8 |
                            static_cast<std::size_t>(b[3]) << 16 | static_cast<std::size_t>(b[4]) << 24;
  TRecordDataEntry entry;
  {
    std::lock_guard lock(FItemLock);
    if (b[0] == kRecordDataKeyboardItem) {
      entry.keys = CopyUpTo(FMacroKeyList, index);
    } else if (b[0] == kRecordDataMouseItem) {
      entry.buttons = CopyUpTo(FMouseMacroKeyList, index);
    }
  }
  {
    std::lock_guard lock(FRecordDataLock);
    FRecordDataToProcessList.push_back(std::move(entry));
  }
  StartWorker();
  FGlobalDataEvent->Set();
}

void TqvHook::StartWorker() {
  handOffs_.IfOpen([this] {
    if (!FIdThreadComponentDataEvent) {
      FIdThreadComponentDataEvent = platform_.kernel.StartThread([this] { return DataEventThreadProc(); });
    }
  });
}

// ---- recording: the operations --------------------------------------------------------

template <TqvHook::KeyboardProc Proc>
void TqvHook::KeyboardRecordCallback(void* owner, std::int32_t, std::uintptr_t, void* data, std::uint8_t* blocked) {
  if (owner == nullptr || data == nullptr || blocked == nullptr) return;
  bool b = *blocked != 0;
  (static_cast<TqvHook*>(owner)->*Proc)(*static_cast<const TKBDLLHOOKSTRUCT*>(data), b);
  *blocked = b ? 1 : 0;
}

void TqvHook::MouseRecordCallback(void* owner, std::int32_t, std::uintptr_t message, void* data,
                                  std::uint8_t* blocked) {
  if (owner == nullptr || data == nullptr || blocked == nullptr) return;
  bool b = *blocked != 0;
  static_cast<TqvHook*>(owner)->MouseMacroRecordProc(message, *static_cast<const TMSLLHOOKSTRUCT*>(data), b);
  *blocked = b ? 1 : 0;
}

void TqvHook::EnableKeyboardSlot(HookLibraryCallback callback) {
  if (HookLibrary* lib = Library()) {
    lib->DisableKeyboardHook();
    lib->EnableKeyboardHook(callback, this, 0);
  }
}

void TqvHook::EnableMouseSlot(HookLibraryCallback callback) {
  if (HookLibrary* lib = Library()) {
    lib->DisableMouseHook();
    lib->EnableMouseHook(callback, this, 0);
  }
}

void TqvHook::RecordKeyboardSingleKey() {
  EnableKeyboardSlot(&TqvHook::KeyboardRecordCallback<&TqvHook::SingleKeyRecordProc>);
}

void TqvHook::StopRecordKeyboardSingleKey() { StopHookKeyboard(); }

void TqvHook::RecordKeyboardComboKey() {
  // Reset while no callback runs: a key may arrive as soon as the slot is in.
  StopHookKeyboard();
  FLastTimeKeyboardCombo = 0;
  EnableKeyboardSlot(&TqvHook::KeyboardRecordCallback<&TqvHook::ComboKeyRecordProc>);
}

void TqvHook::StopRecordKeyboardComboKey() {
  StopHookKeyboard();
  FLastTimeKeyboardCombo = 0;
}

void TqvHook::RecordKeyboardMacroKey() {
  // The slot is taken over first: the old recording's callback no longer
  // runs when its items are freed.
  StopHookKeyboard();
  TakeItems(FMacroKeyList);  // freed here
  EnableKeyboardSlot(&TqvHook::KeyboardRecordCallback<&TqvHook::MacroKeyRecordProc>);
}

void TqvHook::StopRecordKeyboardMacroKey() {
  StopHookKeyboard();
  TMacroKeyList items = TakeItems(FMacroKeyList);
  if (OnStopRecordKeyboardMacroKey) OnStopRecordKeyboardMacroKey(items);
  // What the handler did not take is freed, also without a handler.
}

void TqvHook::RecordKeyboardMacroKeyEx() {
  StopHookKeyboard();
  FLastMacroKey = {};
  FTotalMacroTime = 0;
  FAllKeyState.fill(0);
  TakeItems(FMacroKeyList);  // freed here
  EnableKeyboardSlot(&TqvHook::KeyboardRecordCallback<&TqvHook::MacroKeyExRecordProc>);
}

void TqvHook::StopRecordKeyboardMacroKeyEx() { StopRecordKeyboardMacroKey(); }

void TqvHook::RecordMouseMacro() {
  StopHookMouse();
  TakeItems(FMouseMacroKeyList);  // freed here
  FLastTimeMouseMacro = 0;
  EnableMouseSlot(&TqvHook::MouseRecordCallback);
}

void TqvHook::StopRecordMouseMacro() {
  StopHookMouse();
  if (OnStopRecordMouseMacroKey) OnStopRecordMouseMacroKey(FMouseMacroKeyList);
}

template <typename T>
THookObjectList<T> TqvHook::TakeItems(THookObjectList<T>& list) {
  THookObjectList<T> taken;
  std::lock_guard lock(FItemLock);
  taken.items.swap(list.items);
  return taken;
}

// ---- recording: the events ------------------------------------------------------------

void TqvHook::AppendMacroKey(std::uint16_t type, std::uint16_t state, std::uint16_t value, std::uint16_t extended) {
  auto item = std::make_unique<TMacroKeyObject>();
  item->FMacroKey.nKeyType = type;
  item->FMacroKey.nKeyState = state;
  item->FMacroKey.nKeyValue = value;
  item->FMacroKey.nKeyValueExtended = extended;
  std::string name = std::to_string(FMacroKeyList.items.size());
  std::lock_guard lock(FItemLock);
  FMacroKeyList.items.emplace_back(std::move(name), std::move(item));
}

void TqvHook::AppendMouseMacroKey(const TMOUSEMACROKEY& item) {
  auto object = std::make_unique<TMOUSEMacroKeyObject>();
  object->FMOUSEMacroKey = item;
  std::string name = std::to_string(FMouseMacroKeyList.items.size());
  std::lock_guard lock(FItemLock);
  FMouseMacroKeyList.items.emplace_back(std::move(name), std::move(object));
}

void TqvHook::SingleKeyRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked) {
  if (!OnRecordKeyboardSingleKey) return;
  const std::int32_t extended = (data.flags & kLlkhfExtended) ? 1 : 0;
  const std::int32_t state = (data.flags & kLlkhfUp) ? 0 : 1;
  const auto vk = static_cast<std::int32_t>(data.vkCode);
  OnRecordKeyboardSingleKey(vk, data.scanCode, state, extended, GetKeyDescription(vk, extended), blocked);
}

void TqvHook::ComboKeyRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked) {
  const bool second = !OnRecordKeyboardComboKey;
  if (second && !OnRecordKeyboardComboKey2) return;
  // Key-ups and the modifiers themselves pass untouched.
  if ((data.flags & kLlkhfUp) != 0 || IsModifierKey(data.vkCode)) return;
  const auto extended = static_cast<std::uint16_t>(data.flags & kLlkhfExtended);
  const auto vk = static_cast<std::uint16_t>(data.vkCode);
  TCOMBOKEY& c = FComboKeyInfo;
  FComboKeyString.clear();
  c.nModifier = 0;
  if (c.nKeyValue1 != 0 && c.nKeyValue2 != 0) {
    c.nKeyValue1 = c.nKeyValue2 = 0;
    c.nScanKey1 = c.nScanKey2 = 0;
  }
  // The modifiers held, in the order of the text's prefix; either side counts.
  struct Modifier {
    std::uint32_t left, right;
    std::uint16_t bit;
    const char* text;
  };
  static constexpr Modifier kModifiers[] = {{kVkLControl, kVkRControl, kModifierCtrl, "Ctrl+"},
                                            {kVkLMenu, kVkRMenu, kModifierAlt, "Alt+"},
                                            {kVkLWin, kVkRWin, kModifierWin, "Win+"},
                                            {kVkLShift, kVkRShift, kModifierShift, "Shift+"}};
  const auto down = [this](std::uint32_t key) {
    return (platform_.input.KeyState(static_cast<std::uint8_t>(key)) & 0x8000) != 0;
  };
  std::string prefix;
  for (const Modifier& m : kModifiers) {
    if (down(m.left) || down(m.right)) {
      c.nModifier |= m.bit;
      prefix += m.text;
    }
  }

  const std::uint32_t elapsed =
      data.time >= FLastTimeKeyboardCombo ? data.time - FLastTimeKeyboardCombo : FLastTimeKeyboardCombo - data.time;
  if (elapsed > 100 || c.nKeyValue1 == 0 || c.nKeyValue1 == vk) {
    // A new combination, the first key of one, or the first key again; the
    // second key is none in each case (a full pair was cleared above).
    c.nKeyValue2 = 0;
    c.nScanKey2 = 0;
    c.nKeyValue1 = vk;
    c.nKeyValue1Extended = extended;
    c.nScanKey1 = data.scanCode;
  } else if (c.nKeyValue2 == 0) {
    c.nKeyValue2 = vk;
    c.nKeyValue2Extended = extended;
    c.nScanKey2 = data.scanCode;
  }
  FLastTimeKeyboardCombo = data.time;

  if (c.nKeyValue1 != 0) {
    std::string text = GetKeyDescription(c.nKeyValue1, c.nKeyValue1Extended);
    if (c.nKeyValue2 != 0) text += "+" + GetKeyDescription(c.nKeyValue2, c.nKeyValue2Extended);
    if (!text.empty()) {
      FComboKeyString = prefix + text;
      if (!second) {
        OnRecordKeyboardComboKey(c.nKeyValue1, c.nKeyValue1Extended, c.nKeyValue2, c.nKeyValue2Extended, c.nModifier,
                                 FComboKeyString);
      } else {
        OnRecordKeyboardComboKey2(c.nKeyValue1, static_cast<std::int32_t>(c.nScanKey1), c.nKeyValue1Extended,
                                  c.nKeyValue2, static_cast<std::int32_t>(c.nScanKey2), c.nKeyValue2Extended,
                                  c.nModifier, FComboKeyString);
      }
    }
  }
  blocked = true;
}

void TqvHook::MacroKeyRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked) {
  if (!OnRecordKeyboardMacroKey) return;
  const double time = static_cast<double>(data.time);
  if (FLastTimeKeyboardMacro == 0) {
    FLastTimeKeyboardMacro = data.time;
  } else {
    const std::uint32_t delay = data.time - FLastTimeKeyboardMacro;
    if (delay > 10 && delay < 2000) {
      AppendMacroKey(kMacroDelayItem, 0, static_cast<std::uint16_t>(delay), 0);
      OnRecordKeyboardMacroKey(kMacroDelayItem, static_cast<std::int32_t>(delay), 0, 0, time, std::to_string(delay),
                               kMsText, FMacroKeyList);
    }
    FLastTimeKeyboardMacro = data.time;
  }
  const std::int32_t extended = (data.flags & kLlkhfExtended) ? 1 : 0;
  const std::int32_t state = (data.flags & kLlkhfUp) ? 0 : 1;
  const auto vk = static_cast<std::int32_t>(data.vkCode);
  AppendMacroKey(kMacroKeyItem, static_cast<std::uint16_t>(state), static_cast<std::uint16_t>(vk),
                 static_cast<std::uint16_t>(extended));
  OnRecordKeyboardMacroKey(kMacroKeyItem, vk, state, extended, time, GetKeyDescription(vk, extended),
                           state == 1 ? kDownText : kUpText, FMacroKeyList);
  blocked = true;
}

void TqvHook::MacroKeyExRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked) {
  if (!OnRecordKeyboardMacroKeyEx || FMacroKeyList.items.size() > 500) return;
  const std::int32_t extended = (data.flags & kLlkhfExtended) ? 1 : 0;
  const std::int32_t state = (data.flags & kLlkhfUp) ? 0 : 1;
  const auto vk = static_cast<std::int32_t>(data.vkCode);
  // Keys beyond the 256 codes Windows uses are recorded but never marked held.
  std::uint8_t unused = 0;
  std::uint8_t& held = data.vkCode < FAllKeyState.size() ? FAllKeyState[data.vkCode] : unused;
  bool newDelay = true;
  if (FLastMacroKey.vkCode == 0) {
    FLastMacroKey = data;
    FTotalMacroTime = 0;
    newDelay = false;
  } else {
    FTotalMacroTime = data.time - FLastMacroKey.time;
    const bool same = FLastMacroKey.vkCode == data.vkCode &&
                      (FLastMacroKey.flags & kLlkhfExtended) == (data.flags & kLlkhfExtended) &&
                      (FLastMacroKey.flags & kLlkhfUp) == (data.flags & kLlkhfUp);
    if (same && state == 1) {
      newDelay = false;  // a held key repeating: the delay grows with the hold
    } else {
      FLastMacroKey = data;
      if (state == 0) held = 0;
    }
  }
  if (newDelay && FTotalMacroTime > 0) {
    if (FTotalMacroTime > 65535) FTotalMacroTime = 65535;
    AppendMacroKey(kMacroDelayItem, 0, static_cast<std::uint16_t>(FTotalMacroTime), 0);
  }
  if (held == 0) {
    if (state == 1) held = 1;
    AppendMacroKey(kMacroKeyItem, static_cast<std::uint16_t>(state), static_cast<std::uint16_t>(vk),
                   static_cast<std::uint16_t>(extended));
    OnRecordKeyboardMacroKeyEx(kMacroKeyItem, vk, state, extended, static_cast<double>(data.time), FTotalMacroTime,
                               GetKeyDescription(vk, extended), state == 1 ? kDownText : kUpText, FMacroKeyList);
  }
  blocked = true;
}

void TqvHook::MouseMacroRecordProc(std::uintptr_t message, const TMSLLHOOKSTRUCT& data, bool&) {
  if (!OnRecordMouseMacroKey || (data.flags & kLlmhfInjected) != 0) return;
  MouseEventKind kind = ClassifyMouseEvent(message, data.mouseData);
  // Macros read the wheel the other way round: a turn toward the user is up.
  if (kind.button == TMouseButtons::WHEELUP) {
    kind.button = TMouseButtons::WHEELDOWN;
  } else if (kind.button == TMouseButtons::WHEELDOWN) {
    kind.button = TMouseButtons::WHEELUP;
  }
  TMOUSEMACROKEY item;
  item.X = static_cast<std::uint16_t>(data.x);
  item.Y = static_cast<std::uint16_t>(data.y);
  const double time = static_cast<double>(data.time);
  if (FLastTimeMouseMacro == 0) {
    FLastTimeMouseMacro = data.time;
  } else if (FLastTimeMouseMacro > data.time) {
    FLastTimeMouseMacro = data.time;  // back in time: nothing recorded
    return;
  } else {
    const std::uint32_t delay = data.time - FLastTimeMouseMacro;
    FLastTimeMouseMacro = data.time;
    item.TimeValue = static_cast<std::uint16_t>(delay);
    AppendMouseMacroKey(item);
    OnRecordMouseMacroKey(kMacroDelayItem, TMouseButtons::BUTTON_NONE, 0, item.X, item.Y, time, std::to_string(delay),
                          kMsText, FMouseMacroKeyList);
  }
  if (kind.button == TMouseButtons::BUTTON_NONE) return;
  item.nKeyType = kMacroKeyItem;
  item.nKeyState = static_cast<std::uint16_t>(kind.state);
  item.MouseButton = kind.button;
  AppendMouseMacroKey(item);
  OnRecordMouseMacroKey(kMacroKeyItem, kind.button, kind.state, item.X, item.Y, time,
                        GetMouseButtonDescription(kind.button), kind.state == 1 ? kDownText : kUpText,
                        FMouseMacroKeyList);
}

}  // namespace zr
