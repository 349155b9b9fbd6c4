// Real threads for the components that own threads: a kernel over
// std::thread, a main thread that takes hand-offs only while it handles
// messages (as a Windows thread takes sent messages), and a hook library
// whose callbacks run on whichever thread delivers input, with Enable and
// Disable waiting for a callback under way (as qvHook.dll's own thread
// does). Everything else comes from the simulated platform and is touched
// by the test's (the main) thread only.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_world.h"

namespace zr::test {

class ThreadKernel final : public Kernel {
 public:
  ThreadKernel() = default;
  // Joins the threads still running: every component ends its own first.
  ~ThreadKernel() override { JoinAll(); }
  // Waits until every thread started has ended.
  void JoinAll();
  ThreadKernel(const ThreadKernel&) = delete;
  ThreadKernel& operator=(const ThreadKernel&) = delete;

  std::shared_ptr<KernelEvent> CreateManualResetEvent() override;
  int WaitForAny(std::span<KernelEvent* const> events) override;
  std::unique_ptr<KernelThread> StartThread(std::function<ThreadRun()> body) override;

 private:
  friend class ThreadEvent;
  struct Thread;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Thread>> threads_;
};

// The main thread's hand-offs: RunOnMainThread from another thread waits
// until the main thread handles messages. The rest goes to `inner`, from
// the main thread only.
class MainThreadWindowing final : public Windowing {
 public:
  explicit MainThreadWindowing(Windowing& inner) : inner_(inner) {}

  bool RunOnMainThread(const std::function<void()>& work) override;
  // Runs the hand-offs waiting, then the inner queue's messages.
  void ProcessMessages() override;
  // A real sleep, without handling messages.
  void Sleep(std::uint32_t ms) override;
  // Blocks the main thread until some other thread waits in a hand-off.
  void WaitForHandOff();
  std::uint64_t HandOffsRun() const;

  WindowHandle CreateHiddenWindow(std::string_view c, std::string_view t, WindowProcedure p, int w, int h) override {
    return inner_.CreateHiddenWindow(c, t, std::move(p), w, h);
  }
  void DestroyWindow(WindowHandle h) override { inner_.DestroyWindow(h); }
  void SetWindowTitle(WindowHandle h, std::string_view t) override { inner_.SetWindowTitle(h, t); }
  void ShowWindow(WindowHandle h, bool s) override { inner_.ShowWindow(h, s); }
  bool SetForegroundWindow(WindowHandle h) override { return inner_.SetForegroundWindow(h); }
  WindowHandle FindWindowByClass(std::string_view c) override { return inner_.FindWindowByClass(c); }
  std::uint32_t RegisterWindowMessage(std::string_view n) override { return inner_.RegisterWindowMessage(n); }
  ControlHandle CreateControl(WindowHandle p, const ControlLayout& l, std::function<void()> c) override {
    return inner_.CreateControl(p, l, std::move(c));
  }
  void SetControlText(ControlHandle c, std::string_view t) override { inner_.SetControlText(c, t); }
  void ShowControl(ControlHandle c, bool s) override { inner_.ShowControl(c, s); }
  bool PostMessage(WindowHandle h, std::uint32_t m, std::uintptr_t w, std::intptr_t l) override {
    return inner_.PostMessage(h, m, w, l);
  }
  std::intptr_t SendMessage(WindowHandle h, std::uint32_t m, std::uintptr_t w, std::intptr_t l) override {
    return inner_.SendMessage(h, m, w, l);
  }
  std::optional<std::intptr_t> SendMessageTimeout(WindowHandle h, std::uint32_t m, std::uintptr_t w, std::intptr_t l,
                                                  std::uint32_t ms) override {
    return inner_.SendMessageTimeout(h, m, w, l, ms);
  }
  TimerId StartTimer(std::uint32_t i, std::function<void()> t) override { return inner_.StartTimer(i, std::move(t)); }
  void StopTimer(TimerId t) override { inner_.StopTimer(t); }
  void RunMessageLoop() override { inner_.RunMessageLoop(); }
  void Quit() override { inner_.Quit(); }
  bool QuitRequested() const override { return inner_.QuitRequested(); }

 private:
  struct HandOff {
    const std::function<void()>* work;
    bool done = false;
  };
  Windowing& inner_;
  const std::thread::id main_ = std::this_thread::get_id();
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<HandOff*> waiting_;
  std::uint64_t run_ = 0;
};

// qvHook.dll's contract on real threads: one keyboard and one mouse slot,
// kept by the process across unloads; a callback runs on the thread that
// delivers the event, and Enable and Disable return only when no callback
// of the slot's old owner runs any more.
class ThreadHookLibraryPort final : public HookLibraryPort {
 public:
  std::unique_ptr<HookLibrary> Load(std::string_view fileName, HookLibraryLoad& result) override;
  // One event through its slot, on the calling thread; true when it was not
  // swallowed.
  bool Keyboard(const TKBDLLHOOKSTRUCT& data);
  bool Mouse(std::uint32_t message, const TMSLLHOOKSTRUCT& data);

 private:
  friend class ThreadHookLibrary;
  struct Slot {
    HookLibraryCallback callback = nullptr;
    void* owner = nullptr;
  };
  bool Deliver(Slot& slot, std::uint32_t message, void* data);
  // Held while a callback runs; recursive, as a callback may change a slot
  // (the library's thread takes its own requests at once).
  std::recursive_mutex mutex_;
  Slot keyboard_, mouse_;
};

// A simulated process whose kernel, main-thread hand-offs and hook library
// are the real-thread ones above.
struct RealThreadPorts {
  HidPort* hid = nullptr;
  ControlDevices* controlDevices = nullptr;
};

struct RealThreadProcess {
  sim::SimWorld world;
  sim::SimProcess process{world};
  ThreadKernel kernel;
  MainThreadWindowing windowing{process.platform().windowing};
  ThreadHookLibraryPort hookLibrary;
  Platform platform = With({});
  // The threads end before the ports they use go.
  ~RealThreadProcess() { kernel.JoinAll(); }

  // The process's platform with these ports instead of the simulated ones.
  Platform With(const RealThreadPorts& ports);
};

// Runs `work` on this thread; when it has not returned after `bound`, the
// test program ends with `what` as a failure instead of hanging.
void WithinBound(std::chrono::seconds bound, const char* what, const std::function<void()>& work);

}  // namespace zr::test
