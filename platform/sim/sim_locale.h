// The locale services of a simulated machine: the user's and the system's
// default language and the list of supported locales, all settable by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/locale.h"

namespace zr::sim {

class SimLocale final : public LocalePort {
 public:
  SimLocale();

  std::string UserAbbreviatedLanguageName() override { return userAbbreviatedLanguageName; }
  std::uint16_t SystemDefaultLanguageId() override { return systemDefaultLanguageId; }
  std::vector<TLocaleInfo> SupportedLocales() override { return supportedLocales; }

  // An English (United States) machine with a handful of other locales.
  std::string userAbbreviatedLanguageName = "ENU";
  std::uint16_t systemDefaultLanguageId = 0x0409;
  std::vector<TLocaleInfo> supportedLocales;
};

}  // namespace zr::sim
