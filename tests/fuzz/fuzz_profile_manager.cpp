// The stored records the profile manager loads, as any values and files:
// the group and global values and the slots' values and files of any size,
// type and readability, then creation and a run of reloads, switches,
// resets and saves. Checked after every step: nothing outside the five slots
// is reached (no test or default value written, no file outside a full
// path, CurrentGame stored only as a slot), and nothing that exists but
// cannot be read is written over.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "common/paths.h"
#include "platform/sim/sim_world.h"
#include "profile/dm.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kKey[] = "software\\software\\DAvezodev";
constexpr char kProfiles[] = "C:\\users\\player\\Documents\\Profile\\";
constexpr char kGroup[] = "ProfileSettingGroup.pfd";
constexpr char kGlobal[] = "ALLPROFILE.pfd";

void Require(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

template <class R>
Bytes BytesOf(const R& r) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&r);
  return Bytes(p, p + sizeof(R));
}

// Folders and names a stored record may hold, and paths the operations get.
std::string PickFolder(FuzzedDataProvider& in) {
  static const char* const kFolders[] = {kProfiles, "", "Profile", "\\", "\\\\", "C:\\absent\\", "C:\\users",
                                         "D:\\other\\folder", "\\\\server\\share\\"};
  if (in.ConsumeBool()) return in.ConsumeRandomLengthString(80);
  return kFolders[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kFolders) - 1)];
}

std::string PickName(FuzzedDataProvider& in) {
  static const char* const kNames[] = {"Profile1.pfd", "Profile2.pfd", "", kGroup, kGlobal, "QDM7140ProfileTest.pfd",
                                       "..\\Profile1.pfd", "a\\b.pfd"};
  if (in.ConsumeBool()) return in.ConsumeRandomLengthString(40);
  return kNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)];
}

// A whole path, as callers pass them.
std::string PickFullPath(FuzzedDataProvider& in) {
  static const char* const kFolders[] = {kProfiles, "C:\\absent\\", "C:\\", "D:\\other\\folder\\",
                                         "\\\\server\\share\\"};
  return kFolders[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kFolders) - 1)] + PickName(in);
}

std::int32_t PickIndex(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-2, 6) : in.ConsumeIntegral<std::int32_t>();
}

// A stored record: its bytes, and the zero bytes after them that the
// simulation reports without holding them (larger than any record may be).
struct Stored {
  Bytes bytes;
  std::uint32_t zerosAfter = 0;
  std::uint64_t size() const { return bytes.size() + std::uint64_t{zerosAfter}; }
};

// Bytes of a stored record: a valid record with fields changed, cut or
// grown, or any bytes; now and then larger than any record may be.
Stored RecordBytes(FuzzedDataProvider& in, Bytes valid) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      break;
    case 1:
      valid.resize(in.ConsumeIntegralInRange<std::size_t>(0, valid.size() + 64), 0);
      break;
    case 2:
      return {in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 4096))};
    default:
      if (in.ConsumeIntegralInRange<int>(0, 255) == 255) {
        Bytes head = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 64));
        const auto zeros = static_cast<std::uint32_t>(kMaxStoredRecordBytes + 1 - head.size());
        return {std::move(head), zeros};
      }
      break;
  }
  for (int n = in.ConsumeIntegralInRange<int>(0, 8); n > 0 && !valid.empty(); --n) {
    valid[in.ConsumeIntegralInRange<std::size_t>(0, valid.size() - 1)] = in.ConsumeIntegral<std::uint8_t>();
  }
  return {std::move(valid)};
}

// What was stored before the run and may not be changed by it.
struct Kept {
  std::map<std::string, Stored> values;  // by value name
  std::map<std::string, Stored> files;   // by path
};

class Run {
 public:
  explicit Run(FuzzedDataProvider& in) : in_(in) {}

  void Go() {
    // A first start that stored the factory records, or none (then every
    // value and file not stored below is absent).
    if (in_.ConsumeBool()) {
      dm_.emplace(process_.platform(), globals_);
      dm_.reset();
    }
    StoreGroup();
    StoreValue(kGlobal, BytesOf(*factoryGlobal_));
    for (int i = 0; i < 5; ++i) StoreSlot(i);
    if (in_.ConsumeIntegralInRange<int>(0, 7) == 0) world_.registry.FailWrites(in_.ConsumeIntegralInRange<int>(1, 4));
    if (in_.ConsumeIntegralInRange<int>(0, 7) == 0) {
      world_.files.FailWritesAfterBytes(in_.ConsumeIntegralInRange<long long>(0, 400000));
    }
    for (const char* name : {kGroup, kGlobal}) Remember(name);

    dm_.emplace(process_.platform(), globals_);
    Check();
    for (int step = 0; step < 24 && in_.remaining_bytes() > 0; ++step) {
      try {
        if (std::getenv("ZR_FUZZ_TRACE")) std::fprintf(stderr, "step %d\n", step);
        Step();
      } catch (const StorageError&) {
        // A save that failed: reported to the caller, nothing else.
      }
      Check();
    }
    dm_.reset();
    Check();
  }

 private:
  void StoreGroup() {
    auto g = std::make_unique<TProfileSettingGroup>(*factoryGroup_);
    if (in_.ConsumeBool()) g->CurrentProfileGroup = PickIndex(in_);
    for (auto& index : g->ProfileIndexOfProfileGroup) {
      if (in_.ConsumeBool()) index = PickIndex(in_);
    }
    for (auto& entry : g->ProfileSettingList) {
      if (!in_.ConsumeBool()) continue;
      entry.StorageMode = in_.ConsumeBool() ? in_.ConsumeIntegralInRange<std::int32_t>(0, 2)
                                            : in_.ConsumeIntegral<std::int32_t>();
      if (in_.ConsumeBool()) entry.FolderPath.SetUtf8(PickFolder(in_));
      if (in_.ConsumeBool()) entry.ProfileFileName.SetUtf8(PickName(in_));
    }
    StoreValue(kGroup, BytesOf(*g));
  }

  // A value: left as it is, of a text or number type, or binary, readable
  // or not.
  void StoreValue(const std::string& name, const Bytes& valid) {
    switch (in_.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
        return;
      case 1:
        kept_.values.erase(name);
        world_.registry.SetValue(kHkeyCurrentUser, kKey, name, kRegSz, {'x', 0, 0, 0});
        return;
      case 2:
        kept_.values.erase(name);
        world_.registry.SetValue(kHkeyCurrentUser, kKey, name, kRegDword, {1, 0, 0, 0});
        return;
      default:
        break;
    }
    kept_.values.erase(name);
    Stored record = RecordBytes(in_, valid);
    const bool unreadable = in_.ConsumeIntegralInRange<int>(0, 5) == 0;
    if (unreadable || record.size() > kMaxStoredRecordBytes) kept_.values[name] = record;
    world_.registry.SetValue(kHkeyCurrentUser, kKey, name, kRegBinary, std::move(record.bytes), record.zerosAfter);
    if (unreadable) world_.registry.SetUnreadable(kHkeyCurrentUser, kKey, name);
  }

  // A slot's stored value and its file at the factory place.
  void StoreSlot(int i) {
    const std::string name = "Profile" + std::to_string(i + 1) + ".pfd";
    if (in_.ConsumeBool()) StoreValue(name, BytesOf(*factorySlot_));
    const std::string path = std::string(kProfiles) + name;
    switch (in_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        world_.files.DeleteFile(path);
        return;
      case 1:
        return;  // as the first start wrote it
      default:
        break;
    }
    Stored record = RecordBytes(in_, BytesOf(*factorySlot_));
    const bool unreadable = in_.ConsumeIntegralInRange<int>(0, 5) == 0;
    if (unreadable || record.size() > kMaxStoredRecordBytes) kept_.files[path] = record;
    world_.files.PutFile(path, std::move(record.bytes), record.zerosAfter);
    if (unreadable) world_.files.SetUnreadable(path);
  }

  void Step() {
    TDM& dm = *dm_;
    const int op = in_.ConsumeIntegralInRange<int>(0, 27);
    if (std::getenv("ZR_FUZZ_TRACE")) std::fprintf(stderr, "op %d\n", op);
    switch (op) {
      case 0: dm.LoadAllProfileInfoFromRegistry(); break;
      case 1: dm.LoadProfileGroupSettingInfoFromRegistry(); break;
      case 2: dm.LoadCurrentProfileInfoFromRegistry(); break;
      case 3: dm.LoadCurrentProfileInfoFromFile(PickFullPath(in_)); break;
      case 4: dm.LoadProfileInfoFromRegistry(PickIndex(in_)); break;
      case 5: dm.SwitchToProfileGroup(PickIndex(in_)); break;
      case 6: dm.SwitchToProfile(PickIndex(in_)); break;
      case 7: dm.ReadCurrentProfileInfo(); break;
      case 8: {
        auto p = std::make_unique<TMOUSEPROFILEINFO>();
        dm.ReadProfileInfo(*p, PickIndex(in_));
        break;
      }
      case 9: dm.SaveBackToCurrentProfileInfo(); break;
      case 10: dm.SaveCurrentProfileInfoToRegistry(); break;
      case 11: dm.SaveCurrentProfileInfoToFile(PickFullPath(in_)); break;
      case 12: dm.SaveCurrentProfileInfoToFile(); break;
      case 13: dm.SaveBackToProfileInfo(dm.FCurrentProfileInfo, PickIndex(in_)); break;
      case 14: dm.SaveProfileInfoToRegistry(PickIndex(in_)); break;
      case 15: dm.SaveBackAllProfileInfo(); break;
      case 16: dm.SaveBackAllProfileInfoToFile(); break;
      case 17: dm.SaveBackAllProfileSettingInfo(); break;
      case 18: dm.SaveProfileGroupSettingInfoToRegistry(); break;
      case 19: dm.RestoreCurrentProfileInfoToDefault(); break;
      case 20: dm.RestoreProfileInfoToDefault(PickIndex(in_)); break;
      case 21: dm.RestoreProfileGroupToDefault(PickIndex(in_)); break;
      case 22: dm.RestoreProfileSettingGroupToDefault(); break;
      case 23: dm.ChangeCurrentProfileFileNameAndPath(in_.ConsumeBool() ? PickFullPath(in_) : PickFolder(in_) + PickName(in_)); break;
      case 24: dm.InitTestDefaultValue(); break;
      case 25:
        dm.RestoreToDefaultCPISetting();
        dm.RestoreToDefaultLightAndReportAdvancedSetting();
        dm.RestoreToDefaultReportRateSetting();
        break;
      case 26: {
        // The configuration program changes the stored selection meanwhile.
        StoreGroup();
        Remember(kGroup);
        break;
      }
      default: {
        const std::string path = std::string(kProfiles) + "Profile" +
                                 std::to_string(in_.ConsumeIntegralInRange<int>(1, 5)) + ".pfd";
        if (kept_.files.count(path) == 0) {
          Stored record = RecordBytes(in_, BytesOf(*factorySlot_));
          world_.files.PutFile(path, std::move(record.bytes), record.zerosAfter);
        }
        break;
      }
    }
  }

  void Remember(const char* name) {
    const auto* v = world_.registry.PeekValue(kHkeyCurrentUser, kKey, name);
    stored_[name] = v ? std::optional<Bytes>(v->data) : std::nullopt;
  }

  void Check() {
    for (const auto& [name, record] : kept_.values) {
      const auto* v = world_.registry.PeekValue(kHkeyCurrentUser, kKey, name);
      Require(v && v->type == kRegBinary && v->data == record.bytes && v->zerosAfter == record.zerosAfter,
              "the unreadable value " + name + " was written over");
    }
    for (const auto& [path, record] : kept_.files) {
      const auto* f = world_.files.PeekFile(path);
      Require(f && *f == record.bytes && world_.files.FileSize(path) == record.size(),
              "the unreadable file " + path + " was written over");
    }
    for (const char* never : {"QDM7140ProfileTest.pfd", "QDM7140ProfileDef.pfd"}) {
      Require(!world_.registry.PeekValue(kHkeyCurrentUser, kKey, never), "a test or default profile was stored");
    }
    for (const std::string& path : world_.files.AllFiles()) {
      Require(IsFullPath(path), "a file was written outside a full path: " + path);
    }
    // The group and global values as the manager wrote them: records of
    // their own size (never a slot's), CurrentGame a slot.
    for (const auto& [name, size] : {std::pair{kGroup, sizeof(TProfileSettingGroup)},
                                     std::pair{kGlobal, sizeof(TALLGAMESINFO)}}) {
      const auto* v = world_.registry.PeekValue(kHkeyCurrentUser, kKey, name);
      if (v == nullptr || (stored_[name] && v->data == *stored_[name])) continue;
      Require(v->type == kRegBinary && v->data.size() == size, std::string(name) + " written with another record");
      if (name == std::string(kGlobal)) {
        std::int32_t current = 0;
        std::memcpy(&current, v->data.data() + offsetof(TALLGAMESINFO, CurrentGame), sizeof current);
        Require(current >= 0 && current <= 4, "CurrentGame stored outside the slots");
      }
    }
    if (dm_) {
      Require(dm_->FProfileGroup[5] == nullptr, "a sixth slot");
    }
  }

  FuzzedDataProvider& in_;
  sim::SimWorld world_;
  sim::SimProcess process_{world_};
  MonitorGlobals globals_;
  // In place (see LLVMFuzzerTestOneInput): a manager is some 400 KiB.
  std::optional<TDM> dm_;
  // The factory records, as a first start stores them.
  struct Factory {
    Factory() {
      sim::SimWorld world;
      sim::SimProcess process{world};
      MonitorGlobals globals;
      TDM first(process.platform(), globals);
      group = std::make_unique<TProfileSettingGroup>(first.FProfileSettingGroup);
      global = std::make_unique<TALLGAMESINFO>(first.FAllProfileSettingInfo);
      slot = std::make_unique<TMOUSEPROFILEINFO>();
      first.ReadProfileInfo(*slot, 0);
    }
    std::unique_ptr<TProfileSettingGroup> group;
    std::unique_ptr<TALLGAMESINFO> global;
    std::unique_ptr<TMOUSEPROFILEINFO> slot;
  };
  static const Factory& Factories() {
    static const Factory factory;
    return factory;
  }
  const std::unique_ptr<TProfileSettingGroup>& factoryGroup_ = Factories().group;
  const std::unique_ptr<TALLGAMESINFO>& factoryGlobal_ = Factories().global;
  const std::unique_ptr<TMOUSEPROFILEINFO>& factorySlot_ = Factories().slot;
  Kept kept_;
  std::map<std::string, std::optional<Bytes>> stored_;  // the group and global values as the input left them
};

}  // namespace
}  // namespace zr

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A run holds managers of some 400 KiB. On the heap, each input would map
  // and fault in fresh pages; on the stack, every exception would make the
  // sanitizer clear the shadow of a deep stack. Both cost more than the run.
  alignas(zr::Run) static unsigned char storage[sizeof(zr::Run)];
  FuzzedDataProvider in(data, size);
  auto* run = new (storage) zr::Run(in);
  run->Go();
  run->~Run();
  return 0;
}
