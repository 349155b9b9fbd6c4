// TqvHook: system-wide keyboard and mouse input through the hook library.
// The component loads the library, hands it one callback per device kind with
// itself as the owner, and turns the events the library delivers into its own
// events, filtered by the hook rules its owner registers.
//
// Each device kind is idle, hooking (rule matching) or recording. Recording
// (a single key, a key combination, keyboard and mouse macros) takes over the
// same slots with callbacks of its own: each Record operation replaces what
// the slot of its kind held, each Stop empties it (rule matching comes back
// only with StartHookKeyboard or StartHookMouse). Recorded items are raised
// directly on the library's thread; an owner may hand items to the main
// thread through the hand-off queue drained by ProcessDataEvent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/hook_library.h"
#include "platform/platform.h"
#include "support/main_thread_hand_offs.h"

namespace zr {

enum class TMouseButtons : std::uint8_t {
  BUTTON_NONE = 0,
  LCLICK = 1,
  RCLICK = 2,
  MCLICK = 3,
  XCLICK4 = 4,
  XCLICK5 = 5,
  WHEELUP = 6,
  WHEELDOWN = 7,
  BUTTONX1 = 8,
  BUTTONX2 = 9,
  BUTTONX3 = 10,
};

// The ordinal of a state is the mouse message number minus 0x0200.
enum class TMouseButtonStates : std::uint8_t {
  MOUSEMOVE = 0,
  LBUTTONDOWN = 1,
  LBUTTONUP = 2,
  LBUTTONDBLCLK = 3,
  RBUTTONDOWN = 4,
  RBUTTONUP = 5,
  RBUTTONDBLCLK = 6,
  MBUTTONDOWN = 7,
  MBUTTONUP = 8,
  MBUTTONDBLCLK = 9,
  MOUSEWHEEL = 10,
  XBUTTONDOWN = 11,
  XBUTTONUP = 12,
  XBUTTONDBLCLK = 13,
  MOUSEHWHEEL = 14,
  OTHERFUNCTION = 15,
};

enum class TMouseStatesToHook : std::uint8_t { HOOK_DOWN = 0, HOOK_UP = 1 };

// A set of TMouseButtonStates: bit n stands for ordinal n.
using TMouseButtonStateSet = std::uint16_t;
constexpr TMouseButtonStateSet StateSetOf(TMouseButtonStates s) {
  return static_cast<TMouseButtonStateSet>(1u << static_cast<unsigned>(s));
}

#pragma pack(push, 1)
struct TMouseHookDetail {
  TMouseButtons MouseButton;
  TMouseButtonStateSet MouseStateSet;
  TMouseButtons ModifiedFunction;  // the event's button equal to this: left alone
  TMouseStatesToHook MouseStateToHook;
};
#pragma pack(pop)
static_assert(sizeof(TMouseHookDetail) == 5);
static_assert(offsetof(TMouseHookDetail, MouseStateSet) == 1);
static_assert(offsetof(TMouseHookDetail, ModifiedFunction) == 3);
static_assert(offsetof(TMouseHookDetail, MouseStateToHook) == 4);

struct TKeyBoardHookDetail {
  std::int32_t KeyboardVKKey;    // 0: not matched by virtual key; -1: ends the rule list
  std::int32_t KeyboardSCANKey;  // 0: not matched by scan code
  std::int32_t KeyExtended;      // required extended-key flag (0 or 1)
  std::int32_t block;            // 1: swallow a matching key event
};
static_assert(sizeof(TKeyBoardHookDetail) == 16);

// Rule objects: created zero-filled by the caller, owned by the component
// once added.
struct TMouseHookDetailObject {
  TMouseHookDetail FMouseHookDetail{};
};
struct TKeyBoardHookDetailObject {
  TKeyBoardHookDetail FKeyBoardHookDetail{};
};

// A list of rule objects in the order they were added, each with its string
// (the decimal key or button), owning the objects.
template <typename T>
struct THookObjectList {
  std::vector<std::pair<std::string, std::unique_ptr<T>>> items;
};

using TOnHookKeyboardKey =
    std::function<void(std::int32_t Key, std::int32_t AState, std::int32_t AKeyExtended, bool& ABlocked,
                       std::uint32_t AScanKey)>;
using TOnHookMouseButton = std::function<void(TMouseButtons AqvButton, std::int32_t AState, bool& ABlocked)>;
using TOnHookAllMouseButton =
    std::function<void(TMouseButtons AqvButton, std::int32_t AState, std::int16_t AExValue, bool& ABlocked)>;
using TOnHookMouseMove = std::function<void(std::int32_t X, std::int32_t Y, double Time)>;

// One entry of the hand-off queue as its producer writes it: byte 0 the kind
// (kRecordDataMouseItem or kRecordDataKeyboardItem), bytes 1-4 the recorded
// item it names: its position in its list, little-endian. The position is
// read when the entry is queued, against the list as it is then.
using TRecordDataBlock = std::array<std::uint8_t, 1026>;
inline constexpr std::uint8_t kRecordDataMouseItem = 0;
inline constexpr std::uint8_t kRecordDataKeyboardItem = 1;

// ---- recording ----------------------------------------------------------------

// One recorded keyboard item.
struct TMACROKEYHOOK {
  std::uint16_t nKeyType = 0;           // kMacroDelayItem or kMacroKeyItem
  std::uint16_t nKeyState = 0;          // key item: 1 down, 0 up; delay item: 0
  std::uint16_t nKeyValue = 0;          // key item: virtual-key code; delay item: milliseconds
  std::uint16_t nKeyValueExtended = 0;  // key item: the extended-key flag; delay item: 0
  double Time = 0;                      // not set by the recorders
  std::string MacroKeyString;           // not set by the recorders
  std::string MacroKeyStateString;      // not set by the recorders
};

// One recorded mouse item.
struct TMOUSEMACROKEY {
  std::uint16_t nKeyType = 0;   // kMacroDelayItem or kMacroKeyItem (a button)
  std::uint16_t nKeyState = 0;  // button item: 1 down, 0 up; delay item: 0
  TMouseButtons MouseButton = TMouseButtons::BUTTON_NONE;
  std::uint16_t X = 0, Y = 0;    // the low 16 bits of the event's screen position
  std::uint16_t TimeValue = 0;   // delay since the previous mouse event (low 16 bits); 0 for the first
  double Time = 0;               // not set by the recorder
  std::string MacroKeyString;    // not set by the recorder
  std::string MacroKeyStateString;
};

inline constexpr std::uint16_t kMacroDelayItem = 0;
inline constexpr std::uint16_t kMacroKeyItem = 1;

// The combination being built.
struct TCOMBOKEY {
  std::uint16_t nKeyValue1 = 0;  // 0: none
  std::uint16_t nKeyValue1Extended = 0;
  std::uint16_t nKeyValue2 = 0;  // 0: none
  std::uint16_t nKeyValue2Extended = 0;
  std::uint16_t nModifier = 0;   // kModifierAlt | kModifierCtrl | kModifierShift | kModifierWin
  std::uint32_t nScanKey1 = 0;
  std::uint32_t nScanKey2 = 0;
};
inline constexpr std::uint16_t kModifierAlt = 1;
inline constexpr std::uint16_t kModifierCtrl = 2;
inline constexpr std::uint16_t kModifierShift = 4;
inline constexpr std::uint16_t kModifierWin = 8;

struct TMouseButtonString {
  TMouseButtons MouseButton;
  const char* ButtonDescription;
};
// The text of a mouse button ("Mouse Click", "Wheel up(Mouse)" ...), empty
// for buttons without one.
const std::string& GetMouseButtonDescription(TMouseButtons button);

struct TMacroKeyObject {
  TMACROKEYHOOK FMacroKey;
};
struct TMOUSEMacroKeyObject {
  TMOUSEMACROKEY FMOUSEMacroKey;
};
// The recorded items in order; each item's string is its position ("0",
// "1", ...).
using TMacroKeyList = THookObjectList<TMacroKeyObject>;
using TMouseMacroKeyList = THookObjectList<TMOUSEMacroKeyObject>;

using TOnRecordKeyboardSingleKey =
    std::function<void(std::int32_t Key, std::uint32_t ScanKey, std::int32_t AState, std::int32_t AKeyExtended,
                       const std::string& SingleKeyString, bool& ABlocked)>;
using TOnRecordKeyboardComboKey =
    std::function<void(std::int32_t Key1, std::int32_t Key1Extended, std::int32_t Key2, std::int32_t Key2Extended,
                       std::int32_t Modifier, const std::string& ComboKeyString)>;
using TOnRecordKeyboardComboKey2 = std::function<void(
    std::int32_t Key1, std::int32_t ScanKey1, std::int32_t Key1Extended, std::int32_t Key2, std::int32_t ScanKey2,
    std::int32_t Key2Extended, std::int32_t Modifier, const std::string& ComboKeyString)>;
using TOnRecordKeyboardMacroKey = std::function<void(
    std::int32_t MacroType, std::int32_t Key1, std::int32_t AState, std::int32_t Extended, double Time,
    const std::string& MacroKeyString, const std::string& MacroKeyStateString, const TMacroKeyList& KeyList)>;
using TOnRecordKeyboardMacroKeyEx = std::function<void(
    std::int32_t MacroType, std::int32_t Key1, std::int32_t AState, std::int32_t Extended, double Time,
    std::uint32_t TotalTime, const std::string& MacroKeyString, const std::string& MacroKeyStateString,
    const TMacroKeyList& KeyList)>;
using TOnRecordMouseMacroKey = std::function<void(
    std::int32_t MacroType, TMouseButtons AButton, std::int32_t AState, std::uint16_t X, std::uint16_t Y,
    double Time, const std::string& MacroKeyString, const std::string& MacroKeyStateString,
    const TMouseMacroKeyList& MouseRecordList)>;
// The handler takes the items it keeps by moving them out of the list (or
// swapping the whole list); the component frees whatever is left.
using TOnStopRecordKeyboardMacroKey = std::function<void(TMacroKeyList& KeyoboardRecordList)>;
using TOnStopRecordMouseMacroKey = std::function<void(const TMouseMacroKeyList& MouseRecordList)>;

class TqvHook {
 public:
  static constexpr char kLibraryName[] = "qvHook.dll";

  // Loads the library (a missing one is reported by a message box) and
  // starts the worker thread.
  explicit TqvHook(Platform& platform);
  // Stops both slots, unloads the library, ends the worker thread (handling
  // messages while it hands the queue to this thread) and frees every rule
  // object.
  ~TqvHook();
  TqvHook(const TqvHook&) = delete;
  TqvHook& operator=(const TqvHook&) = delete;

  // True when the library with its four entry points is available.
  bool DLLLoaded() const { return FDLLLoaded; }

  void StartHookKeyboard();
  void StopHookKeyboard();
  void StartHookMouse();
  void StopHookMouse();

  // Ownership of the object passes to the component.
  void AddKeyboardHookObject(std::unique_ptr<TKeyBoardHookDetailObject> AObject);
  void RemoveAllKeyboardHookObject();
  void AddMouseHookObject(std::unique_ptr<TMouseHookDetailObject> AObject);
  void RemoveAllMouseHookObject();
  std::size_t KeyboardHookObjectCount() const { return FKeyboardHookObjectList.items.size(); }
  std::size_t MouseHookObjectCount() const { return FMouseHookObjectList.items.size(); }
  const TMouseHookDetail& MouseHookObject(std::size_t i) const {
    return FMouseHookObjectList.items[i].second->FMouseHookDetail;
  }

  // Rule matching of one event, as the library's callbacks run it; the
  // library passes Blocked presented as false.
  void KeyboardHookProc(std::int32_t code, const TKBDLLHOOKSTRUCT& data, bool& blocked);
  void MouseHookProc(std::int32_t code, std::uintptr_t message, const TMSLLHOOKSTRUCT& data, bool& blocked);

  // Runs on the main thread when the data event is set: drains the hand-off
  // queue in order, raising the recording event of each recorded item the
  // entries name, with the list as it was up to that item.
  void ProcessDataEvent();
  // Queues one entry for the main thread and sets the data event (from any
  // thread; typically from a recording event on the library's thread). The
  // item it names is copied at once, with the items before it, so that the
  // main thread never reads a list a recording is appending to, and a later
  // recording cannot change what the entry names. An entry naming no item
  // raises nothing. The first entry starts the worker thread.
  void QueueRecordData(std::unique_ptr<TRecordDataBlock> block);

  // ---- recording: each Record takes its kind's slot, each Stop empties it ----
  void RecordKeyboardSingleKey();
  void StopRecordKeyboardSingleKey();
  void RecordKeyboardComboKey();
  void StopRecordKeyboardComboKey();
  // Frees the items of the previous recording. The time of the last key
  // seen is kept: a recording started within 2000 ms of the previous one's
  // last key begins with a delay item.
  void RecordKeyboardMacroKey();
  // Raises OnStopRecordKeyboardMacroKey with the list, then empties it.
  void StopRecordKeyboardMacroKey();
  void RecordKeyboardMacroKeyEx();
  void StopRecordKeyboardMacroKeyEx();
  void RecordMouseMacro();
  // Raises OnStopRecordMouseMacroKey; the items stay until the next
  // RecordMouseMacro.
  void StopRecordMouseMacro();

  // One event of each recording mode, as the library's callbacks run it.
  void SingleKeyRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked);
  void ComboKeyRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked);
  void MacroKeyRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked);
  void MacroKeyExRecordProc(const TKBDLLHOOKSTRUCT& data, bool& blocked);
  void MouseMacroRecordProc(std::uintptr_t message, const TMSLLHOOKSTRUCT& data, bool& blocked);

  const TMacroKeyList& MacroKeyList() const { return FMacroKeyList; }
  const TMouseMacroKeyList& MouseMacroKeyList() const { return FMouseMacroKeyList; }
  const TCOMBOKEY& ComboKeyInfo() const { return FComboKeyInfo; }
  const std::string& ComboKeyString() const { return FComboKeyString; }

  // Raised on the library's thread: handlers return at once and never wait
  // for the main thread.
  TOnHookKeyboardKey OnHookKeyboardKey;
  TOnHookKeyboardKey OnHookKeyboardAllKey;
  TOnHookMouseButton OnHookMouseButton;
  TOnHookAllMouseButton OnHookMouseAllButton;
  TOnHookMouseMove OnHookMouseMove;
  TOnRecordKeyboardSingleKey OnRecordKeyboardSingleKey;
  TOnRecordKeyboardComboKey OnRecordKeyboardComboKey;
  TOnRecordKeyboardComboKey2 OnRecordKeyboardComboKey2;
  TOnRecordKeyboardMacroKey OnRecordKeyboardMacroKey;
  TOnRecordKeyboardMacroKeyEx OnRecordKeyboardMacroKeyEx;
  TOnRecordMouseMacroKey OnRecordMouseMacroKey;
  TOnStopRecordKeyboardMacroKey OnStopRecordKeyboardMacroKey;
  TOnStopRecordMouseMacroKey OnStopRecordMouseMacroKey;

 private:
  // 1 when the library is (already) loaded with its entry points, else 0.
  int LoadHookLibrary();
  void UnloadHookLibrary();
  HookLibrary* Library() const;
  ThreadRun DataEventThreadProc();
  // Starts the worker thread unless it runs or the component is closing.
  void StartWorker();
  static void KeyboardCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                               std::uint8_t* blocked);
  static void MouseCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                            std::uint8_t* blocked);
  using KeyboardProc = void (TqvHook::*)(const TKBDLLHOOKSTRUCT&, bool&);
  template <KeyboardProc Proc>
  static void KeyboardRecordCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                                     std::uint8_t* blocked);
  static void MouseRecordCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                                  std::uint8_t* blocked);
  void EnableKeyboardSlot(HookLibraryCallback callback);
  void EnableMouseSlot(HookLibraryCallback callback);
  void AppendMacroKey(std::uint16_t type, std::uint16_t state, std::uint16_t value, std::uint16_t extended);
  void AppendMouseMacroKey(const TMOUSEMACROKEY& item);
  // Empties an item list under the item lock and hands its items over (a
  // caller that drops them frees them outside the lock).
  template <typename T>
  THookObjectList<T> TakeItems(THookObjectList<T>& list);

  Platform& platform_;
  bool FDLLLoaded = false;
  THookObjectList<TKeyBoardHookDetailObject> FKeyboardHookObjectList;
  THookObjectList<TMouseHookDetailObject> FMouseHookObjectList;
  std::shared_ptr<KernelEvent> FGlobalEvent;      // stops the worker thread
  std::shared_ptr<KernelEvent> FGlobalDataEvent;  // makes it drain the queue
  // What a queued entry names, copied when it was queued.
  struct TRecordDataEntry {
    TMacroKeyList keys;          // keyboard: the list up to and with the item
    TMouseMacroKeyList buttons;  // mouse: the same
  };
  std::mutex FRecordDataLock;
  std::vector<TRecordDataEntry> FRecordDataToProcessList;
  std::unique_ptr<KernelThread> FIdThreadComponentDataEvent;  // from the first entry on; set through handOffs_
  bool threadTerminated_ = false;  // the worker's own
  // The worker starts no hand-off (and no worker starts) once the component
  // is closing; the destructor handles messages while one is under way.
  MainThreadHandOffs handOffs_;

  // Recording state; touched by the library's thread while a recording of
  // its kind runs, by the operations above only while none runs (each
  // empties its slot before it changes them). The item lists change under
  // FItemLock as well, so that an entry can be copied from them on any
  // thread.
  TCOMBOKEY FComboKeyInfo;
  std::string FComboKeyString;
  std::mutex FItemLock;
  TMacroKeyList FMacroKeyList;
  TMouseMacroKeyList FMouseMacroKeyList;
  std::uint32_t FLastTimeKeyboardCombo = 0;  // 0: none
  std::uint32_t FLastTimeKeyboardMacro = 0;  // 0: none
  TKBDLLHOOKSTRUCT FLastMacroKey{};          // vkCode 0: none
  std::uint32_t FTotalMacroTime = 0;
  std::array<std::uint8_t, 256> FAllKeyState{};  // 1: recorded down, its up not yet
  std::uint32_t FLastTimeMouseMacro = 0;     // 0: none
};

}  // namespace zr
