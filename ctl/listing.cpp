#include "ctl/listing.h"

#include <cstring>

#include "ctl/profile_edit.h"
#include "profile/dm.h"

namespace zr::ctl {
namespace {

Node NumberOrNull(bool known, std::int64_t v) { return known ? Node::Number(v) : Node(); }

// The stored fields of one record, read from its bytes and tagged with the
// record's number and their place.
class Fields {
 public:
  Fields(const void* record, int number) : bytes_(static_cast<const std::uint8_t*>(record)), number_(number) {}

  Node operator()(std::size_t offset, FieldWidth width) const {
    std::int64_t v = 0;
    switch (width) {
      case FieldWidth::U8: v = Get<std::uint8_t>(offset); break;
      case FieldWidth::S8: v = Get<std::int8_t>(offset); break;
      case FieldWidth::U16: v = Get<std::uint16_t>(offset); break;
      case FieldWidth::S32: v = Get<std::int32_t>(offset); break;
    }
    return Node::Field(v, StoredField{number_, offset, width});
  }

 private:
  template <class T>
  std::int64_t Get(std::size_t offset) const {
    T v;
    std::memcpy(&v, bytes_ + offset, sizeof v);
    return v;
  }

  const std::uint8_t* bytes_;
  int number_;
};

constexpr std::size_t kConfig = offsetof(TMOUSEPROFILEINFO, ConfigInfo);
#define ZR_CONFIG(member) (kConfig + offsetof(TMOUSECONFIGINFO, member))

constexpr std::size_t LevelField(bool sensor, int level, std::size_t member) {
  return (sensor ? ZR_CONFIG(HWCPIState) : ZR_CONFIG(CPIState)) + level * sizeof(TCPILEVELINFO) + member;
}

constexpr std::size_t FunctionField(std::size_t table, int entry, std::size_t member) {
  return table + entry * sizeof(TBUTTONFUNCINFO) + member;
}

Node WheelNode(const Fields& f, const TBUTTONFUNCINFO& e, int direction) {
  constexpr std::size_t kWheel = ZR_CONFIG(VWheelButtonFuncInfo);
  Node n = Node::Object();
  n.Add("function", f(FunctionField(kWheel, direction, offsetof(TBUTTONFUNCINFO, FunctionIndex)), FieldWidth::U16));
  n.Add("function_class",
        f(FunctionField(kWheel, direction, offsetof(TBUTTONFUNCINFO, FunctionClass)), FieldWidth::U8));
  // The monitor acts only on class 1; another class swallows the wheel.
  n.Add("action", Node::Text(WheelAction(e)));
  n.Add("plain", Node::Bool(IsPlainWheel(e, direction)));
  return n;
}

Node ProfileNode(const TMOUSEPROFILEINFO& p, int slot) {
  const TMOUSECONFIGINFO& c = p.ConfigInfo;
  const Fields f(&p, slot);
  Node n = Node::Object();
  n.Add("report_rate", f(ZR_CONFIG(ReportRate), FieldWidth::U16));
  Node& cpi = n.Add("cpi", Node::Object());
  cpi.Add("levels_in_use", f(ZR_CONFIG(CPILevel), FieldWidth::U16));
  cpi.Add("current_level", f(ZR_CONFIG(CurrentCPIIndex), FieldWidth::S32));
  Node& levels = cpi.Add("levels", Node::Array());
  for (int i = 0; i < kCpiLevelsStored; ++i) {  // the mouse gets the first ten; the record holds eleven
    Node& l = levels.Push(Node::Object());
    l.Add("level", Node::Number(i));
    l.Add("sent", Node::Bool(i < kCpiLevelsSent));
    l.Add("different_xy", f(ZR_CONFIG(UseDiffentXY) + i * sizeof(std::uint16_t), FieldWidth::U16));
    l.Add("x", f(LevelField(false, i, offsetof(TCPILEVELINFO, X)), FieldWidth::U16));
    l.Add("y", f(LevelField(false, i, offsetof(TCPILEVELINFO, Y)), FieldWidth::U16));
    l.Add("enabled", f(LevelField(false, i, offsetof(TCPILEVELINFO, Enabled)), FieldWidth::U16));
    // The sensor step follows the level: derived, not written back.
    l.Add("sensor_x", Node::Number(c.HWCPIState[i].X));
    l.Add("sensor_y", Node::Number(c.HWCPIState[i].Y));
    l.Add("sensor_enabled", Node::Number(c.HWCPIState[i].Enabled));
  }
  Node& wheel = n.Add("wheel", Node::Object());
  wheel.Add("up", WheelNode(f, c.VWheelButtonFuncInfo[0], 0));
  wheel.Add("down", WheelNode(f, c.VWheelButtonFuncInfo[1], 1));
  Node& keys = n.Add("keys", Node::Array());
  constexpr std::size_t kKeys = ZR_CONFIG(ButtonFuncInfo);
  for (int k = 0; k < kDeviceKeys; ++k) {
    const TBUTTONFUNCINFO& e = c.ButtonFuncInfo[k];
    Node& key = keys.Push(Node::Object());
    key.Add("key", Node::Number(k));
    key.Add("button_index", f(FunctionField(kKeys, k, offsetof(TBUTTONFUNCINFO, ButtonIndex)), FieldWidth::U16));
    key.Add("function", f(FunctionField(kKeys, k, offsetof(TBUTTONFUNCINFO, FunctionIndex)), FieldWidth::U16));
    key.Add("function_class", f(FunctionField(kKeys, k, offsetof(TBUTTONFUNCINFO, FunctionClass)), FieldWidth::U8));
    // The catalogue row's columns: they follow the function.
    key.Add("function_kind", Node::Number(e.FunctionKind));
    key.Add("function_code", Node::Number(e.FunctionCode));
    const char* action = KeyAction(e);
    key.Add("action", action != nullptr ? Node::Text(action) : Node());
  }
  Node& led = n.Add("led", Node::Object());
  constexpr std::size_t kLed = ZR_CONFIG(LEDConfig);
  led.Add("r", f(kLed + offsetof(TLEDCONFIG, R), FieldWidth::U8));
  led.Add("g", f(kLed + offsetof(TLEDCONFIG, G), FieldWidth::U8));
  led.Add("b", f(kLed + offsetof(TLEDCONFIG, B), FieldWidth::U8));
  led.Add("brightness", f(kLed + offsetof(TLEDCONFIG, BRIGHT_LEVEL), FieldWidth::U8));
  led.Add("breath_speed", f(kLed + offsetof(TLEDCONFIG, BREATH_SPEED), FieldWidth::U8));
  led.Add("wheel_light", f(ZR_CONFIG(WheelLedOnOff), FieldWidth::S8));
  // Stored for the configuration program; the monitor passes them on as
  // they are.
  Node& other = n.Add("other", Node::Object());
  other.Add("wheel_speed", f(ZR_CONFIG(VWheelSpeed), FieldWidth::U16));
  other.Add("wheel_value", f(ZR_CONFIG(HWVWheelValue), FieldWidth::S8));
  other.Add("double_click_speed", f(ZR_CONFIG(DoubleClickSpeed), FieldWidth::U16));
  other.Add("pointer_speed", f(ZR_CONFIG(PointerSpeed), FieldWidth::U16));
  other.Add("pointer_acceleration", f(ZR_CONFIG(PointerAcceleration), FieldWidth::U16));
  other.Add("button_count", f(ZR_CONFIG(ButtonCount), FieldWidth::S32));
  other.Add("apply_cpi_each_profile", f(ZR_CONFIG(ApplyCPISettingEachProfile), FieldWidth::S32));
  other.Add("apply_acceleration", f(ZR_CONFIG(ApplyAccelaration), FieldWidth::S32));
  other.Add("apply_different_xy", f(ZR_CONFIG(ApplyDiffirentXY), FieldWidth::S32));
  other.Add("fire_key_speed", f(ZR_CONFIG(FireKeySpeed), FieldWidth::S32));
  other.Add("fire_key_count", f(ZR_CONFIG(FireKeyCount), FieldWidth::S32));
  return n;
}

#undef ZR_CONFIG

// A 32-bit field of the group or the global record, null when the record
// could not be read whole.
Node FieldOrNull(const void* record, int number, std::size_t offset) {
  return record != nullptr ? Fields(record, number)(offset, FieldWidth::S32) : Node();
}

void AddRecordFields(Node& n, const StoredRecord& r) {
  const std::string where = r.place.Describe();
  n.Add("stored", where.empty() ? Node() : Node::Text(where));
  n.Add("state", Node::Text(r.StateName()));
  const bool read = r.state == StoredRecord::State::Ok || r.state == StoredRecord::State::WrongSize;
  n.Add("bytes", NumberOrNull(read, static_cast<std::int64_t>(r.bytes.size())));
  n.Add("problem", r.Ok() ? Node() : Node::Text(r.problem));
}

}  // namespace

ListedRecords ListedRecords::As(const StoredProfiles& s) {
  ListedRecords r;
  r.group = s.GroupRecord();
  r.global = s.GlobalRecord();
  for (int i = 0; i < TDM::kSlotCount; ++i) r.slots[static_cast<std::size_t>(i)] = s.SlotRecord(i);
  return r;
}

int ListedRecords::CurrentSlot() const { return SlotOfCurrentGroup(group); }

Node ProfilesNode(const StoredProfiles& s, const ListedRecords& records) {
  Node root = Node::Object();
  root.Add("registry_key", Node::Text(s.registryKey));
  root.Add("profile_folder", s.profileFolder.empty() ? Node() : Node::Text(s.profileFolder));

  const TProfileSettingGroup* g = records.group;
  Node& group = root.Add("group", Node::Object());
  AddRecordFields(group, s.group);
  group.Add("current_group", FieldOrNull(g, kGroupRecordNumber, offsetof(TProfileSettingGroup, CurrentProfileGroup)));
  Node& groupSlots = group.Add("group_slots", g != nullptr ? Node::Array() : Node());
  for (int i = 0; g != nullptr && i < 2; ++i) {
    groupSlots.Push(FieldOrNull(g, kGroupRecordNumber,
                                offsetof(TProfileSettingGroup, ProfileIndexOfProfileGroup) + i * sizeof(std::int32_t)));
  }
  const int currentSlot = records.CurrentSlot();
  group.Add("current_slot", NumberOrNull(currentSlot >= 0, currentSlot));

  const TALLGAMESINFO* a = records.global;
  Node& global = root.Add("global", Node::Object());
  AddRecordFields(global, s.global);
  global.Add("current_game", FieldOrNull(a, kGlobalRecordNumber, offsetof(TALLGAMESINFO, CurrentGame)));
  global.Add("language_index", FieldOrNull(a, kGlobalRecordNumber, offsetof(TALLGAMESINFO, CurrentLanguage)));

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
    const TMOUSEPROFILEINFO* p = records.slots[static_cast<std::size_t>(i)];
    slot.Add("profile", p != nullptr ? ProfileNode(*p, i) : Node());
  }
  return root;
}

}  // namespace zr::ctl
