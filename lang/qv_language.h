// The translation component: the table that maps source texts (English, as
// written in the code) to their texts in other languages, the current
// language of the program, and the re-translation of everything that shows
// the program's texts.
//
// What the platform's framework keeps process-wide (the current language
// list, the revert flag, the collection list, the form and scene registries,
// the locale tables) lives in one TTranslationState that the program owns,
// so that several programs can run side by side in one simulated world.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"
#include "platform/platform.h"

namespace zr {

// ---- what shows texts ---------------------------------------------------------

// Something that draws texts and re-translates them itself (the framework's
// "scene"): each of its texts becomes TranslateText of the text it holds now.
class TScene {
 public:
  virtual ~TScene() = default;
  virtual void Retranslate() = 0;
};

// A component as the translation walk sees it: a class name, a name, the
// components it owns, and text properties read and written by name
// ("Caption", "Hint").
class TLangComponent {
 public:
  virtual ~TLangComponent() = default;
  virtual std::string ClassName() const = 0;
  virtual std::string Name() const = 0;
  virtual std::vector<TLangComponent*> Components() { return {}; }
  virtual bool IsControl() const { return false; }
  virtual bool IsForm() const { return false; }
  // A form owned by the application object (skipped by the walk).
  virtual bool IsApplicationForm() const { return false; }
  virtual bool IsScene() const { return false; }
  // Empty when the component has no property of that name.
  virtual std::optional<std::string> GetTextProperty(std::string_view name) const {
    (void)name;
    return std::nullopt;
  }
  virtual void SetTextProperty(std::string_view name, std::string_view value) {
    (void)name;
    (void)value;
  }
  // The item list of a special-class control (menu items, tabs, ...);
  // null when it has none.
  virtual std::vector<std::string>* Items() { return nullptr; }
};

// ---- the table ------------------------------------------------------------------

// One language: lines "source=translation", sorted, case-sensitive.
struct TLanguageList {
  std::string Name;                // short ID such as "CH" or "US"
  std::vector<std::string> Lines;  // sorted
  // The translation of the first line whose source part equals `source`
  // (empty when there is none).
  std::string Translate(std::string_view source) const;
  // The source part of the first line whose translation part equals
  // `translated` (empty when there is none).
  std::string Revert(std::string_view translated) const;
  // Replaces the lines of that source text by "source=translated", in sorted
  // place; an empty translation removes them. A source text that is empty or
  // holds "=", and texts with line breaks, cannot be stored and change nothing.
  void SetTranslation(std::string_view source, std::string_view translated);
};

struct TLanguageTable {
  std::vector<std::string> FOriginal;      // source texts, sorted, no duplicates
  std::vector<TLanguageList> FResources;   // in order; names compared without regard to case
  // The first language of that name, letter case ignored; null when absent.
  const TLanguageList* Find(std::string_view name) const;
};

// The stored format (form data "ResourcesBin" and ".Local" files).
std::vector<std::uint8_t> WriteLanguageTable(const TLanguageTable& table);
// Replaces FOriginal and appends every stored language (languages already in
// the table stay). What cannot be read (truncated data, impossible counts or
// lengths) is skipped: a debugger-output line tells what, the rest is kept.
// False when anything was skipped.
bool ReadLanguageTable(std::span<const std::uint8_t> bytes, TLanguageTable& table, System& system);

// ---- process-wide state --------------------------------------------------------------

class TqvLanguage;

class TTranslationState {
 public:
  // The text in the current language; the text itself when there is none.
  std::string TranslateText(std::string_view text);

  void RegisterScene(TScene* scene);
  void UnregisterScene(TScene* scene);
  // Has every registered scene re-translate its texts.
  void RetranslateScenes();
  // Turns the translated texts back into source texts and drops the current
  // language list.
  void RevertTranslation();
  // Makes a copy of `list` the current one (after reverting); none: nothing.
  void ApplyLanguageList(const TLanguageList* list);
  bool HasCurrentLanguage() const { return current_.has_value(); }

  // Forms that own a TqvLanguage, in creation order.
  const std::vector<TLangComponent*>& Forms() const { return forms_; }
  int qvParentFormCount() const { return static_cast<int>(forms_.size()); }

 private:
  friend class TqvLanguage;
  std::optional<TLanguageList> current_;
  bool reverting_ = false;
  std::optional<std::vector<std::string>> collection_;
  std::vector<TScene*> scenes_;
  std::vector<TLangComponent*> forms_;
};

// ---- the component ------------------------------------------------------------------------

class TqvLanguage {
 public:
  using TOnLanguageChanged =
      std::function<void(TqvLanguage& AComponent, const std::string& LanguageShortID, const std::string& LanguageLongName)>;
  using TOnCustomTranslate =
      std::function<void(TLangComponent& AComponent, std::vector<std::string>& ATextList,
                         std::vector<TLangComponent*>& AList, const std::string& BaseName, bool ATranslate)>;

  // Registers the owner form (when given); reads qv.local beside the
  // executable when it exists. The locale tables are built from the
  // platform's list of supported locales when first looked up: enumerating
  // every locale of the system costs time and memory that a program which
  // never names a language does not spend.
  TqvLanguage(TTranslationState& state, Platform& platform, LocalePort& locale, TLangComponent* ownerForm);
  // Removes the owner form from the registry.
  ~TqvLanguage();
  TqvLanguage(const TqvLanguage&) = delete;
  TqvLanguage& operator=(const TqvLanguage&) = delete;

  // The owner form's stored table, read after qv.local: its source texts
  // replace the file's, its languages come after the file's. Then the
  // automatic selection of the user's language runs.
  void LoadFormData(std::span<const std::uint8_t> resourcesBin);

  void SetLang(std::string_view shortId);
  const std::string& Lang() const { return FLanguageName; }
  std::string GetOSDefaultLang();
  int GetLanguageIndexByShortID(std::string_view shortId) const;
  std::string GetLanguageShortIDByIndex(int index) const;
  std::string GetLanguageLongNameByLangID(std::string_view langId) const;
  std::string GetLanguageLongNameByShortID(std::string_view shortId) const;
  void SetActive(bool active);
  bool Active() const { return FActive; }
  void SetActiveLoadFromFile(bool value);
  bool ActiveLoadFromFile() const { return false; }
  void SetAutoSelect(bool value);
  bool AutoSelect() const { return FAutoSelect; }
  void SetCustomClassList(const std::vector<std::string>& list) { FTranslateCustomClassList = list; }
  const std::vector<std::string>& SpecialClassName() const { return FTranslateSpecialClassList; }
  void AddLang(std::string_view name);
  // Reads the file's table when the file exists: its source texts replace
  // the table's, its languages are appended. False when the file is missing
  // or could not be read whole (debugger output tells what was skipped).
  bool LoadFromFile(std::string_view fileName);
  // Replaces the file whole with the table; false (and a debugger-output
  // line) when it cannot be written.
  bool SaveToFile(std::string_view fileName);

  TLanguageTable& Table() { return table_; }
  // The supported locales keyed by language ID, in enumeration order.
  const std::vector<TLocaleInfo>& LocalesByLanguageId() const;
  const TLanguageTable& Table() const { return table_; }

  TOnLanguageChanged OnLanguageChanged;
  TOnCustomTranslate OnCustomTranslate;

 private:
  // Every registered form, in registry order, with write-back.
  void TranslateForms();
  void TranslateForm(TLangComponent& form, bool writeBack);
  void WalkComponent(TLangComponent& component, const std::string& baseName, bool writeBack,
                     std::vector<std::string>& texts, std::vector<TLangComponent*>& visited);
  void TranslateProperties(TLangComponent& component, bool writeBack, std::vector<std::string>& texts);
  void TranslateProperty(TLangComponent& component, std::string_view name, bool writeBack,
                         std::vector<std::string>& texts);
  void TranslateSpecial(TLangComponent& component, bool writeBack, std::vector<std::string>& texts);
  // Reads a table file into the table (languages appended); false when it
  // could not be read whole.
  bool ReadTableFile(std::string_view path);
  void BuildLocaleTables() const;

  TTranslationState& state_;
  Platform& platform_;
  LocalePort& locale_;
  TLangComponent* owner_;  // the registered owner form; null when the owner is none or no form
  TLanguageTable table_;
  std::string FLang;
  bool FActive = false;
  bool FAutoSelect = false;
  std::string FLanguageName;
  std::vector<std::string> FTranslatePropertyList;
  std::vector<std::string> FTranslateSpecialClassList;
  std::vector<std::string> FTranslateCustomClassList;
  mutable bool localesBuilt_ = false;
  mutable std::vector<TLocaleInfo> localesById_;       // keyed by language ID
  mutable std::vector<TLocaleInfo> localesByShortId_;  // keyed by language ID when a country abbreviation exists, else ""
};

// The table embedded in the monitor form, in the stored format.
std::span<const std::uint8_t> EmbeddedLanguageTable();

}  // namespace zr
