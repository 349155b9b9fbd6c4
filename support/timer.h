// A window timer of the main thread, as forms carry them: an interval, an
// enabled switch and a tick handler. Disabling and enabling again restarts
// the full interval.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/windowing.h"

namespace zr {

class TTimer {
 public:
  TTimer(Windowing& windowing, std::uint32_t intervalMs, bool enabled = false);
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  void SetInterval(std::uint32_t ms);
  std::uint32_t Interval() const { return interval_; }
  // Disable, then enable: the full interval runs again.
  void Restart();

  std::function<void()> OnTimer;

 private:
  void Update();
  Windowing& windowing_;
  std::uint32_t interval_;
  bool enabled_;
  TimerId id_ = 0;
};

}  // namespace zr
