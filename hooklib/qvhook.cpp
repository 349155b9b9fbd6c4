// qvHook.dll: system-wide low-level keyboard and mouse hooks, one slot per
// device kind, each handing its events to the callback its owner enabled.
//
// The hooks live on a thread of the library's own with its own message loop,
// so that a program whose main thread sleeps inside its handlers never stalls
// the desktop's input: Windows calls a low-level hook on the thread that
// installed it, and waits for it before the event goes on. Every change of a
// slot is sent to that thread and carried out there, between two callbacks;
// so when Enable or Disable returns, no callback of the slot's old owner runs
// any more.
//
// Windows silently removes a low-level hook whose callback once took longer
// than LowLevelHooksTimeout, and after a sleep or a locked session a hook can
// be gone without a word. The thread's window is told when the system resumes
// and when the session is unlocked, and then installs the active hooks anew.
// Nothing polls: an idle program is never woken.
#include <windows.h>
#include <wtsapi32.h>

#include <cstdint>

#include "platform/hook_library.h"  // the callback the owner hands over
#include "platform/win32/win32_libraries.h"

namespace {

using HookCallback = zr::HookLibraryCallback;

struct Slot {
  int kind;  // WH_KEYBOARD_LL or WH_MOUSE_LL
  HOOKPROC proc;
  // Touched only on the hook thread.
  HHOOK hook;
  HookCallback callback;
  void* owner;
};

struct EnableRequest {
  HookCallback callback;
  void* owner;
};

constexpr UINT kEnable = WM_APP + 1;   // wParam: slot; lParam: EnableRequest*
constexpr UINT kDisable = WM_APP + 2;  // wParam: slot
constexpr wchar_t kWindowClass[] = L"qvHook.HookThread";

HINSTANCE gInstance = nullptr;
CRITICAL_SECTION gStartLock;
HWND gWindow = nullptr;  // the hook thread's window, once it runs

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam);

Slot gSlots[2] = {
    {WH_KEYBOARD_LL, KeyboardProc, nullptr, nullptr, nullptr},
    {WH_MOUSE_LL, MouseProc, nullptr, nullptr, nullptr},
};
constexpr WPARAM kKeyboardSlot = 0;
constexpr WPARAM kMouseSlot = 1;

LRESULT Deliver(Slot& slot, int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && slot.callback != nullptr) {
    std::uint8_t blocked = 0;
    slot.callback(slot.owner, code, static_cast<std::uintptr_t>(wParam), reinterpret_cast<void*>(lParam), &blocked);
    if (blocked != 0) return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
  return Deliver(gSlots[kKeyboardSlot], code, wParam, lParam);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) {
  return Deliver(gSlots[kMouseSlot], code, wParam, lParam);
}

void Unhook(Slot& slot) {
  if (slot.hook != nullptr) UnhookWindowsHookEx(slot.hook);
  slot.hook = nullptr;
}

// On the hook thread.
bool Install(Slot& slot) {
  Unhook(slot);
  slot.hook = SetWindowsHookExW(slot.kind, slot.proc, gInstance, 0);
  return slot.hook != nullptr;
}

void ReinstallActiveHooks() {
  for (Slot& slot : gSlots) {
    if (slot.callback != nullptr) Install(slot);
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kEnable: {
      if (wParam > kMouseSlot || lParam == 0) return FALSE;
      Slot& slot = gSlots[wParam];
      const auto* request = reinterpret_cast<const EnableRequest*>(lParam);
      slot.callback = request->callback;
      slot.owner = request->owner;
      if (slot.callback == nullptr) {
        Unhook(slot);
        return FALSE;
      }
      return Install(slot) ? TRUE : FALSE;
    }
    case kDisable:
      if (wParam > kMouseSlot) return FALSE;
      Unhook(gSlots[wParam]);
      gSlots[wParam].callback = nullptr;
      gSlots[wParam].owner = nullptr;
      return TRUE;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) ReinstallActiveHooks();
      return TRUE;
    case WM_WTSSESSION_CHANGE:
      if (wParam == WTS_SESSION_UNLOCK) ReinstallActiveHooks();
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// wtsapi32.dll is loaded here, by the hook thread, not with the library: a
// program that never enables a hook does not load it.
void RegisterForSessionChanges(HWND window) {
  using Register = BOOL(WINAPI*)(HWND, DWORD);
  // The library stays loaded with the thread.
  const auto registerNotification =
      zr::win32::SystemFunction<Register>(L"wtsapi32.dll", "WTSRegisterSessionNotification");
  if (registerNotification != nullptr) registerNotification(window, NOTIFY_FOR_THIS_SESSION);
}

struct ThreadStart {
  HANDLE ready;
  HWND window;
};

DWORD WINAPI HookThread(LPVOID parameter) {
  auto* start = static_cast<ThreadStart*>(parameter);
  // The thread runs code of this library until the process ends: it keeps
  // the library loaded, also after its owner has unloaded it.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HookThread), &self);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = gInstance;
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
  // A hidden top-level window: power broadcasts reach top-level windows only.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                gInstance, nullptr);
  if (window != nullptr) RegisterForSessionChanges(window);
  start->window = window;
  SetEvent(start->ready);
  if (window == nullptr) {
    if (self != nullptr) FreeLibraryAndExitThread(self, 1);
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

// The hook thread's window; the thread is started by the first call.
HWND HookWindow() {
  EnterCriticalSection(&gStartLock);
  if (gWindow == nullptr) {
    ThreadStart start = {CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    if (start.ready != nullptr) {
      HANDLE thread = CreateThread(nullptr, 0, HookThread, &start, 0, nullptr);
      if (thread != nullptr) {
        WaitForSingleObject(start.ready, INFINITE);
        CloseHandle(thread);
        gWindow = start.window;
      }
      CloseHandle(start.ready);
    }
  }
  HWND window = gWindow;
  LeaveCriticalSection(&gStartLock);
  return window;
}

BOOL Enable(WPARAM slot, HookCallback callback, void* owner) {
  HWND window = HookWindow();
  if (window == nullptr) return FALSE;
  EnableRequest request = {callback, owner};
  return SendMessageW(window, kEnable, slot, reinterpret_cast<LPARAM>(&request)) != 0 ? TRUE : FALSE;
}

BOOL Disable(WPARAM slot) {
  EnterCriticalSection(&gStartLock);
  HWND window = gWindow;
  LeaveCriticalSection(&gStartLock);
  if (window == nullptr) return TRUE;  // nothing was ever enabled
  return SendMessageW(window, kDisable, slot, 0) != 0 ? TRUE : FALSE;
}

}  // namespace

extern "C" {

BOOL WINAPI EnableKeyboardHook(HookCallback callback, void* owner, DWORD /*reserved*/) {
  return Enable(kKeyboardSlot, callback, owner);
}

BOOL WINAPI DisableKeyboardHook() { return Disable(kKeyboardSlot); }

BOOL WINAPI EnableMouseHook(HookCallback callback, void* owner, DWORD /*reserved*/) {
  return Enable(kMouseSlot, callback, owner);
}

BOOL WINAPI DisableMouseHook() { return Disable(kMouseSlot); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gInstance = instance;
    InitializeCriticalSection(&gStartLock);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

}  // extern "C"
