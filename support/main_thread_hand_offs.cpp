#include "support/main_thread_hand_offs.h"

namespace zr {

bool MainThreadHandOffs::Begin() {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  ++underWay_;
  return true;
}

void MainThreadHandOffs::End() {
  std::lock_guard lock(mutex_);
  --underWay_;
}

bool MainThreadHandOffs::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void MainThreadHandOffs::CloseAndWait(Windowing& windowing) {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  // A hand-off under way waits for this (the main) thread to take it:
  // messages are handled until it has come back.
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (underWay_ == 0) break;
    }
    windowing.ProcessMessages();
    windowing.Sleep(1);
  }
}

}  // namespace zr
