// config.ini as any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zr::IniFile ini = zr::IniFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)ini.ReadIdList("IncludeHIDDeviceList");
  (void)ini.ReadSectionValues("HelpFiles");
  (void)ini.ReadInteger("OtherConfig", "NoLogo", 0);
  (void)ini.ReadString("options", "ProfileRegFolder", "software\\DAvezodev");
  return 0;
}
