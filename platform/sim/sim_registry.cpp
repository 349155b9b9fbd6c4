#include "platform/sim/sim_registry.h"

#include "common/text.h"

namespace zr::sim {

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

}  // namespace zr::sim
