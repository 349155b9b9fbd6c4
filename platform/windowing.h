// Windows, messages, timers, the message loop and sleeping, as seen by the
// program's main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zr {

using WindowHandle = std::uintptr_t;  // 0: none
using TimerId = std::uint32_t;        // 0: none

using ControlHandle = std::uintptr_t;  // 0: none

enum class ControlKind {
  Picture,  // the face's picture, filling its rectangle
  Label,
  Button,
  Panel,    // a framed area that holds labels
  Link,     // a small picture that reacts to clicks
};

struct ControlLayout {
  ControlKind kind = ControlKind::Label;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;
  bool visible = true;
};

// A window's message handler. An empty result hands the message to the
// platform's default handling.
using WindowProcedure =
    std::function<std::optional<std::intptr_t>(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)>;

class Windowing {
 public:
  virtual ~Windowing() = default;

  // A borderless top-level window of that client size, centred on the
  // desktop, hidden, without a task-bar button, found by other processes
  // through its class name. Its face (a picture and controls) is drawn by
  // the platform.
  virtual WindowHandle CreateHiddenWindow(std::string_view className, std::string_view title,
                                          WindowProcedure procedure, int width = 0, int height = 0) = 0;
  virtual void DestroyWindow(WindowHandle window) = 0;
  virtual void SetWindowTitle(WindowHandle window, std::string_view title) = 0;
  virtual void ShowWindow(WindowHandle window, bool show) = 0;
  virtual bool SetForegroundWindow(WindowHandle window) = 0;
  virtual WindowHandle FindWindowByClass(std::string_view className) = 0;
  // A message number shared by every program that registers the same name.
  virtual std::uint32_t RegisterWindowMessage(std::string_view name) = 0;

  // Controls on a window's face; `onClick` runs on the main thread.
  virtual ControlHandle CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) = 0;
  virtual void SetControlText(ControlHandle control, std::string_view text) = 0;
  virtual void ShowControl(ControlHandle control, bool show) = 0;

  virtual bool PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual std::intptr_t SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  // The same to another program's window, waiting at most `timeoutMs` for
  // its answer; nothing when the window is gone, hangs or does not answer
  // in time.
  virtual std::optional<std::intptr_t> SendMessageTimeout(WindowHandle window, std::uint32_t msg,
                                                          std::uintptr_t wParam, std::intptr_t lParam,
                                                          std::uint32_t timeoutMs) = 0;

  // A repeating timer of the main thread; `onTick` runs from the message loop.
  virtual TimerId StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) = 0;
  virtual void StopTimer(TimerId timer) = 0;

  // Runs the message loop until Quit.
  virtual void RunMessageLoop() = 0;
  // Ends the message loop (the application is told to terminate).
  virtual void Quit() = 0;
  virtual bool QuitRequested() const = 0;
  // Dispatches every pending message of the main thread, then returns.
  virtual void ProcessMessages() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;

  // Blocking hand-off from another thread: `work` runs on the main thread
  // when it next processes messages, and the caller waits until it has run.
  // On the main thread itself it runs at once. False when it could not run
  // (the main thread's windows are gone).
  virtual bool RunOnMainThread(const std::function<void()>& work) = 0;
};

}  // namespace zr
