#include "ctl/json_import.h"

#include <cstring>

#include "ctl/profile_edit.h"
#include "profile/dm.h"

namespace zr::ctl {
namespace {

template <class Record>
std::unique_ptr<Record> CopyOf(const Record* r) {
  return r != nullptr ? std::make_unique<Record>(*r) : nullptr;
}

template <class Record>
std::span<std::uint8_t> BytesOf(const std::unique_ptr<Record>& r) {
  if (r == nullptr) return {};
  return {reinterpret_cast<std::uint8_t*>(r.get()), sizeof(Record)};
}

const char* KindName(Node::Kind k) {
  switch (k) {
    case Node::Kind::Null: return "null";
    case Node::Kind::Bool: return "true or false";
    case Node::Kind::Number: return "a whole number";
    case Node::Kind::Text: return "a string";
    case Node::Kind::Object: return "an object";
    case Node::Kind::Array: return "an array";
  }
  return "";
}

// A value of the document with where it is in the listing: the member and
// item indexes from the root.
struct Leaf {
  std::string path;
  const Node* given;
  std::vector<std::size_t> at;
};

const Node& At(const Node& root, const std::vector<std::size_t>& at) {
  const Node* n = &root;
  for (const std::size_t i : at) n = n->kind() == Node::Kind::Object ? &n->members()[i].second : &n->items()[i];
  return *n;
}

std::string Keys(const Node& object) {
  std::string keys;
  for (const auto& [key, value] : object.members()) keys += (keys.empty() ? "" : ", ") + key;
  return keys;
}

// Walks the document beside the listing; the values it names in `leaves`,
// or the reason it does not fit the listing.
class Matcher {
 public:
  std::vector<Leaf> leaves;

  std::string Match(const Node& given, const Node& listed, const std::string& path, std::vector<std::size_t>& at) {
    if (listed.IsScalar() && listed.kind() != Node::Kind::Null) {
      if (!given.IsScalar()) return PathText(path) + ": " + KindName(listed.kind()) + " is expected here";
      leaves.push_back({path, &given, at});
      return {};
    }
    if (given.kind() == Node::Kind::Null) return {};  // names nothing
    if (listed.kind() == Node::Kind::Null) {
      if (given.IsScalar()) {
        leaves.push_back({path, &given, at});
        return {};
      }
      return PathText(path) +
             ": the listing has null here (its record cannot be read whole), so nothing is written to it";
    }
    if (given.kind() != listed.kind()) return PathText(path) + ": " + KindName(listed.kind()) + " is expected here";
    return listed.kind() == Node::Kind::Object ? MatchObject(given, listed, path, at)
                                               : MatchArray(given, listed, path, at);
  }

 private:
  std::string MatchObject(const Node& given, const Node& listed, const std::string& path,
                          std::vector<std::size_t>& at) {
    for (const auto& [key, value] : given.members()) {
      const std::string inner = path.empty() ? key : path + "." + key;
      std::size_t j = 0;
      while (j < listed.members().size() && listed.members()[j].first != key) ++j;
      if (j == listed.members().size()) {
        return inner + ": there is no such key here; " + (path.empty() ? "the document" : path) + " has " +
               Keys(listed);
      }
      at.push_back(j);
      if (std::string e = Match(value, listed.members()[j].second, inner, at); !e.empty()) return e;
      at.pop_back();
    }
    return {};
  }

  // The listing's entries of an array of objects are numbered by their
  // first key (slot, level, key), from 0 at position 0.
  std::string MatchArray(const Node& given, const Node& listed, const std::string& path, std::vector<std::size_t>& at) {
    std::vector<std::string> taken(listed.items().size());
    for (std::size_t i = 0; i < given.items().size(); ++i) {
      const Node& item = given.items()[i];
      const std::string inner = path + "[" + std::to_string(i) + "]";
      std::size_t target = i;
      const Node* first = listed.items().empty() || listed.items()[0].kind() != Node::Kind::Object ||
                                  listed.items()[0].members().empty()
                              ? nullptr
                              : &listed.items()[0].members()[0].second;
      if (first != nullptr && first->kind() == Node::Kind::Number && item.kind() == Node::Kind::Object) {
        const std::string& idKey = listed.items()[0].members()[0].first;
        for (const auto& [key, value] : item.members()) {
          if (key != idKey) continue;
          if (value.kind() != Node::Kind::Number || value.number() < 0 ||
              value.number() >= static_cast<std::int64_t>(listed.items().size())) {
            return inner + "." + idKey + ": it is 0.." + std::to_string(listed.items().size() - 1);
          }
          target = static_cast<std::size_t>(value.number());
        }
      }
      if (target >= listed.items().size()) {
        return inner + ": " + path + " has " + std::to_string(listed.items().size()) + " entries";
      }
      if (!taken[target].empty()) return inner + ": names the same entry as " + taken[target];
      taken[target] = inner;
      at.push_back(target);
      if (std::string e = Match(item, listed.items()[target], inner, at); !e.empty()) return e;
      at.pop_back();
    }
    return {};
  }
};

std::string WriteField(const Leaf& leaf, const StoredField& f, const EditedRecords& edit) {
  const Node& v = *leaf.given;
  if (v.kind() != Node::Kind::Number) return leaf.path + ": a whole number is expected here";
  const std::int64_t lo = FieldMin(f.width), hi = FieldMax(f.width);
  if (v.number() < lo || v.number() > hi) {
    return leaf.path + ": " + std::to_string(v.number()) + " does not fit; the record holds " + std::to_string(lo) +
           ".." + std::to_string(hi) + " here";
  }
  const std::span<std::uint8_t> bytes = edit.Bytes(f.record);
  const auto put = [&](auto value) { std::memcpy(bytes.data() + f.offset, &value, sizeof value); };
  switch (f.width) {
    case FieldWidth::U8: put(static_cast<std::uint8_t>(v.number())); break;
    case FieldWidth::S8: put(static_cast<std::int8_t>(v.number())); break;
    case FieldWidth::U16: put(static_cast<std::uint16_t>(v.number())); break;
    case FieldWidth::S32: put(static_cast<std::int32_t>(v.number())); break;
  }
  return {};
}

// A scalar as the document writes it.
std::string Quoted(const Node& n) {
  const std::string json = ToJson(n);
  return json.substr(0, json.size() - 1);
}

// The changed values of the group and the global record that their rules
// do not allow.
std::string CheckSettings(const StoredProfiles& s, const EditedRecords& edit) {
  const TProfileSettingGroup* g0 = s.GroupRecord();
  if (const TProfileSettingGroup* g = edit.group.get()) {
    if (g->CurrentProfileGroup != g0->CurrentProfileGroup && !TDM::IsProfileGroupIndexInRange(g->CurrentProfileGroup)) {
      return "group.current_group: the groups are 0 and 1";
    }
    for (int i = 0; i < 2; ++i) {
      const std::int32_t slot = g->ProfileIndexOfProfileGroup[i];
      if (slot != g0->ProfileIndexOfProfileGroup[i] && !TDM::IsProfileIndexInRange(slot)) {
        return "group.group_slots[" + std::to_string(i) + "]: the slots are 0..4";
      }
    }
  }
  const TALLGAMESINFO* a0 = s.GlobalRecord();
  if (const TALLGAMESINFO* a = edit.global.get()) {
    if (a->CurrentGame != a0->CurrentGame && !TDM::IsProfileIndexInRange(a->CurrentGame)) {
      return "global.current_game: the slots are 0..4";
    }
    if (a->CurrentLanguage != a0->CurrentLanguage && a->CurrentLanguage < 0) {
      return "global.language_index: a language's index is 0 or more";
    }
  }
  return {};
}

}  // namespace

EditedRecords EditedRecords::Of(const StoredProfiles& s) {
  EditedRecords e;
  e.group = CopyOf(s.GroupRecord());
  e.global = CopyOf(s.GlobalRecord());
  for (int i = 0; i < TDM::kSlotCount; ++i) e.slots[static_cast<std::size_t>(i)] = CopyOf(s.SlotRecord(i));
  return e;
}

ListedRecords EditedRecords::Listed() const {
  ListedRecords r;
  r.group = group.get();
  r.global = global.get();
  for (std::size_t i = 0; i < slots.size(); ++i) r.slots[i] = slots[i].get();
  return r;
}

std::span<std::uint8_t> EditedRecords::Bytes(int record) const {
  if (record == kGroupRecordNumber) return BytesOf(group);
  if (record == kGlobalRecordNumber) return BytesOf(global);
  if (TDM::IsProfileIndexInRange(record)) return BytesOf(slots[static_cast<std::size_t>(record)]);
  return {};
}

std::string ApplyListing(const Node& doc, const StoredProfiles& stored, EditedRecords& edit) {
  const Node before = ProfilesNode(stored, ListedRecords::As(stored));
  if (doc.kind() != Node::Kind::Object) return "the document: an object is expected, as `zrctl profiles --json` prints";
  Matcher matcher;
  std::vector<std::size_t> at;
  if (std::string e = matcher.Match(doc, before, "", at); !e.empty()) return e;

  std::vector<const Leaf*> derived;
  for (const Leaf& leaf : matcher.leaves) {
    const std::optional<StoredField>& field = At(before, leaf.at).field();
    if (!field) {
      derived.push_back(&leaf);
    } else if (std::string e = WriteField(leaf, *field, edit); !e.empty()) {
      return e;
    }
  }
  if (std::string e = CheckSettings(stored, edit); !e.empty()) return e;
  for (int i = 0; i < TDM::kSlotCount; ++i) {
    TMOUSEPROFILEINFO* p = edit.slots[static_cast<std::size_t>(i)].get();
    if (p == nullptr) continue;
    if (EditError e = FollowProfileEdits(stored.SlotRecord(i)->ConfigInfo, p->ConfigInfo); !e.empty()) {
      return "slots[" + std::to_string(i) + "].profile." + e;
    }
  }

  const Node after = ProfilesNode(stored, edit.Listed());
  for (const Leaf* leaf : derived) {
    const Node& now = At(after, leaf->at);
    if (*leaf->given == At(before, leaf->at) || *leaf->given == now) continue;
    return leaf->path + ": " + Quoted(*leaf->given) + " is not what the records give (" + Quoted(now) +
           "); this value follows from them or tells where they are kept, and is not written";
  }
  return {};
}

}  // namespace zr::ctl
