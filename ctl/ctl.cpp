#include "ctl/ctl.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include "contract/monitor_contract.h"
#include "ctl/json_import.h"
#include "ctl/listing.h"
#include "ctl/profile_edit.h"
#include "ctl/report.h"
#include "ctl/stored_profiles.h"
#include "profile/dm.h"

namespace zr::ctl {
namespace {

constexpr char kUsage[] =
    "usage: zrctl COMMAND [ARGUMENTS]\n"
    "\n"
    "  status               whether the monitor runs, where profiles are stored, the group, slot and language\n"
    "  profiles [--json]    the five slots, the group selection and the global settings\n"
    "  group 0|1            store the group selection and tell the monitor to apply it\n"
    "  apply                tell the monitor to reload and apply the profiles (message 7035)\n"
    "  reload               tell the monitor to reload the global settings and language (message 7037)\n"
    "  export SLOT FILE     copy slot SLOT's stored record (0..4) to FILE, byte for byte\n"
    "  import SLOT FILE     store FILE, exactly one profile record, as slot SLOT's record\n"
    "  import --json FILE   write the values FILE names, an edited `profiles --json` listing\n"
    "  set SLOT cpi LEVELS  set slot SLOT's CPI levels, for example 400,800,1600x1200\n"
    "  set SLOT wheel-up|wheel-down FUNCTION   what the wheel does, for example volume-up\n"
    "  set SLOT key KEY FUNCTION               a device key's function, for example mute-mic\n"
    "\n"
    "Slots are numbered 0..4 as the group selection names them (slot 0 is Profile1.pfd by default).\n"
    "Exit codes: 0 done, 1 refused (the reason on standard error), 3 no monitor running where one is needed.\n"
    "zrctl COMMAND --help tells more.\n";

// ---- the monitor --------------------------------------------------------------

enum class Delivery { Handled, NoMonitor, NoAnswer };

Delivery SendToMonitor(Platform& platform, std::uint32_t msg) {
  const WindowHandle monitor = platform.windowing.FindWindowByClass(kMonitorClassName);
  if (monitor == 0) return Delivery::NoMonitor;
  return platform.windowing.SendMessageTimeout(monitor, msg, 0, 0, kMonitorAnswerMs) ? Delivery::Handled
                                                                                      : Delivery::NoAnswer;
}

int ReportDelivery(Delivery d, const std::string& what, std::ostream& out, std::ostream& err) {
  switch (d) {
    case Delivery::Handled:
      out << what << "\n";
      return kExitDone;
    case Delivery::NoMonitor:
      err << "zrctl: no monitor is running\n";
      return kExitNoMonitor;
    case Delivery::NoAnswer:
      err << "zrctl: the monitor did not answer within " << kMonitorAnswerMs / 1000 << " s\n";
      return kExitRefused;
  }
  return kExitRefused;
}

// ---- commands -------------------------------------------------------------------

struct Command {
  Platform& platform;
  const std::vector<std::string>& args;  // after the command's name
  std::ostream& out;
  std::ostream& err;

  int Refuse(const std::string& why) const {
    err << "zrctl: " << why << "\n";
    return kExitRefused;
  }
};

int Status(const Command& c) {
  if (!c.args.empty()) return c.Refuse("status takes no arguments");
  const bool running = c.platform.windowing.FindWindowByClass(kMonitorClassName) != 0;
  const StoredProfiles s = ReadStoredProfiles(c.platform);
  c.out << "monitor: " << (running ? "running" : "not running") << "\n";
  c.out << "registry key: " << s.registryKey << (s.keyExists ? "" : " (missing)") << "\n";
  c.out << "profile folder: " << (s.profileFolder.empty() ? "unknown" : s.profileFolder) << "\n";
  if (const TProfileSettingGroup* g = s.GroupRecord()) {
    c.out << "group: " << g->CurrentProfileGroup << " (group 0 selects slot " << g->ProfileIndexOfProfileGroup[0]
          << ", group 1 selects slot " << g->ProfileIndexOfProfileGroup[1] << ")\n";
    const int slot = s.CurrentSlot();
    if (slot >= 0) {
      const StoredRecord& r = s.slots[static_cast<std::size_t>(slot)];
      const std::string where = r.place.Describe();
      c.out << "current slot: " << slot << (where.empty() ? "" : ", " + where)
            << (r.Ok() ? "" : " (" + r.problem + ")") << "\n";
    } else {
      c.out << "current slot: none (the group selects no slot 0..4)\n";
    }
  } else {
    c.out << "group: unknown (" << s.group.problem << ")\n";
    c.out << "current slot: unknown\n";
  }
  if (const TALLGAMESINFO* a = s.GlobalRecord()) {
    c.out << "language index: " << a->CurrentLanguage << "\n";
  } else {
    c.out << "language index: unknown (" << s.global.problem << ")\n";
  }
  return kExitDone;
}

int Profiles(const Command& c) {
  bool json = false;
  for (const std::string& a : c.args) {
    if (a != "--json") return c.Refuse("profiles: unknown argument \"" + a + "\"");
    json = true;
  }
  const StoredProfiles s = ReadStoredProfiles(c.platform);
  const Node tree = ProfilesNode(s, ListedRecords::As(s));
  c.out << (json ? ToJson(tree) : ToText(tree));
  if (!s.AnythingRead()) return c.Refuse("nothing is stored under " + s.registryKey + " that could be read");
  return kExitDone;
}

std::optional<int> ParseIndex(const std::string& text, int last) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '0' + last) return std::nullopt;
  return text[0] - '0';
}

template <class Record>
std::vector<std::uint8_t> BytesOf(const Record& r) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(&r);
  return {b, b + sizeof r};
}

int Group(const Command& c) {
  if (c.args.size() != 1) return c.Refuse("group takes one argument, 0 or 1");
  const std::optional<int> group = ParseIndex(c.args[0], 1);
  if (!group) return c.Refuse("the group must be 0 or 1, not \"" + c.args[0] + "\"");
  StoredRecord stored;
  const std::unique_ptr<TProfileSettingGroup> record =
      ReadGroupRecord(c.platform, TDM::ReadStorageOptions(c.platform), stored);
  if (record == nullptr) return c.Refuse(stored.problem + "; nothing written");
  const std::int32_t slot = record->ProfileIndexOfProfileGroup[*group];
  if (!TDM::IsProfileIndexInRange(slot)) {
    return c.Refuse("group " + std::to_string(*group) + " selects slot " + std::to_string(slot) +
                    ", which does not exist; nothing written");
  }
  record->CurrentProfileGroup = *group;
  if (const std::string e = StoreRecord(c.platform, stored.place, BytesOf(*record), &stored.bytes); !e.empty()) {
    return c.Refuse(e);
  }
  const std::string stored_text =
      "group " + std::to_string(*group) + " stored (slot " + std::to_string(slot) + ") in " + stored.place.Describe();
  const Delivery d = SendToMonitor(c.platform, WM_APPLY_PROFILE);
  if (d == Delivery::NoMonitor) {
    c.out << stored_text << "\n";
    c.err << "zrctl: no monitor is running; it takes the group when it starts\n";
    return kExitNoMonitor;
  }
  c.out << stored_text << "\n";
  return ReportDelivery(d, "the monitor applied it", c.out, c.err);
}

int Message(const Command& c, std::uint32_t msg, const char* done) {
  if (!c.args.empty()) return c.Refuse("this command takes no arguments");
  return ReportDelivery(SendToMonitor(c.platform, msg), done, c.out, c.err);
}

// What a command stored, for the monitor.
struct StoredChanges {
  bool group = false;
  bool global = false;
  std::vector<int> slots;
  std::string keyPath;  // the profile key below HKCU
  const TProfileSettingGroup* groupRecord = nullptr;  // as stored now
};

// A registry value named like a file slot: the monitor's reload takes it in
// place of the file.
std::string RegistryCopy(Platform& platform, const StoredChanges& ch, int slot) {
  if (ch.groupRecord == nullptr) return {};
  const TPROFILESETTINGINFO& e = ch.groupRecord->ProfileSettingList[slot];
  if (e.StorageMode != 1) return {};
  if (!platform.registry.KeyExists(kHkeyCurrentUser, ch.keyPath)) return {};
  const std::unique_ptr<RegistryKey> key = platform.registry.OpenOrCreateKey(kHkeyCurrentUser, ch.keyPath);
  if (key == nullptr || !key->QueryValue(e.ProfileFileName.GetUtf8())) return {};
  return RecordPlace::Registry(ch.keyPath, e.ProfileFileName.GetUtf8()).Describe();
}

// A running monitor is told to apply what concerns it now; for the rest it
// is said when the monitor takes it.
int TellMonitor(const Command& c, const StoredChanges& ch) {
  for (const int slot : ch.slots) {
    if (const std::string copy = RegistryCopy(c.platform, ch, slot); !copy.empty()) {
      c.err << "zrctl: warning: " << copy << " holds a copy of slot " << slot
            << ", which the monitor loads in place of the file: the change reaches it once that value is gone\n";
    }
  }
  if (c.platform.windowing.FindWindowByClass(kMonitorClassName) == 0) {
    c.out << "no monitor is running; it takes the change when it starts\n";
    return kExitDone;
  }
  int rc = kExitDone;
  const auto tell = [&](std::uint32_t msg, const char* done) {
    const Delivery d = SendToMonitor(c.platform, msg);
    if (d == Delivery::NoMonitor) {
      c.out << "the monitor has ended; it takes the change when it starts\n";
    } else if (ReportDelivery(d, done, c.out, c.err) != kExitDone) {
      rc = kExitRefused;
    }
  };
  const int currentSlot = SlotOfCurrentGroup(ch.groupRecord);
  bool current = ch.group;
  for (const int slot : ch.slots) {
    if (slot == currentSlot) {
      current = true;
    } else {
      c.out << "slot " << slot << " is not the current slot ("
            << (currentSlot >= 0 ? "that is slot " + std::to_string(currentSlot) : std::string("there is none"))
            << "): the monitor takes it when slot " << slot << " becomes current\n";
    }
  }
  if (current) tell(WM_APPLY_PROFILE, "the monitor applied it");
  if (ch.global) tell(WM_RELOAD_SETTINGS, "the monitor reloaded the settings");
  return rc;
}

// The slot (0..4) that the first argument names, where the group record
// keeps it, and its record read whole: `body` runs with them, or the
// command is refused.
struct SlotArgs {
  int slot = -1;
  RecordPlace place;
  StoredRecord record;  // read only by the commands that need it
  std::string keyPath;
  std::unique_ptr<TProfileSettingGroup> group;
};

int WithSlot(const Command& c, bool readRecord, const std::function<int(SlotArgs&)>& body) {
  const std::optional<int> slot = ParseIndex(c.args[0], TDM::kSlotCount - 1);
  if (!slot) return c.Refuse("the slot must be 0..4, not \"" + c.args[0] + "\"");
  const TOptionsFromConfigFile options = TDM::ReadStorageOptions(c.platform);
  StoredRecord stored;
  SlotArgs s;
  s.group = ReadGroupRecord(c.platform, options, stored);
  if (s.group == nullptr) return c.Refuse("where slot " + c.args[0] + " is stored is unknown: " + stored.problem);
  s.slot = *slot;
  s.keyPath = options.ProfileRegFolder;
  s.place = SlotPlace(options, s.group->ProfileSettingList[*slot], *slot);
  if (s.place.kind == RecordPlace::Kind::None) return c.Refuse(s.place.whyNone);
  if (readRecord) {
    s.record = ReadRecord(c.platform, s.place, sizeof(TMOUSEPROFILEINFO));
    if (!s.record.Ok()) return c.Refuse("slot " + c.args[0] + ": " + s.record.problem + "; nothing written");
  }
  return body(s);
}

int WithSlotAndFile(const Command& c, const char* name,
                    const std::function<int(const SlotArgs&, const std::string&)>& body) {
  if (c.args.size() != 2) return c.Refuse(std::string(name) + " takes two arguments, SLOT and FILE");
  return WithSlot(c, false, [&](SlotArgs& s) { return body(s, c.args[1]); });
}

int Export(const Command& c, const SlotArgs& s, const std::string& file) {
  const StoredRecord r = ReadRecord(c.platform, s.place, sizeof(TMOUSEPROFILEINFO));
  if (r.state != StoredRecord::State::Ok && r.state != StoredRecord::State::WrongSize) return c.Refuse(r.problem);
  if (r.state == StoredRecord::State::WrongSize) c.err << "zrctl: warning: " << r.problem << "\n";
  const IoResult w = c.platform.files.ReplaceFile(file, r.bytes);
  if (!w.ok) return c.Refuse(file + " could not be written: " + w.error);
  c.out << "slot " << s.slot << " (" << s.place.Describe() << ", " << r.bytes.size() << " bytes) exported to " << file
        << "\n";
  return kExitDone;
}

int Import(const Command& c, const SlotArgs& s, const std::string& file) {
  const FileReadResult in = c.platform.files.ReadFile(file, sizeof(TMOUSEPROFILEINFO));
  if (in.status == FileReadResult::Status::Missing) return c.Refuse(file + " does not exist; nothing written");
  if (in.status == FileReadResult::Status::TooLarge || (in.ok() && in.bytes.size() != sizeof(TMOUSEPROFILEINFO))) {
    return c.Refuse(file + " is not exactly one profile record (" + std::to_string(sizeof(TMOUSEPROFILEINFO)) +
                    " bytes)" +
                    (in.ok() ? ", it has " + std::to_string(in.bytes.size()) : std::string(", it is larger")) +
                    "; nothing written");
  }
  if (!in.ok()) return c.Refuse(file + " cannot be read: " + in.error + "; nothing written");
  if (const std::string e = StoreRecord(c.platform, s.place, in.bytes); !e.empty()) return c.Refuse(e);
  c.out << "slot " << s.slot << " stored in " << s.place.Describe() << " from " << file << "\n";
  c.out << "a running monitor takes it on `zrctl apply` if it is the current slot, else when it becomes current\n";
  return kExitDone;
}

std::string LevelsText(const TCPILEVELINFO* levels, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) {
    text += (i ? ", " : "") + std::to_string(levels[i].X);
    if (levels[i].Y != levels[i].X) text += "x" + std::to_string(levels[i].Y);
  }
  return text;
}

// What `set` made of the slot, in a line.
std::string SetSummary(const TMOUSECONFIGINFO& c, const std::string& what, const std::vector<std::string>& args) {
  if (what == "cpi") {
    return "CPI levels " + LevelsText(c.CPIState, c.CPILevel) + " (sensor steps " +
           LevelsText(c.HWCPIState, c.CPILevel) + "), current level " + std::to_string(c.CurrentCPIIndex);
  }
  if (what == "key") {
    const TBUTTONFUNCINFO& e = c.ButtonFuncInfo[std::stoi(args[0])];
    const char* action = KeyAction(e);
    return "key " + args[0] + ": " + (action != nullptr ? std::string(action) + ", " : std::string()) +
           "catalogue row " + std::to_string(e.FunctionIndex);
  }
  const TBUTTONFUNCINFO& e = c.VWheelButtonFuncInfo[what == "wheel-up" ? 0 : 1];
  return what + ": " + WheelAction(e) + (IsPlainWheel(e, what == "wheel-up" ? 0 : 1) ? " (left as it is)" : "");
}

int Set(const Command& c) {
  if (c.args.size() < 3) return c.Refuse("set takes a slot, a setting and its value; see zrctl set --help");
  const std::string& what = c.args[1];
  const std::vector<std::string> values(c.args.begin() + 2, c.args.end());
  const std::size_t wanted = what == "key" ? 2 : 1;
  if (what != "cpi" && what != "wheel-up" && what != "wheel-down" && what != "key") {
    return c.Refuse("set: the settings are cpi, wheel-up, wheel-down and key, not \"" + what + "\"");
  }
  if (values.size() != wanted) {
    return c.Refuse("set SLOT " + what + " takes " + (wanted == 2 ? "a key and a function" : std::string("one value")));
  }
  return WithSlot(c, true, [&](SlotArgs& s) {
    auto record = std::make_unique<TMOUSEPROFILEINFO>();
    std::memcpy(record.get(), s.record.bytes.data(), sizeof *record);
    TMOUSECONFIGINFO& config = record->ConfigInfo;
    const EditError e = what == "cpi"   ? SetCpiLevels(config, values[0])
                        : what == "key" ? SetKey(config, values[0], values[1])
                                        : SetWheel(config, what, values[0]);
    if (!e.empty()) return c.Refuse(e + "; nothing written");
    const std::vector<std::uint8_t> bytes = BytesOf(*record);
    const std::string where = "slot " + std::to_string(s.slot) + " (" + s.place.Describe() + ")";
    if (bytes == s.record.bytes) {
      c.out << where << " has this already: " << SetSummary(config, what, values) << "; nothing written\n";
      return kExitDone;
    }
    if (const std::string w = StoreRecord(c.platform, s.place, bytes, &s.record.bytes); !w.empty()) {
      return c.Refuse(w);
    }
    c.out << where << ": " << SetSummary(config, what, values) << "\n";
    return TellMonitor(c, {false, false, {s.slot}, s.keyPath, s.group.get()});
  });
}

int ImportJson(const Command& c, const std::string& file) {
  const FileReadResult in = c.platform.files.ReadFile(file, kMaxStoredRecordBytes);
  if (!in.ok()) {
    return c.Refuse(
        file + (in.status == FileReadResult::Status::Missing ? " does not exist" : " cannot be read: " + in.error) +
        "; nothing written");
  }
  const JsonDocument doc = ParseJson(std::string_view(reinterpret_cast<const char*>(in.bytes.data()), in.bytes.size()));
  if (!doc.ok()) return c.Refuse(file + ": " + doc.error + "; nothing written");
  const StoredProfiles s = ReadStoredProfiles(c.platform);
  EditedRecords edit = EditedRecords::Of(s);
  if (const std::string e = ApplyListing(doc.root, s, edit); !e.empty()) {
    return c.Refuse(file + ": " + e + "; nothing written");
  }
  StoredChanges ch;
  ch.keyPath = s.keyPath;
  ch.groupRecord = edit.group.get();
  // The slots first: a group that selects another slot comes last.
  struct Write {
    int record;
    const StoredRecord& stored;
  };
  std::vector<Write> writes;
  for (int i = 0; i < TDM::kSlotCount; ++i) writes.push_back({i, s.slots[static_cast<std::size_t>(i)]});
  writes.push_back({kGlobalRecordNumber, s.global});
  writes.push_back({kGroupRecordNumber, s.group});
  std::string done;
  for (const Write& w : writes) {
    const std::span<std::uint8_t> now = edit.Bytes(w.record);
    if (now.empty() || std::equal(now.begin(), now.end(), w.stored.bytes.begin(), w.stored.bytes.end())) continue;
    if (const std::string e = StoreRecord(c.platform, w.stored.place, {now.begin(), now.end()}, &w.stored.bytes);
        !e.empty()) {
      if (!done.empty()) c.out << "stored: " << done << "\n";
      return c.Refuse(e + (done.empty() ? "; nothing written" : "; the records listed as stored were written"));
    }
    done += (done.empty() ? "" : ", ") + w.stored.place.Describe();
    if (w.record == kGroupRecordNumber) ch.group = true;
    if (w.record == kGlobalRecordNumber) ch.global = true;
    if (w.record < TDM::kSlotCount) ch.slots.push_back(w.record);
  }
  if (done.empty()) {
    c.out << "every value " << file << " names is stored already; nothing written\n";
    return kExitDone;
  }
  c.out << "stored: " << done << "\n";
  return TellMonitor(c, ch);
}

int ImportCommand(const Command& c) {
  if (!c.args.empty() && c.args[0] == "--json") {
    if (c.args.size() != 2) return c.Refuse("import --json takes one argument, FILE");
    return ImportJson(c, c.args[1]);
  }
  return WithSlotAndFile(c, "import", [&](const SlotArgs& s, const std::string& f) { return Import(c, s, f); });
}

// Every command with its help and what runs it.
struct CommandEntry {
  const char* help;
  int (*run)(const Command&);
};

const std::map<std::string, CommandEntry, std::less<>> kCommands = {
    {"set",
     {"usage: zrctl set SLOT cpi LEVEL[,LEVEL...]\n"
      "       zrctl set SLOT wheel-up|wheel-down FUNCTION\n"
      "       zrctl set SLOT key KEY FUNCTION\n"
      "Changes one setting of slot SLOT (0..4) in its stored record and keeps every other byte.\n"
      "cpi: the 1 to 10 CPI levels in use, each N (the same on both axes) or XxY, for example 400,800,1600x1200.\n"
      "  The levels are enabled, the others up to the tenth disabled (their values kept); each level's sensor\n"
      "  step becomes the step nearest to its larger axis (250..4000); the current level stays if it is still\n"
      "  in use, else it becomes the last. A value is refused when a profile cannot hold it (above 65535) or\n"
      "  the filter driver cannot scale it (below 1/100 of its level's sensor step).\n"
      "wheel-up, wheel-down: scroll-up, scroll-down, volume-up, volume-down, browser-back, browser-forward (the\n"
      "  monitor turns the direction into that), block (swallowed) or plain (left to the system).\n"
      "key: a device key 0..14 and mute-mic (the monitor toggles the microphone), click, right-click,\n"
      "  middle-click, backward, forward, or a row of the function catalogue by number (0..33).\n"
      "When the monitor runs and SLOT is its current slot, it is told to apply the change at once (message\n"
      "7035); otherwise zrctl says when it takes it.\n"
      "Exit codes: 0 stored (or stored already); 1 refused (a bad slot or value, a record that is missing,\n"
      "unreadable or of the wrong size, or changed by another program meanwhile, a save that failed: nothing\n"
      "written; or stored, but the monitor did not answer).\n",
      Set}},
    {"status",
     {"usage: zrctl status\n"
      "Shows whether the monitor runs, its registry key and profile folder, the group selection, the current\n"
      "slot and the language index, each record that is missing or cannot be read as such. Writes nothing;\n"
      "needs no running monitor.\n"
      "Exit codes: 0 shown; 1 a wrong command line.\n",
      Status}},
    {"profiles",
     {"usage: zrctl profiles [--json]\n"
      "Lists the group selection, the global settings and the five slots with every field the monitor uses\n"
      "(CPI levels and their sensor steps, wheel and key functions, lights, report rate) and where each record\n"
      "is stored. A record that is missing, unreadable or of the wrong size is reported as such.\n"
      "--json prints the same as JSON (its fields are listed in docs/zrctl.md). Writes nothing.\n"
      "Exit codes: 0 listed; 1 none of the records could be read.\n",
      Profiles}},
    {"group",
     {"usage: zrctl group 0|1\n"
      "Stores the group selection in the group record (the registry value ProfileSettingGroup.pfd), then sends\n"
      "the monitor message 7035 so that it applies the group's slot, as the configuration program does.\n"
      "Exit codes: 0 stored and applied; 3 stored, but no monitor runs (it takes the group when it starts);\n"
      "1 refused (a bad group, a group record that is missing, unreadable or of the wrong size: nothing\n"
      "written; or stored, but the monitor did not answer).\n",
      Group}},
    {"apply",
     {"usage: zrctl apply\n"
      "Sends the monitor message 7035: it reloads the profile records (the current slot from its registry\n"
      "value, or from its file when it has none) and pushes the current slot's settings to the mouse.\n"
      "Writes nothing.\n"
      "Exit codes: 0 the monitor handled it; 3 no monitor runs; 1 the monitor did not answer.\n",
      [](const Command& c) { return Message(c, WM_APPLY_PROFILE, "the monitor reloaded and applied the profiles"); }}},
    {"reload",
     {"usage: zrctl reload\n"
      "Sends the monitor message 7037: it reloads the global settings and applies the language again.\n"
      "Writes nothing.\n"
      "Exit codes: 0 the monitor handled it; 3 no monitor runs; 1 the monitor did not answer.\n",
      [](const Command& c) { return Message(c, WM_RELOAD_SETTINGS, "the monitor reloaded the settings"); }}},
    {"export",
     {"usage: zrctl export SLOT FILE\n"
      "Copies the stored record of slot SLOT (0..4) to FILE, byte for byte, from its registry value or file\n"
      "as the group record says. FILE is replaced whole. A record of the wrong size is copied as it is, with\n"
      "a warning (import will not take it back).\n"
      "Exit codes: 0 copied; 1 refused (a bad slot, a record that is missing or unreadable, FILE not written).\n",
      [](const Command& c) {
        return WithSlotAndFile(c, "export", [&](const SlotArgs& s, const std::string& f) { return Export(c, s, f); });
      }}},
    {"import",
     {"usage: zrctl import SLOT FILE\n"
      "       zrctl import --json FILE\n"
      "SLOT FILE: stores FILE, exactly one profile record (109896 bytes), as the record of slot SLOT (0..4),\n"
      "in the slot's registry value or file. A running monitor takes it on `zrctl apply` when it is the\n"
      "current slot, otherwise when the slot becomes current.\n"
      "--json FILE: writes what FILE names, a listing as `zrctl profiles --json` prints it, edited by hand or\n"
      "by a script; keys may be left out. Every number that is a field of a record is written (report rate,\n"
      "CPI levels, wheel and key functions, lights, the other settings, the group selection, the language\n"
      "index); every byte FILE does not name is kept, and a record FILE does not change is not written. The\n"
      "sensor steps follow their levels and a key's kind and code its function; the other keys (sent,\n"
      "action, plain, stored, state, storage, ...) are not written and must agree with the records. An\n"
      "unknown key, a value of the wrong kind or one the record cannot hold is refused with its path in FILE,\n"
      "for example slots[2].profile.cpi.levels[4].x. The monitor is told as by `set`.\n"
      "Both save as the monitor saves: the new record replaces the old one whole, and a stored record that\n"
      "cannot be read is never overwritten.\n"
      "Exit codes: 0 stored; 1 refused (a bad slot or FILE, a slot with no place, a record changed by another\n"
      "program meanwhile, a save that failed: nothing written; or stored, but the monitor did not answer).\n",
      ImportCommand}},
};

}  // namespace

int RunCtl(const std::vector<std::string>& args, Platform& platform, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return kExitRefused;
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    out << kUsage;
    return kExitDone;
  }
  const auto command = kCommands.find(name);
  if (command == kCommands.end()) {
    err << "zrctl: unknown command \"" << name << "\"\n\n" << kUsage;
    return kExitRefused;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const std::string& a : rest) {
    if (a == "--help" || a == "-h") {
      out << command->second.help;
      return kExitDone;
    }
  }
  return command->second.run(Command{platform, rest, out, err});
}

}  // namespace zr::ctl
