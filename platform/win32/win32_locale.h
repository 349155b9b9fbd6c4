// The locale services of Windows: the user and system default locales and
// the supported locales with their language IDs and names.
#pragma once

#include "platform/locale.h"

namespace zr::win32 {

class Win32Locale final : public LocalePort {
 public:
  std::string UserAbbreviatedLanguageName() override;
  std::uint16_t SystemDefaultLanguageId() override;
  std::vector<TLocaleInfo> SupportedLocales() override;
};

}  // namespace zr::win32
