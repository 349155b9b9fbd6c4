#include "profile/dm.h"

#include "common/paths.h"
#include "common/text.h"
#include "profile/config_options.h"
#include "support/ini_file.h"

namespace zr {
namespace {

constexpr char kDefaultGameValue[] = "QDM7140ProfileDef.pfd";
constexpr char kTestProfileValue[] = "QDM7140ProfileTest.pfd";

template <class Record>
void WriteRecord(TqvProfile& component, const Record& record) {
  component.Write(&record, static_cast<std::int32_t>(sizeof(Record)));
}

template <class Record>
void ReadRecord(const TqvProfile& component, Record& record) {
  component.Read(&record, static_cast<std::int32_t>(sizeof(Record)));
}

}  // namespace

TDM::TDM(Platform& platform, MonitorGlobals& globals)
    : qvProfileAllSettingInfo(platform),
      qvProfileGame1(platform),
      qvProfileGame2(platform),
      qvProfileGame3(platform),
      qvProfileGame4(platform),
      qvProfileGame5(platform),
      qvProfileSettingGroup(platform),
      qvProfileDefaultGame(platform),
      qvProfileTest(platform),
      platform_(platform),
      globals_(globals) {
  // The manager's definition: root 0 everywhere, the factory handlers bound.
  auto game = [this](TMemoryStream& s) { qvProfileGame1RestoreToDefault(s); };
  qvProfileAllSettingInfo.OnRestoreToDefault = [this](TMemoryStream& s) { qvProfileAllSettingInfoRestoreToDefault(s); };
  for (TqvProfile* c : {&qvProfileGame1, &qvProfileGame2, &qvProfileGame3, &qvProfileGame4, &qvProfileGame5,
                        &qvProfileDefaultGame}) {
    c->OnRestoreToDefault = game;
  }
  qvProfileSettingGroup.OnRestoreToDefault = [this](TMemoryStream& s) { qvProfileSettingGroupRestoreToDefault(s); };
  qvProfileTest.OnRestoreToDefault = [this](TMemoryStream& s) { qvProfileTestRestoreToDefault(s); };
  DataModuleCreate();
}

bool TDM::Guarded(const std::string& what, const std::function<bool()>& step) {
  try {
    return step();
  } catch (const StorageError& e) {
    platform_.system.DebugOutput(what + ": " + e.what());
    return false;
  }
}

TqvProfile* TDM::Slot(std::int32_t index) const {
  return IsProfileIndexInRange(index) ? FProfileGroup[static_cast<std::size_t>(index)] : nullptr;
}

// ---- creation ----------------------------------------------------------------

TOptionsFromConfigFile TDM::ReadStorageOptions(Platform& platform) {
  return ReadOptionsFromConfigFile(LoadConfigIni(platform.files, platform.system));
}

std::string TDM::ProfileFolderIn(std::string_view documents, const TOptionsFromConfigFile& options) {
  return WithTrailingBackslash(documents) + options.ProfileFolder + "\\";
}

std::string TDM::SlotFilePath(const TPROFILESETTINGINFO& entry) {
  const std::string folder = entry.FolderPath.GetUtf8();
  if (!IsFullPath(folder)) return {};
  return WithTrailingBackslash(folder) + entry.ProfileFileName.GetUtf8();
}

bool TDM::IsOwnRecordValue(std::string_view name) {
  for (const char* own : {kSettingGroupValue, kAllSettingValue, kDefaultGameValue, kTestProfileValue}) {
    if (EqualsIgnoreCase(name, own)) return true;
  }
  return false;
}

void TDM::DataModuleCreate() {
  const IniFile ini = LoadConfigIni(platform_.files, platform_.system);
  FOptionsFromConfigFile = ReadOptionsFromConfigFile(ini);
  FOtherConfig = ReadOtherConfig(ini);
  FProfileGroupIndex = 0;
  InitProfileSettingGroup();
  InitAllProfileInfo();
  InitProfileGroup();
  // The vendor collection that the monitor form looks for.
  globals_.HidUsageAndPage = kVendorCollection;
}

void TDM::LoadOrRestore(TqvProfile& component, const char* what) {
  bool kept = false;
  bool loaded = false;
  try {
    loaded = component.LoadStreamFromRegistry();
  } catch (const UnreadableRecordError& e) {
    // It may hold the configuration program's record: factory values in
    // memory only, the value stays as it is.
    platform_.system.DebugOutput(std::string(what) + " uses factory values, the stored value is kept: " + e.what());
    kept = true;
  } catch (const StorageError& e) {
    // A text or number value cannot hold a record: it is replaced.
    platform_.system.DebugOutput(std::string(what) + " is treated as missing: " + e.what());
  }
  if (loaded) return;
  Guarded(std::string(what) + ": factory values not stored", [&] {
    component.RestoreToDefault();
    return !kept && component.SaveStreamToRegistry();
  });
}

void TDM::InitProfileSettingGroup() {
  qvProfileSettingGroup.SetRootKey(kHkeyCurrentUser);
  qvProfileSettingGroup.SetFileName(kSettingGroupValue);
  qvProfileSettingGroup.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
  WriteRecord(qvProfileSettingGroup, TProfileSettingGroup{});
  LoadProfileGroupSettingInfoFromRegistry();
}

void TDM::InitAllProfileInfo() {
  qvProfileAllSettingInfo.SetRootKey(kHkeyCurrentUser);
  qvProfileAllSettingInfo.SetFileName(kAllSettingValue);
  qvProfileAllSettingInfo.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
  WriteRecord(qvProfileAllSettingInfo, FAllProfileSettingInfo);
  LoadAllProfileInfoFromRegistry();
}

void TDM::InitProfileGroup() {
  FProfileGroup = {&qvProfileGame1, &qvProfileGame2, &qvProfileGame3, &qvProfileGame4, &qvProfileGame5, nullptr};
  for (std::int32_t i = 0; i < kSlotCount; ++i) InitSlot(i);
  SwitchToProfileGroup(FProfileGroupIndex);
}

void TDM::InitSlot(std::int32_t i) {
  TqvProfile& slot = *FProfileGroup[static_cast<std::size_t>(i)];
  const TPROFILESETTINGINFO& entry = FProfileSettingGroup.ProfileSettingList[i];
  const std::string name = entry.ProfileFileName.GetUtf8();
  const std::string folder = entry.FolderPath.GetUtf8();
  slot.SetRootKey(kHkeyCurrentUser);
  slot.SetFileName(name);
  // A folder that does not name its drive ("", "Profile", "\\", "C:") would
  // put the slot's file wherever the monitor was started: never the slot's.
  if (IsFullPath(folder)) slot.SetFilePath(folder);
  slot.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
  WriteRecord(slot, TMOUSEPROFILEINFO{});
  const std::string what = "profile slot " + std::to_string(i + 1);

  if (entry.StorageMode == 0) {
    if (!Guarded(what + " is treated as missing", [&] { return slot.LoadStreamFromRegistry(); })) {
      RestoreSlotWithColour(i);
    }
  } else if (entry.StorageMode == 1) {
    const std::string file = SlotFilePath(entry);
    if (file.empty()) {
      // A folder that does not name its drive would pick up a file from
      // wherever the monitor was started: nothing is read or written.
      platform_.system.DebugOutput(what + " uses factory values: its folder \"" + folder + "\" is not a full path");
      RestoreSlotWithColour(i);
      return;
    }
    if (!platform_.files.FileExists(file)) {
      RestoreSlotWithColour(i);
      Guarded(what + ": factory values not stored", [&] { return slot.SaveStreamToFile(file); });
      return;
    }
    bool unreadable = false;
    bool loaded = false;
    try {
      loaded = slot.LoadStreamFromFile(file);
    } catch (const StorageError& e) {
      // The file exists and may hold the user's settings: the slot gets the
      // factory values in memory, but the file is not overwritten.
      platform_.system.DebugOutput(what + " uses factory values, " + file + " is kept: " + e.what());
      unreadable = true;
    }
    if (!loaded) {
      RestoreSlotWithColour(i);
      if (!unreadable) Guarded(what + ": factory values not stored", [&] { return slot.SaveStreamToFile(); });
    }
  }
  // Any other storage mode: the slot keeps the all-zero record.
}

void TDM::RestoreSlotWithColour(std::int32_t i) {
  TqvProfile& slot = *FProfileGroup[static_cast<std::size_t>(i)];
  slot.RestoreToDefault();
  auto work = std::make_unique<TMOUSEPROFILEINFO>();
  ReadRecord(slot, *work);
  RestoreToDefaultLEDColor(i, *work);
  WriteRecord(slot, *work);
}

std::string TDM::GetProfileFolder() {
  const std::string documents = platform_.files.DocumentsFolder();
  if (documents.empty()) throw StorageError("the documents folder is unknown");
  const std::string folder = ProfileFolderIn(documents, FOptionsFromConfigFile);
  if (!platform_.files.FolderExists(folder) && !platform_.files.CreateFolder(folder)) {
    throw StorageError("the profile folder " + folder + " cannot be created");
  }
  return folder;
}

// ---- selection -----------------------------------------------------------------

bool TDM::IsProfileGroupIndexInRange(std::int32_t AProfileGroupIndex) {
  return AProfileGroupIndex >= 0 && AProfileGroupIndex <= 1;
}

bool TDM::IsProfileIndexInRange(std::int32_t AProfileIndex) { return AProfileIndex >= 0 && AProfileIndex <= 4; }

bool TDM::SwitchToProfileGroup(std::int32_t AProfileGroupIndex) {
  if (!IsProfileGroupIndexInRange(AProfileGroupIndex)) return false;
  FProfileSettingGroup.CurrentProfileGroup = AProfileGroupIndex;
  FProfileGroupIndex = AProfileGroupIndex;
  FProfileIndex = FProfileSettingGroup.ProfileIndexOfProfileGroup[AProfileGroupIndex];
  SwitchToProfile(FProfileIndex);
  return true;
}

bool TDM::SwitchToProfile(std::int32_t AProfileIndex) {
  TqvProfile* slot = Slot(AProfileIndex);
  if (slot == nullptr) return false;
  FProfileIndex = AProfileIndex;
  ReadRecord(*slot, FCurrentProfileInfo);
  FAllProfileSettingInfo.CurrentGame = AProfileIndex;
  return true;
}

// ---- loads -----------------------------------------------------------------------

void TDM::LoadAllProfileInfoFromRegistry() {
  LoadOrRestore(qvProfileAllSettingInfo, "global settings (ALLPROFILE.pfd)");
  ReadRecord(qvProfileAllSettingInfo, FAllProfileSettingInfo);
}

void TDM::LoadProfileGroupSettingInfoFromRegistry() {
  LoadOrRestore(qvProfileSettingGroup, "profile groups (ProfileSettingGroup.pfd)");
  ReadRecord(qvProfileSettingGroup, FProfileSettingGroup);
  FProfileGroupIndex = FProfileSettingGroup.CurrentProfileGroup;
  // A stored group outside 0..1 selects no slot.
  FProfileIndex = IsProfileGroupIndexInRange(FProfileGroupIndex)
                      ? FProfileSettingGroup.ProfileIndexOfProfileGroup[FProfileGroupIndex]
                      : -1;
  if (!IsProfileIndexInRange(FProfileIndex)) {
    platform_.system.DebugOutput("stored profile group " + std::to_string(FProfileGroupIndex) +
                                 " selects no profile slot");
  }
}

bool TDM::LoadCurrentProfileInfoFromRegistry() {
  TqvProfile* slot = CurrentSlot();
  if (slot == nullptr) return false;
  const bool loaded = Guarded("current profile: registry value not used", [&] { return slot->LoadStreamFromRegistry(); });
  ReadRecord(*slot, FCurrentProfileInfo);
  return loaded;
}

bool TDM::LoadCurrentProfileInfoFromFile(std::string_view AFile) {
  TqvProfile* slot = CurrentSlot();
  if (slot == nullptr) return false;
  const bool loaded = Guarded("current profile: file not used", [&] { return slot->LoadStreamFromFile(AFile); });
  ReadRecord(*slot, FCurrentProfileInfo);
  return loaded;
}

bool TDM::ReloadCurrentProfileInfo() {
  if (LoadCurrentProfileInfoFromRegistry()) return true;
  if (!IsProfileIndexInRange(FProfileIndex)) return false;
  const TPROFILESETTINGINFO& entry = FProfileSettingGroup.ProfileSettingList[FProfileIndex];
  const std::string file = entry.StorageMode == 1 ? SlotFilePath(entry) : std::string();
  if (file.empty()) return false;
  // A file of another size (being written by a program that does not
  // replace it whole, or not a profile) would change part of the working copy.
  if (platform_.files.FileSize(file) != sizeof(TMOUSEPROFILEINFO)) {
    platform_.system.DebugOutput("current profile: " + file + " is not one whole record; not reloaded");
    return false;
  }
  return LoadCurrentProfileInfoFromFile(file);
}

bool TDM::LoadProfileInfoFromRegistry(std::int32_t AProfileIndex) {
  TqvProfile* slot = Slot(AProfileIndex);
  if (slot == nullptr) return false;
  return Guarded("profile slot " + std::to_string(AProfileIndex + 1) + ": registry value not used",
                 [&] { return slot->LoadStreamFromRegistry(); });
}

bool TDM::ReadCurrentProfileInfo() {
  TqvProfile* slot = CurrentSlot();
  if (slot == nullptr) return false;
  ReadRecord(*slot, FCurrentProfileInfo);
  return true;
}

bool TDM::ReadProfileInfo(TMOUSEPROFILEINFO& AProfileInfo, std::int32_t AProfileIndex) {
  TqvProfile* slot = Slot(AProfileIndex);
  if (slot == nullptr) return false;
  ReadRecord(*slot, AProfileInfo);
  return true;
}

// ---- saves -------------------------------------------------------------------------

void TDM::SaveBackToCurrentProfileInfo() {
  if (TqvProfile* slot = CurrentSlot()) WriteRecord(*slot, FCurrentProfileInfo);
}

void TDM::SaveCurrentProfileInfoToRegistry() {
  SaveBackToCurrentProfileInfo();
  if (TqvProfile* slot = CurrentSlot()) SaveSlotToRegistry(*slot);
}

bool TDM::SaveSlotToRegistry(TqvProfile& slot) {
  if (IsOwnRecordValue(slot.FileName())) {
    platform_.system.DebugOutput("a profile slot named " + slot.FileName() + " is not saved over that record");
    return false;
  }
  return slot.SaveStreamToRegistry();
}

void TDM::SaveCurrentProfileInfoToFile(std::string_view AFile) {
  if (TqvProfile* slot = CurrentSlot()) slot->SaveStreamToFile(AFile);
}

void TDM::SaveCurrentProfileInfoToFile() {
  if (TqvProfile* slot = CurrentSlot()) slot->SaveStreamToFile();
}

bool TDM::SaveBackToProfileInfo(const TMOUSEPROFILEINFO& AProfileInfo, std::int32_t AProfileIndex) {
  TqvProfile* slot = Slot(AProfileIndex);
  if (slot == nullptr) return false;
  WriteRecord(*slot, AProfileInfo);
  return true;
}

bool TDM::SaveProfileInfoToRegistry(std::int32_t AProfileIndex) {
  TqvProfile* slot = Slot(AProfileIndex);
  if (slot == nullptr) return false;
  SaveSlotToRegistry(*slot);
  return true;
}

void TDM::SaveBackAllProfileInfo() {
  for (std::int32_t i = 0; i < kSlotCount; ++i) SaveSlotToRegistry(*Slot(i));
}

void TDM::SaveBackAllProfileInfoToRegistry() { SaveBackAllProfileInfo(); }

void TDM::SaveBackAllProfileInfoToFile() {
  for (std::int32_t i = 0; i < kSlotCount; ++i) Slot(i)->SaveStreamToFile();
}

void TDM::SaveBackAllProfileSettingInfo() {
  // The configuration program takes CurrentGame as a slot 0..4: with no
  // current slot, a stored value in range is kept, any other becomes 0.
  if (IsProfileIndexInRange(FProfileIndex)) {
    FAllProfileSettingInfo.CurrentGame = FProfileIndex;
  } else if (!IsProfileIndexInRange(FAllProfileSettingInfo.CurrentGame)) {
    FAllProfileSettingInfo.CurrentGame = 0;
  }
  WriteRecord(qvProfileAllSettingInfo, FAllProfileSettingInfo);
  qvProfileAllSettingInfo.SaveStreamToRegistry();
}

void TDM::SaveBackToProfileGroupSettingInfo() { WriteRecord(qvProfileSettingGroup, FProfileSettingGroup); }

void TDM::SaveProfileGroupSettingInfoToRegistry() {
  SaveBackToProfileGroupSettingInfo();
  qvProfileSettingGroup.SaveStreamToRegistry();
}

// ---- resets ---------------------------------------------------------------------------

void TDM::RestoreCurrentProfileInfoToDefault() {
  TqvProfile* slot = CurrentSlot();
  if (slot == nullptr) return;
  slot->RestoreToDefault();
  ReadRecord(*slot, FCurrentProfileInfo);
  RestoreToDefaultLEDColor(FProfileIndex, FCurrentProfileInfo);
  WriteRecord(*slot, FCurrentProfileInfo);
}

bool TDM::RestoreProfileInfoToDefault(std::int32_t AProfileIndex) {
  TqvProfile* slot = Slot(AProfileIndex);
  if (slot == nullptr) return false;
  slot->RestoreToDefault();
  return true;
}

bool TDM::RestoreProfileGroupToDefault(std::int32_t AProfileGroupIndex) {
  if (!IsProfileGroupIndexInRange(AProfileGroupIndex)) return false;
  const std::int32_t slot = FProfileSettingGroup.ProfileIndexOfProfileGroup[AProfileGroupIndex];
  if (slot == FProfileIndex) {
    RestoreCurrentProfileInfoToDefault();
  } else if (TqvProfile* component = Slot(slot)) {
    component->RestoreToDefault();
  }
  return true;
}

void TDM::RestoreProfileSettingGroupToDefault() {
  qvProfileSettingGroup.RestoreToDefault();
  qvProfileSettingGroup.SaveStreamToRegistry();
}

bool TDM::ChangeCurrentProfileFileNameAndPath(std::string_view AProfileFilePath) {
  TqvProfile* slot = CurrentSlot();
  if (slot == nullptr) return false;
  const PathParts parts = SplitPath(AProfileFilePath);
  slot->SetFileName(parts.name);
  slot->SetFilePath(parts.folder);
  TPROFILESETTINGINFO& entry = FProfileSettingGroup.ProfileSettingList[FProfileIndex];
  entry.ProfileFileName.SetUtf8(parts.name);
  entry.FolderPath.SetUtf8(parts.folder);
  return true;
}

void TDM::InitTestDefaultValue() {
  qvProfileTest.SetRootKey(kHkeyCurrentUser);
  qvProfileTest.SetFileName(kTestProfileValue);
  qvProfileTest.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
  WriteRecord(qvProfileTest, TestProfileInfo());
  qvProfileTest.RestoreToDefault();
  ReadRecord(qvProfileTest, TestProfileInfo());

  qvProfileDefaultGame.SetRootKey(kHkeyCurrentUser);
  qvProfileDefaultGame.SetFileName(kDefaultGameValue);
  qvProfileDefaultGame.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
  WriteRecord(qvProfileDefaultGame, DefaultProfileInfo());
  qvProfileDefaultGame.RestoreToDefault();
  ReadRecord(qvProfileDefaultGame, DefaultProfileInfo());
}

}  // namespace zr
