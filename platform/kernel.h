// Kernel services for the program's own threads: manual-reset events, waits
// on them and threads.
//
// A thread body is written so that it can be resumed: on the real platform a
// wait blocks and the body runs to its end in one call; on the simulated
// platform a wait that would block answers kWaitNotYet instead, the body
// returns ThreadRun::Waiting with its state kept, and the simulation calls it
// again whenever something it may wait for has changed. The same body code
// thus runs on real threads and on the simulation's virtual time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>

namespace zr {

class KernelEvent {
 public:
  virtual ~KernelEvent() = default;
  virtual void Set() = 0;
  virtual void Reset() = 0;
};

// What a wait gives besides the index of the event that is set.
inline constexpr int kWaitNotYet = -1;  // simulated platform: nothing is set yet
inline constexpr int kWaitFailed = -2;  // the wait itself failed

enum class ThreadRun { Ended, Waiting };

class KernelThread {
 public:
  // Dropping the handle leaves the thread running to its end.
  virtual ~KernelThread() = default;
  virtual bool Finished() const = 0;
  // Waits until the body has ended.
  virtual void Join() = 0;
};

class Kernel {
 public:
  virtual ~Kernel() = default;
  // A manual-reset event, not set.
  virtual std::shared_ptr<KernelEvent> CreateManualResetEvent() = 0;
  // Waits without a time limit until one of the events is set: the index of
  // the first one that is, kWaitNotYet or kWaitFailed.
  virtual int WaitForAny(std::span<KernelEvent* const> events) = 0;
  // Starts a thread that runs `body` (again, while it returns Waiting) until
  // it returns Ended. The body is released when it has ended.
  virtual std::unique_ptr<KernelThread> StartThread(std::function<ThreadRun()> body) = 0;
};

}  // namespace zr
