// TDM, the profile manager: owns every stored record of the monitor and the
// nine components that keep them, reads the storage options, loads all
// records at creation and offers the operations that select, reload, save
// and reset profiles.
//
// Five profile slots (0..4) and two profile groups (0, 1): each group selects
// a slot, CurrentProfileGroup says which group is active, and the active
// group's slot is the current profile, whose working copy is
// FCurrentProfileInfo. Stored indexes are taken as they are; a slot index
// outside 0..4 simply names no slot, and no operation reaches beyond the five.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "device/hid_types.h"  // kVendorCollection, the collection the manager selects
#include "platform/platform.h"
#include "profile/monitor_globals.h"
#include "profile/qv_profile.h"
#include "profile/records.h"

namespace zr {

class TDM {
 public:
  static constexpr int kSlotCount = 5;
  // Registry values of the manager's own records, beside the slots' values.
  static constexpr char kSettingGroupValue[] = "ProfileSettingGroup.pfd";
  static constexpr char kAllSettingValue[] = "ALLPROFILE.pfd";

  // The storage options of config.ini beside the executable.
  static TOptionsFromConfigFile ReadStorageOptions(Platform& platform);
  // The profile subfolder of a documents folder, ending with a backslash.
  static std::string ProfileFolderIn(std::string_view documents, const TOptionsFromConfigFile& options);
  // The file of a slot stored as a file: its folder and name; empty when the
  // folder does not name its drive (it would depend on the current folder).
  static std::string SlotFilePath(const TPROFILESETTINGINFO& entry);
  // A registry value name that belongs to one of the manager's own records,
  // which a slot must never be saved over.
  static bool IsOwnRecordValue(std::string_view name);

  // Runs DataModuleCreate.
  TDM(Platform& platform, MonitorGlobals& globals);
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

  // ---- the nine components ----
  TqvProfile qvProfileAllSettingInfo;
  TqvProfile qvProfileGame1, qvProfileGame2, qvProfileGame3, qvProfileGame4, qvProfileGame5;
  TqvProfile qvProfileSettingGroup;
  TqvProfile qvProfileDefaultGame;
  TqvProfile qvProfileTest;

  // ---- records (all zero at creation) ----
  TALLGAMESINFO FAllProfileSettingInfo{};
  std::array<TqvProfile*, 6> FProfileGroup{};  // slots 0..4; entry 5 stays empty
  TProfileSettingGroup FProfileSettingGroup{};
  std::int32_t FProfileGroupIndex = 0;
  std::int32_t FProfileIndex = 0;
  TMOUSEPROFILEINFO FCurrentProfileInfo{};
  TOtherConfig FOtherConfig;
  TOptionsFromConfigFile FOptionsFromConfigFile;
  // The factory and the test profile (FDefaultProfileInfo, FTestProfileInfo),
  // which only InitTestDefaultValue fills and nothing in the monitor reads:
  // each is made, all zero, when first asked for.
  TMOUSEPROFILEINFO& DefaultProfileInfo() { return Made(FDefaultProfileInfo); }
  TMOUSEPROFILEINFO& TestProfileInfo() { return Made(FTestProfileInfo); }

  // ---- operations ----
  static bool IsProfileGroupIndexInRange(std::int32_t AProfileGroupIndex);
  static bool IsProfileIndexInRange(std::int32_t AProfileIndex);
  bool SwitchToProfileGroup(std::int32_t AProfileGroupIndex);
  bool SwitchToProfile(std::int32_t AProfileIndex);
  void LoadAllProfileInfoFromRegistry();
  void LoadProfileGroupSettingInfoFromRegistry();
  // True when the registry value was loaded.
  bool LoadCurrentProfileInfoFromRegistry();
  bool LoadCurrentProfileInfoFromFile(std::string_view AFile);
  // The current slot as stored now: its registry value when it has one (how
  // the configuration program hands over a changed profile), else, for a
  // slot kept in a file, that file when it holds one whole record. True when
  // either was loaded; otherwise the working copy is re-read unchanged.
  bool ReloadCurrentProfileInfo();
  // True when the registry value was loaded.
  bool LoadProfileInfoFromRegistry(std::int32_t AProfileIndex);
  bool ReadCurrentProfileInfo();
  bool ReadProfileInfo(TMOUSEPROFILEINFO& AProfileInfo, std::int32_t AProfileIndex);
  void SaveBackToCurrentProfileInfo();
  void SaveCurrentProfileInfoToRegistry();
  void SaveCurrentProfileInfoToFile(std::string_view AFile);
  void SaveCurrentProfileInfoToFile();
  bool SaveBackToProfileInfo(const TMOUSEPROFILEINFO& AProfileInfo, std::int32_t AProfileIndex);
  bool SaveProfileInfoToRegistry(std::int32_t AProfileIndex);
  void SaveBackAllProfileInfo();
  void SaveBackAllProfileInfoToRegistry();
  void SaveBackAllProfileInfoToFile();
  void SaveBackAllProfileSettingInfo();
  void SaveBackToProfileGroupSettingInfo();
  void SaveProfileGroupSettingInfoToRegistry();
  void RestoreCurrentProfileInfoToDefault();
  bool RestoreProfileInfoToDefault(std::int32_t AProfileIndex);
  bool RestoreProfileGroupToDefault(std::int32_t AProfileGroupIndex);
  void RestoreProfileSettingGroupToDefault();
  // True when the current slot exists (the file name and folder were taken).
  bool ChangeCurrentProfileFileNameAndPath(std::string_view AProfileFilePath);
  void InitTestDefaultValue();
  void RestoreToDefaultCPISetting();
  void RestoreToDefaultLightAndReportAdvancedSetting();
  void RestoreToDefaultReportRateSetting();

  // ---- factory values (bound to the components' OnRestoreToDefault) ----
  void qvProfileGame1RestoreToDefault(TMemoryStream& AStream);
  void qvProfileSettingGroupRestoreToDefault(TMemoryStream& AStream);
  void qvProfileAllSettingInfoRestoreToDefault(TMemoryStream& AStream);
  void qvProfileTestRestoreToDefault(TMemoryStream& AStream);
  static void RestoreToDefaultLEDColor(std::int32_t ASlot, TMOUSEPROFILEINFO& AProfileInfo);

 private:
  void DataModuleCreate();
  void InitProfileSettingGroup();
  void InitAllProfileInfo();
  void InitProfileGroup();
  void InitSlot(std::int32_t i);
  // The slot's factory values with its colour, into its stream; nothing saved.
  void RestoreSlotWithColour(std::int32_t i);
  // Load a record from the registry; when that fails, factory values saved
  // to the registry. A stored value that cannot be used counts as missing.
  void LoadOrRestore(TqvProfile& component, const char* what);
  // The documents folder's profile subfolder, created when missing.
  std::string GetProfileFolder();
  TqvProfile* Slot(std::int32_t index) const;
  TqvProfile* CurrentSlot() const { return Slot(FProfileIndex); }
  // Saves a slot to the registry, unless it is named like one of the
  // manager's own values, whose record it would replace.
  bool SaveSlotToRegistry(TqvProfile& slot);
  // Runs a storage step; a storage error becomes a debugger-output line and
  // the result false.
  bool Guarded(const std::string& what, const std::function<bool()>& step);

  static TMOUSEPROFILEINFO& Made(std::unique_ptr<TMOUSEPROFILEINFO>& record) {
    if (!record) record = std::make_unique<TMOUSEPROFILEINFO>();
    return *record;
  }

  Platform& platform_;
  MonitorGlobals& globals_;
  std::unique_ptr<TMOUSEPROFILEINFO> FDefaultProfileInfo;
  std::unique_ptr<TMOUSEPROFILEINFO> FTestProfileInfo;
};

}  // namespace zr
