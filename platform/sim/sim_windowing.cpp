#include "platform/sim/sim_windowing.h"

#include <algorithm>
#include <stdexcept>

#include "common/text.h"
#include "platform/sim/sim_world.h"

namespace zr::sim {

SimWindow& SimDesktop::Add(std::string className, std::string title, SimQueue* queue, WindowProcedure procedure) {
  auto w = std::make_unique<SimWindow>();
  w->handle = next_ += 0x10;
  w->className = std::move(className);
  w->title = std::move(title);
  w->queue = queue;
  w->procedure = std::move(procedure);
  windows_.push_back(std::move(w));
  return *windows_.back();
}

SimWindow* SimDesktop::Get(WindowHandle handle) {
  for (auto& w : windows_) {
    if (w->handle == handle && !w->destroyed) return w.get();
  }
  return nullptr;
}

SimWindow* SimDesktop::FindByClass(std::string_view className) {
  for (auto& w : windows_) {
    if (!w->destroyed && EqualsIgnoreCase(w->className, className)) return w.get();
  }
  return nullptr;
}

int SimDesktop::CountByClass(std::string_view className) const {
  int n = 0;
  for (const auto& w : windows_) n += !w->destroyed && EqualsIgnoreCase(w->className, className);
  return n;
}

SimWindow& SimDesktop::AddPeerWindow(std::string className, WindowProcedure procedure) {
  return Add(std::move(className), "", nullptr, std::move(procedure));
}

std::vector<SimWindow*> SimDesktop::Windows() {
  std::vector<SimWindow*> out;
  for (auto& w : windows_) {
    if (!w->destroyed) out.push_back(w.get());
  }
  return out;
}

SimControl* SimDesktop::Control(ControlHandle handle) {
  for (auto& w : windows_) {
    for (auto& c : w->controls) {
      if (c.handle == handle && !w->destroyed) return &c;
    }
  }
  return nullptr;
}

SimControl* SimWindow::ControlWithText(std::string_view text) {
  for (auto& c : controls) {
    if (c.layout.text == text) return &c;
  }
  return nullptr;
}

std::vector<ReceivedMessage> SimWindow::Received(std::uint32_t msg) const {
  std::vector<ReceivedMessage> out;
  for (const auto& m : received) {
    if (m.msg == msg) out.push_back(m);
  }
  return out;
}

// ---- queue -------------------------------------------------------------------

SimQueue::SimQueue(SimWorld& world) : world_(world) { world_.Register(this); }
SimQueue::~SimQueue() { world_.Unregister(this); }

WindowHandle SimQueue::CreateHiddenWindow(std::string_view className, std::string_view title,
                                          WindowProcedure procedure, int width, int height) {
  SimWindow& w = world_.desktop.Add(std::string(className), std::string(title), this, std::move(procedure));
  w.width = width;
  w.height = height;
  return w.handle;
}

void SimQueue::ShowWindow(WindowHandle window, bool show) {
  if (SimWindow* w = world_.desktop.Get(window)) w->visible = show;
}

bool SimQueue::SetForegroundWindow(WindowHandle window) {
  if (world_.desktop.Get(window) == nullptr) return false;
  world_.desktop.foreground = window;
  return true;
}

std::uint32_t SimQueue::RegisterWindowMessage(std::string_view name) { return world_.RegisterWindowMessage(name); }

ControlHandle SimQueue::CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) {
  SimWindow* w = world_.desktop.Get(parent);
  if (w == nullptr) return 0;
  const ControlHandle h = world_.desktop.NextControlHandle();
  w->controls.push_back(SimControl{h, layout, std::move(onClick)});
  return h;
}

void SimQueue::SetControlText(ControlHandle control, std::string_view text) {
  if (SimControl* c = world_.desktop.Control(control)) c->layout.text = std::string(text);
}

void SimQueue::ShowControl(ControlHandle control, bool show) {
  if (SimControl* c = world_.desktop.Control(control)) c->layout.visible = show;
}

void SimQueue::DestroyWindow(WindowHandle window) {
  if (SimWindow* w = world_.desktop.Get(window)) {
    w->destroyed = true;
    w->procedure = nullptr;
  }
}

void SimQueue::SetWindowTitle(WindowHandle window, std::string_view title) {
  if (SimWindow* w = world_.desktop.Get(window)) w->title = std::string(title);
}

WindowHandle SimQueue::FindWindowByClass(std::string_view className) {
  SimWindow* w = world_.desktop.FindByClass(className);
  return w ? w->handle : 0;
}

void SimQueue::Deliver(SimWindow& window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  window.received.push_back({msg, wParam, lParam, world_.Now()});
}

bool SimQueue::PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  SimWindow* w = world_.desktop.Get(window);
  if (w == nullptr) return false;
  if (w->queue == nullptr) {
    // A program outside the simulation takes it at once.
    Deliver(*w, msg, wParam, lParam);
    if (w->procedure) w->procedure(msg, wParam, lParam);
    return true;
  }
  w->queue->posted_.push_back({window, msg, wParam, lParam});
  return true;
}

std::intptr_t SimQueue::SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
  SimWindow* w = world_.desktop.Get(window);
  if (w == nullptr) return 0;
  Deliver(*w, msg, wParam, lParam);
  if (!w->procedure) return 0;
  const WindowProcedure procedure = w->procedure;  // the handler may destroy the window
  return procedure(msg, wParam, lParam).value_or(0);
}

std::optional<std::intptr_t> SimQueue::SendMessageTimeout(WindowHandle window, std::uint32_t msg,
                                                          std::uintptr_t wParam, std::intptr_t lParam,
                                                          std::uint32_t) {
  if (world_.desktop.Get(window) == nullptr) return std::nullopt;
  return SendMessage(window, msg, wParam, lParam);
}

TimerId SimQueue::StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
  const TimerId id = nextTimer_++;
  timers_[id] = Timer{intervalMs, world_.Now() + intervalMs, world_.NextTimerOrder(), std::move(onTick)};
  return id;
}

void SimQueue::StopTimer(TimerId timer) { timers_.erase(timer); }

bool SimQueue::DispatchOnePosted() {
  if (quit_ || posted_.empty()) return false;
  const Posted p = posted_.front();
  posted_.pop_front();
  if (SimWindow* w = world_.desktop.Get(p.window)) {
    Deliver(*w, p.msg, p.wParam, p.lParam);
    if (w->procedure) {
      const WindowProcedure procedure = w->procedure;
      procedure(p.msg, p.wParam, p.lParam);
    }
  }
  return true;
}

std::optional<std::uint64_t> SimQueue::NextTimerDue() const {
  if (quit_ || timers_.empty()) return std::nullopt;
  std::uint64_t best = UINT64_MAX;
  for (const auto& [id, t] : timers_) best = std::min(best, t.due);
  return best;
}

void SimQueue::FireDueTimer(std::uint64_t now) {
  const Timer* pick = nullptr;
  TimerId pickId = 0;
  for (const auto& [id, t] : timers_) {
    if (t.due <= now && (pick == nullptr || t.due < pick->due || (t.due == pick->due && t.order < pick->order))) {
      pick = &t;
      pickId = id;
    }
  }
  if (pick == nullptr) return;
  Timer& t = timers_[pickId];
  t.due = now + t.interval;
  const std::function<void()> tick = t.onTick;  // the tick may stop its own timer
  tick();
}

void SimQueue::ProcessMessages() {
  // Bounded, so that a handler that keeps posting to itself shows up as a
  // failure rather than a hang.
  for (int guard = 0; guard < 1000000; ++guard) {
    if (DispatchOnePosted()) continue;
    const auto due = NextTimerDue();
    if (due && *due <= world_.Now()) {
      FireDueTimer(world_.Now());
      continue;
    }
    return;
  }
  throw std::runtime_error("message processing does not come to rest");
}

void SimQueue::Sleep(std::uint32_t ms) { world_.Sleep(ms); }

bool SimQueue::RunOnMainThread(const std::function<void()>& work) {
  work();
  return true;
}

void SimQueue::RunMessageLoop() {
  while (!quit_) {
    ProcessMessages();
    if (quit_) break;
    if (!world_.AdvanceToNextTimer()) {
      throw std::runtime_error("the message loop would wait forever: nothing is pending");
    }
  }
}

}  // namespace zr::sim
