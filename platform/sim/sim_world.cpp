#include "platform/sim/sim_world.h"

#include <algorithm>
#include <stdexcept>

#include "common/text.h"

namespace zr::sim {

// ---- world -----------------------------------------------------------------------

SimWorld::SimWorld() {
  files.AddFolder(files.documents);
  files.AddFolder(files.windows + "\\System32\\Drivers");
  deviceSetup.clock = [this] { return now_; };
  devices.postDeviceChange = [this](WindowHandle window, std::uint32_t wParam, std::intptr_t lParam) {
    SimWindow* w = desktop.Get(window);
    if (w != nullptr && w->queue != nullptr) w->queue->PostMessage(window, kWmDeviceChange, wParam, lParam);
  };
}
SimWorld::~SimWorld() = default;

std::uint32_t SimWorld::RegisterWindowMessage(std::string_view name) {
  const auto [it, added] = registeredMessages_.try_emplace(
      ToLowerAscii(name), static_cast<std::uint32_t>(0xC000 + registeredMessages_.size()));
  return it->second;
}

void SimWorld::Unregister(SimQueue* q) { queues_.erase(std::remove(queues_.begin(), queues_.end(), q), queues_.end()); }

void SimWorld::RunPending() {
  for (int guard = 0; guard < 1000000; ++guard) {
    bool any = false;
    for (size_t i = 0; i < queues_.size(); ++i) any = queues_[i]->DispatchOnePosted() || any;
    if (!any) return;
  }
  throw std::runtime_error("posted messages do not come to rest");
}

bool SimWorld::AdvanceToNextTimer() {
  SimQueue* next = nullptr;
  std::uint64_t due = UINT64_MAX;
  for (SimQueue* q : queues_) {
    const auto d = q->NextTimerDue();
    if (d && *d < due) due = *d, next = q;
  }
  if (next == nullptr) return false;
  now_ = std::max(now_, due);
  next->FireDueTimer(now_);
  return true;
}

void SimWorld::AdvanceBy(std::uint64_t ms) {
  const std::uint64_t target = now_ + ms;
  for (;;) {
    RunPending();
    std::optional<std::uint64_t> due;
    for (SimQueue* q : queues_) {
      const auto d = q->NextTimerDue();
      if (d && (!due || *d < *due)) due = d;
    }
    if (!due || *due > target) break;
    AdvanceToNextTimer();
  }
  now_ = std::max(now_, target);
  RunPending();
}

// ---- process -----------------------------------------------------------------------

SimProcess::SimProcess(SimWorld& world, std::string exeFolder)
    : world_(world),
      queue_(world),
      system_(world),
      files_(world.files, std::move(exeFolder)),
      hookLibrary_(world.input),
      platform_{system_,
                files_,
                world.registry,
                queue_,
                world.kernel,
                world.devices.hid(),
                world.devices.notifications(),
                world.devices.controlDevices(),
                world.shell,
                world.tray,
                world.locale,
                world.input,
                world.audio,
                hookLibrary_,
                world.os,
                world.deviceSetup,
                world.services,
                world.bitmaps} {
  world_.files.AddFolder(files_.exeFolder);
}

bool SimProcess::HasDebugLineContaining(std::string_view text) const {
  for (const auto& l : system_.debugLines) {
    if (l.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace zr::sim
