// Factory values of every stored record and the partial resets of the
// current profile. A handler writes only its fields; every other byte keeps
// what it held (zero for a new record, the old profile's bytes on a reset).
//
// A stream shorter than its record (loaded from a shorter stored value) is
// first extended with zeros to the record's size, so that the factory values
// are whole; bytes beyond the record in a longer stream are left alone.
// Nothing is ever written beyond the stream.
#include <cstring>
#include <memory>

#include "profile/cpi_level.h"
#include "profile/catalogue.h"
#include "profile/dm.h"

namespace zr {
namespace {

// Runs `change` on the record held at the start of the stream.
template <class Record, class Change>
void ChangeRecordInStream(TMemoryStream& stream, Change change) {
  if (stream.size() < sizeof(Record)) stream.resize(sizeof(Record), 0);
  auto record = std::make_unique<Record>();
  std::memcpy(record.get(), stream.data(), sizeof(Record));
  change(*record);
  std::memcpy(stream.data(), record.get(), sizeof(Record));
}

void SetFunction(TBUTTONFUNCINFO& f, std::uint16_t button, std::uint16_t index, std::uint8_t functionClass,
                 std::uint32_t kind, std::uint32_t code) {
  f.ButtonIndex = button;
  f.FunctionIndex = index;
  f.FunctionClass = functionClass;
  f.FunctionKind = kind;
  f.FunctionCode = code;
}

// CPIState levels 0..9 and their sensor steps cleared, then the four factory
// levels; the sensor step of a level is the step nearest to its larger axis.
void SetFactoryCpiLevels(TMOUSECONFIGINFO& c) {
  for (int i = 0; i < 10; ++i) {
    c.CPIState[i] = {0, 0, 0};
    c.HWCPIState[i] = {0, 0, 0};
  }
  constexpr std::uint16_t kLevels[4] = {400, 800, 1600, 3500};
  for (int i = 0; i < 4; ++i) {
    c.CPIState[i] = {kLevels[i], kLevels[i], 1};
    c.HWCPIState[i] = SensorStepOf(c.CPIState[i]);
  }
}

}  // namespace

void TDM::qvProfileGame1RestoreToDefault(TMemoryStream& AStream) {
  ChangeRecordInStream<TMOUSEPROFILEINFO>(AStream, [](TMOUSEPROFILEINFO& p) {
    p.ProfileHeader.FFileVersion = 258;
    TMOUSECONFIGINFO& c = p.ConfigInfo;
    c.ButtonCount = 7;
    for (int k = 0; k < 10; ++k) std::memset(c.ButtonFuncInfo[k].FuncData, 0, sizeof c.ButtonFuncInfo[k].FuncData);
    constexpr int kRows[7] = {0, 1, 2, 3, 4, 30, 31};
    for (int k = 0; k < 7; ++k) {
      const auto& row = FunctionCatalogue[kRows[k]];
      SetFunction(c.ButtonFuncInfo[k], static_cast<std::uint16_t>(k), static_cast<std::uint16_t>(row.FunctionIndex),
                  k < 5 ? 1 : 0, static_cast<std::uint32_t>(row.FunctionKind),
                  static_cast<std::uint32_t>(row.FunctionCode));
    }
    SetFunction(c.VWheelButtonFuncInfo[0], 0, 0, 1, 11, 1);  // wheel up
    SetFunction(c.VWheelButtonFuncInfo[1], 1, 1, 1, 12, 2);  // wheel down
    c.HWVWheelValue = 1;
    c.VWheelSpeed = 3;
    c.DoubleClickSpeed = 550;
    c.PointerSpeed = 10;
    c.ReportRate = 125;
    c.CPILevel = 4;
    c.PointerAcceleration = 0;
    c.WheelLedOnOff = 1;
    c.LEDConfig.BRIGHT_LEVEL = 2;
    c.LEDConfig.BREATH_SPEED = 2;
    c.LEDConfig.R = 255;
    c.LEDConfig.G = 0;
    c.LEDConfig.B = 0;
    SetFactoryCpiLevels(c);
    c.CurrentCPIIndex = 1;
    for (int i = 0; i < 4; ++i) c.UseDiffentXY[i] = 1;
    p.MacroKeyInfoList.nMacroInfoCount = 0;
    c.ApplyCPISettingEachProfile = 1;
    c.ApplyAccelaration = 0;
    c.ApplyDiffirentXY = 0;
    c.FireKeySpeed = 10;
    c.FireKeyCount = 2;
  });
}

void TDM::qvProfileSettingGroupRestoreToDefault(TMemoryStream& AStream) {
  ChangeRecordInStream<TProfileSettingGroup>(AStream, [this](TProfileSettingGroup& g) {
    const TOptionsFromConfigFile& o = FOptionsFromConfigFile;
    for (int i = 0; i < kSlotCount; ++i) {
      const std::string n = std::to_string(i + 1);
      TPROFILESETTINGINFO& e = g.ProfileSettingList[i];
      e.SlotState = 0;
      e.StorageMode = 1;
      e.ProfileFileName.SetUtf8(o.ProfileNamePrefix + n + ".pfd");
      e.RegistryFolder.SetUtf8(o.ProfileRegFolder);
      e.FolderPath.SetUtf8(GetProfileFolder());
      // The profile folder ends with a backslash already, so two stand in a row.
      e.MacroFolderPath.SetUtf8(GetProfileFolder() + "\\" + o.ProfileNamePrefix + n + "_Macros");
    }
    g.CurrentProfileGroup = 0;
    g.ProfileIndexOfProfileGroup[0] = 0;
    g.ProfileIndexOfProfileGroup[1] = 1;
  });
}

void TDM::qvProfileAllSettingInfoRestoreToDefault(TMemoryStream& AStream) {
  ChangeRecordInStream<TALLGAMESINFO>(AStream, [](TALLGAMESINFO& a) {
    for (auto& e : a.Allgameset) {
      e.SlotState = 0;
      e.StorageMode = 0;
      e.FolderPath.SetUtf8("");
    }
    a.CurrentGame = 0;
    a.Allgameset[0].SlotState = 1;
    a.CurrentLanguage = 0;
  });
}

void TDM::qvProfileTestRestoreToDefault(TMemoryStream& AStream) {
  if (AStream.empty()) return;
  ChangeRecordInStream<TMOUSEPROFILEINFO>(AStream, [](TMOUSEPROFILEINFO& p) {
    std::memset(&p, 0, sizeof p);
    p.ProfileHeader.FFileVersion = 258;
    TMOUSECONFIGINFO& c = p.ConfigInfo;
    c.ButtonCount = 8;
    for (int k = 0; k < 5; ++k) {
      SetFunction(c.ButtonFuncInfo[k], static_cast<std::uint16_t>(k), static_cast<std::uint16_t>(k), 1,
                  static_cast<std::uint32_t>(FunctionCatalogue[k].FunctionKind), 0);
    }
    for (int k = 5; k < 8; ++k) {
      SetFunction(c.ButtonFuncInfo[k], static_cast<std::uint16_t>(k), 14, 11, 19, 0);
      std::memcpy(&c.ButtonFuncInfo[k].FuncData[3748], &KeyIndexTable[k][1], 3);
    }
  });
}

void TDM::RestoreToDefaultLEDColor(std::int32_t ASlot, TMOUSEPROFILEINFO& AProfileInfo) {
  static constexpr std::uint8_t kColours[5][3] = {{255, 0, 0}, {0, 0, 255}, {255, 255, 0}, {0, 96, 96}, {255, 0, 255}};
  if (!IsProfileIndexInRange(ASlot)) return;
  TLEDCONFIG& led = AProfileInfo.ConfigInfo.LEDConfig;
  led.R = kColours[ASlot][0];
  led.G = kColours[ASlot][1];
  led.B = kColours[ASlot][2];
}

void TDM::RestoreToDefaultCPISetting() {
  TMOUSECONFIGINFO& c = FCurrentProfileInfo.ConfigInfo;
  SetFactoryCpiLevels(c);
  c.CurrentCPIIndex = 1;
  for (int i = 0; i < 4; ++i) c.UseDiffentXY[i] = 0;
  c.ApplyCPISettingEachProfile = 1;
  c.ApplyAccelaration = 0;
  c.ApplyDiffirentXY = 0;
}

void TDM::RestoreToDefaultLightAndReportAdvancedSetting() {
  TMOUSECONFIGINFO& c = FCurrentProfileInfo.ConfigInfo;
  c.ApplyCPISettingEachProfile = 1;
  c.ApplyAccelaration = 1;
  c.ApplyDiffirentXY = 0;
  c.FireKeySpeed = 5;
  c.FireKeyCount = 2;
  c.ReportRate = 125;
  c.LEDConfig.BRIGHT_LEVEL = 2;
  c.LEDConfig.BREATH_SPEED = 2;
  c.LEDConfig.R = 255;
  c.LEDConfig.G = 0;
  c.LEDConfig.B = 0;
  c.WheelLedOnOff = 1;
}

void TDM::RestoreToDefaultReportRateSetting() { FCurrentProfileInfo.ConfigInfo.ReportRate = 125; }

}  // namespace zr
