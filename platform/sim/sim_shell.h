// The simulated shell and notification area: the programs the shell can
// start, and the icons and pop-up menus of the notification area.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell.h"
#include "platform/sim/sim_windowing.h"

namespace zr::sim {

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

}  // namespace zr::sim
