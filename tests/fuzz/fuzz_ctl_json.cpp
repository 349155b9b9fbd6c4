// The file `zrctl import --json` takes, as any bytes, against the factory
// records: what parses prints and parses again to the same tree; an edit is
// applied or refused without touching a record that could not be read, and
// the listing of an accepted edit imports to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "app/globals.h"
#include "ctl/json_import.h"
#include "platform/sim/sim_world.h"
#include "profile/dm.h"

namespace zr {
namespace {

void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The factory records with slot 3's file unreadable, read once.
const ctl::StoredProfiles& Stored() {
  static const auto stored = [] {
    sim::SimWorld world;
    sim::SimProcess process(world);
    MonitorGlobals globals;
    { TDM first(process.platform(), globals); }
    world.files.SetUnreadable("C:\\users\\player\\Documents\\Profile\\Profile4.pfd");
    return std::make_unique<ctl::StoredProfiles>(ctl::ReadStoredProfiles(process.platform()));
  }();
  return *stored;
}

}  // namespace
}  // namespace zr

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zr;
  const ctl::JsonDocument doc = ctl::ParseJson(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!doc.ok()) return 0;
  const ctl::JsonDocument again = ctl::ParseJson(ctl::ToJson(doc.root));
  Require(again.ok() && again.root == doc.root, "a parsed document prints and parses again to the same tree");
  ctl::EditedRecords edit = ctl::EditedRecords::Of(Stored());
  if (!ctl::ApplyListing(doc.root, Stored(), edit).empty()) return 0;
  // What an accepted edit leaves, listed and imported into the records as
  // stored, gives the same bytes: the listing names every field it wrote,
  // and what it derives agrees with them.
  const ctl::JsonDocument listed = ctl::ParseJson(ctl::ToJson(ctl::ProfilesNode(Stored(), edit.Listed())));
  ctl::EditedRecords relisted = ctl::EditedRecords::Of(Stored());
  Require(listed.ok() && ctl::ApplyListing(listed.root, Stored(), relisted).empty(),
          "the listing of an accepted edit is accepted");
  for (int record = 0; record <= ctl::kGlobalRecordNumber; ++record) {
    const auto a = edit.Bytes(record), b = relisted.Bytes(record);
    Require(a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin()),
            "the listing of an accepted edit imports to the same bytes");
  }
  Require(edit.Bytes(3).empty(), "a record that could not be read gets no copy to write");
  return 0;
}
