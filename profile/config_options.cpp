#include "profile/config_options.h"

namespace zr {

TOptionsFromConfigFile ReadOptionsFromConfigFile(const IniFile& ini) {
  TOptionsFromConfigFile o;
  o.ProfileRegFolder = "software\\" + ini.ReadString("options", "ProfileRegFolder", "software\\DAvezodev");
  o.ProfileFolder = ini.ReadString("options", "profileFolder", "Profile");
  o.ProfileNamePrefix = ini.ReadString("options", "profilePrefix", "Profile");
  o.ProfileMacroFolder = ini.ReadString("options", "profileMacroFolder", "MacroDB");
  return o;
}

TOtherConfig ReadOtherConfig(const IniFile& ini) {
  TOtherConfig c;
  c.Nologo = ini.ReadInteger("OtherConfig", "NoLogo", 0);
  c.OfficialWebSite = ini.ReadString("OtherConfig", "OfficialWebSite", "");
  c.UpdateWebSite = ini.ReadString("OtherConfig", "UpdateWebSite", "");
  for (auto& [name, value] : ini.ReadSectionValues("HelpFiles")) {
    if (!value.empty()) c.HelpFile.emplace_back(name, value);
  }
  return c;
}

}  // namespace zr
