// `zrctl import --json`: a listing as `zrctl profiles --json` prints it,
// edited by hand or by a script, written back into the records.
//
// Every number that is a field of a record is written; every byte that the
// document does not name is kept. The other keys are derived from the
// records (`sent`, `action`, `plain`, the sensor steps, a key's kind and
// code, `current_slot`) or tell where the records are kept (`stored`,
// `state`, `storage`, ...): they are not written, and each must agree with
// the records as they are stored or as the edit leaves them. A key may be
// left out; an object in an array is matched by its first key (`slot`,
// `level`, `key`) when it has it, else by its position.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>

#include "ctl/listing.h"
#include "ctl/report.h"
#include "ctl/stored_profiles.h"

namespace zr::ctl {

// Copies of the records that were read whole, to be changed.
struct EditedRecords {
  std::unique_ptr<TProfileSettingGroup> group;
  std::unique_ptr<TALLGAMESINFO> global;
  std::array<std::unique_ptr<TMOUSEPROFILEINFO>, 5> slots;

  static EditedRecords Of(const StoredProfiles& s);
  ListedRecords Listed() const;
  // A record by the listing's number; empty when it was not read whole.
  std::span<std::uint8_t> Bytes(int record) const;
};

// Writes into `edit` what `doc` names. The reason for refusing it, with the
// path of the offending value in the document, or empty.
std::string ApplyListing(const Node& doc, const StoredProfiles& stored, EditedRecords& edit);

}  // namespace zr::ctl
