// The simulated system: named mutexes shared by the world's programs, the
// virtual clock as local time, debugger output and message boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace zr::sim {

class SimWorld;

class SimSystem final : public System {
 public:
  explicit SimSystem(SimWorld& world) : world_(world) {}
  bool MutexExists(std::string_view name) override;
  MutexHandle CreateOwnedMutex(std::string_view name, bool& alreadyExisted) override;
  void ReleaseMutex(MutexHandle mutex) override;
  void DebugOutput(std::string_view text) override { debugLines.emplace_back(text); }
  // `clockStart` plus the virtual time.
  LocalDateTime LocalTime() override;
  int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;

  struct MessageBoxShown {
    std::string text;
    std::string caption;
    std::uint32_t flags;
  };
  std::vector<std::string> debugLines;
  std::vector<MessageBoxShown> messageBoxes;
  LocalDateTime clockStart{2026, 3, 14, 9, 26, 53, 0};
  // Runs between the existence test and the creation of a mutex (a race).
  std::function<void()> beforeCreateMutex;

 private:
  SimWorld& world_;
  std::map<MutexHandle, std::string> handles_;
};

}  // namespace zr::sim
