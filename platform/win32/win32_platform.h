// The real platform: Win32 calls as the program makes them on Windows.
#pragma once

#include "platform/win32/windows_h.h"

#include <functional>
#include <map>
#include <set>
#include <vector>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_bitmaps.h"
#include "platform/win32/win32_devices.h"
#include "platform/win32/win32_hook_library.h"
#include "platform/win32/win32_input_audio.h"
#include "platform/win32/win32_locale.h"
#include "platform/win32/win32_services.h"

namespace zr::win32 {

class Win32System final : public System {
 public:
  bool MutexExists(std::string_view name) override;
  MutexHandle CreateOwnedMutex(std::string_view name, bool& alreadyExisted) override;
  void ReleaseMutex(MutexHandle mutex) override;
  void DebugOutput(std::string_view text) override;
  LocalDateTime LocalTime() override;
  int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;
};

class Win32Files final : public FileSystem {
 public:
  bool FileExists(std::string_view path) override;
  bool FolderExists(std::string_view path) override;
  bool CreateFolder(std::string_view path) override;
  FileReadResult ReadFile(std::string_view path, std::size_t maxBytes) override;
  IoResult ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  IoResult AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  std::optional<std::uint64_t> FileSize(std::string_view path) override;
  bool MoveFileReplacing(std::string_view source, std::string_view target) override;
  bool DeleteFile(std::string_view path) override;
  bool CopyFile(std::string_view source, std::string_view target, bool failIfExists) override;
  // The executable's folder unless another one was given.
  std::string ExecutableFolder() override;
  std::string DocumentsFolder() override;
  std::string WindowsFolder() override;
  std::string LocalAppDataFolder() override;
  // Another folder (ending with a backslash) to count as the executable's.
  void SetExecutableFolder(std::string folder) { executableFolder_ = std::move(folder); }

 private:
  std::string executableFolder_;
};

class Win32Registry final : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenOrCreateKey(RegistryRoot root, std::string_view path) override;
  std::unique_ptr<RegistryKey> OpenKeyForReading(RegistryRoot root, std::string_view path) override;
  bool KeyExists(RegistryRoot root, std::string_view path) const override;
};

class Win32Windowing final : public Windowing {
 public:
  Win32Windowing();
  ~Win32Windowing() override;

  WindowHandle CreateHiddenWindow(std::string_view className, std::string_view title, WindowProcedure procedure,
                                  int width = 0, int height = 0) override;
  void DestroyWindow(WindowHandle window) override;
  void SetWindowTitle(WindowHandle window, std::string_view title) override;
  void ShowWindow(WindowHandle window, bool show) override;
  bool SetForegroundWindow(WindowHandle window) override;
  WindowHandle FindWindowByClass(std::string_view className) override;
  std::uint32_t RegisterWindowMessage(std::string_view name) override;
  ControlHandle CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) override;
  void SetControlText(ControlHandle control, std::string_view text) override;
  void ShowControl(ControlHandle control, bool show) override;
  bool PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  std::optional<std::intptr_t> SendMessageTimeout(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                                  std::intptr_t lParam, std::uint32_t timeoutMs) override;
  TimerId StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
  void StopTimer(TimerId timer) override;
  void RunMessageLoop() override;
  void Quit() override;
  bool QuitRequested() const override { return quitRequested_; }
  void ProcessMessages() override;
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
  // From another thread: a message sent to the adapter's hidden window.
  bool RunOnMainThread(const std::function<void()>& work) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void RegisterClassOnce(const std::wstring& className);

  // What a window of ours carries: its handler and the click handlers of
  // its controls.
  struct WindowData {
    WindowProcedure procedure;
    std::map<HWND, std::function<void()>> clicks;
    std::vector<HGDIOBJ> pictures;  // freed with the window
  };

  HINSTANCE instance_;
  DWORD mainThread_;
  HWND timerWindow_ = nullptr;
  int nextControlId_ = 100;
  std::set<std::wstring> registered_;
  std::map<TimerId, std::function<void()>> timers_;
  TimerId nextTimer_ = 1;
  bool quitRequested_ = false;
  bool quitReceived_ = false;
};

class Win32Shell final : public ShellPort {
 public:
  std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory, int showCommand) override;
  std::unique_ptr<ProcessHandle> ShellExecuteEx(std::uint32_t mask, std::string_view verb, std::string_view file,
                                                std::string_view parameters, std::string_view directory,
                                                int showCommand) override;
};

class Win32Tray final : public TrayPort {
 public:
  bool AddIcon(WindowHandle owner, std::uint32_t id, std::uint32_t callbackMessage, std::string_view hint) override;
  bool SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) override;
  bool DeleteIcon(WindowHandle owner, std::uint32_t id) override;
  int TrackPopupMenu(WindowHandle owner, const std::vector<std::string>& captions) override;
};

// The device-side ports of a platform.
struct DevicePorts {
  Kernel& kernel;
  HidPort& hid;
  DeviceNotifications& notifications;
  ControlDevices& controlDevices;
};

class Win32Platform {
 public:
  // Everything real.
  Win32Platform() : Win32Platform(nullptr) {}
  // Real windows, files, registry, shell and tray with other device ports
  // (the simulated mouse and driver).
  explicit Win32Platform(const DevicePorts& devices) : Win32Platform(&devices) {}
  Platform& platform() { return platform_; }
  Win32Windowing& windowing() { return windowing_; }
  Win32Files& files() { return files_; }

 private:
  explicit Win32Platform(const DevicePorts* devices)
      : realDevices_(devices == nullptr ? std::make_unique<Win32Devices>() : nullptr),
        platform_{system_,
                  files_,
                  registry_,
                  windowing_,
                  devices ? devices->kernel : realDevices_->kernel,
                  devices ? devices->hid : realDevices_->hid,
                  devices ? devices->notifications : realDevices_->notifications,
                  devices ? devices->controlDevices : realDevices_->controlDevices,
                  shell_,
                  tray_,
                  locale_,
                  input_,
                  audio_,
                  hookLibrary_,
                  os_,
                  deviceSetup_,
                  services_,
                  bitmaps_} {}

  Win32System system_;
  Win32Files files_;
  Win32Registry registry_;
  Win32Windowing windowing_;
  Win32Shell shell_;
  Win32Tray tray_;
  Win32Locale locale_;
  Win32Input input_;
  Win32Audio audio_;
  Win32HookLibraryPort hookLibrary_;
  Win32OsFacts os_;
  Win32DeviceSetup deviceSetup_;
  Win32Services services_;
  Win32Bitmaps bitmaps_;
  std::unique_ptr<Win32Devices> realDevices_;
  Platform platform_;
};

}  // namespace zr::win32
