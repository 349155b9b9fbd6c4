// The simulated world for native tests and demos: a virtual clock, an
// in-memory registry and file system, named mutexes, and a desktop of
// windows. Each program running in it is a SimProcess with its own message
// queue. Time passes only when a test advances it (or a program sleeps).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_audio.h"
#include "platform/sim/sim_hooks.h"
#include "platform/sim/sim_kernel.h"
#include "platform/sim/sim_bitmaps.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_setup.h"

namespace zr::sim {

class SimWorld;
class SimQueue;

// ---- registry --------------------------------------------------------------

class SimRegistry final : public Registry {
 public:
  struct Value {
    std::string name;
    std::uint32_t type = kRegBinary;
    std::vector<std::uint8_t> data;
    bool unreadable = false;  // exists, but reading its data fails
    // Zero bytes after `data` that belong to the value but are not held in
    // memory until the value is read: a very large value stays cheap while
    // nothing reads it.
    std::uint32_t zerosAfter = 0;
    std::uint64_t size() const { return data.size() + std::uint64_t{zerosAfter}; }
  };

  std::unique_ptr<RegistryKey> OpenOrCreateKey(RegistryRoot root, std::string_view path) override;
  std::unique_ptr<RegistryKey> OpenKeyForReading(RegistryRoot root, std::string_view path) override;

  bool KeyExists(RegistryRoot root, std::string_view path) const override;

  // Test access.
  std::optional<Value> GetValue(RegistryRoot root, std::string_view path, std::string_view name) const;
  // The same without a copy; valid until the registry changes.
  const Value* PeekValue(RegistryRoot root, std::string_view path, std::string_view name) const;
  // `zerosAfter`: zero bytes that follow `data` (see Value).
  void SetValue(RegistryRoot root, std::string_view path, std::string_view name, std::uint32_t type,
                std::vector<std::uint8_t> data, std::uint32_t zerosAfter = 0);
  std::vector<std::string> ValueNames(RegistryRoot root, std::string_view path) const;
  // Keys below this path can be neither opened nor created.
  void DenyKey(RegistryRoot root, std::string_view path);
  // Keys below this path may be read but not written (their access list):
  // opening one with full access fails, as does every write through a key
  // opened for reading.
  void SetReadOnly(RegistryRoot root, std::string_view path, bool readOnly = true);
  // The next `count` value writes fail.
  void FailWrites(int count) { failWrites_ = count; }
  // The value exists but reading its data fails (until it is written).
  void SetUnreadable(RegistryRoot root, std::string_view path, std::string_view name, bool unreadable = true);
  int writes = 0;  // value writes that succeeded

 private:
  friend class SimRegistryKey;
  struct Key {
    std::map<std::string, Value> values;  // by lower-case name
  };
  static std::string KeyId(RegistryRoot root, std::string_view path);
  std::map<std::string, Key> keys_;  // by lower-case root\path
  std::set<std::string> denied_;
  std::set<std::string> readOnly_;
  int failWrites_ = 0;
};

// ---- files -----------------------------------------------------------------

class SimFileSystem final : public FileSystem {
 public:
  SimFileSystem() = default;

  bool FileExists(std::string_view path) override;
  bool FolderExists(std::string_view path) override;
  bool CreateFolder(std::string_view path) override;
  FileReadResult ReadFile(std::string_view path, std::size_t maxBytes) override;
  IoResult ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  IoResult AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) override;
  std::optional<std::uint64_t> FileSize(std::string_view path) override;
  bool MoveFileReplacing(std::string_view source, std::string_view target) override;
  bool DeleteFile(std::string_view path) override;
  bool CopyFile(std::string_view source, std::string_view target, bool failIfExists) override;
  // Per process; see SimProcessFiles.
  std::string ExecutableFolder() override { return "C:\\"; }
  std::string DocumentsFolder() override { return documents; }
  std::string WindowsFolder() override { return windows; }
  std::string LocalAppDataFolder() override { return localAppData; }

  std::string documents = "C:\\users\\player\\Documents";
  std::string localAppData = "C:\\users\\player\\AppData\\Local";
  std::string windows = "C:\\windows";

  // Test access. Folders along the path are created as needed.
  void AddFolder(std::string_view path);
  // Removes the folder with everything in it.
  void RemoveFolder(std::string_view path);
  // `zerosAfter`: zero bytes that follow `bytes` in the file, held in memory
  // only once the file is read whole (a very large file stays cheap while
  // nothing reads it). PeekFile shows `bytes` alone; FileSize counts both.
  void PutFile(std::string_view path, std::vector<std::uint8_t> bytes, std::uint64_t zerosAfter = 0);
  void PutText(std::string_view path, std::string_view text);
  std::optional<std::vector<std::uint8_t>> GetFile(std::string_view path) const;
  // The same without a copy (also of an unreadable file); valid until the
  // files change.
  const std::vector<std::uint8_t>* PeekFile(std::string_view path) const;
  std::vector<std::string> FilesIn(std::string_view folder) const;  // names, any order
  std::vector<std::string> AllFiles() const;                          // whole paths, as written
  // The file exists but cannot be read.
  void SetUnreadable(std::string_view path, bool unreadable = true);
  // Writes fail once this many more bytes have been written (a full disk);
  // negative: never.
  void FailWritesAfterBytes(long long bytes) { writeBudget_ = bytes; }
  int writes = 0;            // file replacements that succeeded
  std::set<std::string> readLog;  // lower-case paths of files read

 private:
  struct File {
    std::string path;
    std::vector<std::uint8_t> bytes;
    bool unreadable = false;
    std::uint64_t zerosAfter = 0;
    std::uint64_t size() const { return bytes.size() + zerosAfter; }
    std::vector<std::uint8_t> Whole() const;
  };
  static std::string Norm(std::string_view path);
  static std::string ParentOf(const std::string& norm);
  std::map<std::string, File> files_;
  std::set<std::string> folders_;
  long long writeBudget_ = -1;
  int tempCounter_ = 0;
};

// ---- windows ---------------------------------------------------------------

struct ReceivedMessage {
  std::uint32_t msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::uint64_t time;
};

struct SimControl {
  ControlHandle handle = 0;
  ControlLayout layout;  // layout.text and layout.visible follow the program's changes
  std::function<void()> onClick;
};

struct SimWindow {
  WindowHandle handle = 0;
  std::string className;
  std::string title;
  SimQueue* queue = nullptr;  // null: a window of a program outside the simulation
  WindowProcedure procedure;
  int width = 0, height = 0;
  bool visible = false;
  bool destroyed = false;
  std::vector<ReceivedMessage> received;  // every message posted or sent to it
  std::vector<SimControl> controls;
  // The control showing this text, or null.
  SimControl* ControlWithText(std::string_view text);
  // Messages received with this number.
  std::vector<ReceivedMessage> Received(std::uint32_t msg) const;
};

class SimDesktop {
 public:
  SimDesktop() = default;
  SimWindow& Add(std::string className, std::string title, SimQueue* queue, WindowProcedure procedure);
  SimWindow* Get(WindowHandle handle);
  // The first living window of that class, letter case ignored.
  SimWindow* FindByClass(std::string_view className);
  int CountByClass(std::string_view className) const;
  // A window of another program that records what it receives; its handler
  // (if any) runs when a message reaches it.
  SimWindow& AddPeerWindow(std::string className, WindowProcedure procedure = nullptr);
  // Every living window, in creation order.
  std::vector<SimWindow*> Windows();
  WindowHandle foreground = 0;
  SimControl* Control(ControlHandle handle);
  ControlHandle NextControlHandle() { return nextControl_ += 4; }

 private:
  ControlHandle nextControl_ = 0x8000;
  std::vector<std::unique_ptr<SimWindow>> windows_;
  WindowHandle next_ = 0x1000;
};

// ---- message queue of one program's main thread ------------------------------

class SimQueue final : public Windowing {
 public:
  explicit SimQueue(SimWorld& world);
  ~SimQueue() override;

  WindowHandle CreateHiddenWindow(std::string_view className, std::string_view title, WindowProcedure procedure,
                                  int width = 0, int height = 0) override;
  void DestroyWindow(WindowHandle window) override;
  void SetWindowTitle(WindowHandle window, std::string_view title) override;
  void ShowWindow(WindowHandle window, bool show) override;
  bool SetForegroundWindow(WindowHandle window) override;
  WindowHandle FindWindowByClass(std::string_view className) override;
  std::uint32_t RegisterWindowMessage(std::string_view name) override;
  ControlHandle CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) override;
  void SetControlText(ControlHandle control, std::string_view text) override;
  void ShowControl(ControlHandle control, bool show) override;
  bool PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  // The simulated programs never hang: only a missing window fails.
  std::optional<std::intptr_t> SendMessageTimeout(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                                  std::intptr_t lParam, std::uint32_t timeoutMs) override;
  TimerId StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
  void StopTimer(TimerId timer) override;
  // Runs until Quit, letting virtual time pass while nothing is pending.
  // Throws when nothing could ever wake it.
  void RunMessageLoop() override;
  void Quit() override { quit_ = true; }
  bool QuitRequested() const override { return quit_; }
  void ProcessMessages() override;
  void Sleep(std::uint32_t ms) override;
  // The simulated threads run on the caller's thread: the work runs at once.
  bool RunOnMainThread(const std::function<void()>& work) override;

  // Scheduling by the world.
  bool DispatchOnePosted();
  std::optional<std::uint64_t> NextTimerDue() const;
  void FireDueTimer(std::uint64_t now);
  std::size_t PendingCount() const { return posted_.size(); }
  std::size_t ActiveTimers() const { return timers_.size(); }

 private:
  struct Posted {
    WindowHandle window;
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  struct Timer {
    std::uint32_t interval;
    std::uint64_t due;
    std::uint64_t order;  // ties fire in the order the timers were started
    std::function<void()> onTick;
  };
  void Deliver(SimWindow& window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  SimWorld& world_;
  std::deque<Posted> posted_;
  std::map<TimerId, Timer> timers_;
  TimerId nextTimer_ = 1;
  bool quit_ = false;
};

// ---- system ------------------------------------------------------------------

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

// ---- shell and notification area ------------------------------------------------

struct ShellRequest {
  WindowHandle owner;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  int showCommand;
  std::uint32_t mask = 0;  // ShellExecuteEx's options
  bool waitedFor = false;  // the caller waited for the process to end
};

class SimShell final : public ShellPort {
 public:
  std::intptr_t ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory, int showCommand) override;
  // A started program's process handle comes back when the mask asks for it.
  std::unique_ptr<ProcessHandle> ShellExecuteEx(std::uint32_t mask, std::string_view verb, std::string_view file,
                                                std::string_view parameters, std::string_view directory,
                                                int showCommand) override;

  // What the shell was asked to run, in order.
  std::vector<ShellRequest> requests;
  // Programs the shell can start, by full path (letter case ignored); a
  // relative file name is looked up in the request's folder. Web addresses
  // always open. Anything else is a missing file (result 2).
  void AddProgram(std::string_view path, std::function<void(const ShellRequest&)> start);
  void RemoveProgram(std::string_view path);

 private:
  // The program a request starts, or null (a missing file).
  const std::function<void(const ShellRequest&)>* Find(const ShellRequest& request) const;
  std::map<std::string, std::function<void(const ShellRequest&)>> programs_;
};

struct SimTrayIcon {
  WindowHandle owner;
  std::uint32_t id;
  std::uint32_t callbackMessage;
  std::string hint;
};

class SimTray final : public TrayPort {
 public:
  explicit SimTray(SimDesktop& desktop) : desktop_(desktop) {}
  bool AddIcon(WindowHandle owner, std::uint32_t id, std::uint32_t callbackMessage, std::string_view hint) override;
  bool SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) override;
  bool DeleteIcon(WindowHandle owner, std::uint32_t id) override;
  int TrackPopupMenu(WindowHandle owner, const std::vector<std::string>& captions) override;

  std::vector<SimTrayIcon> icons;
  // The next N adds time out in a busy shell: the icon appears all the same
  // but the add reports a failure.
  int addsTimingOut = 0;
  // The user's choice in a pop-up menu (its index, -1 for none); by default
  // the menu is closed without a choice.
  std::function<int(const std::vector<std::string>& captions)> chooseMenuItem;
  std::vector<std::vector<std::string>> menusShown;
  // The user presses and releases a mouse button on the first icon, as the
  // shell reports it: the owner gets the two callback messages.
  bool Click(bool rightButton = false);
  const SimTrayIcon* Icon() const { return icons.empty() ? nullptr : &icons.front(); }
  // The shell restarts: every icon goes, and every top-level window gets the
  // "TaskbarCreated" message.
  void RestartShell(std::uint32_t taskbarCreatedMessage);

 private:
  SimDesktop& desktop_;
};

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
