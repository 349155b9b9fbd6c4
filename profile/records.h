// The records the monitor keeps between runs. Their in-memory layout is their
// stored format, byte for byte (packed, fixed-width, little-endian), and the
// configuration program writes the same records: every filler and every
// field this program does not interpret is carried unchanged.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "profile/fixed_text.h"

static_assert(std::endian::native == std::endian::little, "stored records are little-endian");

namespace zr {

#pragma pack(push, 1)

struct TProfileHeader {
  std::int32_t FFileVersion;  // 258 in every profile this program creates
  std::uint8_t FFileType[8];
  std::uint8_t FFileName[44];
  std::uint32_t FProfileSize;
};

struct TFUNCTIONLIST {
  std::uint8_t FunctionInfo[800];
};

// The function of one device key or wheel direction.
struct TBUTTONFUNCINFO {
  std::uint8_t FuncData[3752];
  std::uint16_t ButtonIndex;
  std::uint16_t FunctionIndex;  // catalogue row (keys) or wheel function number (wheel)
  std::uint8_t FunctionClass;
  std::uint8_t filler[3];
  std::uint32_t FunctionKind;
  std::uint32_t FunctionCode;
  std::uint8_t reserved[4];
};

struct TCPILEVELINFO {
  std::uint16_t X;
  std::uint16_t Y;
  std::uint16_t Enabled;
};

struct TLEDCONFIG {
  std::uint8_t R;
  std::uint8_t G;
  std::uint8_t B;
  std::uint8_t BRIGHT_LEVEL;
  std::uint8_t BREATH_SPEED;
  std::uint8_t BREATH_SECOND;
};

struct TSENSORLIFT {
  std::uint8_t SensorLift;
};

struct TPROFILE_MACRO_PATH {
  std::uint8_t FilePath[1026];
};

struct TMOUSECONFIGINFO {
  TBUTTONFUNCINFO ButtonFuncInfo[15];       // entry k: the key whose key index is k
  TBUTTONFUNCINFO VWheelButtonFuncInfo[2];  // 0 wheel up, 1 wheel down
  TBUTTONFUNCINFO HWheelButtonFuncInfo[2];
  std::uint16_t VWheelType;
  std::uint16_t HWheelType;
  std::uint16_t VWheelSpeed;
  std::uint16_t HWheelSpeed;
  std::int8_t HWVWheelValue;
  std::int8_t WheelLedOnOff;
  std::uint16_t DoubleClickSpeed;
  std::uint16_t PointerSpeed;
  std::uint16_t PointerAcceleration;
  std::uint16_t UseSystemPointerSpeedSetting;
  std::uint16_t ReportRate;
  std::int32_t CurrentCPIIndex;
  std::uint16_t CurrentCPIX;
  std::uint16_t CurrentCPIY;
  std::uint16_t MinCPI;
  std::uint16_t MaxCPI;
  std::uint16_t UseDiffentXY[11];
  std::uint16_t UseCPIOnScreenFlyShow;
  TCPILEVELINFO CPIState[11];
  TCPILEVELINFO HWCPIState[11];
  std::uint16_t CPILevel;
  std::uint16_t AutoSwitchProfileWhenAppRun;
  std::uint8_t ApplicationList[10260];
  TLEDCONFIG LEDConfig;
  TSENSORLIFT Sensorlift;
  std::uint8_t filler;
  std::int32_t ButtonCount;
  TPROFILE_MACRO_PATH ProfilePath;
  TPROFILE_MACRO_PATH MacroPath;
  std::int32_t ApplyCPISettingEachProfile;
  std::int32_t ApplyAccelaration;
  std::int32_t ApplyDiffirentXY;
  std::int32_t FireKeySpeed;
  std::int32_t FireKeyCount;
};

struct TMACROKEYSTEP {
  std::uint16_t StepType;  // 1 mouse button, 3 wheel, 4 keyboard key, 6 delay
  std::uint16_t StepState;
  std::uint8_t StepValue;
  std::uint8_t StepExtra;
};

struct TMACROKEYINFO {
  TMACROKEYSTEP MacroList[128];
  std::int32_t MacroListCount;
  std::uint16_t nAutoAddDelay;
  std::uint16_t nLoopCount;
  std::uint16_t nMacroIndex;
  std::uint8_t MacroUse;
  std::uint8_t filler;
  std::uint8_t szMacroName[100];
  std::uint32_t Version;
  std::int32_t HaveErrors;
  std::int32_t ErrorCount;
};

struct TMACROKEYINFOLIST {
  TMACROKEYINFO MacroInfos[21];
  std::uint16_t nMacroInfoCount;
  std::uint8_t filler[2];
};

struct TMACROINFOLIST_TO_DEVICE {
  std::uint8_t MacroInfos[4460];
  std::uint16_t nMacroInfoCount;
  std::uint8_t filler[2];
};

// The stored form of TOtherConfig: eight 4-byte slots. The three slots of the
// texts hold zero in every profile this program writes and are never taken as
// references when a profile is loaded.
struct TOtherConfigStored {
  std::int32_t ShowNumLock;
  std::int32_t ShowCapsLock;
  std::int32_t ShowScrollLock;
  std::int32_t ShowLockStatePop;
  std::uint32_t HelpFile;
  std::int32_t Nologo;
  std::uint32_t OfficialWebSite;
  std::uint32_t UpdateWebSite;
};

// One game profile.
struct TMOUSEPROFILEINFO {
  TProfileHeader ProfileHeader;
  TFUNCTIONLIST FunctionList;
  TMOUSECONFIGINFO ConfigInfo;
  TFUNCTIONLIST HWheelFunctionList;
  TFUNCTIONLIST VWheelFunctionList;
  TMACROKEYINFOLIST MacroKeyInfoList;
  TMACROINFOLIST_TO_DEVICE MacroInfoToDevice;
  TOtherConfigStored OtherConfig;
};

// Where one profile slot is stored.
struct TPROFILESETTINGINFO {
  std::uint16_t SlotState;
  Utf16Text<1024> FolderPath;
  Utf16Text<1024> RegistryFolder;
  Utf16Text<21> ProfileFileName;  // also the name of the slot's registry value
  Utf16Text<1024> MacroFolderPath;
  std::uint8_t StorageMode;  // 0 registry value, 1 file, other: not loaded
  std::uint8_t filler;
};

// The global settings.
struct TALLGAMESINFO {
  TPROFILESETTINGINFO Allgameset[5];
  std::uint8_t filler[2];
  std::int32_t CurrentGame;
  std::int32_t CurrentLanguage;
};

// The profile-group selection and the slots' storage settings.
struct TProfileSettingGroup {
  std::int32_t CurrentProfileGroup;
  std::int32_t ProfileIndexOfProfileGroup[2];
  TPROFILESETTINGINFO ProfileSettingList[5];
  std::uint8_t filler[2];
};

struct THID_CODE_INFO {
  std::uint16_t nKeyValue1;
  std::uint16_t nKeyValue2;
  std::uint16_t nModifier;
};

struct TCOMBOKEYINFO {
  std::uint16_t nKeyValue1;
  std::uint16_t nKey1Extended;
  std::uint16_t nKeyValue2;
  std::uint16_t nKey2Extended;
  std::uint16_t nModifier;
};

#pragma pack(pop)

// Options of the sections "OtherConfig" and "HelpFiles", in memory.
struct TOtherConfig {
  std::int32_t ShowNumLock = 0;
  std::int32_t ShowCapsLock = 0;
  std::int32_t ShowScrollLock = 0;
  std::int32_t ShowLockStatePop = 0;
  std::vector<std::pair<std::string, std::string>> HelpFile;  // name=value pairs
  std::int32_t Nologo = 0;
  std::string OfficialWebSite;
  std::string UpdateWebSite;
};

// Storage options of the section "options".
struct TOptionsFromConfigFile {
  std::string ProfileRegFolder;
  std::string ProfileFolder;
  std::string ProfileNamePrefix;
  std::string ProfileMacroFolder;
};

// ---- layout checks -------------------------------------------------------

static_assert(sizeof(TProfileHeader) == 60);
static_assert(offsetof(TProfileHeader, FFileType) == 4);
static_assert(offsetof(TProfileHeader, FFileName) == 12);
static_assert(offsetof(TProfileHeader, FProfileSize) == 56);
static_assert(sizeof(TFUNCTIONLIST) == 800);

static_assert(sizeof(TBUTTONFUNCINFO) == 3772);
static_assert(offsetof(TBUTTONFUNCINFO, ButtonIndex) == 3752);
static_assert(offsetof(TBUTTONFUNCINFO, FunctionIndex) == 3754);
static_assert(offsetof(TBUTTONFUNCINFO, FunctionClass) == 3756);
static_assert(offsetof(TBUTTONFUNCINFO, filler) == 3757);
static_assert(offsetof(TBUTTONFUNCINFO, FunctionKind) == 3760);
static_assert(offsetof(TBUTTONFUNCINFO, FunctionCode) == 3764);
static_assert(offsetof(TBUTTONFUNCINFO, reserved) == 3768);

static_assert(sizeof(TCPILEVELINFO) == 6);
static_assert(offsetof(TCPILEVELINFO, Y) == 2);
static_assert(offsetof(TCPILEVELINFO, Enabled) == 4);
static_assert(sizeof(TLEDCONFIG) == 6);
static_assert(offsetof(TLEDCONFIG, BRIGHT_LEVEL) == 3);
static_assert(offsetof(TLEDCONFIG, BREATH_SECOND) == 5);
static_assert(sizeof(TSENSORLIFT) == 1);
static_assert(sizeof(TPROFILE_MACRO_PATH) == 1026);

static_assert(sizeof(TMOUSECONFIGINFO) == 84204);
static_assert(offsetof(TMOUSECONFIGINFO, VWheelButtonFuncInfo) == 56580);
static_assert(offsetof(TMOUSECONFIGINFO, HWheelButtonFuncInfo) == 64124);
static_assert(offsetof(TMOUSECONFIGINFO, VWheelType) == 71668);
static_assert(offsetof(TMOUSECONFIGINFO, HWheelType) == 71670);
static_assert(offsetof(TMOUSECONFIGINFO, VWheelSpeed) == 71672);
static_assert(offsetof(TMOUSECONFIGINFO, HWheelSpeed) == 71674);
static_assert(offsetof(TMOUSECONFIGINFO, HWVWheelValue) == 71676);
static_assert(offsetof(TMOUSECONFIGINFO, WheelLedOnOff) == 71677);
static_assert(offsetof(TMOUSECONFIGINFO, DoubleClickSpeed) == 71678);
static_assert(offsetof(TMOUSECONFIGINFO, PointerSpeed) == 71680);
static_assert(offsetof(TMOUSECONFIGINFO, PointerAcceleration) == 71682);
static_assert(offsetof(TMOUSECONFIGINFO, UseSystemPointerSpeedSetting) == 71684);
static_assert(offsetof(TMOUSECONFIGINFO, ReportRate) == 71686);
static_assert(offsetof(TMOUSECONFIGINFO, CurrentCPIIndex) == 71688);
static_assert(offsetof(TMOUSECONFIGINFO, CurrentCPIX) == 71692);
static_assert(offsetof(TMOUSECONFIGINFO, CurrentCPIY) == 71694);
static_assert(offsetof(TMOUSECONFIGINFO, MinCPI) == 71696);
static_assert(offsetof(TMOUSECONFIGINFO, MaxCPI) == 71698);
static_assert(offsetof(TMOUSECONFIGINFO, UseDiffentXY) == 71700);
static_assert(offsetof(TMOUSECONFIGINFO, UseCPIOnScreenFlyShow) == 71722);
static_assert(offsetof(TMOUSECONFIGINFO, CPIState) == 71724);
static_assert(offsetof(TMOUSECONFIGINFO, HWCPIState) == 71790);
static_assert(offsetof(TMOUSECONFIGINFO, CPILevel) == 71856);
static_assert(offsetof(TMOUSECONFIGINFO, AutoSwitchProfileWhenAppRun) == 71858);
static_assert(offsetof(TMOUSECONFIGINFO, ApplicationList) == 71860);
static_assert(offsetof(TMOUSECONFIGINFO, LEDConfig) == 82120);
static_assert(offsetof(TMOUSECONFIGINFO, Sensorlift) == 82126);
static_assert(offsetof(TMOUSECONFIGINFO, filler) == 82127);
static_assert(offsetof(TMOUSECONFIGINFO, ButtonCount) == 82128);
static_assert(offsetof(TMOUSECONFIGINFO, ProfilePath) == 82132);
static_assert(offsetof(TMOUSECONFIGINFO, MacroPath) == 83158);
static_assert(offsetof(TMOUSECONFIGINFO, ApplyCPISettingEachProfile) == 84184);
static_assert(offsetof(TMOUSECONFIGINFO, ApplyAccelaration) == 84188);
static_assert(offsetof(TMOUSECONFIGINFO, ApplyDiffirentXY) == 84192);
static_assert(offsetof(TMOUSECONFIGINFO, FireKeySpeed) == 84196);
static_assert(offsetof(TMOUSECONFIGINFO, FireKeyCount) == 84200);

static_assert(sizeof(TMACROKEYSTEP) == 6);
static_assert(offsetof(TMACROKEYSTEP, StepState) == 2);
static_assert(offsetof(TMACROKEYSTEP, StepValue) == 4);
static_assert(offsetof(TMACROKEYSTEP, StepExtra) == 5);
static_assert(sizeof(TMACROKEYINFO) == 892);
static_assert(offsetof(TMACROKEYINFO, MacroListCount) == 768);
static_assert(offsetof(TMACROKEYINFO, nAutoAddDelay) == 772);
static_assert(offsetof(TMACROKEYINFO, nLoopCount) == 774);
static_assert(offsetof(TMACROKEYINFO, nMacroIndex) == 776);
static_assert(offsetof(TMACROKEYINFO, MacroUse) == 778);
static_assert(offsetof(TMACROKEYINFO, filler) == 779);
static_assert(offsetof(TMACROKEYINFO, szMacroName) == 780);
static_assert(offsetof(TMACROKEYINFO, Version) == 880);
static_assert(offsetof(TMACROKEYINFO, HaveErrors) == 884);
static_assert(offsetof(TMACROKEYINFO, ErrorCount) == 888);
static_assert(sizeof(TMACROKEYINFOLIST) == 18736);
static_assert(offsetof(TMACROKEYINFOLIST, nMacroInfoCount) == 18732);
static_assert(offsetof(TMACROKEYINFOLIST, filler) == 18734);
static_assert(sizeof(TMACROINFOLIST_TO_DEVICE) == 4464);
static_assert(offsetof(TMACROINFOLIST_TO_DEVICE, nMacroInfoCount) == 4460);
static_assert(offsetof(TMACROINFOLIST_TO_DEVICE, filler) == 4462);

static_assert(sizeof(TOtherConfigStored) == 32);
static_assert(offsetof(TOtherConfigStored, HelpFile) == 16);
static_assert(offsetof(TOtherConfigStored, Nologo) == 20);
static_assert(offsetof(TOtherConfigStored, UpdateWebSite) == 28);

static_assert(sizeof(TMOUSEPROFILEINFO) == 109896);
static_assert(offsetof(TMOUSEPROFILEINFO, FunctionList) == 60);
static_assert(offsetof(TMOUSEPROFILEINFO, ConfigInfo) == 860);
static_assert(offsetof(TMOUSEPROFILEINFO, HWheelFunctionList) == 85064);
static_assert(offsetof(TMOUSEPROFILEINFO, VWheelFunctionList) == 85864);
static_assert(offsetof(TMOUSEPROFILEINFO, MacroKeyInfoList) == 86664);
static_assert(offsetof(TMOUSEPROFILEINFO, MacroInfoToDevice) == 105400);
static_assert(offsetof(TMOUSEPROFILEINFO, OtherConfig) == 109864);
// Offsets inside a profile of the fields the monitor interprets.
static_assert(offsetof(TMOUSEPROFILEINFO, ConfigInfo.VWheelButtonFuncInfo) == 57440);
static_assert(offsetof(TMOUSEPROFILEINFO, ConfigInfo.CPIState) == 72584);
static_assert(offsetof(TMOUSEPROFILEINFO, ConfigInfo.HWCPIState) == 72650);
static_assert(offsetof(TMOUSEPROFILEINFO, ConfigInfo.LEDConfig) == 82980);
static_assert(offsetof(TMOUSEPROFILEINFO, ConfigInfo.FireKeyCount) == 85060);

static_assert(sizeof(TPROFILESETTINGINFO) == 6190);
static_assert(offsetof(TPROFILESETTINGINFO, FolderPath) == 2);
static_assert(offsetof(TPROFILESETTINGINFO, RegistryFolder) == 2050);
static_assert(offsetof(TPROFILESETTINGINFO, ProfileFileName) == 4098);
static_assert(offsetof(TPROFILESETTINGINFO, MacroFolderPath) == 4140);
static_assert(offsetof(TPROFILESETTINGINFO, StorageMode) == 6188);
static_assert(offsetof(TPROFILESETTINGINFO, filler) == 6189);

static_assert(sizeof(TALLGAMESINFO) == 30960);
static_assert(offsetof(TALLGAMESINFO, filler) == 30950);
static_assert(offsetof(TALLGAMESINFO, CurrentGame) == 30952);
static_assert(offsetof(TALLGAMESINFO, CurrentLanguage) == 30956);

static_assert(sizeof(TProfileSettingGroup) == 30964);
static_assert(offsetof(TProfileSettingGroup, ProfileIndexOfProfileGroup) == 4);
static_assert(offsetof(TProfileSettingGroup, ProfileSettingList) == 12);
static_assert(offsetof(TProfileSettingGroup, filler) == 30962);

static_assert(sizeof(THID_CODE_INFO) == 6);
static_assert(offsetof(THID_CODE_INFO, nKeyValue2) == 2);
static_assert(offsetof(THID_CODE_INFO, nModifier) == 4);
static_assert(sizeof(TCOMBOKEYINFO) == 10);
static_assert(offsetof(TCOMBOKEYINFO, nKey1Extended) == 2);
static_assert(offsetof(TCOMBOKEYINFO, nKeyValue2) == 4);
static_assert(offsetof(TCOMBOKEYINFO, nKey2Extended) == 6);
static_assert(offsetof(TCOMBOKEYINFO, nModifier) == 8);

}  // namespace zr
