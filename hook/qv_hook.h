// TqvHook: system-wide keyboard and mouse input through the hook library.
// The component loads the library, hands it one callback per device kind with
// itself as the owner, and turns the events the library delivers into its own
// events, filtered by the hook rules its owner registers.
//
// Each device kind is idle, hooking (rule matching) or recording. Recording
// (keys, key combinations and macros) takes over the same slots with
// callbacks of its own and feeds the hand-off queue drained by
// ProcessDataEvent; it is added beside the hooking operations below.
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

// One entry of the hand-off queue: byte 0 the kind, bytes 1-4 the recorded
// item it refers to.
using TRecordDataBlock = std::array<std::uint8_t, 1026>;

class TqvHook {
 public:
  static constexpr char kLibraryName[] = "qvHook.dll";

  // Loads the library (a missing one is reported by a message box) and
  // starts the worker thread.
  explicit TqvHook(Platform& platform);
  // Stops both slots, unloads the library, ends the worker thread and frees
  // every rule object.
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
  // queue in order.
  void ProcessDataEvent();

  // Raised on the library's thread: handlers return at once and never wait
  // for the main thread.
  TOnHookKeyboardKey OnHookKeyboardKey;
  TOnHookKeyboardKey OnHookKeyboardAllKey;
  TOnHookMouseButton OnHookMouseButton;
  TOnHookAllMouseButton OnHookMouseAllButton;
  TOnHookMouseMove OnHookMouseMove;

 private:
  // 1 when the library is (already) loaded with its entry points, else 0.
  int LoadHookLibrary();
  void UnloadHookLibrary();
  HookLibrary* Library() const;
  ThreadRun DataEventThreadProc();
  static void KeyboardCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                               std::uint8_t* blocked);
  static void MouseCallback(void* owner, std::int32_t code, std::uintptr_t message, void* data,
                            std::uint8_t* blocked);

  Platform& platform_;
  bool FDLLLoaded = false;
  THookObjectList<TKeyBoardHookDetailObject> FKeyboardHookObjectList;
  THookObjectList<TMouseHookDetailObject> FMouseHookObjectList;
  std::shared_ptr<KernelEvent> FGlobalEvent;      // stops the worker thread
  std::shared_ptr<KernelEvent> FGlobalDataEvent;  // makes it drain the queue
  std::mutex FRecordDataLock;
  std::vector<std::unique_ptr<TRecordDataBlock>> FRecordDataToProcessList;
  std::unique_ptr<KernelThread> FIdThreadComponentDataEvent;
  bool threadTerminated_ = false;
};

}  // namespace zr
