#include "platform/win32/win32_system.h"

#include "platform/win32/win32_text.h"

namespace zr::win32 {

bool Win32System::MutexExists(std::string_view name) {
  HANDLE h = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Widen(name).c_str());
  if (h == nullptr) return false;
  CloseHandle(h);
  return true;
}

MutexHandle Win32System::CreateOwnedMutex(std::string_view name, bool& alreadyExisted) {
  HANDLE h = CreateMutexW(nullptr, TRUE, Widen(name).c_str());
  alreadyExisted = h != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  return reinterpret_cast<MutexHandle>(h);
}

void Win32System::ReleaseMutex(MutexHandle mutex) {
  HANDLE h = reinterpret_cast<HANDLE>(mutex);
  if (h == nullptr) return;
  ::ReleaseMutex(h);
  CloseHandle(h);
}

void Win32System::DebugOutput(std::string_view text) { OutputDebugStringW(Widen(text).c_str()); }

LocalDateTime Win32System::LocalTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

int Win32System::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  return MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

}  // namespace zr::win32
