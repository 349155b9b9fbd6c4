#include "tests/threads/real_threads.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace zr::test {

// ---- the kernel -----------------------------------------------------------------------

class ThreadEvent final : public KernelEvent {
 public:
  explicit ThreadEvent(ThreadKernel& kernel) : kernel_(kernel) {}
  void Set() override {
    {
      std::lock_guard lock(kernel_.mutex_);
      set_ = true;
    }
    kernel_.changed_.notify_all();
  }
  void Reset() override {
    std::lock_guard lock(kernel_.mutex_);
    set_ = false;
  }
  bool IsSet() const { return set_; }  // under the kernel's lock

 private:
  ThreadKernel& kernel_;
  bool set_ = false;
};

struct ThreadKernel::Thread {
  std::thread thread;
  std::atomic<bool> finished{false};
  std::mutex joinLock;
  void Join() {
    std::lock_guard lock(joinLock);
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
  }
};

namespace {

class ThreadHandle final : public KernelThread {
 public:
  explicit ThreadHandle(std::shared_ptr<void> keep, std::function<bool()> finished, std::function<void()> join)
      : keep_(std::move(keep)), finished_(std::move(finished)), join_(std::move(join)) {}
  bool Finished() const override { return finished_(); }
  void Join() override { join_(); }

 private:
  std::shared_ptr<void> keep_;
  std::function<bool()> finished_;
  std::function<void()> join_;
};

}  // namespace

void ThreadKernel::JoinAll() {
  std::vector<std::shared_ptr<Thread>> threads;
  {
    std::lock_guard lock(mutex_);
    threads = threads_;
  }
  for (const auto& t : threads) t->Join();
}

std::shared_ptr<KernelEvent> ThreadKernel::CreateManualResetEvent() { return std::make_shared<ThreadEvent>(*this); }

int ThreadKernel::WaitForAny(std::span<KernelEvent* const> events) {
  for (KernelEvent* e : events) {
    if (dynamic_cast<ThreadEvent*>(e) == nullptr) return kWaitFailed;
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    for (std::size_t i = 0; i < events.size(); ++i) {
      if (static_cast<ThreadEvent*>(events[i])->IsSet()) return static_cast<int>(i);
    }
    changed_.wait(lock);
  }
}

std::unique_ptr<KernelThread> ThreadKernel::StartThread(std::function<ThreadRun()> body) {
  auto t = std::make_shared<Thread>();
  {
    std::lock_guard lock(t->joinLock);
    t->thread = std::thread([t = t.get(), body = std::move(body)]() mutable {
      while (body() == ThreadRun::Waiting) std::this_thread::yield();
      body = nullptr;  // released when it has ended, as on the other kernels
      t->finished = true;
    });
  }
  {
    std::lock_guard lock(mutex_);
    threads_.push_back(t);
  }
  Thread* raw = t.get();
  return std::make_unique<ThreadHandle>(
      t, [raw] { return raw->finished.load(); }, [raw] { raw->Join(); });
}

// ---- the main thread ----------------------------------------------------------------------

bool MainThreadWindowing::RunOnMainThread(const std::function<void()>& work) {
  if (std::this_thread::get_id() == main_) {
    work();
    return true;
  }
  HandOff h{&work};
  std::unique_lock lock(mutex_);
  waiting_.push_back(&h);
  changed_.notify_all();
  changed_.wait(lock, [&] { return h.done; });
  return true;
}

void MainThreadWindowing::ProcessMessages() {
  for (;;) {
    HandOff* h = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (waiting_.empty()) break;
      h = waiting_.front();
      waiting_.erase(waiting_.begin());
    }
    (*h->work)();
    {
      std::lock_guard lock(mutex_);
      h->done = true;
      ++run_;
    }
    changed_.notify_all();
  }
  inner_.ProcessMessages();
}

void MainThreadWindowing::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void MainThreadWindowing::WaitForHandOff() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !waiting_.empty(); });
}

std::uint64_t MainThreadWindowing::HandOffsRun() const {
  std::lock_guard lock(mutex_);
  return run_;
}

// ---- the hook library -------------------------------------------------------------------

class ThreadHookLibrary final : public HookLibrary {
 public:
  explicit ThreadHookLibrary(ThreadHookLibraryPort& port) : port_(port) {}
  void EnableKeyboardHook(HookLibraryCallback callback, void* owner, std::uint32_t) override {
    Set(port_.keyboard_, callback, owner);
  }
  void DisableKeyboardHook() override { Set(port_.keyboard_, nullptr, nullptr); }
  void EnableMouseHook(HookLibraryCallback callback, void* owner, std::uint32_t) override {
    Set(port_.mouse_, callback, owner);
  }
  void DisableMouseHook() override { Set(port_.mouse_, nullptr, nullptr); }

 private:
  void Set(ThreadHookLibraryPort::Slot& slot, HookLibraryCallback callback, void* owner) {
    std::lock_guard lock(port_.mutex_);
    slot = {callback, owner};
  }
  ThreadHookLibraryPort& port_;
};

std::unique_ptr<HookLibrary> ThreadHookLibraryPort::Load(std::string_view, HookLibraryLoad& result) {
  result = HookLibraryLoad::Loaded;
  return std::make_unique<ThreadHookLibrary>(*this);
}

bool ThreadHookLibraryPort::Deliver(Slot& slot, std::uint32_t message, void* data) {
  std::lock_guard lock(mutex_);
  if (slot.callback == nullptr) return true;
  std::uint8_t blocked = 0;
  slot.callback(slot.owner, 0, message, data, &blocked);
  return blocked == 0;
}

bool ThreadHookLibraryPort::Keyboard(const TKBDLLHOOKSTRUCT& data) {
  TKBDLLHOOKSTRUCT copy = data;
  return Deliver(keyboard_, (data.flags & kLlkhfUp) ? sim::kSimWmKeyUp : sim::kSimWmKeyDown, &copy);
}

bool ThreadHookLibraryPort::Mouse(std::uint32_t message, const TMSLLHOOKSTRUCT& data) {
  TMSLLHOOKSTRUCT copy = data;
  return Deliver(mouse_, message, &copy);
}

// ---- the process ---------------------------------------------------------------------------

Platform RealThreadProcess::With(const RealThreadPorts& ports) {
  const Platform& base = process.platform();
  return Platform{base.system,
                  base.files,
                  base.registry,
                  windowing,
                  kernel,
                  ports.hid != nullptr ? *ports.hid : base.hid,
                  base.deviceNotifications,
                  ports.controlDevices != nullptr ? *ports.controlDevices : base.controlDevices,
                  base.shell,
                  base.tray,
                  base.locale,
                  base.input,
                  base.audio,
                  hookLibrary,
                  base.os,
                  base.deviceSetup,
                  base.services,
                  base.bitmaps};
}

void WithinBound(std::chrono::seconds bound, const char* what, const std::function<void()>& work) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock lock(m);
    if (!cv.wait_for(lock, bound, [&] { return done; })) {
      std::fprintf(stderr, "FAILED: %s did not return within %lld s: a deadlock\n", what,
                   static_cast<long long>(bound.count()));
      std::fflush(stderr);
      std::_Exit(1);
    }
  });
  work();
  {
    std::lock_guard lock(m);
    done = true;
  }
  cv.notify_all();
  watchdog.join();
}

}  // namespace zr::test
