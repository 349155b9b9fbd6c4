// Windows libraries that only some of the program's paths need (COM, the
// shell, the legacy mixer) are not imported: each is loaded from the system
// folder when one of its functions is first called. A start that does not
// need one neither loads it nor waits for it.
#pragma once

#include "platform/win32/windows_h.h"

namespace zr::win32 {

// Loads the library from the system folder (one more reference to it when it
// is loaded already); null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

template <class F>
F FunctionOf(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through the generic function pointer type, which converts to any other.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A function of a system library that stays loaded from then on; null when
// the library or the function is missing. Callers keep the address (a
// function-local static).
template <class F>
F SystemFunction(const wchar_t* library, const char* name) {
  return FunctionOf<F>(LoadSystemLibrary(library), name);
}

// The shell (shell32.dll, which brings shlwapi.dll and shcore.dll) is held
// only for the call that needs it: the tray icon's few calls and the folder
// look-ups do not keep it resident for the whole session. Once a program or
// a web address has been opened through it, it stays (ShellExecute may leave
// work of its own running: a DDE conversation, COM objects).
inline constexpr wchar_t kShell32[] = L"shell32.dll";

// A system library held for one call and released after it: a library that
// a program needs now and then is not kept resident in between.
class LibraryUse {
 public:
  explicit LibraryUse(const wchar_t* name) : module_(LoadSystemLibrary(name)) {}
  ~LibraryUse() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LibraryUse(const LibraryUse&) = delete;
  LibraryUse& operator=(const LibraryUse&) = delete;
  template <class F>
  F Function(const char* name) const {
    return FunctionOf<F>(module_, name);
  }

 private:
  HMODULE module_;
};

}  // namespace zr::win32
