#include "lang/qv_language.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "common/paths.h"
#include "common/text.h"
#include "lang/language_table_io.h"

namespace zr {
namespace {

// Sets a flag for the lifetime of the object, also when a handler throws.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

template <typename T>
bool Contains(const std::vector<T*>& list, const T* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// Entries are keyed without regard to case; a later locale with the same key
// takes the entry over.
void PutLocale(std::vector<TLocaleInfo>& table, const std::string& key, const TLocaleInfo& locale) {
  for (auto& entry : table) {
    if (EqualsIgnoreCase(entry.LanguageId, key)) {
      entry.LanguageName = locale.LanguageName;
      return;
    }
  }
  table.push_back(TLocaleInfo{key, locale.LanguageName, locale.HasCountryAbbreviation});
}

std::string LookUpLocale(const std::vector<TLocaleInfo>& table, std::string_view key) {
  // Locales whose country abbreviation could not be read share the empty
  // key; no language is named by an empty ID.
  if (key.empty()) return {};
  for (const auto& entry : table) {
    if (EqualsIgnoreCase(entry.LanguageId, key)) return entry.LanguageName;
  }
  return {};
}

}  // namespace

// ---- process-wide state ------------------------------------------------------------

std::string TTranslationState::TranslateText(std::string_view text) {
  if (text.empty()) return {};
  if (collection_) collection_->emplace_back(text);
  if (!current_) return std::string(text);
  std::string result = reverting_ ? current_->Revert(text) : current_->Translate(text);
  if (result.empty()) return std::string(text);
  return result;
}

void TTranslationState::RegisterScene(TScene* scene) {
  if (scene != nullptr && !Contains(scenes_, scene)) scenes_.push_back(scene);
}

void TTranslationState::UnregisterScene(TScene* scene) { std::erase(scenes_, scene); }

void TTranslationState::RetranslateScenes() {
  // A scene may come or go while another re-translates.
  const std::vector<TScene*> scenes = scenes_;
  for (TScene* scene : scenes) {
    if (Contains(scenes_, scene)) scene->Retranslate();
  }
}

void TTranslationState::RevertTranslation() {
  if (!current_) return;
  {
    FlagScope reverting(reverting_);
    RetranslateScenes();
  }
  current_.reset();
}

void TTranslationState::ApplyLanguageList(const TLanguageList* list) {
  if (list == nullptr) return;
  // Copied first: the list may be the current one, which reverting drops.
  TLanguageList copy = *list;
  RevertTranslation();
  current_ = std::move(copy);
  RetranslateScenes();
}

// ---- the component ----------------------------------------------------------------

TqvLanguage::TqvLanguage(TTranslationState& state, Platform& platform, LocalePort& locale,
                         TLangComponent* ownerForm)
    : state_(state), platform_(platform), locale_(locale), owner_(ownerForm) {
  FTranslatePropertyList = {"Caption", "Hint"};
  FTranslateSpecialClassList = {"TMenuItem", "TTabControl", "TTabSheet", "TListView",
                                "TTreeView", "TStatusBar",  "TComboBoxEx", "TqvMenuEx"};
  if (owner_ != nullptr && owner_->IsForm()) {
    state_.forms_.push_back(owner_);
  } else {
    owner_ = nullptr;
  }
  const std::string local = WithTrailingBackslash(platform_.files.ExecutableFolder()) + "qv.local";
  // The table is still empty here: the file's languages come first.
  if (platform_.files.FileExists(local)) ReadTableFile(local);
}

TqvLanguage::~TqvLanguage() {
  if (owner_ == nullptr) return;
  auto& forms = state_.forms_;
  const auto it = std::find(forms.begin(), forms.end(), owner_);
  if (it != forms.end()) forms.erase(it);
}

void TqvLanguage::LoadFormData(std::span<const std::uint8_t> resourcesBin) {
  // A form that stores no table has no data; the file's table stays as read.
  if (!resourcesBin.empty()) ReadLanguageTableFrom(resourcesBin, table_, platform_.system, "form language table");
  // Only a list named exactly as the lower-case prefix is applied: the
  // built-in "CH" and "US" never are. "ch" cannot tell Simplified from
  // Traditional Chinese systems, and the language shown is the one the
  // configuration program stores; until it stores one, texts stay as they
  // are written, as in the configuration program.
  FLang = ToLowerAscii(locale_.UserAbbreviatedLanguageName().substr(0, 2));
  for (const TLanguageList& list : table_.FResources) {
    if (list.Name == FLang) {
      state_.ApplyLanguageList(&list);
      break;
    }
  }
}

void TqvLanguage::SetLang(std::string_view shortId) {
  const std::string id(shortId);
  FLang = id;
  const bool revert = id == "en";
  const bool switches = revert ? state_.HasCurrentLanguage() : table_.Find(id) != nullptr;
  if (switches && state_.HasCurrentLanguage()) {
    // The forms' texts go back to their source texts while the old language
    // is still current; otherwise the new language would find nothing to
    // translate in them.
    FlagScope reverting(state_.reverting_);
    TranslateForms();
  }
  if (revert) {
    state_.RevertTranslation();
  } else {
    state_.ApplyLanguageList(table_.Find(id));
  }
  FLanguageName = id;
  TranslateForms();
  if (OnLanguageChanged) OnLanguageChanged(*this, FLanguageName, GetLanguageLongNameByShortID(FLanguageName));
}

void TqvLanguage::TranslateForms() {
  const std::vector<TLangComponent*> forms = state_.forms_;
  for (TLangComponent* form : forms) {
    if (Contains(state_.forms_, form)) TranslateForm(*form, true);
  }
}

void TqvLanguage::TranslateForm(TLangComponent& form, bool writeBack) {
  std::vector<std::string> texts;
  std::vector<TLangComponent*> visited{&form};
  WalkComponent(form, form.ClassName(), writeBack, texts, visited);
}

void TqvLanguage::WalkComponent(TLangComponent& component, const std::string& baseName, bool writeBack,
                                std::vector<std::string>& texts, std::vector<TLangComponent*>& visited) {
  TranslateProperties(component, writeBack, texts);
  const std::vector<TLangComponent*> owned = component.Components();
  if (owned.empty()) return;
  const std::string base = component.IsForm() ? baseName : baseName + "." + component.Name();
  for (TLangComponent* child : owned) {
    if (child == nullptr) continue;
    const std::string className = child->ClassName();
    if (ContainsIgnoreCase(FTranslateSpecialClassList, className)) {
      TranslateSpecial(*child, writeBack, texts);
    } else if (ContainsIgnoreCase(FTranslateCustomClassList, className)) {
      if (OnCustomTranslate) OnCustomTranslate(*child, texts, visited, base, writeBack);
    } else if (child->IsApplicationForm() || Contains(visited, child)) {
      continue;
    } else if (child->IsScene()) {
      visited.push_back(child);  // scenes translate themselves
    } else {
      visited.push_back(child);
      WalkComponent(*child, base, writeBack, texts, visited);
    }
  }
}

void TqvLanguage::TranslateProperties(TLangComponent& component, bool writeBack, std::vector<std::string>& texts) {
  for (const std::string& name : FTranslatePropertyList) TranslateProperty(component, name, writeBack, texts);
}

void TqvLanguage::TranslateProperty(TLangComponent& component, std::string_view name, bool writeBack,
                                    std::vector<std::string>& texts) {
  std::optional<std::string> value;
  try {
    value = component.GetTextProperty(name);
  } catch (const std::exception&) {
    return;  // a property that cannot be read is left as it is
  }
  if (!value || value->empty()) return;
  texts.push_back(*value);
  const std::string translated = state_.TranslateText(*value);
  if (writeBack && !translated.empty()) component.SetTextProperty(name, translated);
}

// Controls of these classes hold texts beyond their properties: menu items,
// tabs, columns, panels. Their text, hint and items are translated here and
// their owned components are left alone.
void TqvLanguage::TranslateSpecial(TLangComponent& component, bool writeBack, std::vector<std::string>& texts) {
  if (!component.IsControl()) return;
  TranslateProperty(component, "Caption", writeBack, texts);
  TranslateProperty(component, "Hint", writeBack, texts);
  if (std::vector<std::string>* items = component.Items()) {
    for (std::string& item : *items) {
      if (item.empty()) continue;
      texts.push_back(item);
      std::string translated = state_.TranslateText(item);
      if (writeBack) item = std::move(translated);
    }
  }
}

std::string TqvLanguage::GetOSDefaultLang() {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(locale_.SystemDefaultLanguageId()));
  return digits;
}

int TqvLanguage::GetLanguageIndexByShortID(std::string_view shortId) const {
  for (std::size_t i = 0; i < table_.FResources.size(); ++i) {
    if (EqualsIgnoreCase(table_.FResources[i].Name, shortId)) return static_cast<int>(i);
  }
  return -1;
}

std::string TqvLanguage::GetLanguageShortIDByIndex(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= table_.FResources.size()) return {};
  return table_.FResources[static_cast<std::size_t>(index)].Name;
}

void TqvLanguage::BuildLocaleTables() const {
  if (localesBuilt_) return;
  localesBuilt_ = true;
  for (const TLocaleInfo& l : locale_.SupportedLocales()) {
    PutLocale(localesById_, l.LanguageId, l);
    PutLocale(localesByShortId_, l.HasCountryAbbreviation ? l.LanguageId : std::string(), l);
  }
}

const std::vector<TLocaleInfo>& TqvLanguage::LocalesByLanguageId() const {
  BuildLocaleTables();
  return localesById_;
}

std::string TqvLanguage::GetLanguageLongNameByLangID(std::string_view langId) const {
  BuildLocaleTables();
  return LookUpLocale(localesById_, langId);
}

std::string TqvLanguage::GetLanguageLongNameByShortID(std::string_view shortId) const {
  BuildLocaleTables();
  return LookUpLocale(localesByShortId_, shortId);
}

// The language editor that Active opens and the file dialog of
// ActiveLoadFromFile are development tools; at run time Active is only
// stored and ActiveLoadFromFile does nothing.
void TqvLanguage::SetActive(bool active) { FActive = active; }

void TqvLanguage::SetActiveLoadFromFile(bool value) { (void)value; }

void TqvLanguage::SetAutoSelect(bool value) {
  FAutoSelect = value;
  if (value) SetLang(ToLowerAscii(locale_.UserAbbreviatedLanguageName().substr(0, 2)));
}

void TqvLanguage::AddLang(std::string_view name) {
  if (table_.Find(name) != nullptr) return;
  table_.FResources.push_back(TLanguageList{std::string(name), {}});
}

bool TqvLanguage::LoadFromFile(std::string_view fileName) {
  if (!platform_.files.FileExists(fileName)) return false;
  return ReadTableFile(fileName);
}

bool TqvLanguage::ReadTableFile(std::string_view path) {
  const FileReadResult r = platform_.files.ReadFile(path, kMaxLanguageFileBytes);
  if (!r.ok()) {
    if (r.status != FileReadResult::Status::Missing) {
      platform_.system.DebugOutput(std::string(path) + " not read: " + r.error);
    }
    return false;
  }
  return ReadLanguageTableFrom(r.bytes, table_, platform_.system, path);
}

bool TqvLanguage::SaveToFile(std::string_view fileName) {
  const IoResult r = platform_.files.ReplaceFile(fileName, WriteLanguageTable(table_));
  if (!r.ok) platform_.system.DebugOutput(std::string(fileName) + " not written: " + r.error);
  return r.ok;
}

}  // namespace zr
