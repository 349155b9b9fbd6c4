// The gate between a component and the threads that hand work to its main
// thread (Windowing::RunOnMainThread). A thread counts its hand-off in before
// it starts it and out when it has come back; the component, when it goes,
// closes the gate, so that no hand-off starts afterwards, and handles the main
// thread's messages until every hand-off under way has come back, since each
// of them waits for the main thread to run it.
#pragma once

#include <mutex>

#include "platform/windowing.h"

namespace zr {

class MainThreadHandOffs {
 public:
  MainThreadHandOffs() = default;
  MainThreadHandOffs(const MainThreadHandOffs&) = delete;
  MainThreadHandOffs& operator=(const MainThreadHandOffs&) = delete;

  // False once closed; otherwise counts a hand-off in (End counts it out).
  bool Begin();
  void End();
  bool Closed() const;
  // Runs `work` under the gate's lock unless it is closed: what it starts
  // cannot outlast a CloseAndWait that has returned. False when closed.
  template <typename Work>
  bool IfOpen(Work&& work) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    work();
    return true;
  }
  // Closes the gate, then handles the main thread's messages until no
  // hand-off is under way. Call it on the main thread.
  void CloseAndWait(Windowing& windowing);

 private:
  mutable std::mutex mutex_;
  bool closed_ = false;
  int underWay_ = 0;
};

}  // namespace zr
