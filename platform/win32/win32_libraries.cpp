#include "platform/win32/win32_libraries.h"

#include <string>

namespace zr::win32 {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  // By its full path: never a file of that name in the program's folder.
  wchar_t folder[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(folder, n) + L"\\" + name).c_str());
}

}  // namespace zr::win32
