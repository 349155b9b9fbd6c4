// The simulated desktop and windowing: the windows of every program in the
// world, and the message queue of each program's main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windowing.h"

namespace zr::sim {

class SimWorld;
class SimQueue;

struct ReceivedMessage {
  std::uint32_t msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::uint64_t time;
};

struct SimControl {
  ControlHandle handle = 0;
  ControlLayout layout;  // layout.text and layout.visible follow the program's changes
  std::function<void()> onClick;
};

struct SimWindow {
  WindowHandle handle = 0;
  std::string className;
  std::string title;
  SimQueue* queue = nullptr;  // null: a window of a program outside the simulation
  WindowProcedure procedure;
  int width = 0, height = 0;
  bool visible = false;
  bool destroyed = false;
  std::vector<ReceivedMessage> received;  // every message posted or sent to it
  std::vector<SimControl> controls;
  // The control showing this text, or null.
  SimControl* ControlWithText(std::string_view text);
  // Messages received with this number.
  std::vector<ReceivedMessage> Received(std::uint32_t msg) const;
};

class SimDesktop {
 public:
  SimDesktop() = default;
  SimWindow& Add(std::string className, std::string title, SimQueue* queue, WindowProcedure procedure);
  SimWindow* Get(WindowHandle handle);
  // The first living window of that class, letter case ignored.
  SimWindow* FindByClass(std::string_view className);
  int CountByClass(std::string_view className) const;
  // A window of another program that records what it receives; its handler
  // (if any) runs when a message reaches it.
  SimWindow& AddPeerWindow(std::string className, WindowProcedure procedure = nullptr);
  // Every living window, in creation order.
  std::vector<SimWindow*> Windows();
  WindowHandle foreground = 0;
  SimControl* Control(ControlHandle handle);
  ControlHandle NextControlHandle() { return nextControl_ += 4; }

 private:
  ControlHandle nextControl_ = 0x8000;
  std::vector<std::unique_ptr<SimWindow>> windows_;
  WindowHandle next_ = 0x1000;
};

// ---- message queue of one program's main thread ------------------------------

class SimQueue final : public Windowing {
 public:
  explicit SimQueue(SimWorld& world);
  ~SimQueue() override;

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
  // The simulated programs never hang: only a missing window fails.
  std::optional<std::intptr_t> SendMessageTimeout(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                                  std::intptr_t lParam, std::uint32_t timeoutMs) override;
  TimerId StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
  void StopTimer(TimerId timer) override;
  // Runs until Quit, letting virtual time pass while nothing is pending.
  // Throws when nothing could ever wake it.
  void RunMessageLoop() override;
  void Quit() override { quit_ = true; }
  bool QuitRequested() const override { return quit_; }
  void ProcessMessages() override;
  void Sleep(std::uint32_t ms) override;
  // The simulated threads run on the caller's thread: the work runs at once.
  bool RunOnMainThread(const std::function<void()>& work) override;

  // Scheduling by the world.
  bool DispatchOnePosted();
  std::optional<std::uint64_t> NextTimerDue() const;
  void FireDueTimer(std::uint64_t now);
  std::size_t PendingCount() const { return posted_.size(); }
  std::size_t ActiveTimers() const { return timers_.size(); }

 private:
  struct Posted {
    WindowHandle window;
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  struct Timer {
    std::uint32_t interval;
    std::uint64_t due;
    std::uint64_t order;  // ties fire in the order the timers were started
    std::function<void()> onTick;
  };
  void Deliver(SimWindow& window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  SimWorld& world_;
  std::deque<Posted> posted_;
  std::map<TimerId, Timer> timers_;
  TimerId nextTimer_ = 1;
  bool quit_ = false;
};

}  // namespace zr::sim
