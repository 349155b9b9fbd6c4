// The simulated world for native tests and demos: a virtual clock and one
// simulated adapter of every port (the other sim_*.h), shared by the programs
// in it. Each program running in it is a SimProcess with its own message
// queue. Time passes only when a test advances it (or a program sleeps).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_audio.h"
#include "platform/sim/sim_bitmaps.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_hooks.h"
#include "platform/sim/sim_kernel.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_setup.h"
#include "platform/sim/sim_shell.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_windowing.h"

namespace zr::sim {

// ---- the world and its programs ------------------------------------------------

class SimWorld {
 public:
  SimWorld();
  ~SimWorld();
  SimWorld(const SimWorld&) = delete;
  SimWorld& operator=(const SimWorld&) = delete;

  std::uint64_t Now() const { return now_; }
  // Lets `ms` of virtual time pass: every queue's posted messages and due
  // timers run, in time order.
  void AdvanceBy(std::uint64_t ms);
  // Dispatches the posted messages of every queue, without letting time pass.
  void RunPending();
  // Lets time pass up to the next timer and fires it; false when none is set.
  bool AdvanceToNextTimer();

  SimRegistry registry;
  SimFileSystem files;
  SimDesktop desktop;
  // The mouse, the filter driver and the threads of the programs that use
  // them (the devices go first: threads may hold open collections).
  SimKernel kernel;
  SimDevices devices{kernel};
  SimShell shell;
  SimTray tray{desktop};
  SimLocale locale;
  SimInput input{[this] { return now_; }};
  SimAudio audio;
  // Driver installation: the device installer, the service control manager
  // and the system's facts (32-bit Windows 7 unless a test says otherwise).
  SimDeviceSetup deviceSetup;
  SimServices services;
  SimOsFacts os;
  // Pictures loaded from the world's files.
  SimBitmaps bitmaps{files};
  std::uint32_t RegisterWindowMessage(std::string_view name);

  // Named mutexes: name -> open handle count.
  std::map<std::string, int> mutexes;

 private:
  friend class SimQueue;
  void Sleep(std::uint64_t ms) { now_ += ms; }
  void Register(SimQueue* q) { queues_.push_back(q); }
  void Unregister(SimQueue* q);
  std::uint64_t NextTimerOrder() { return ++timerOrder_; }
  std::uint64_t now_ = 0;
  std::uint64_t timerOrder_ = 0;
  std::map<std::string, std::uint32_t> registeredMessages_;
  std::vector<SimQueue*> queues_;
};

// A program of the simulated world: its main thread's queue, its folders and
// its debugger output.
class SimProcess {
 public:
  explicit SimProcess(SimWorld& world, std::string exeFolder = "C:\\Program Files\\zrmon\\");
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  Platform& platform() { return platform_; }
  SimQueue& queue() { return queue_; }
  SimSystem& system() { return system_; }
  SimHookLibraryPort& hookLibrary() { return hookLibrary_; }
  const std::vector<std::string>& DebugLines() const { return system_.debugLines; }
  bool HasDebugLineContaining(std::string_view text) const;
  const std::string& ExeFolder() const { return files_.exeFolder; }

 private:
  // The world's files with this program's executable folder.
  struct Files final : FileSystem {
    Files(SimFileSystem& shared, std::string exe) : world(shared), exeFolder(std::move(exe)) {}
    bool FileExists(std::string_view p) override { return world.FileExists(p); }
    bool FolderExists(std::string_view p) override { return world.FolderExists(p); }
    bool CreateFolder(std::string_view p) override { return world.CreateFolder(p); }
    FileReadResult ReadFile(std::string_view p, std::size_t max) override { return world.ReadFile(p, max); }
    IoResult ReplaceFile(std::string_view p, std::span<const std::uint8_t> b) override {
      return world.ReplaceFile(p, b);
    }
    IoResult AppendFile(std::string_view p, std::span<const std::uint8_t> b) override {
      return world.AppendFile(p, b);
    }
    std::optional<std::uint64_t> FileSize(std::string_view p) override { return world.FileSize(p); }
    bool MoveFileReplacing(std::string_view s, std::string_view t) override { return world.MoveFileReplacing(s, t); }
    bool DeleteFile(std::string_view p) override { return world.DeleteFile(p); }
    bool CopyFile(std::string_view s, std::string_view t, bool failIfExists) override {
      return world.CopyFile(s, t, failIfExists);
    }
    std::string ExecutableFolder() override { return exeFolder; }
    std::string DocumentsFolder() override { return world.DocumentsFolder(); }
    std::string WindowsFolder() override { return world.WindowsFolder(); }
    std::string LocalAppDataFolder() override { return world.LocalAppDataFolder(); }
    SimFileSystem& world;
    std::string exeFolder;
  };

  SimWorld& world_;
  SimQueue queue_;
  SimSystem system_;
  Files files_;
  SimHookLibraryPort hookLibrary_;
  Platform platform_;
};

}  // namespace zr::sim
