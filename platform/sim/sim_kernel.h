// The simulated kernel: events and threads without real concurrency. A
// thread's body runs on the caller's thread when it starts and again after
// every change that may end one of its waits (an event set, a simulated
// read or request completed), until it ends. Runs are in thread start order
// and never nest, so what happens is the same on every run of a test.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/kernel.h"

namespace zr::sim {

class SimKernel;

class SimEvent final : public KernelEvent {
 public:
  explicit SimEvent(SimKernel& kernel) : kernel_(kernel) {}
  void Set() override;
  void Reset() override { set_ = false; }
  bool IsSet() const { return set_; }

 private:
  SimKernel& kernel_;
  bool set_ = false;
};

class SimKernel final : public Kernel {
 public:
  SimKernel() = default;
  ~SimKernel() override;
  SimKernel(const SimKernel&) = delete;
  SimKernel& operator=(const SimKernel&) = delete;

  std::shared_ptr<KernelEvent> CreateManualResetEvent() override;
  int WaitForAny(std::span<KernelEvent* const> events) override;
  std::unique_ptr<KernelThread> StartThread(std::function<ThreadRun()> body) override;

  // Something changed: every thread that waits runs until none can go on.
  // Inside a run the others run after it, in the same round.
  void Wake();
  std::size_t LiveThreads() const;
  // The simulated thread whose body is running, 0 outside every body (the
  // test's own thread, which plays the main thread).
  std::size_t CurrentThread() const { return current_; }
  // Lets every thread go without running it again (its body is released).
  void DropAllThreads();

 private:
  struct Thread {
    std::function<ThreadRun()> body;
    std::size_t id = 0;
    bool finished = false;
  };
  friend class SimThreadHandle;
  std::vector<std::shared_ptr<Thread>> threads_;
  bool running_ = false;
  bool again_ = false;
  std::size_t current_ = 0;
  std::size_t nextId_ = 1;
};

}  // namespace zr::sim
