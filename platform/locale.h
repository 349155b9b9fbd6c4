// The platform's locale services: the user's and the system's default
// language and the supported locales.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zr {

struct TLocaleInfo {
  std::string LanguageId;    // four hexadecimal digits, such as "0409"
  std::string LanguageName;  // the locale's localized language name
  bool HasCountryAbbreviation = false;
};

// The platform's locale services.
class LocalePort {
 public:
  virtual ~LocalePort() = default;
  // The user default locale's abbreviated language name, such as "ENU".
  virtual std::string UserAbbreviatedLanguageName() = 0;
  // The system default language ID (for example 0x0409).
  virtual std::uint16_t SystemDefaultLanguageId() = 0;
  virtual std::vector<TLocaleInfo> SupportedLocales() = 0;
};

}  // namespace zr
