// Windows, their controls and pictures, timers and the main thread's message
// loop.
#pragma once

#include "platform/win32/windows_h.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windowing.h"

namespace zr::win32 {

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

  // A control as the program made it. Its window is made when its parent is
  // first shown: a window that is never shown (the monitor's face) costs no
  // child windows, no pictures and no common-controls library.
  struct Control {
    ControlLayout layout;  // its text and visibility kept up to date
    std::function<void()> onClick;
    HWND hwnd = nullptr;
  };
  // What a window of ours carries: its handler and its controls.
  struct WindowData {
    WindowProcedure procedure;
    std::vector<std::unique_ptr<Control>> controls;
    bool controlsMade = false;
    std::vector<HGDIOBJ> pictures;  // freed with the window
  };
  void MakeControls(HWND parent, WindowData& data);

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

}  // namespace zr::win32
