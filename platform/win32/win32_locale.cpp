#include "platform/win32/win32_locale.h"

#include "platform/win32/win32_text.h"
#include "platform/win32/windows_h.h"

#include <cwchar>
#include <optional>

namespace zr::win32 {
namespace {

// One locale field; nullopt when the locale does not have it.
std::optional<std::string> LocaleField(LCID locale, LCTYPE field) {
  const int n = GetLocaleInfoW(locale, field, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(n), L'\0');
  const int got = GetLocaleInfoW(locale, field, text.data(), n);
  if (got <= 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(got - 1));  // without the terminating zero
  return Narrow(text);
}

// EnumSystemLocalesW hands its callback no context: the list being filled
// is reached through this pointer while the enumeration runs.
thread_local std::vector<TLocaleInfo>* enumerating = nullptr;

BOOL CALLBACK AddLocale(LPWSTR localeId) {
  wchar_t* end = nullptr;
  const auto lcid = static_cast<LCID>(std::wcstoul(localeId, &end, 16));
  if (end == localeId) return TRUE;
  const auto languageId = LocaleField(lcid, LOCALE_ILANGUAGE);
  if (!languageId) return TRUE;
  TLocaleInfo info;
  info.LanguageId = *languageId;
  info.LanguageName = LocaleField(lcid, LOCALE_SLANGUAGE).value_or(std::string());
  info.HasCountryAbbreviation = LocaleField(lcid, LOCALE_SABBREVCTRYNAME).has_value();
  enumerating->push_back(std::move(info));
  return TRUE;
}

}  // namespace

std::string Win32Locale::UserAbbreviatedLanguageName() {
  return LocaleField(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME).value_or(std::string());
}

std::uint16_t Win32Locale::SystemDefaultLanguageId() { return GetSystemDefaultLangID(); }

std::vector<TLocaleInfo> Win32Locale::SupportedLocales() {
  std::vector<TLocaleInfo> locales;
  enumerating = &locales;
  EnumSystemLocalesW(AddLocale, LCID_SUPPORTED);
  enumerating = nullptr;
  return locales;
}

}  // namespace zr::win32
