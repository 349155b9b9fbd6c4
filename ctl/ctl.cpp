#include "ctl/ctl.h"

#include <array>
#include <functional>
#include <map>
#include <optional>

#include "app/globals.h"
#include "app/messages.h"
#include "ctl/report.h"
#include "ctl/stored_profiles.h"
#include "profile/catalogue.h"
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
    "\n"
    "Slots are numbered 0..4 as the group selection names them (slot 0 is Profile1.pfd by default).\n"
    "Exit codes: 0 done, 1 refused (the reason on standard error), 3 no monitor running where one is needed.\n"
    "zrctl COMMAND --help tells more.\n";


constexpr std::array<const char*, 6> kWheelActions = {"wheel up",     "wheel down",   "volume up",
                                                      "volume down",  "browser back", "browser forward"};

Node NumberOrNull(bool known, std::int64_t v) { return known ? Node::Number(v) : Node(); }

// The named functions of the catalogue. The monitor toggles the microphone
// for row 28 whatever else the entry holds; the click rows are named for an
// entry that holds its row's kind and code as well (an entry without a
// function holds zeros).
Node KeyAction(const TBUTTONFUNCINFO& e) {
  static const std::map<std::uint16_t, const char*> kNames = {
      {0, "click"}, {1, "right click"}, {2, "middle click"}, {3, "backward"}, {4, "forward"}};
  if (e.FunctionIndex == kFunctionMicrophoneMute) return Node::Text("microphone mute");
  const auto it = kNames.find(e.FunctionIndex);
  if (it == kNames.end()) return Node();
  const TFunctionCatalogueRow& row = FunctionCatalogue[e.FunctionIndex];
  const bool consistent = e.FunctionKind == static_cast<std::uint32_t>(row.FunctionKind) &&
                          e.FunctionCode == static_cast<std::uint32_t>(row.FunctionCode);
  return consistent ? Node::Text(it->second) : Node();
}

Node WheelNode(const TBUTTONFUNCINFO& e, int direction) {
  Node n = Node::Object();
  n.Add("function", Node::Number(e.FunctionIndex));
  n.Add("function_class", Node::Number(e.FunctionClass));
  // The monitor acts only on class 1; another class swallows the wheel.
  n.Add("action", Node::Text(e.FunctionClass != 1 ? "none"
                             : e.FunctionIndex < kWheelActions.size() ? kWheelActions[e.FunctionIndex]
                                                                      : "none"));
  n.Add("plain", Node::Bool(e.FunctionClass == 1 && e.FunctionIndex == direction));
  return n;
}

Node ProfileNode(const TMOUSEPROFILEINFO& p) {
  const TMOUSECONFIGINFO& c = p.ConfigInfo;
  Node n = Node::Object();
  n.Add("report_rate", Node::Number(c.ReportRate));
  Node& cpi = n.Add("cpi", Node::Object());
  cpi.Add("levels_in_use", Node::Number(c.CPILevel));
  cpi.Add("current_level", Node::Number(c.CurrentCPIIndex));
  Node& levels = cpi.Add("levels", Node::Array());
  for (int i = 0; i < 11; ++i) {  // the mouse gets the first ten; the record holds eleven
    const TCPILEVELINFO& set = c.CPIState[i];
    const TCPILEVELINFO& sensor = c.HWCPIState[i];
    Node& l = levels.Push(Node::Object());
    l.Add("level", Node::Number(i));
    l.Add("sent", Node::Bool(i < 10));
    l.Add("different_xy", Node::Number(c.UseDiffentXY[i]));
    l.Add("x", Node::Number(set.X));
    l.Add("y", Node::Number(set.Y));
    l.Add("enabled", Node::Number(set.Enabled));
    l.Add("sensor_x", Node::Number(sensor.X));
    l.Add("sensor_y", Node::Number(sensor.Y));
    l.Add("sensor_enabled", Node::Number(sensor.Enabled));
  }
  Node& wheel = n.Add("wheel", Node::Object());
  wheel.Add("up", WheelNode(c.VWheelButtonFuncInfo[0], 0));
  wheel.Add("down", WheelNode(c.VWheelButtonFuncInfo[1], 1));
  Node& keys = n.Add("keys", Node::Array());
  for (int k = 0; k < 15; ++k) {
    const TBUTTONFUNCINFO& e = c.ButtonFuncInfo[k];
    Node& key = keys.Push(Node::Object());
    key.Add("key", Node::Number(k));
    key.Add("button_index", Node::Number(e.ButtonIndex));
    key.Add("function", Node::Number(e.FunctionIndex));
    key.Add("function_class", Node::Number(e.FunctionClass));
    key.Add("function_kind", Node::Number(e.FunctionKind));
    key.Add("function_code", Node::Number(e.FunctionCode));
    key.Add("action", KeyAction(e));
  }
  Node& led = n.Add("led", Node::Object());
  led.Add("r", Node::Number(c.LEDConfig.R));
  led.Add("g", Node::Number(c.LEDConfig.G));
  led.Add("b", Node::Number(c.LEDConfig.B));
  led.Add("brightness", Node::Number(c.LEDConfig.BRIGHT_LEVEL));
  led.Add("breath_speed", Node::Number(c.LEDConfig.BREATH_SPEED));
  led.Add("wheel_light", Node::Number(c.WheelLedOnOff));
  // Stored for the configuration program; the monitor passes them on as
  // they are.
  Node& other = n.Add("other", Node::Object());
  other.Add("wheel_speed", Node::Number(c.VWheelSpeed));
  other.Add("wheel_value", Node::Number(c.HWVWheelValue));
  other.Add("double_click_speed", Node::Number(c.DoubleClickSpeed));
  other.Add("pointer_speed", Node::Number(c.PointerSpeed));
  other.Add("pointer_acceleration", Node::Number(c.PointerAcceleration));
  other.Add("button_count", Node::Number(c.ButtonCount));
  other.Add("apply_cpi_each_profile", Node::Number(c.ApplyCPISettingEachProfile));
  other.Add("apply_acceleration", Node::Number(c.ApplyAccelaration));
  other.Add("apply_different_xy", Node::Number(c.ApplyDiffirentXY));
  other.Add("fire_key_speed", Node::Number(c.FireKeySpeed));
  other.Add("fire_key_count", Node::Number(c.FireKeyCount));
  return n;
}

void AddRecordFields(Node& n, const StoredRecord& r) {
  const std::string where = r.place.Describe();
  n.Add("stored", where.empty() ? Node() : Node::Text(where));
  n.Add("state", Node::Text(r.StateName()));
  const bool read = r.state == StoredRecord::State::Ok || r.state == StoredRecord::State::WrongSize;
  n.Add("bytes", NumberOrNull(read, static_cast<std::int64_t>(r.bytes.size())));
  n.Add("problem", r.Ok() ? Node() : Node::Text(r.problem));
}

Node ProfilesNode(const StoredProfiles& s) {
  Node root = Node::Object();
  root.Add("registry_key", Node::Text(s.registryKey));
  root.Add("profile_folder", s.profileFolder.empty() ? Node() : Node::Text(s.profileFolder));

  const TProfileSettingGroup* g = s.GroupRecord();
  Node& group = root.Add("group", Node::Object());
  AddRecordFields(group, s.group);
  group.Add("current_group", NumberOrNull(g != nullptr, g ? g->CurrentProfileGroup : 0));
  Node& groupSlots = group.Add("group_slots", g != nullptr ? Node::Array() : Node());
  if (g != nullptr) {
    groupSlots.Push(Node::Number(g->ProfileIndexOfProfileGroup[0]));
    groupSlots.Push(Node::Number(g->ProfileIndexOfProfileGroup[1]));
  }
  group.Add("current_slot", NumberOrNull(s.CurrentSlot() >= 0, s.CurrentSlot()));

  const TALLGAMESINFO* a = s.GlobalRecord();
  Node& global = root.Add("global", Node::Object());
  AddRecordFields(global, s.global);
  global.Add("current_game", NumberOrNull(a != nullptr, a ? a->CurrentGame : 0));
  global.Add("language_index", NumberOrNull(a != nullptr, a ? a->CurrentLanguage : 0));

  Node& slots = root.Add("slots", Node::Array());
  for (int i = 0; i < TDM::kSlotCount; ++i) {
    Node& slot = slots.Push(Node::Object());
    slot.Add("slot", Node::Number(i));
    if (g != nullptr) {
      const TPROFILESETTINGINFO& e = g->ProfileSettingList[i];
      Node& storage = slot.Add("storage", Node::Object());
      storage.Add("storage_mode", Node::Number(e.StorageMode));
      storage.Add("file_name", Node::Text(e.ProfileFileName.GetUtf8()));
      storage.Add("folder", Node::Text(e.FolderPath.GetUtf8()));
      storage.Add("registry_folder", Node::Text(e.RegistryFolder.GetUtf8()));
      storage.Add("macro_folder", Node::Text(e.MacroFolderPath.GetUtf8()));
      storage.Add("slot_state", Node::Number(e.SlotState));
    } else {
      slot.Add("storage", Node());
    }
    AddRecordFields(slot, s.slots[static_cast<std::size_t>(i)]);
    const TMOUSEPROFILEINFO* p = s.SlotRecord(i);
    slot.Add("profile", p != nullptr ? ProfileNode(*p) : Node());
  }
  return root;
}

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
  const Node tree = ProfilesNode(s);
  c.out << (json ? ToJson(tree) : ToText(tree));
  if (!s.AnythingRead()) return c.Refuse("nothing is stored under " + s.registryKey + " that could be read");
  return kExitDone;
}

std::optional<int> ParseIndex(const std::string& text, int last) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '0' + last) return std::nullopt;
  return text[0] - '0';
}

int Group(const Command& c) {
  if (c.args.size() != 1) return c.Refuse("group takes one argument, 0 or 1");
  const std::optional<int> group = ParseIndex(c.args[0], 1);
  if (!group) return c.Refuse("the group must be 0 or 1, not \"" + c.args[0] + "\"");
  StoredRecord stored;
  const std::unique_ptr<TProfileSettingGroup> record =
      ReadGroupRecord(c.platform, TDM::ReadStorageOptions(c.platform), stored);
  if (record == nullptr) return c.Refuse(stored.problem + "; nothing written");
  const RecordPlace& place = stored.place;
  const std::int32_t slot = record->ProfileIndexOfProfileGroup[*group];
  if (!TDM::IsProfileIndexInRange(slot)) {
    return c.Refuse("group " + std::to_string(*group) + " selects slot " + std::to_string(slot) +
                    ", which does not exist; nothing written");
  }
  record->CurrentProfileGroup = *group;
  const std::unique_ptr<TqvProfile> component = place.Component(c.platform);
  component->Write(record.get(), sizeof *record);
  try {
    if (!component->SaveStreamToRegistry()) return c.Refuse(place.Describe() + " could not be written");
  } catch (const StorageError& e) {
    return c.Refuse(e.what());
  }
  const std::string stored_text =
      "group " + std::to_string(*group) + " stored (slot " + std::to_string(slot) + ") in " + place.Describe();
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

// The slot (0..4) and the file that the two arguments name, with the place
// where the group record keeps the slot: `body` runs with them, or the
// command is refused.
struct SlotArgs {
  int slot = -1;
  RecordPlace place;
  std::string file;
};

int WithSlotAndFile(const Command& c, const char* name, const std::function<int(const SlotArgs&)>& body) {
  if (c.args.size() != 2) return c.Refuse(std::string(name) + " takes two arguments, SLOT and FILE");
  const std::optional<int> slot = ParseIndex(c.args[0], TDM::kSlotCount - 1);
  if (!slot) return c.Refuse("the slot must be 0..4, not \"" + c.args[0] + "\"");
  const TOptionsFromConfigFile options = TDM::ReadStorageOptions(c.platform);
  StoredRecord stored;
  const std::unique_ptr<TProfileSettingGroup> group = ReadGroupRecord(c.platform, options, stored);
  if (group == nullptr) return c.Refuse("where slot " + c.args[0] + " is stored is unknown: " + stored.problem);
  const SlotArgs s{*slot, SlotPlace(options, group->ProfileSettingList[*slot], *slot), c.args[1]};
  if (s.place.kind == RecordPlace::Kind::None) return c.Refuse(s.place.whyNone);
  return body(s);
}

int Export(const Command& c, const SlotArgs& s) {
  const StoredRecord r = ReadRecord(c.platform, s.place, sizeof(TMOUSEPROFILEINFO));
  if (r.state != StoredRecord::State::Ok && r.state != StoredRecord::State::WrongSize) return c.Refuse(r.problem);
  if (r.state == StoredRecord::State::WrongSize) c.err << "zrctl: warning: " << r.problem << "\n";
  const IoResult w = c.platform.files.ReplaceFile(s.file, r.bytes);
  if (!w.ok) return c.Refuse(s.file + " could not be written: " + w.error);
  c.out << "slot " << s.slot << " (" << s.place.Describe() << ", " << r.bytes.size() << " bytes) exported to "
        << s.file << "\n";
  return kExitDone;
}

int Import(const Command& c, const SlotArgs& s) {
  const FileReadResult in = c.platform.files.ReadFile(s.file, sizeof(TMOUSEPROFILEINFO));
  if (in.status == FileReadResult::Status::Missing) return c.Refuse(s.file + " does not exist; nothing written");
  if (in.status == FileReadResult::Status::TooLarge || (in.ok() && in.bytes.size() != sizeof(TMOUSEPROFILEINFO))) {
    return c.Refuse(s.file + " is not exactly one profile record (" + std::to_string(sizeof(TMOUSEPROFILEINFO)) +
                    " bytes)" +
                    (in.ok() ? ", it has " + std::to_string(in.bytes.size()) : std::string(", it is larger")) +
                    "; nothing written");
  }
  if (!in.ok()) return c.Refuse(s.file + " cannot be read: " + in.error + "; nothing written");
  const std::unique_ptr<TqvProfile> component = s.place.Component(c.platform);
  component->Write(in.bytes.data(), static_cast<std::int32_t>(in.bytes.size()));
  const bool inFile = s.place.kind == RecordPlace::Kind::File;
  try {
    const bool saved = inFile ? component->SaveStreamToFile(s.place.file) : component->SaveStreamToRegistry();
    if (!saved) {
      return c.Refuse(s.place.Describe() + " was not written (" +
                      (inFile ? "" : "its registry key may only be read, or ") +
                      "a stored record that cannot be read is kept)");
    }
  } catch (const StorageError& e) {
    return c.Refuse(std::string(e.what()) + "; the stored record is unchanged");
  }
  c.out << "slot " << s.slot << " stored in " << s.place.Describe() << " from " << s.file << "\n";
  c.out << (inFile ? "a running monitor reads profile files when it starts\n"
                   : "a running monitor takes it on `zrctl apply` if it is the current slot, else when it becomes "
                     "current\n");
  return kExitDone;
}

// Every command with its help and what runs it.
struct CommandEntry {
  const char* help;
  int (*run)(const Command&);
};

const std::map<std::string, CommandEntry, std::less<>> kCommands = {
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
      "--json prints the same as JSON (its fields are listed in the README). Writes nothing.\n"
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
      "Sends the monitor message 7035: it reloads the profile records from the registry and pushes the\n"
      "current slot's settings to the mouse. Writes nothing.\n"
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
      [](const Command& c) { return WithSlotAndFile(c, "export", [&](const SlotArgs& s) { return Export(c, s); }); }}},
    {"import",
     {"usage: zrctl import SLOT FILE\n"
      "Stores FILE as the record of slot SLOT (0..4), in the slot's registry value or file, as the monitor\n"
      "saves: the new record replaces the old one whole, and a stored record that cannot be read is never\n"
      "overwritten. FILE must be exactly one profile record (109896 bytes). A running monitor takes a\n"
      "registry slot on `zrctl apply` when it is the current slot, otherwise when the slot becomes current;\n"
      "profile files it reads when it starts.\n"
      "Exit codes: 0 stored; 1 refused (a bad slot or FILE, a slot with no place, a save that failed:\n"
      "nothing written).\n",
      [](const Command& c) { return WithSlotAndFile(c, "import", [&](const SlotArgs& s) { return Import(c, s); }); }}},
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
