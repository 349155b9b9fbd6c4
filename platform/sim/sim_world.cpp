#include "platform/sim/sim_world.h"

#include <algorithm>
#include <stdexcept>

#include "common/text.h"

namespace zr::sim {

// ---- registry --------------------------------------------------------------

namespace {

std::string NormKeyPath(std::string_view path) {
  std::string p = ToLowerAscii(path);
  while (!p.empty() && p.front() == '\\') p.erase(p.begin());
  while (!p.empty() && p.back() == '\\') p.pop_back();
  return p;
}

// Whether `id` is one of `ids` or lies below one of them.
bool AtOrBelow(const std::set<std::string>& ids, const std::string& id) {
  for (const auto& d : ids) {
    if (id == d || id.rfind(d + "\\", 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::string SimRegistry::KeyId(RegistryRoot root, std::string_view path) {
  return std::to_string(root) + "\\" + NormKeyPath(path);
}

class SimRegistryKey final : public RegistryKey {
 public:
  SimRegistryKey(SimRegistry& reg, std::string id, bool writable = true)
      : reg_(reg), id_(std::move(id)), writable_(writable) {}

  std::optional<RegistryValueInfo> QueryValue(std::string_view name) override {
    const auto* v = Find(name);
    if (v == nullptr) return std::nullopt;
    return RegistryValueInfo{v->type, static_cast<std::uint32_t>(v->size())};
  }
  IoResult ReadValue(std::string_view name, std::vector<std::uint8_t>& out) override {
    const auto* v = Find(name);
    if (v == nullptr) return IoResult::Failure("value not found");
    if (v->unreadable) return IoResult::Failure("registry read refused");
    out = v->data;
    out.resize(static_cast<std::size_t>(v->size()), 0);
    return IoResult::Success();
  }
  IoResult WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes) override {
    if (!writable_) return IoResult::Failure("access denied");
    if (reg_.failWrites_ > 0) {
      --reg_.failWrites_;
      return IoResult::Failure("registry write refused");
    }
    auto& values = reg_.keys_[id_].values;
    values[ToLowerAscii(name)] = SimRegistry::Value{std::string(name), kRegBinary, {bytes.begin(), bytes.end()}};
    ++reg_.writes;
    return IoResult::Success();
  }

 private:
  const SimRegistry::Value* Find(std::string_view name) {
    const auto k = reg_.keys_.find(id_);
    if (k == reg_.keys_.end()) return nullptr;
    const auto v = k->second.values.find(ToLowerAscii(name));
    return v == k->second.values.end() ? nullptr : &v->second;
  }
  SimRegistry& reg_;
  std::string id_;
  bool writable_;
};

std::unique_ptr<RegistryKey> SimRegistry::OpenOrCreateKey(RegistryRoot root, std::string_view path) {
  if (root != kHkeyCurrentUser && root != kHkeyLocalMachine) return nullptr;
  const std::string id = KeyId(root, path);
  if (AtOrBelow(denied_, id) || AtOrBelow(readOnly_, id)) return nullptr;
  // Like the platform, creating a key creates the keys above it.
  std::string partial = std::to_string(root);
  const std::string norm = NormKeyPath(path);
  size_t pos = 0;
  while (pos <= norm.size() && !norm.empty()) {
    size_t next = norm.find('\\', pos);
    if (next == std::string::npos) next = norm.size();
    partial += "\\" + norm.substr(pos, next - pos);
    keys_[partial];
    pos = next + 1;
  }
  keys_[id];
  return std::make_unique<SimRegistryKey>(*this, id);
}

std::unique_ptr<RegistryKey> SimRegistry::OpenKeyForReading(RegistryRoot root, std::string_view path) {
  const std::string id = KeyId(root, path);
  if (keys_.count(id) == 0 || AtOrBelow(denied_, id)) return nullptr;
  return std::make_unique<SimRegistryKey>(*this, id, false);
}

bool SimRegistry::KeyExists(RegistryRoot root, std::string_view path) const {
  return keys_.count(KeyId(root, path)) != 0;
}

std::optional<SimRegistry::Value> SimRegistry::GetValue(RegistryRoot root, std::string_view path,
                                                         std::string_view name) const {
  const Value* v = PeekValue(root, path, name);
  if (v == nullptr) return std::nullopt;
  return *v;
}

const SimRegistry::Value* SimRegistry::PeekValue(RegistryRoot root, std::string_view path,
                                                 std::string_view name) const {
  const auto k = keys_.find(KeyId(root, path));
  if (k == keys_.end()) return nullptr;
  const auto v = k->second.values.find(ToLowerAscii(name));
  return v == k->second.values.end() ? nullptr : &v->second;
}

void SimRegistry::SetValue(RegistryRoot root, std::string_view path, std::string_view name, std::uint32_t type,
                           std::vector<std::uint8_t> data, std::uint32_t zerosAfter) {
  OpenOrCreateKey(root, path);
  keys_[KeyId(root, path)].values[ToLowerAscii(name)] = Value{std::string(name), type, std::move(data), false, zerosAfter};
}

void SimRegistry::SetUnreadable(RegistryRoot root, std::string_view path, std::string_view name, bool unreadable) {
  const auto k = keys_.find(KeyId(root, path));
  if (k == keys_.end()) return;
  const auto v = k->second.values.find(ToLowerAscii(name));
  if (v != k->second.values.end()) v->second.unreadable = unreadable;
}

std::vector<std::string> SimRegistry::ValueNames(RegistryRoot root, std::string_view path) const {
  std::vector<std::string> out;
  const auto k = keys_.find(KeyId(root, path));
  if (k == keys_.end()) return out;
  for (const auto& [lower, v] : k->second.values) out.push_back(v.name);
  return out;
}

void SimRegistry::DenyKey(RegistryRoot root, std::string_view path) { denied_.insert(KeyId(root, path)); }

void SimRegistry::SetReadOnly(RegistryRoot root, std::string_view path, bool readOnly) {
  if (readOnly) {
    readOnly_.insert(KeyId(root, path));
  } else {
    readOnly_.erase(KeyId(root, path));
  }
}

// ---- files -----------------------------------------------------------------

std::string SimFileSystem::Norm(std::string_view path) {
  std::string p = ToLowerAscii(path);
  std::replace(p.begin(), p.end(), '/', '\\');
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  if (p.size() == 3 && p[1] == ':' && p[2] == '\\') p.pop_back();  // "c:\" is the drive "c:"
  return p;
}

std::string SimFileSystem::ParentOf(const std::string& norm) {
  const size_t slash = norm.rfind('\\');
  return slash == std::string::npos ? std::string() : norm.substr(0, slash);
}

bool SimFileSystem::FileExists(std::string_view path) { return files_.count(Norm(path)) != 0; }

bool SimFileSystem::FolderExists(std::string_view path) {
  const std::string n = Norm(path);
  if (n.size() == 2 && n[1] == ':') return true;  // drives exist
  return folders_.count(n) != 0;
}

bool SimFileSystem::CreateFolder(std::string_view path) {
  const std::string n = Norm(path);
  if (n.empty()) return false;
  if (FolderExists(path)) return true;
  if (files_.count(n) != 0) return false;
  const std::string parent = ParentOf(n);
  if (parent.empty() || !FolderExists(parent)) return false;
  folders_.insert(n);
  return true;
}

FileReadResult SimFileSystem::ReadFile(std::string_view path, std::size_t maxBytes) {
  FileReadResult r;
  const auto it = files_.find(Norm(path));
  if (it == files_.end()) {
    r.status = FileReadResult::Status::Missing;
    return r;
  }
  readLog.insert(Norm(path));
  if (it->second.unreadable) {
    r.status = FileReadResult::Status::Error;
    r.error = "access denied";
    return r;
  }
  if (it->second.size() > maxBytes) {
    r.status = FileReadResult::Status::TooLarge;
    r.error = "file of " + std::to_string(it->second.size()) + " bytes is larger than " + std::to_string(maxBytes);
    return r;
  }
  r.status = FileReadResult::Status::Ok;
  r.bytes = it->second.Whole();
  return r;
}

IoResult SimFileSystem::ReplaceFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::string n = Norm(path);
  const std::string parent = ParentOf(n);
  if (parent.empty() || !FolderExists(parent)) return IoResult::Failure("folder does not exist");
  if (folders_.count(n) != 0) return IoResult::Failure("a folder has that name");
  // The temporary file takes the bytes first; a full disk stops it midway and
  // it is removed again.
  const std::string temp = parent + "\\~zr" + std::to_string(++tempCounter_) + ".tmp";
  File& t = files_[temp];
  t.path = temp;
  if (writeBudget_ >= 0) {
    const auto written = std::min<long long>(writeBudget_, static_cast<long long>(bytes.size()));
    writeBudget_ -= written;
    if (written < static_cast<long long>(bytes.size())) {
      files_.erase(temp);
      return IoResult::Failure("disk full");
    }
  }
  t.bytes.assign(bytes.begin(), bytes.end());
  File done = std::move(t);
  files_.erase(temp);
  done.path = std::string(path);
  files_[n] = std::move(done);
  ++writes;
  return IoResult::Success();
}

IoResult SimFileSystem::AppendFile(std::string_view path, std::span<const std::uint8_t> bytes) {
  const std::string n = Norm(path);
  const std::string parent = ParentOf(n);
  if (parent.empty() || !FolderExists(parent)) return IoResult::Failure("folder does not exist");
  if (folders_.count(n) != 0) return IoResult::Failure("a folder has that name");
  File& f = files_[n];
  if (f.path.empty()) f.path = std::string(path);
  if (f.unreadable) return IoResult::Failure("access denied");
  if (f.zerosAfter != 0) {
    f.bytes = f.Whole();
    f.zerosAfter = 0;
  }
  // A full disk takes what fits, as a write to an open file does.
  std::size_t take = bytes.size();
  if (writeBudget_ >= 0) {
    take = static_cast<std::size_t>(std::min<long long>(writeBudget_, static_cast<long long>(bytes.size())));
    writeBudget_ -= static_cast<long long>(take);
  }
  f.bytes.insert(f.bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
  if (take < bytes.size()) return IoResult::Failure("disk full");
  return IoResult::Success();
}

std::optional<std::uint64_t> SimFileSystem::FileSize(std::string_view path) {
  const auto it = files_.find(Norm(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.size();
}

bool SimFileSystem::MoveFileReplacing(std::string_view source, std::string_view target) {
  const auto from = files_.find(Norm(source));
  const std::string n = Norm(target);
  if (from == files_.end() || folders_.count(n) != 0) return false;
  const auto to = files_.find(n);
  if (to != files_.end() && to->second.unreadable) return false;  // held open by someone
  File moved = std::move(from->second);
  files_.erase(from);
  moved.path = std::string(target);
  files_[n] = std::move(moved);
  return true;
}

bool SimFileSystem::DeleteFile(std::string_view path) { return files_.erase(Norm(path)) != 0; }

bool SimFileSystem::CopyFile(std::string_view source, std::string_view target, bool failIfExists) {
  const auto from = files_.find(Norm(source));
  if (from == files_.end() || from->second.unreadable) return false;
  const std::string n = Norm(target);
  if (failIfExists && files_.count(n) != 0) return false;
  const std::vector<std::uint8_t> bytes = from->second.Whole();
  return ReplaceFile(target, bytes).ok;
}

void SimFileSystem::AddFolder(std::string_view path) {
  std::string n = Norm(path);
  while (!n.empty() && !(n.size() == 2 && n[1] == ':')) {
    folders_.insert(n);
    n = ParentOf(n);
  }
}

void SimFileSystem::RemoveFolder(std::string_view path) {
  const std::string n = Norm(path);
  auto inside = [&](const std::string& p) { return p == n || p.rfind(n + "\\", 0) == 0; };
  std::erase_if(folders_, inside);
  std::erase_if(files_, [&](const auto& f) { return inside(f.first); });
}

void SimFileSystem::PutFile(std::string_view path, std::vector<std::uint8_t> bytes, std::uint64_t zerosAfter) {
  const std::string n = Norm(path);
  AddFolder(ParentOf(n));
  files_[n] = File{std::string(path), std::move(bytes), false, zerosAfter};
}

std::vector<std::uint8_t> SimFileSystem::File::Whole() const {
  std::vector<std::uint8_t> whole = bytes;
  whole.resize(static_cast<std::size_t>(size()), 0);
  return whole;
}

void SimFileSystem::PutText(std::string_view path, std::string_view text) {
  PutFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::optional<std::vector<std::uint8_t>> SimFileSystem::GetFile(std::string_view path) const {
  const auto it = files_.find(Norm(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.Whole();
}

const std::vector<std::uint8_t>* SimFileSystem::PeekFile(std::string_view path) const {
  const auto it = files_.find(Norm(path));
  return it == files_.end() ? nullptr : &it->second.bytes;
}

std::vector<std::string> SimFileSystem::FilesIn(std::string_view folder) const {
  std::vector<std::string> out;
  const std::string f = Norm(folder);
  for (const auto& [n, file] : files_) {
    if (ParentOf(n) == f) out.push_back(n.substr(f.size() + 1));
  }
  return out;
}

std::vector<std::string> SimFileSystem::AllFiles() const {
  std::vector<std::string> out;
  for (const auto& [n, file] : files_) out.push_back(file.path);
  return out;
}

void SimFileSystem::SetUnreadable(std::string_view path, bool unreadable) {
  const auto it = files_.find(Norm(path));
  if (it != files_.end()) it->second.unreadable = unreadable;
}

// ---- desktop -----------------------------------------------------------------

SimWindow& SimDesktop::Add(std::string className, std::string title, SimQueue* queue, WindowProcedure procedure) {
  auto w = std::make_unique<SimWindow>();
  w->handle = next_ += 0x10;
  w->className = std::move(className);
  w->title = std::move(title);
  w->queue = queue;
  w->procedure = std::move(procedure);
  windows_.push_back(std::move(w));
  return *windows_.back();
}

SimWindow* SimDesktop::Get(WindowHandle handle) {
  for (auto& w : windows_) {
    if (w->handle == handle && !w->destroyed) return w.get();
  }
  return nullptr;
}

SimWindow* SimDesktop::FindByClass(std::string_view className) {
  for (auto& w : windows_) {
    if (!w->destroyed && EqualsIgnoreCase(w->className, className)) return w.get();
  }
  return nullptr;
}

int SimDesktop::CountByClass(std::string_view className) const {
  int n = 0;
  for (const auto& w : windows_) n += !w->destroyed && EqualsIgnoreCase(w->className, className);
  return n;
}

SimWindow& SimDesktop::AddPeerWindow(std::string className, WindowProcedure procedure) {
  return Add(std::move(className), "", nullptr, std::move(procedure));
}

std::vector<SimWindow*> SimDesktop::Windows() {
  std::vector<SimWindow*> out;
  for (auto& w : windows_) {
    if (!w->destroyed) out.push_back(w.get());
  }
  return out;
}

SimControl* SimDesktop::Control(ControlHandle handle) {
  for (auto& w : windows_) {
    for (auto& c : w->controls) {
      if (c.handle == handle && !w->destroyed) return &c;
    }
  }
  return nullptr;
}

SimControl* SimWindow::ControlWithText(std::string_view text) {
  for (auto& c : controls) {
    if (c.layout.text == text) return &c;
  }
  return nullptr;
}

std::vector<ReceivedMessage> SimWindow::Received(std::uint32_t msg) const {
  std::vector<ReceivedMessage> out;
  for (const auto& m : received) {
    if (m.msg == msg) out.push_back(m);
  }
  return out;
}

// ---- queue -------------------------------------------------------------------

SimQueue::SimQueue(SimWorld& world) : world_(world) { world_.Register(this); }
SimQueue::~SimQueue() { world_.Unregister(this); }

WindowHandle SimQueue::CreateHiddenWindow(std::string_view className, std::string_view title,
                                          WindowProcedure procedure, int width, int height) {
  SimWindow& w = world_.desktop.Add(std::string(className), std::string(title), this, std::move(procedure));
  w.width = width;
  w.height = height;
  return w.handle;
}

void SimQueue::ShowWindow(WindowHandle window, bool show) {
  if (SimWindow* w = world_.desktop.Get(window)) w->visible = show;
}

bool SimQueue::SetForegroundWindow(WindowHandle window) {
  if (world_.desktop.Get(window) == nullptr) return false;
  world_.desktop.foreground = window;
  return true;
}

std::uint32_t SimQueue::RegisterWindowMessage(std::string_view name) { return world_.RegisterWindowMessage(name); }

ControlHandle SimQueue::CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) {
  SimWindow* w = world_.desktop.Get(parent);
  if (w == nullptr) return 0;
  const ControlHandle h = world_.desktop.NextControlHandle();
  w->controls.push_back(SimControl{h, layout, std::move(onClick)});
  return h;
}

void SimQueue::SetControlText(ControlHandle control, std::string_view text) {
  if (SimControl* c = world_.desktop.Control(control)) c->layout.text = std::string(text);
}

void SimQueue::ShowControl(ControlHandle control, bool show) {
  if (SimControl* c = world_.desktop.Control(control)) c->layout.visible = show;
}

void SimQueue::DestroyWindow(WindowHandle window) {
  if (SimWindow* w = world_.desktop.Get(window)) {
    w->destroyed = true;
    w->procedure = nullptr;
  }
}

void SimQueue::SetWindowTitle(WindowHandle window, std::string_view title) {
  if (SimWindow* w = world_.desktop.Get(window)) w->title = std::string(title);
}

WindowHandle SimQueue::FindWindowByClass(std::string_view className) {
  SimWindow* w = world_.desktop.FindByClass(className);
  return w ? w->handle : 0;
}

void SimQueue::Deliver(SimWindow& window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  window.received.push_back({msg, wParam, lParam, world_.Now()});
}

bool SimQueue::PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  SimWindow* w = world_.desktop.Get(window);
  if (w == nullptr) return false;
  if (w->queue == nullptr) {
    // A program outside the simulation takes it at once.
    Deliver(*w, msg, wParam, lParam);
    if (w->procedure) w->procedure(msg, wParam, lParam);
    return true;
  }
  w->queue->posted_.push_back({window, msg, wParam, lParam});
  return true;
}

std::intptr_t SimQueue::SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
  SimWindow* w = world_.desktop.Get(window);
  if (w == nullptr) return 0;
  Deliver(*w, msg, wParam, lParam);
  if (!w->procedure) return 0;
  const WindowProcedure procedure = w->procedure;  // the handler may destroy the window
  return procedure(msg, wParam, lParam).value_or(0);
}

std::optional<std::intptr_t> SimQueue::SendMessageTimeout(WindowHandle window, std::uint32_t msg,
                                                          std::uintptr_t wParam, std::intptr_t lParam,
                                                          std::uint32_t) {
  if (world_.desktop.Get(window) == nullptr) return std::nullopt;
  return SendMessage(window, msg, wParam, lParam);
}

TimerId SimQueue::StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
  const TimerId id = nextTimer_++;
  timers_[id] = Timer{intervalMs, world_.Now() + intervalMs, world_.NextTimerOrder(), std::move(onTick)};
  return id;
}

void SimQueue::StopTimer(TimerId timer) { timers_.erase(timer); }

bool SimQueue::DispatchOnePosted() {
  if (quit_ || posted_.empty()) return false;
  const Posted p = posted_.front();
  posted_.pop_front();
  if (SimWindow* w = world_.desktop.Get(p.window)) {
    Deliver(*w, p.msg, p.wParam, p.lParam);
    if (w->procedure) {
      const WindowProcedure procedure = w->procedure;
      procedure(p.msg, p.wParam, p.lParam);
    }
  }
  return true;
}

std::optional<std::uint64_t> SimQueue::NextTimerDue() const {
  if (quit_ || timers_.empty()) return std::nullopt;
  std::uint64_t best = UINT64_MAX;
  for (const auto& [id, t] : timers_) best = std::min(best, t.due);
  return best;
}

void SimQueue::FireDueTimer(std::uint64_t now) {
  const Timer* pick = nullptr;
  TimerId pickId = 0;
  for (const auto& [id, t] : timers_) {
    if (t.due <= now && (pick == nullptr || t.due < pick->due || (t.due == pick->due && t.order < pick->order))) {
      pick = &t;
      pickId = id;
    }
  }
  if (pick == nullptr) return;
  Timer& t = timers_[pickId];
  t.due = now + t.interval;
  const std::function<void()> tick = t.onTick;  // the tick may stop its own timer
  tick();
}

void SimQueue::ProcessMessages() {
  // Bounded, so that a handler that keeps posting to itself shows up as a
  // failure rather than a hang.
  for (int guard = 0; guard < 1000000; ++guard) {
    if (DispatchOnePosted()) continue;
    const auto due = NextTimerDue();
    if (due && *due <= world_.Now()) {
      FireDueTimer(world_.Now());
      continue;
    }
    return;
  }
  throw std::runtime_error("message processing does not come to rest");
}

void SimQueue::Sleep(std::uint32_t ms) { world_.Sleep(ms); }

bool SimQueue::RunOnMainThread(const std::function<void()>& work) {
  work();
  return true;
}

void SimQueue::RunMessageLoop() {
  while (!quit_) {
    ProcessMessages();
    if (quit_) break;
    if (!world_.AdvanceToNextTimer()) {
      throw std::runtime_error("the message loop would wait forever: nothing is pending");
    }
  }
}

// ---- system --------------------------------------------------------------------

bool SimSystem::MutexExists(std::string_view name) {
  const auto it = world_.mutexes.find(std::string(name));
  return it != world_.mutexes.end() && it->second > 0;
}

MutexHandle SimSystem::CreateOwnedMutex(std::string_view name, bool& alreadyExisted) {
  if (beforeCreateMutex) beforeCreateMutex();
  int& count = world_.mutexes[std::string(name)];
  alreadyExisted = count > 0;
  ++count;
  static MutexHandle next = 0x100;
  const MutexHandle h = ++next;
  handles_[h] = std::string(name);
  return h;
}

void SimSystem::ReleaseMutex(MutexHandle mutex) {
  const auto it = handles_.find(mutex);
  if (it == handles_.end()) return;
  --world_.mutexes[it->second];
  handles_.erase(it);
}

LocalDateTime SimSystem::LocalTime() {
  // Days from 1970-01-01 of a civil date and back (proleptic Gregorian).
  const auto daysFrom = [](int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long long>(era) * 146097 + static_cast<long long>(doe) - 719468;
  };
  const LocalDateTime& s = clockStart;
  const std::uint64_t ms = world_.Now() + s.milliseconds +
                           1000ull * (s.second + 60ull * (s.minute + 60ull * s.hour));
  long long z = daysFrom(s.year, s.month, s.day) + static_cast<long long>(ms / 86400000ull) + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
  const std::uint64_t inDay = ms % 86400000ull;
  LocalDateTime t;
  t.year = static_cast<std::uint16_t>(y);
  t.month = static_cast<std::uint16_t>(m);
  t.day = static_cast<std::uint16_t>(d);
  t.hour = static_cast<std::uint16_t>(inDay / 3600000);
  t.minute = static_cast<std::uint16_t>(inDay / 60000 % 60);
  t.second = static_cast<std::uint16_t>(inDay / 1000 % 60);
  t.milliseconds = static_cast<std::uint16_t>(inDay % 1000);
  return t;
}

int SimSystem::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
  messageBoxes.push_back({std::string(text), std::string(caption), flags});
  return 1;  // IDOK
}

// ---- shell and notification area ---------------------------------------------------

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
