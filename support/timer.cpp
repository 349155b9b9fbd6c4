#include "support/timer.h"

namespace zr {

TTimer::TTimer(Windowing& windowing, std::uint32_t intervalMs, bool enabled)
    : windowing_(windowing), interval_(intervalMs), enabled_(enabled) {
  Update();
}

TTimer::~TTimer() {
  if (id_ != 0) windowing_.StopTimer(id_);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void TTimer::SetInterval(std::uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::Restart() {
  SetEnabled(false);
  SetEnabled(true);
}

void TTimer::Update() {
  if (id_ != 0) {
    windowing_.StopTimer(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0) {
    id_ = windowing_.StartTimer(interval_, [this] {
      if (OnTimer) OnTimer();
    });
  }
}

}  // namespace zr
