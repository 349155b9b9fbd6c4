// The profile manager and the factory values over the simulated registry and
// files.
#include "profile/dm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kKey[] = "software\\software\\DAvezodev";
constexpr char kProfiles[] = "C:\\users\\player\\Documents\\Profile\\";

template <class R>
std::unique_ptr<R> As(const Bytes& b) {
  auto r = std::make_unique<R>();
  std::memset(r.get(), 0, sizeof(R));
  std::memcpy(r.get(), b.data(), std::min(b.size(), sizeof(R)));
  return r;
}

template <class R>
Bytes BytesOf(const R& r) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&r);
  return Bytes(p, p + sizeof(R));
}

class ProfileManager : public ::testing::Test {
 protected:
  std::unique_ptr<TDM> Create() { return std::make_unique<TDM>(process.platform(), globals); }
  void Config(const std::string& ini) { world.files.PutText(process.ExeFolder() + "config.ini", ini); }
  std::optional<Bytes> Value(const std::string& name, const std::string& key = kKey) {
    const auto v = world.registry.GetValue(kHkeyCurrentUser, key, name);
    if (!v) return std::nullopt;
    return v->data;
  }
  Bytes File(const std::string& name) { return world.files.GetFile(std::string(kProfiles) + name).value_or(Bytes{}); }

  sim::SimWorld world;
  sim::SimProcess process{world};
  MonitorGlobals globals;
};

// ---- first run ------------------------------------------------------------------

TEST_F(ProfileManager, FirstRunStoresTheGroupsTheGlobalSettingsAndFiveProfileFiles) {
  auto dm = Create();
  EXPECT_EQ(globals.HidUsageAndPage, kVendorCollection);

  const auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  EXPECT_EQ(Value("ProfileSettingGroup.pfd")->size(), 30964u);
  EXPECT_EQ(group->CurrentProfileGroup, 0);
  EXPECT_EQ(group->ProfileIndexOfProfileGroup[0], 0);
  EXPECT_EQ(group->ProfileIndexOfProfileGroup[1], 1);
  for (int i = 0; i < 5; ++i) {
    const auto& e = group->ProfileSettingList[i];
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(e.StorageMode, 1);
    EXPECT_EQ(e.ProfileFileName.GetUtf8(), "Profile" + n + ".pfd");
    EXPECT_EQ(e.FolderPath.GetUtf8(), kProfiles);
    EXPECT_EQ(e.MacroFolderPath.GetUtf8(), std::string(kProfiles) + "\\Profile" + n + "_Macros");
    EXPECT_EQ(e.RegistryFolder.GetUtf8(), kKey);
  }

  const auto all = As<TALLGAMESINFO>(*Value("ALLPROFILE.pfd"));
  EXPECT_EQ(Value("ALLPROFILE.pfd")->size(), 30960u);
  EXPECT_EQ(all->Allgameset[0].SlotState, 1);
  EXPECT_EQ(all->Allgameset[1].SlotState, 0);
  EXPECT_EQ(all->CurrentGame, 0);
  EXPECT_EQ(all->CurrentLanguage, 0);

  const std::uint8_t colours[5][3] = {{255, 0, 0}, {0, 0, 255}, {255, 255, 0}, {0, 96, 96}, {255, 0, 255}};
  for (int i = 0; i < 5; ++i) {
    const Bytes f = File("Profile" + std::to_string(i + 1) + ".pfd");
    ASSERT_EQ(f.size(), 109896u);
    const auto p = As<TMOUSEPROFILEINFO>(f);
    EXPECT_EQ(p->ConfigInfo.LEDConfig.R, colours[i][0]);
    EXPECT_EQ(p->ConfigInfo.LEDConfig.G, colours[i][1]);
    EXPECT_EQ(p->ConfigInfo.LEDConfig.B, colours[i][2]);
  }
  EXPECT_EQ(dm->FProfileIndex, 0);
  EXPECT_EQ(BytesOf(dm->FCurrentProfileInfo), File("Profile1.pfd"));
  // Registry-stored slot values and the factory and test profiles are not written.
  EXPECT_EQ(world.registry.ValueNames(kHkeyCurrentUser, kKey).size(), 2u);
}

TEST_F(ProfileManager, ANewSlotHoldsTheGameValuesItsColourAndZeroElsewhere) {
  auto dm = Create();
  auto p = As<TMOUSEPROFILEINFO>(File("Profile3.pfd"));
  TMOUSECONFIGINFO& c = p->ConfigInfo;
  EXPECT_EQ(p->ProfileHeader.FFileVersion, 258);
  EXPECT_EQ(c.ButtonCount, 7);
  const std::uint16_t rows[7] = {0, 1, 2, 3, 4, 30, 31};
  const std::uint32_t kinds[7] = {1, 2, 3, 5, 4, 9, 10};
  const std::uint32_t codes[7] = {1, 2, 3, 4, 5, 13, 14};
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(c.ButtonFuncInfo[k].ButtonIndex, k);
    EXPECT_EQ(c.ButtonFuncInfo[k].FunctionIndex, rows[k]);
    EXPECT_EQ(c.ButtonFuncInfo[k].FunctionClass, k < 5 ? 1 : 0);
    EXPECT_EQ(c.ButtonFuncInfo[k].FunctionKind, kinds[k]);
    EXPECT_EQ(c.ButtonFuncInfo[k].FunctionCode, codes[k]);
  }
  EXPECT_EQ(c.VWheelButtonFuncInfo[1].ButtonIndex, 1);
  EXPECT_EQ(c.VWheelButtonFuncInfo[1].FunctionIndex, 1);
  EXPECT_EQ(c.VWheelButtonFuncInfo[1].FunctionClass, 1);
  EXPECT_EQ(c.VWheelButtonFuncInfo[1].FunctionKind, 12u);
  EXPECT_EQ(c.VWheelButtonFuncInfo[1].FunctionCode, 2u);
  EXPECT_EQ(c.VWheelButtonFuncInfo[0].FunctionKind, 11u);
  const std::uint16_t hw[4] = {500, 750, 1500, 3500};
  const std::uint16_t st[4] = {400, 800, 1600, 3500};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.CPIState[i].X, st[i]);
    EXPECT_EQ(c.CPIState[i].Y, st[i]);
    EXPECT_EQ(c.HWCPIState[i].X, hw[i]);
    EXPECT_EQ(c.HWCPIState[i].Y, hw[i]);
    EXPECT_EQ(c.HWCPIState[i].Enabled, 1);
    EXPECT_EQ(c.UseDiffentXY[i], 1);
  }
  EXPECT_EQ(c.LEDConfig.R, 255);
  EXPECT_EQ(c.LEDConfig.G, 255);
  EXPECT_EQ(c.LEDConfig.B, 0);

  // Clear every field the factory values set: what is left must be zero.
  p->ProfileHeader.FFileVersion = 0;
  for (int k = 0; k < 7; ++k) {
    auto& f = c.ButtonFuncInfo[k];
    f.ButtonIndex = f.FunctionIndex = 0;
    f.FunctionClass = 0;
    f.FunctionKind = f.FunctionCode = 0;
  }
  for (auto& f : c.VWheelButtonFuncInfo) {
    f.ButtonIndex = f.FunctionIndex = 0;
    f.FunctionClass = 0;
    f.FunctionKind = f.FunctionCode = 0;
  }
  c.ButtonCount = 0;
  c.HWVWheelValue = c.WheelLedOnOff = 0;
  c.VWheelSpeed = c.DoubleClickSpeed = c.PointerSpeed = c.ReportRate = c.CPILevel = 0;
  c.LEDConfig = {};
  for (int i = 0; i < 4; ++i) c.CPIState[i] = c.HWCPIState[i] = {}, c.UseDiffentXY[i] = 0;
  c.CurrentCPIIndex = 0;
  c.ApplyCPISettingEachProfile = c.FireKeySpeed = c.FireKeyCount = 0;
  EXPECT_EQ(BytesOf(*p), Bytes(sizeof(TMOUSEPROFILEINFO), 0));
}

TEST_F(ProfileManager, OptionsNameTheKeyThePrefixAndTheFolder) {
  Config("[options]\nProfileRegFolder=DAvezodev\nprofilePrefix=Game\n");
  auto dm = Create();
  EXPECT_TRUE(Value("ProfileSettingGroup.pfd", "software\\DAvezodev"));
  EXPECT_FALSE(world.registry.KeyExists(kHkeyCurrentUser, kKey));
  const auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd", "software\\DAvezodev"));
  for (int i = 0; i < 5; ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(group->ProfileSettingList[i].ProfileFileName.GetUtf8(), "Game" + n + ".pfd");
    EXPECT_EQ(group->ProfileSettingList[i].MacroFolderPath.GetUtf8(), std::string(kProfiles) + "\\Game" + n + "_Macros");
    EXPECT_EQ(File("Game" + n + ".pfd").size(), 109896u);
  }
}

TEST_F(ProfileManager, OtherOptionsAreReadWithTheirDefaults) {
  Config("[OtherConfig]\nNoLogo=1\nUpdateWebSite=http://update.example\n[HelpFiles]\nUS=help.chm\nCH=\n");
  auto dm = Create();
  EXPECT_EQ(dm->FOtherConfig.Nologo, 1);
  EXPECT_EQ(dm->FOtherConfig.UpdateWebSite, "http://update.example");
  EXPECT_EQ(dm->FOtherConfig.OfficialWebSite, "");
  ASSERT_EQ(dm->FOtherConfig.HelpFile.size(), 1u);  // a key with an empty value is not added
  EXPECT_EQ(dm->FOtherConfig.HelpFile[0].first, "US");
  EXPECT_EQ(dm->FOptionsFromConfigFile.ProfileMacroFolder, "MacroDB");
  EXPECT_EQ(dm->FOptionsFromConfigFile.ProfileFolder, "Profile");
}

TEST_F(ProfileManager, ASecondStartRewritesNothing) {
  Create();
  const int regWrites = world.registry.writes;
  const int fileWrites = world.files.writes;
  auto dm = Create();
  EXPECT_EQ(world.registry.writes, regWrites);
  EXPECT_EQ(world.files.writes, fileWrites);
}

// ---- selection --------------------------------------------------------------------

TEST_F(ProfileManager, SwitchingGroupsChangesMemoryUntilTheSelectionIsSaved) {
  auto dm = Create();
  ASSERT_TRUE(dm->SwitchToProfileGroup(1));
  EXPECT_EQ(dm->FProfileIndex, 1);
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.B, 255);  // slot 1 is blue
  EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentGame, 1);
  EXPECT_EQ(As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"))->CurrentProfileGroup, 0);
  dm->SaveProfileGroupSettingInfoToRegistry();
  EXPECT_EQ(As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"))->CurrentProfileGroup, 1);
  EXPECT_EQ(As<TALLGAMESINFO>(*Value("ALLPROFILE.pfd"))->CurrentGame, 0);
  dm->SaveBackAllProfileSettingInfo();
  EXPECT_EQ(As<TALLGAMESINFO>(*Value("ALLPROFILE.pfd"))->CurrentGame, 1);
}

TEST_F(ProfileManager, IndexesOutsideTheirRangesChangeNothing) {
  auto dm = Create();
  const Bytes before = BytesOf(dm->FCurrentProfileInfo);
  for (const int i : {-1, 5, 6, 1000}) {
    EXPECT_FALSE(dm->SwitchToProfile(i));
    EXPECT_FALSE(dm->ReadProfileInfo(dm->DefaultProfileInfo(), i));
    EXPECT_FALSE(dm->SaveBackToProfileInfo(dm->FCurrentProfileInfo, i));
    EXPECT_FALSE(dm->SaveProfileInfoToRegistry(i));
    EXPECT_FALSE(dm->RestoreProfileInfoToDefault(i));
    EXPECT_FALSE(dm->LoadProfileInfoFromRegistry(i));
  }
  for (const int g : {-1, 2}) {
    EXPECT_FALSE(dm->SwitchToProfileGroup(g));
    EXPECT_FALSE(dm->RestoreProfileGroupToDefault(g));
  }
  EXPECT_EQ(dm->FProfileIndex, 0);
  EXPECT_EQ(dm->FProfileGroupIndex, 0);
  EXPECT_EQ(BytesOf(dm->FCurrentProfileInfo), before);
}

TEST_F(ProfileManager, AShortSlotFileFillsOnlyTheStartOfTheCurrentProfile) {
  Create();
  world.files.PutFile(std::string(kProfiles) + "Profile1.pfd", Bytes(100, 0x5A));
  auto dm = Create();
  const Bytes current = BytesOf(dm->FCurrentProfileInfo);
  EXPECT_EQ(Bytes(current.begin(), current.begin() + 100), Bytes(100, 0x5A));
  EXPECT_EQ(Bytes(current.begin() + 100, current.end()), Bytes(current.size() - 100, 0));
  EXPECT_EQ(File("Profile1.pfd").size(), 100u);  // it loaded: nothing rewritten
}

// ---- reloads and saves ------------------------------------------------------------

TEST_F(ProfileManager, SavingTheCurrentProfileToFileTakesTheStreamNotTheWorkingCopy) {
  auto dm = Create();
  const Bytes stored = File("Profile1.pfd");
  dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 1000;
  dm->SaveCurrentProfileInfoToFile();
  EXPECT_EQ(File("Profile1.pfd"), stored);
  dm->SaveBackToCurrentProfileInfo();
  dm->SaveCurrentProfileInfoToFile();
  EXPECT_EQ(As<TMOUSEPROFILEINFO>(File("Profile1.pfd"))->ConfigInfo.ReportRate, 1000);
  dm->SaveCurrentProfileInfoToFile("C:\\export\\mine.pfd");  // C:\export is created
  EXPECT_EQ(world.files.GetFile("C:\\export\\mine.pfd"), File("Profile1.pfd"));
}

TEST_F(ProfileManager, AFileSlotReloadsFromTheRegistryOnlyWhatWasSavedThere) {
  auto dm = Create();
  dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 500;
  EXPECT_FALSE(dm->LoadCurrentProfileInfoFromRegistry());  // no value: re-read from the stream
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 125);

  dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 250;
  dm->SaveCurrentProfileInfoToRegistry();
  EXPECT_EQ(Value("Profile1.pfd")->size(), 109896u);
  auto again = Create();
  EXPECT_EQ(again->FCurrentProfileInfo.ConfigInfo.ReportRate, 125);  // the slot is a file
  EXPECT_TRUE(again->LoadCurrentProfileInfoFromRegistry());
  EXPECT_EQ(again->FCurrentProfileInfo.ConfigInfo.ReportRate, 250);
}

TEST_F(ProfileManager, RegistrySlotsLoadFromTheirValuesAndGetFactoryValuesUnsaved) {
  Create();
  // Slot 2 stored in the registry.
  auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  group->ProfileSettingList[1].StorageMode = 0;
  group->ProfileSettingList[2].StorageMode = 0;
  group->ProfileSettingList[4].StorageMode = 7;  // not loaded at all
  group->CurrentProfileGroup = 1;
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, BytesOf(*group));
  TMOUSEPROFILEINFO stored{};
  stored.ConfigInfo.ReportRate = 333;
  world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile2.pfd", kRegBinary, BytesOf(stored));
  const int regWrites = world.registry.writes;

  auto dm = Create();
  EXPECT_EQ(dm->FProfileIndex, 1);
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 333);
  TMOUSEPROFILEINFO slot3{};
  ASSERT_TRUE(dm->ReadProfileInfo(slot3, 2));
  EXPECT_EQ(slot3.ConfigInfo.ReportRate, 125);  // factory values with the slot colour, not saved
  EXPECT_EQ(slot3.ConfigInfo.LEDConfig.G, 255);
  EXPECT_EQ(world.registry.writes, regWrites);
  EXPECT_FALSE(Value("Profile3.pfd"));
  TMOUSEPROFILEINFO slot5{};
  ASSERT_TRUE(dm->ReadProfileInfo(slot5, 4));
  EXPECT_EQ(BytesOf(slot5), Bytes(sizeof slot5, 0));
}

TEST_F(ProfileManager, SavingAllSlotsGoesInSlotOrderToTheRegistryOrToTheirFiles) {
  auto dm = Create();
  std::vector<int> order;
  for (int i = 0; i < TDM::kSlotCount; ++i) {
    TqvProfile& slot = *dm->FProfileGroup[static_cast<std::size_t>(i)];
    slot.OnBeforeSaveToRegistry = [&order, i](TMemoryStream&, bool&) { order.push_back(i); };
    slot.OnBeforeSaveToFile = [&order, i](TMemoryStream&, bool&) { order.push_back(10 + i); };
    TMOUSEPROFILEINFO p{};
    dm->ReadProfileInfo(p, i);
    p.ConfigInfo.ReportRate = static_cast<std::uint16_t>(200 + i);
    dm->SaveBackToProfileInfo(p, i);
  }
  dm->SaveBackAllProfileInfo();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
  dm->SaveBackAllProfileInfoToRegistry();
  dm->SaveBackAllProfileInfoToFile();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 10, 11, 12, 13, 14}));
  for (int i = 0; i < TDM::kSlotCount; ++i) {
    const std::string name = "Profile" + std::to_string(i + 1) + ".pfd";
    EXPECT_EQ(As<TMOUSEPROFILEINFO>(*Value(name))->ConfigInfo.ReportRate, 200 + i);
    EXPECT_EQ(As<TMOUSEPROFILEINFO>(File(name))->ConfigInfo.ReportRate, 200 + i);
  }
}

TEST_F(ProfileManager, TheCurrentProfileLoadsFromANamedFileIntoItsSlotAndTheWorkingCopy) {
  auto dm = Create();
  const std::string other = "C:\\mine\\Other.pfd";
  world.files.PutFile(other, Bytes(100, 0x5A));
  const Bytes before = BytesOf(dm->FCurrentProfileInfo);
  EXPECT_TRUE(dm->LoadCurrentProfileInfoFromFile(other));
  EXPECT_EQ(dm->qvProfileGame1.Stream(), Bytes(100, 0x5A));
  // The short record fills the start of the working copy; the rest stays.
  const Bytes now = BytesOf(dm->FCurrentProfileInfo);
  EXPECT_EQ(Bytes(now.begin(), now.begin() + 100), Bytes(100, 0x5A));
  EXPECT_EQ(Bytes(now.begin() + 100, now.end()), Bytes(before.begin() + 100, before.end()));
  EXPECT_FALSE(dm->LoadCurrentProfileInfoFromFile("C:\\mine\\Absent.pfd"));
  EXPECT_EQ(BytesOf(dm->FCurrentProfileInfo)[99], 0x5A);
}

TEST_F(ProfileManager, TheGroupRecordIsWrittenToItsStreamOnlyAndItsResetIsSavedButNotReRead) {
  auto dm = Create();
  const Bytes stored = *Value("ProfileSettingGroup.pfd");
  dm->FProfileSettingGroup.ProfileIndexOfProfileGroup[1] = 3;
  dm->SaveBackToProfileGroupSettingInfo();
  EXPECT_EQ(*Value("ProfileSettingGroup.pfd"), stored);
  EXPECT_EQ(As<TProfileSettingGroup>(dm->qvProfileSettingGroup.Stream())->ProfileIndexOfProfileGroup[1], 3);

  dm->RestoreProfileSettingGroupToDefault();
  EXPECT_EQ(*Value("ProfileSettingGroup.pfd"), stored);  // the factory values, saved
  EXPECT_EQ(dm->qvProfileSettingGroup.Stream(), stored);
  EXPECT_EQ(dm->FProfileSettingGroup.ProfileIndexOfProfileGroup[1], 3);  // not re-read
}

// ---- resets -----------------------------------------------------------------------------

TEST_F(ProfileManager, ResettingTheCurrentSlotKeepsOrUpdatesTheWorkingCopy) {
  auto dm = Create();
  dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 1000;
  dm->SaveBackToCurrentProfileInfo();
  dm->SwitchToProfileGroup(0);
  ASSERT_TRUE(dm->RestoreProfileInfoToDefault(0));
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 1000);
  TMOUSEPROFILEINFO slot{};
  dm->ReadProfileInfo(slot, 0);
  EXPECT_EQ(slot.ConfigInfo.ReportRate, 125);
  EXPECT_EQ(slot.ConfigInfo.LEDConfig.R, 255);  // no slot colour: red

  ASSERT_TRUE(dm->SwitchToProfileGroup(1));
  dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 1000;
  dm->FCurrentProfileInfo.ConfigInfo.LEDConfig = {1, 2, 3, 4, 5, 6};
  dm->RestoreCurrentProfileInfoToDefault();
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 125);
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.B, 255);  // slot 1 blue
  dm->ReadProfileInfo(slot, 1);
  EXPECT_EQ(BytesOf(slot), BytesOf(dm->FCurrentProfileInfo));
  // Group 0's slot 0 is not current: its stream only, the working copy and
  // the storage stay.
  TMOUSEPROFILEINFO changed{};
  dm->ReadProfileInfo(changed, 0);
  changed.ConfigInfo.ReportRate = 500;
  dm->SaveBackToProfileInfo(changed, 0);
  const Bytes current = BytesOf(dm->FCurrentProfileInfo);
  const int writes = world.registry.writes + world.files.writes;
  EXPECT_TRUE(dm->RestoreProfileGroupToDefault(0));
  dm->ReadProfileInfo(slot, 0);
  EXPECT_EQ(slot.ConfigInfo.ReportRate, 125);
  EXPECT_EQ(slot.ConfigInfo.LEDConfig.R, 255);
  EXPECT_EQ(BytesOf(dm->FCurrentProfileInfo), current);
  EXPECT_EQ(world.registry.writes + world.files.writes, writes);
}

TEST_F(ProfileManager, AResetKeepsMacrosAndKeyFunctionsBeyondTheFactoryOnes) {
  auto dm = Create();
  TMOUSEPROFILEINFO& p = dm->FCurrentProfileInfo;
  p.MacroKeyInfoList.nMacroInfoCount = 3;
  for (int m = 0; m < 3; ++m) p.MacroKeyInfoList.MacroInfos[m].MacroListCount = 10 + m;
  p.MacroKeyInfoList.MacroInfos[1].szMacroName[0] = 'M';
  auto& key8 = p.ConfigInfo.ButtonFuncInfo[8];
  key8.FuncData[0] = 0x42;
  key8.ButtonIndex = 8, key8.FunctionIndex = 12, key8.FunctionClass = 2, key8.FunctionKind = 15, key8.FunctionCode = 806;
  for (int k = 10; k < 15; ++k) std::memset(&p.ConfigInfo.ButtonFuncInfo[k], 0x60 + k, sizeof(TBUTTONFUNCINFO));
  p.ConfigInfo.VWheelButtonFuncInfo[0].FuncData[7] = 0x77;
  const TMOUSEPROFILEINFO before = p;
  dm->SaveBackToCurrentProfileInfo();
  dm->RestoreCurrentProfileInfoToDefault();

  EXPECT_EQ(p.MacroKeyInfoList.nMacroInfoCount, 0);
  EXPECT_EQ(std::memcmp(&p.MacroKeyInfoList.MacroInfos, &before.MacroKeyInfoList.MacroInfos,
                        sizeof before.MacroKeyInfoList.MacroInfos),
            0);
  EXPECT_EQ(p.ConfigInfo.ButtonFuncInfo[8].FuncData[0], 0);
  EXPECT_EQ(p.ConfigInfo.ButtonFuncInfo[8].FunctionIndex, 12);
  EXPECT_EQ(p.ConfigInfo.ButtonFuncInfo[8].FunctionCode, 806u);
  for (int k = 10; k < 15; ++k) {
    EXPECT_EQ(std::memcmp(&p.ConfigInfo.ButtonFuncInfo[k], &before.ConfigInfo.ButtonFuncInfo[k],
                          sizeof(TBUTTONFUNCINFO)),
              0)
        << k;
  }
  EXPECT_EQ(p.ConfigInfo.VWheelButtonFuncInfo[0].FuncData[7], 0x77);
}

TEST_F(ProfileManager, TheCpiResetClearsTenLevelsAndKeepsTheEleventh) {
  auto dm = Create();
  auto& c = dm->FCurrentProfileInfo.ConfigInfo;
  for (int i = 0; i < 11; ++i) c.CPIState[i] = c.HWCPIState[i] = {1000, 1000, 1};
  c.CPILevel = 6;
  c.UseDiffentXY[0] = 1;
  c.CurrentCPIIndex = 5;
  dm->RestoreToDefaultCPISetting();
  EXPECT_EQ(c.CPIState[3].X, 3500);
  EXPECT_EQ(c.HWCPIState[1].X, 750);
  for (int i = 4; i < 10; ++i) {
    EXPECT_EQ(c.CPIState[i].X, 0);
    EXPECT_EQ(c.HWCPIState[i].Enabled, 0);
  }
  EXPECT_EQ(c.CPIState[10].X, 1000);
  EXPECT_EQ(c.HWCPIState[10].Enabled, 1);
  EXPECT_EQ(c.CPILevel, 6);
  EXPECT_EQ(c.UseDiffentXY[0], 0);
  EXPECT_EQ(c.CurrentCPIIndex, 1);

  c.ReportRate = 1;
  dm->RestoreToDefaultReportRateSetting();
  EXPECT_EQ(c.ReportRate, 125);
}

TEST_F(ProfileManager, TheLightAndReportResetSetsItsTwelveFieldsAndNothingElse) {
  auto dm = Create();
  std::memset(&dm->FCurrentProfileInfo, 0xAB, sizeof(TMOUSEPROFILEINFO));
  auto expected = std::make_unique<TMOUSEPROFILEINFO>(dm->FCurrentProfileInfo);
  TMOUSECONFIGINFO& e = expected->ConfigInfo;
  e.ApplyCPISettingEachProfile = 1;
  e.ApplyAccelaration = 1;
  e.ApplyDiffirentXY = 0;
  e.FireKeySpeed = 5;
  e.FireKeyCount = 2;
  e.ReportRate = 125;
  e.LEDConfig.BRIGHT_LEVEL = 2;
  e.LEDConfig.BREATH_SPEED = 2;
  e.LEDConfig.R = 255;
  e.LEDConfig.G = 0;
  e.LEDConfig.B = 0;
  e.WheelLedOnOff = 1;
  const int writes = world.registry.writes + world.files.writes;
  dm->RestoreToDefaultLightAndReportAdvancedSetting();
  EXPECT_EQ(BytesOf(dm->FCurrentProfileInfo), BytesOf(*expected));
  EXPECT_EQ(world.registry.writes + world.files.writes, writes);  // nothing saved
}

TEST_F(ProfileManager, TheTestProfileHandlerLeavesAnEmptyStreamAndFillsAnyOther) {
  auto dm = Create();
  TMemoryStream empty;
  dm->qvProfileTestRestoreToDefault(empty);
  EXPECT_TRUE(empty.empty());

  std::memset(&dm->TestProfileInfo(), 0x77, sizeof(TMOUSEPROFILEINFO));
  dm->InitTestDefaultValue();
  // Exactly these values, zero in every other byte.
  auto expected = std::make_unique<TMOUSEPROFILEINFO>();
  std::memset(expected.get(), 0, sizeof(TMOUSEPROFILEINFO));
  expected->ProfileHeader.FFileVersion = 258;
  TMOUSECONFIGINFO& e = expected->ConfigInfo;
  e.ButtonCount = 8;
  const std::uint32_t kinds[5] = {1, 2, 3, 5, 4};
  for (std::uint16_t k = 0; k < 8; ++k) {
    TBUTTONFUNCINFO& b = e.ButtonFuncInfo[k];
    b.ButtonIndex = k;
    b.FunctionIndex = k < 5 ? k : 14;
    b.FunctionClass = k < 5 ? 1 : 11;
    b.FunctionKind = k < 5 ? kinds[k] : 19;
  }
  e.ButtonFuncInfo[5].FuncData[3748] = 0x20;
  e.ButtonFuncInfo[6].FuncData[3748] = 0x40;
  e.ButtonFuncInfo[7].FuncData[3748] = 0x80;
  EXPECT_EQ(BytesOf(dm->TestProfileInfo()), BytesOf(*expected));
  EXPECT_EQ(dm->DefaultProfileInfo().ConfigInfo.LEDConfig.R, 255);  // no slot colour
  EXPECT_EQ(dm->DefaultProfileInfo().ConfigInfo.ButtonCount, 7);
  EXPECT_FALSE(Value("QDM7140ProfileTest.pfd"));  // nothing saved
}

TEST_F(ProfileManager, AHandlerGivenAShortStreamExtendsItToTheWholeRecord) {
  auto dm = Create();
  TMemoryStream s(10, 0xEE);
  dm->qvProfileGame1RestoreToDefault(s);
  ASSERT_EQ(s.size(), sizeof(TMOUSEPROFILEINFO));
  EXPECT_EQ(s[4], 0xEE);  // the stored bytes stay
  EXPECT_EQ(As<TMOUSEPROFILEINFO>(s)->ConfigInfo.ReportRate, 125);
  TMemoryStream longer(sizeof(TALLGAMESINFO) + 5, 0xEE);
  dm->qvProfileAllSettingInfoRestoreToDefault(longer);
  EXPECT_EQ(longer.size(), sizeof(TALLGAMESINFO) + 5);
  EXPECT_EQ(longer.back(), 0xEE);
}

TEST_F(ProfileManager, ChangingTheCurrentFileNameAndPathKeepsTheStorageMode) {
  auto dm = Create();
  world.files.AddFolder("C:\\mine");
  EXPECT_TRUE(dm->ChangeCurrentProfileFileNameAndPath("C:\\mine\\Fast.pfd"));
  EXPECT_EQ(dm->qvProfileGame1.FilePath(), "C:\\mine\\");
  EXPECT_EQ(dm->qvProfileGame1.FileName(), "Fast.pfd");
  const auto& e = dm->FProfileSettingGroup.ProfileSettingList[0];
  EXPECT_EQ(e.ProfileFileName.GetUtf8(), "Fast.pfd");
  EXPECT_EQ(e.FolderPath.GetUtf8(), "C:\\mine\\");
  EXPECT_EQ(e.StorageMode, 1);
  dm->SaveCurrentProfileInfoToFile();
  EXPECT_TRUE(world.files.FileExists("C:\\mine\\Fast.pfd"));
  EXPECT_TRUE(dm->ChangeCurrentProfileFileNameAndPath("C:\\absent\\x.pfd"));
  EXPECT_EQ(dm->qvProfileGame1.FilePath(), "C:\\mine\\");  // a missing folder is not taken
}

// ---- stored values that cannot be used ----------------------------------------------------

TEST_F(ProfileManager, AValueOfTheWrongTypeIsTreatedAsMissingAndTheStartGoesOn) {
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ALLPROFILE.pfd", kRegSz, {'h', 0, 'i', 0, 0, 0});
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegDword, {1, 0, 0, 0});
  auto dm = Create();
  EXPECT_TRUE(process.HasDebugLineContaining("ALLPROFILE.pfd) is treated as missing"));
  EXPECT_TRUE(process.HasDebugLineContaining("REG_DWORD"));
  EXPECT_EQ(world.registry.GetValue(kHkeyCurrentUser, kKey, "ALLPROFILE.pfd")->type, kRegBinary);
  EXPECT_EQ(Value("ALLPROFILE.pfd")->size(), 30960u);
  EXPECT_EQ(File("Profile1.pfd").size(), 109896u);
  EXPECT_EQ(globals.HidUsageAndPage, kVendorCollection);
}

TEST_F(ProfileManager, AStoredRecordThatCannotBeReadIsKeptThroughReloadsAndSaves) {
  const Bytes huge(kMaxStoredRecordBytes + 1, 0x44);
  for (const char* name : {"ALLPROFILE.pfd", "ProfileSettingGroup.pfd"}) {
    for (const bool tooLarge : {true, false}) {
      SCOPED_TRACE(std::string(name) + (tooLarge ? " too large" : " read fails"));
      sim::SimWorld w;
      sim::SimProcess p{w};
      MonitorGlobals g;
      { TDM first(p.platform(), g); }
      const Bytes stored = tooLarge ? huge : Bytes(300, 0x55);
      w.registry.SetValue(kHkeyCurrentUser, kKey, name, kRegBinary, stored);
      if (!tooLarge) w.registry.SetUnreadable(kHkeyCurrentUser, kKey, name);
      TDM dm(p.platform(), g);
      EXPECT_TRUE(p.HasDebugLineContaining("the stored value is kept"));
      // Factory values in memory.
      EXPECT_EQ(dm.FProfileSettingGroup.ProfileIndexOfProfileGroup[1], 1);
      EXPECT_EQ(dm.FAllProfileSettingInfo.Allgameset[0].SlotState, 1);
      dm.LoadAllProfileInfoFromRegistry();
      dm.LoadProfileGroupSettingInfoFromRegistry();
      dm.SaveBackAllProfileSettingInfo();
      dm.SaveProfileGroupSettingInfoToRegistry();
      const auto now = w.registry.GetValue(kHkeyCurrentUser, kKey, name);
      ASSERT_TRUE(now);
      EXPECT_EQ(now->data, stored);
    }
  }
}

TEST_F(ProfileManager, AFileSlotWhoseFolderIsNotAFullPathReadsAndWritesNoFile) {
  Create();
  auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  for (const char* folder : {"", "Profile", "\\", "C:"}) {
    SCOPED_TRACE(folder);
    group->ProfileSettingList[0].FolderPath.SetUtf8(folder);
    world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, BytesOf(*group));
    for (const char* stray : {"Profile1.pfd", "\\Profile1.pfd", "Profile\\Profile1.pfd"}) {
      world.files.PutFile(stray, Bytes(100, 0x5A));
    }
    const int writes = world.files.writes;
    auto dm = Create();
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 125);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.R, 255);
    EXPECT_EQ(world.files.writes, writes);
    EXPECT_TRUE(process.HasDebugLineContaining("is not a full path"));
    const std::vector<std::string> files = world.files.AllFiles();
    dm->SaveBackAllProfileInfoToFile();
    EXPECT_EQ(world.files.AllFiles(), files);
  }
}

TEST_F(ProfileManager, TheStoredCurrentGameStaysASlotWhenNoSlotIsCurrent) {
  Create();
  auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  group->CurrentProfileGroup = 7;
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, BytesOf(*group));
  auto all = As<TALLGAMESINFO>(*Value("ALLPROFILE.pfd"));
  for (const auto& [stored, saved] : {std::pair{3, 3}, std::pair{-1, 0}, std::pair{5, 0}}) {
    all->CurrentGame = stored;
    world.registry.SetValue(kHkeyCurrentUser, kKey, "ALLPROFILE.pfd", kRegBinary, BytesOf(*all));
    auto dm = Create();
    ASSERT_EQ(dm->FProfileIndex, -1);
    dm->SaveBackAllProfileSettingInfo();
    EXPECT_EQ(As<TALLGAMESINFO>(*Value("ALLPROFILE.pfd"))->CurrentGame, saved);
  }
}

TEST_F(ProfileManager, AnUnreadableSlotFileGetsFactoryValuesInMemoryAndIsKept) {
  Create();
  const std::string path = std::string(kProfiles) + "Profile1.pfd";
  world.files.PutFile(path, Bytes(200, 0x33));
  world.files.SetUnreadable(path);
  const int writes = world.files.writes;
  auto dm = Create();
  EXPECT_TRUE(process.HasDebugLineContaining("profile slot 1 uses factory values"));
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 125);
  EXPECT_EQ(world.files.writes, writes);
  dm->SaveBackAllProfileInfoToFile();
  dm->SaveCurrentProfileInfoToFile(path);
  EXPECT_EQ(world.files.writes, writes + 4);  // the four other slots
  world.files.SetUnreadable(path, false);
  EXPECT_EQ(*world.files.GetFile(path), Bytes(200, 0x33));
  // A slot value in the registry that cannot be read is kept by every save.
  world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile4.pfd", kRegBinary, Bytes(50, 0x66));
  world.registry.SetUnreadable(kHkeyCurrentUser, kKey, "Profile4.pfd");
  dm->SaveBackAllProfileInfo();
  dm->SaveProfileInfoToRegistry(3);
  EXPECT_EQ(Value("Profile4.pfd"), Bytes(50, 0x66));
  EXPECT_EQ(As<TMOUSEPROFILEINFO>(*Value("Profile5.pfd"))->ConfigInfo.ReportRate, 125);
}

TEST_F(ProfileManager, StoredIndexesOutsideTheirRangesNeverReachBeyondTheSlots) {
  Create();
  auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  for (const auto& [current, index0] : {std::pair{7, 0}, std::pair{0, 9}, std::pair{-3, -3}}) {
    group->CurrentProfileGroup = current;
    group->ProfileIndexOfProfileGroup[0] = index0;
    world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, BytesOf(*group));
    auto dm = Create();
    EXPECT_EQ(dm->FProfileSettingGroup.CurrentProfileGroup, current);  // taken as stored
    EXPECT_FALSE(dm->ReadCurrentProfileInfo());
    EXPECT_FALSE(dm->LoadCurrentProfileInfoFromRegistry());
    EXPECT_FALSE(dm->LoadCurrentProfileInfoFromFile(std::string(kProfiles) + "Profile1.pfd"));
    const int writes = world.registry.writes + world.files.writes;
    const Bytes working = BytesOf(dm->FCurrentProfileInfo);
    dm->SaveCurrentProfileInfoToRegistry();
    dm->SaveCurrentProfileInfoToFile();
    dm->SaveCurrentProfileInfoToFile(std::string(kProfiles) + "Other.pfd");
    dm->RestoreCurrentProfileInfoToDefault();
    EXPECT_EQ(world.registry.writes + world.files.writes, writes);
    EXPECT_EQ(BytesOf(dm->FCurrentProfileInfo), working);
    EXPECT_FALSE(dm->ChangeCurrentProfileFileNameAndPath("C:\\x.pfd"));
    EXPECT_TRUE(process.HasDebugLineContaining("selects no profile slot"));
    EXPECT_TRUE(dm->SwitchToProfileGroup(1));  // the other group still works
    EXPECT_EQ(dm->FProfileIndex, 1);
  }
}

TEST_F(ProfileManager, ASlotNamedLikeTheManagersOwnValuesIsNeverSavedOverThem) {
  Create();
  auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  const char* names[] = {"ALLPROFILE.pfd", "profilesettinggroup.PFD", "QDM7140ProfileTest.pfd", "QDM7140ProfileDef.pfd"};
  for (int i = 0; i < 4; ++i) {
    group->ProfileSettingList[i].StorageMode = 0;
    group->ProfileSettingList[i].ProfileFileName.SetUtf8(names[i]);
  }
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, BytesOf(*group));
  const Bytes all = *Value("ALLPROFILE.pfd");
  auto dm = Create();
  dm->SaveBackAllProfileInfo();
  dm->SaveCurrentProfileInfoToRegistry();
  dm->SaveProfileInfoToRegistry(1);
  EXPECT_EQ(*Value("ALLPROFILE.pfd"), all);
  EXPECT_EQ(*Value("ProfileSettingGroup.pfd"), BytesOf(*group));
  EXPECT_FALSE(Value("QDM7140ProfileTest.pfd"));
  EXPECT_FALSE(Value("QDM7140ProfileDef.pfd"));
  EXPECT_EQ(Value("Profile5.pfd")->size(), 109896u);  // the fifth slot is saved
}

TEST_F(ProfileManager, AKeyThatCannotBeOpenedLeavesFactoryValuesInMemory) {
  world.registry.DenyKey(kHkeyCurrentUser, kKey);
  auto dm = Create();
  EXPECT_EQ(dm->FProfileSettingGroup.ProfileIndexOfProfileGroup[1], 1);
  EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 125);
  EXPECT_EQ(File("Profile5.pfd").size(), 109896u);
}

TEST_F(ProfileManager, AKeyThatMayOnlyBeReadGivesItsRecordsAndTakesNoSaveUntilWritable) {
  Create();
  // The user's group record: group 1 current, on slot 3.
  auto group = As<TProfileSettingGroup>(*Value("ProfileSettingGroup.pfd"));
  group->CurrentProfileGroup = 1;
  group->ProfileIndexOfProfileGroup[1] = 3;
  world.registry.SetValue(kHkeyCurrentUser, kKey, "ProfileSettingGroup.pfd", kRegBinary, BytesOf(*group));
  world.registry.SetReadOnly(kHkeyCurrentUser, kKey);
  const int writes = world.registry.writes;

  auto dm = Create();
  dm->LoadProfileGroupSettingInfoFromRegistry();
  EXPECT_EQ(BytesOf(dm->FProfileSettingGroup), BytesOf(*group));
  EXPECT_EQ(dm->FProfileIndex, 3);
  dm->SwitchToProfileGroup(0);
  dm->SaveProfileGroupSettingInfoToRegistry();
  EXPECT_EQ(world.registry.writes, writes);
  EXPECT_TRUE(process.HasDebugLineContaining("cannot be opened for writing"));

  // Writable again: the record read is stored with the new selection.
  world.registry.SetReadOnly(kHkeyCurrentUser, kKey, false);
  dm->SaveProfileGroupSettingInfoToRegistry();
  group->CurrentProfileGroup = 0;
  EXPECT_EQ(*Value("ProfileSettingGroup.pfd"), BytesOf(*group));
}

TEST_F(ProfileManager, NoDocumentsFolderStillStarts) {
  world.files.documents = "";
  auto dm = Create();
  EXPECT_TRUE(process.HasDebugLineContaining("the documents folder is unknown"));
  EXPECT_EQ(globals.HidUsageAndPage, kVendorCollection);
}

}  // namespace
}  // namespace zr
