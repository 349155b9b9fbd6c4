// The storage options and the other options of config.ini.
#pragma once

#include "profile/records.h"
#include "support/ini_file.h"

namespace zr {

// Section "options"; the registry folder is "software\" + the value.
TOptionsFromConfigFile ReadOptionsFromConfigFile(const IniFile& ini);
// Sections "OtherConfig" and "HelpFiles".
TOtherConfig ReadOtherConfig(const IniFile& ini);

}  // namespace zr
