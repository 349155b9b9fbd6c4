// The listing of `zrctl profiles`: the group record, the global settings and
// the five slots as one tree. Every number that is a field of a record is
// tagged with where it is kept, so that an edited listing can be written
// back (`import --json`); the other values are derived from the records or
// tell where they are stored.
#pragma once

#include <array>

#include "ctl/report.h"
#include "ctl/stored_profiles.h"

namespace zr::ctl {

// The listing's numbers for the records besides the slots 0..4.
inline constexpr int kGroupRecordNumber = 5;
inline constexpr int kGlobalRecordNumber = 6;

// The records a listing shows: as stored, or as an edit would store them
// (null for one that could not be read whole).
struct ListedRecords {
  const TProfileSettingGroup* group = nullptr;
  const TALLGAMESINFO* global = nullptr;
  std::array<const TMOUSEPROFILEINFO*, 5> slots{};

  static ListedRecords As(const StoredProfiles& s);
  // The slot the current group selects, or -1.
  int CurrentSlot() const;
};

// Where each record is kept and whether it could be read come from `s`;
// the records' contents from `records`.
Node ProfilesNode(const StoredProfiles& s, const ListedRecords& records);

}  // namespace zr::ctl
