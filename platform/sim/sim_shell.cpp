#include "platform/sim/sim_shell.h"

#include "common/text.h"

namespace zr::sim {

void SimShell::AddProgram(std::string_view path, std::function<void(const ShellRequest&)> start) {
  programs_[ToLowerAscii(path)] = std::move(start);
}

void SimShell::RemoveProgram(std::string_view path) { programs_.erase(ToLowerAscii(path)); }

const std::function<void(const ShellRequest&)>* SimShell::Find(const ShellRequest& request) const {
  const std::string f = ToLowerAscii(request.file);
  const bool absolute = f.size() > 1 && (f[1] == ':' || f[0] == '\\');
  std::string path = absolute ? f : ToLowerAscii(request.directory);
  if (!absolute) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    path += f;
  }
  const auto it = programs_.find(path);
  return it == programs_.end() ? nullptr : &it->second;
}

std::intptr_t SimShell::ShellExecute(WindowHandle owner, std::string_view verb, std::string_view file,
                                     std::string_view parameters, std::string_view directory, int showCommand) {
  const ShellRequest request{owner,          std::string(verb),      std::string(file), std::string(parameters),
                             std::string(directory), showCommand};
  requests.push_back(request);
  const std::string f = ToLowerAscii(file);
  if (f.rfind("http://", 0) == 0 || f.rfind("https://", 0) == 0) return 42;
  const auto* start = Find(request);
  if (start == nullptr) return 2;  // ERROR_FILE_NOT_FOUND
  const auto run = *start;
  run(request);
  return 42;
}

namespace {

// The started program has run to its end by the time anyone waits.
class SimProcessHandle final : public ProcessHandle {
 public:
  SimProcessHandle(std::vector<ShellRequest>& requests, std::size_t index) : requests_(requests), index_(index) {}
  void WaitForEnd() override { requests_[index_].waitedFor = true; }

 private:
  std::vector<ShellRequest>& requests_;
  std::size_t index_;
};

}  // namespace

std::unique_ptr<ProcessHandle> SimShell::ShellExecuteEx(std::uint32_t mask, std::string_view verb,
                                                        std::string_view file, std::string_view parameters,
                                                        std::string_view directory, int showCommand) {
  ShellRequest request{0, std::string(verb), std::string(file), std::string(parameters), std::string(directory),
                       showCommand};
  request.mask = mask;
  requests.push_back(request);
  const auto* start = Find(request);
  if (start == nullptr) return nullptr;
  const auto run = *start;
  run(request);
  if ((mask & kSeeMaskNoCloseProcess) == 0) return nullptr;
  return std::make_unique<SimProcessHandle>(requests, requests.size() - 1);
}

bool SimTray::AddIcon(WindowHandle owner, std::uint32_t id, std::uint32_t callbackMessage, std::string_view hint) {
  for (const auto& i : icons) {
    if (i.owner == owner && i.id == id) return false;
  }
  icons.push_back({owner, id, callbackMessage, std::string(hint)});
  if (addsTimingOut > 0) {
    --addsTimingOut;
    return false;
  }
  return true;
}

bool SimTray::SetHint(WindowHandle owner, std::uint32_t id, std::string_view hint) {
  for (auto& i : icons) {
    if (i.owner == owner && i.id == id) {
      i.hint = std::string(hint);
      return true;
    }
  }
  return false;
}

bool SimTray::DeleteIcon(WindowHandle owner, std::uint32_t id) {
  return std::erase_if(icons, [&](const SimTrayIcon& i) { return i.owner == owner && i.id == id; }) != 0;
}

int SimTray::TrackPopupMenu(WindowHandle, const std::vector<std::string>& captions) {
  menusShown.push_back(captions);
  const int choice = chooseMenuItem ? chooseMenuItem(captions) : -1;
  return choice >= 0 && choice < static_cast<int>(captions.size()) ? choice : -1;
}

bool SimTray::Click(bool rightButton) {
  if (icons.empty()) return false;
  const SimTrayIcon icon = icons.front();
  SimWindow* w = desktop_.Get(icon.owner);
  if (w == nullptr || w->queue == nullptr) return false;
  w->queue->PostMessage(icon.owner, icon.callbackMessage, icon.id, rightButton ? kWmRButtonDown : kWmLButtonDown);
  w->queue->PostMessage(icon.owner, icon.callbackMessage, icon.id, rightButton ? kWmRButtonUp : kWmLButtonUp);
  return true;
}

void SimTray::RestartShell(std::uint32_t taskbarCreatedMessage) {
  icons.clear();
  for (SimWindow* w : desktop_.Windows()) {
    if (w->queue != nullptr) w->queue->PostMessage(w->handle, taskbarCreatedMessage, 0, 0);
  }
}

}  // namespace zr::sim
