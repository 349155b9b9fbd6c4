// The monitor's stored records as they are, read without changing anything:
// the group selection, the global settings and the five profile slots, each
// with where it is stored and whether it could be read. The records are read
// and written by the same component the profile manager uses (TqvProfile);
// unlike the manager, nothing here falls back to factory values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "profile/qv_profile.h"
#include "profile/records.h"

namespace zr::ctl {

// Where one record lives.
struct RecordPlace {
  enum class Kind { None, Registry, File };
  Kind kind = Kind::None;
  std::string keyPath;    // Registry: below HKEY_CURRENT_USER
  std::string valueName;  // Registry
  std::string file;       // File: full path
  std::string whyNone;    // None: why the record has no place

  static RecordPlace Registry(std::string keyPath, std::string valueName);
  static RecordPlace File(std::string file);
  static RecordPlace Nowhere(std::string why);
  // "HKCU\key\value", the file's path, or the empty text.
  std::string Describe() const;
  // A component set up for this place (root, key, value name, folder).
  std::unique_ptr<TqvProfile> Component(Platform& platform) const;
};

struct StoredRecord {
  enum class State { Ok, NotStored, Unreadable, WrongSize, NoPlace };
  RecordPlace place;
  State state = State::NotStored;
  std::string problem;  // for every state but Ok
  std::vector<std::uint8_t> bytes;  // what was read (Ok, WrongSize)

  bool Ok() const { return state == State::Ok; }
  // "ok", "not_stored", "unreadable", "wrong_size", "no_place".
  const char* StateName() const;
};

class StoredProfiles {
 public:
  std::string keyPath;        // the profile key below HKEY_CURRENT_USER
  std::string registryKey;    // "HKCU\" + the key path
  std::string profileFolder;  // where the factory settings put profile files
  bool keyExists = false;
  StoredRecord group;   // TProfileSettingGroup
  StoredRecord global;  // TALLGAMESINFO
  std::array<StoredRecord, 5> slots;  // TMOUSEPROFILEINFO each

  // The records, when they could be read whole.
  const TProfileSettingGroup* GroupRecord() const { return groupRecord.get(); }
  const TALLGAMESINFO* GlobalRecord() const { return globalRecord.get(); }
  const TMOUSEPROFILEINFO* SlotRecord(int slot) const;
  // The slot the current group selects, or -1.
  int CurrentSlot() const;
  bool AnythingRead() const;

 private:
  friend StoredProfiles ReadStoredProfiles(Platform& platform);
  std::unique_ptr<TProfileSettingGroup> groupRecord;
  std::unique_ptr<TALLGAMESINFO> globalRecord;
  std::array<std::unique_ptr<TMOUSEPROFILEINFO>, 5> slotRecords;
};

StoredProfiles ReadStoredProfiles(Platform& platform);

// Where slot `slot` is stored according to its entry in the group record.
RecordPlace SlotPlace(const TOptionsFromConfigFile& options, const TPROFILESETTINGINFO& entry, int slot);

// Reads one record; nothing is created or written.
StoredRecord ReadRecord(Platform& platform, const RecordPlace& place, std::size_t expectedSize);

// Saves `bytes` as the record at `place` as the monitor saves: they replace
// the value or file whole (a file through a temporary file in its folder),
// and a stored record that cannot be read is never overwritten. With
// `before`, what the record held when it was read: a record that another
// program has changed since is not written either. The reason when nothing
// was written, else empty.
std::string StoreRecord(Platform& platform, const RecordPlace& place, const std::vector<std::uint8_t>& bytes,
                        const std::vector<std::uint8_t>* before = nullptr);

// The slot that the group record's current group selects, or -1.
int SlotOfCurrentGroup(const TProfileSettingGroup* group);

// The group record (ProfileSettingGroup.pfd) into `stored`, and the record
// itself when it was read whole.
std::unique_ptr<TProfileSettingGroup> ReadGroupRecord(Platform& platform, const TOptionsFromConfigFile& options,
                                                      StoredRecord& stored);

}  // namespace zr::ctl
