#include "ctl/stored_profiles.h"

#include <cstring>

#include "common/paths.h"
#include "profile/dm.h"

namespace zr::ctl {

RecordPlace RecordPlace::Registry(std::string keyPath, std::string valueName) {
  RecordPlace p;
  p.kind = Kind::Registry;
  p.keyPath = std::move(keyPath);
  p.valueName = std::move(valueName);
  return p;
}

RecordPlace RecordPlace::File(std::string file) {
  RecordPlace p;
  p.kind = Kind::File;
  p.file = std::move(file);
  return p;
}

RecordPlace RecordPlace::Nowhere(std::string why) {
  RecordPlace p;
  p.whyNone = std::move(why);
  return p;
}

std::string RecordPlace::Describe() const {
  switch (kind) {
    case Kind::Registry: return "HKCU\\" + keyPath + "\\" + valueName;
    case Kind::File: return file;
    default: return {};
  }
}

std::unique_ptr<TqvProfile> RecordPlace::Component(Platform& platform) const {
  auto c = std::make_unique<TqvProfile>(platform);
  c->SetRootKey(kHkeyCurrentUser);
  if (kind == Kind::Registry) {
    c->SetKeyPath(keyPath);
    c->SetFileName(valueName);
  } else if (kind == Kind::File) {
    const PathParts parts = SplitPath(file);
    c->SetFilePath(parts.folder);
    c->SetFileName(parts.name);
  }
  return c;
}

const char* StoredRecord::StateName() const {
  switch (state) {
    case State::Ok: return "ok";
    case State::NotStored: return "not_stored";
    case State::Unreadable: return "unreadable";
    case State::WrongSize: return "wrong_size";
    case State::NoPlace: return "no_place";
  }
  return "";
}

RecordPlace SlotPlace(const TOptionsFromConfigFile& options, const TPROFILESETTINGINFO& entry, int slot) {
  const std::string name = entry.ProfileFileName.GetUtf8();
  if (entry.StorageMode == 0) {
    if (name.empty()) return RecordPlace::Nowhere("slot " + std::to_string(slot) + " has no value name");
    if (TDM::IsOwnRecordValue(name)) {
      return RecordPlace::Nowhere("slot " + std::to_string(slot) + " is named " + name +
                                  ", which is one of the monitor's own records");
    }
    return RecordPlace::Registry(options.ProfileRegFolder, name);
  }
  if (entry.StorageMode == 1) {
    const std::string file = TDM::SlotFilePath(entry);
    if (file.empty() || name.empty()) {
      return RecordPlace::Nowhere("slot " + std::to_string(slot) + "'s folder \"" + entry.FolderPath.GetUtf8() +
                                  "\" and name \"" + name + "\" do not make a full path");
    }
    return RecordPlace::File(file);
  }
  return RecordPlace::Nowhere("slot " + std::to_string(slot) + " has storage mode " +
                              std::to_string(entry.StorageMode) + " and is not loaded");
}

StoredRecord ReadRecord(Platform& platform, const RecordPlace& place, std::size_t expectedSize) {
  StoredRecord r;
  r.place = place;
  if (place.kind == RecordPlace::Kind::None) {
    r.state = StoredRecord::State::NoPlace;
    r.problem = place.whyNone;
    return r;
  }
  const std::unique_ptr<TqvProfile> component = place.Component(platform);
  bool loaded = false;
  try {
    if (place.kind == RecordPlace::Kind::Registry) {
      // Loading opens the key with creation; a missing key is not created.
      loaded = platform.registry.KeyExists(kHkeyCurrentUser, place.keyPath) && component->LoadStreamFromRegistry();
    } else {
      loaded = component->LoadStreamFromFile(place.file);
    }
  } catch (const StorageError& e) {
    r.state = StoredRecord::State::Unreadable;
    r.problem = e.what();
    return r;
  }
  if (!loaded) {
    r.state = StoredRecord::State::NotStored;
    r.problem = place.Describe() + " does not exist";
    return r;
  }
  r.bytes = component->Stream();
  if (r.bytes.size() != expectedSize) {
    r.state = StoredRecord::State::WrongSize;
    r.problem = place.Describe() + " holds " + std::to_string(r.bytes.size()) + " bytes, a record has " +
                std::to_string(expectedSize);
    return r;
  }
  r.state = StoredRecord::State::Ok;
  return r;
}

std::string StoreRecord(Platform& platform, const RecordPlace& place, const std::vector<std::uint8_t>& bytes,
                        const std::vector<std::uint8_t>* before) {
  if (place.kind == RecordPlace::Kind::None) return place.whyNone;
  if (before != nullptr) {
    const StoredRecord now = ReadRecord(platform, place, before->size());
    if ((now.state != StoredRecord::State::Ok && now.state != StoredRecord::State::WrongSize) || now.bytes != *before) {
      return place.Describe() + " was changed by another program while zrctl ran";
    }
  }
  const std::unique_ptr<TqvProfile> component = place.Component(platform);
  component->Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  try {
    const bool saved = place.kind == RecordPlace::Kind::File ? component->SaveStreamToFile(place.file)
                                                             : component->SaveStreamToRegistry();
    if (!saved) {
      return place.Describe() + " was not written (" +
             (place.kind == RecordPlace::Kind::File ? "" : "its registry key may only be read, or ") +
             "a stored record that cannot be read is kept)";
    }
  } catch (const StorageError& e) {
    return std::string(e.what()) + "; the stored record is unchanged";
  }
  return {};
}

namespace {

// The record's bytes as the record, when it was read whole.
template <class Record>
std::unique_ptr<Record> Decode(const StoredRecord& r) {
  if (!r.Ok() || r.bytes.size() != sizeof(Record)) return nullptr;
  auto record = std::make_unique<Record>();
  std::memcpy(record.get(), r.bytes.data(), sizeof(Record));
  return record;
}

}  // namespace

const TMOUSEPROFILEINFO* StoredProfiles::SlotRecord(int slot) const {
  return TDM::IsProfileIndexInRange(slot) ? slotRecords[static_cast<std::size_t>(slot)].get() : nullptr;
}

int SlotOfCurrentGroup(const TProfileSettingGroup* group) {
  if (group == nullptr || !TDM::IsProfileGroupIndexInRange(group->CurrentProfileGroup)) return -1;
  const std::int32_t slot = group->ProfileIndexOfProfileGroup[group->CurrentProfileGroup];
  return TDM::IsProfileIndexInRange(slot) ? slot : -1;
}

int StoredProfiles::CurrentSlot() const { return SlotOfCurrentGroup(GroupRecord()); }

bool StoredProfiles::AnythingRead() const {
  if (group.Ok() || global.Ok()) return true;
  for (const StoredRecord& s : slots) {
    if (s.Ok()) return true;
  }
  return false;
}

std::unique_ptr<TProfileSettingGroup> ReadGroupRecord(Platform& platform, const TOptionsFromConfigFile& options,
                                                      StoredRecord& stored) {
  stored = ReadRecord(platform, RecordPlace::Registry(options.ProfileRegFolder, TDM::kSettingGroupValue),
                      sizeof(TProfileSettingGroup));
  return Decode<TProfileSettingGroup>(stored);
}

StoredProfiles ReadStoredProfiles(Platform& platform) {
  StoredProfiles s;
  const TOptionsFromConfigFile options = TDM::ReadStorageOptions(platform);
  s.keyPath = options.ProfileRegFolder;
  s.registryKey = "HKCU\\" + s.keyPath;
  const std::string documents = platform.files.DocumentsFolder();
  if (!documents.empty()) s.profileFolder = TDM::ProfileFolderIn(documents, options);
  s.keyExists = platform.registry.KeyExists(kHkeyCurrentUser, options.ProfileRegFolder);
  s.groupRecord = ReadGroupRecord(platform, options, s.group);
  s.global = ReadRecord(platform, RecordPlace::Registry(options.ProfileRegFolder, TDM::kAllSettingValue),
                        sizeof(TALLGAMESINFO));
  s.globalRecord = Decode<TALLGAMESINFO>(s.global);
  const TProfileSettingGroup* g = s.GroupRecord();
  for (int i = 0; i < TDM::kSlotCount; ++i) {
    const RecordPlace place =
        g != nullptr ? SlotPlace(options, g->ProfileSettingList[i], i)
                     : RecordPlace::Nowhere("the group record cannot be read, so where the slot is stored is unknown");
    s.slots[static_cast<std::size_t>(i)] = ReadRecord(platform, place, sizeof(TMOUSEPROFILEINFO));
    s.slotRecords[static_cast<std::size_t>(i)] = Decode<TMOUSEPROFILEINFO>(s.slots[static_cast<std::size_t>(i)]);
  }
  return s;
}

}  // namespace zr::ctl
