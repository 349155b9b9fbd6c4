#include "lang/language_editor.h"

#include <algorithm>
#include <map>

#include "common/paths.h"
#include "common/text.h"
#include "lang/language_table_io.h"

namespace zr {
namespace {

constexpr std::size_t kRowsBeyondSourcesOnOpening = 300;
constexpr std::size_t kRowsBeyondSourcesOnAdding = 100;
constexpr std::size_t kRowsGrowth = 30;
// The editor reads qv.local whole, beyond the monitor's limits; a file
// larger than this is not read (and not saved over).
constexpr std::size_t kLargestTableFile = std::size_t{256} << 20;

std::string Listed(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n- " + line;
  return text;
}

std::map<std::string, std::string> TypedTranslations(const std::vector<TEditorRow>& rows) {
  std::map<std::string, std::string> typed;
  for (const auto& row : rows) {
    if (row.Source.empty()) break;
    typed.emplace(row.Source, row.Translation);
  }
  return typed;
}

}  // namespace

TqvLanguageDesignForm::TqvLanguageDesignForm(TTranslationState& state, Platform& platform, LanguageEditorView& view,
                                             TqvLanguage* language)
    : state_(state), platform_(platform), view_(view), lang_(language) {
  if (lang_ == nullptr) {
    own_ = std::make_unique<TqvLanguage>(state_, platform_, platform_.locale, nullptr, false);
    lang_ = own_.get();
    ReadLocalFileWhole();
  } else {
    notLoaded_ = lang_->LeftOut();
  }
  std::vector<std::string> names;
  for (const TLocaleInfo& locale : lang_->LocalesByLanguageId()) names.push_back(locale.LanguageName);
  view_.ShowLanguageChoices(names);

  // Languages named by a locale's language ID get a tab, the first of each
  // locale only; others ("CH", "US") get none.
  for (const TLanguageList& stored : lang_->Table().FResources) {
    std::string caption = lang_->GetLanguageLongNameByShortID(stored.Name);
    if (caption.empty()) continue;
    const bool hasTab = std::any_of(tabs_.begin(), tabs_.end(), [&](const TLanguageTab& tab) {
      return EqualsIgnoreCase(tab.Hint, stored.Name);
    });
    if (!hasTab) tabs_.push_back(MakeTab(std::move(caption), stored.Name, kRowsBeyondSourcesOnOpening, true));
  }
  Select(tabs_.empty() ? -1 : 0);
  if (!notLoaded_.empty()) {
    view_.ShowMessage("The translation table was not read whole:" + Listed(notLoaded_) +
                      "\nThe editor shows what could be read and will not save over " + LocalFile() +
                      ", so that nothing in it is lost.");
  }
}

TqvLanguageDesignForm::~TqvLanguageDesignForm() = default;

std::string TqvLanguageDesignForm::LocalFile() const {
  return WithTrailingBackslash(platform_.files.ExecutableFolder()) + "qv.local";
}

void TqvLanguageDesignForm::ReadLocalFileWhole() {
  const std::string file = LocalFile();
  if (!platform_.files.FileExists(file)) return;
  const FileReadResult r = platform_.files.ReadFile(file, kLargestTableFile);
  if (!r.ok()) {
    notLoaded_.push_back(file + " could not be read: " + r.error);
    return;
  }
  for (const std::string& what : ReadLanguageTableWithin(r.bytes, lang_->Table(), kWholeTable)) {
    notLoaded_.push_back(file + ": " + what);
  }
}

const TLanguageList* TqvLanguageDesignForm::TableLanguage(std::string_view shortId) const {
  return lang_->Table().Find(shortId);
}

TLanguageTab TqvLanguageDesignForm::MakeTab(std::string caption, std::string shortId, std::size_t extraRows,
                                           bool sourceAsDefault) const {
  TLanguageTab tab{std::move(caption), std::move(shortId), {}};
  const auto& sources = lang_->Table().FOriginal;
  tab.Rows.resize(sources.size() + extraRows);
  const TLanguageList* language = TableLanguage(tab.Hint);
  const auto translations = language != nullptr ? language->Translations() : std::map<std::string_view, std::string_view>();
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const auto found = translations.find(sources[i]);
    std::string translation = found != translations.end() ? std::string(found->second) : std::string();
    if (translation.empty() && sourceAsDefault) translation = sources[i];
    tab.Rows[i] = TEditorRow{sources[i], std::move(translation)};
  }
  return tab;
}

void TqvLanguageDesignForm::RefillGrids(const std::vector<TEditorRow>& typedInSelected) {
  const auto& sources = lang_->Table().FOriginal;
  for (std::size_t t = 0; t < tabs_.size(); ++t) {
    TLanguageTab& tab = tabs_[t];
    auto typed = TypedTranslations(tab.Rows);
    if (static_cast<int>(t) == selected_) {
      for (const auto& row : typedInSelected) typed[row.Source] = row.Translation;
    }
    while (tab.Rows.size() < sources.size()) tab.Rows.resize(tab.Rows.size() + kRowsGrowth);
    const TLanguageList* language = TableLanguage(tab.Hint);
    const auto translations = language != nullptr ? language->Translations() : std::map<std::string_view, std::string_view>();
    for (std::size_t i = 0; i < tab.Rows.size(); ++i) {
      if (i >= sources.size()) {
        tab.Rows[i] = TEditorRow{};
        continue;
      }
      const auto it = typed.find(sources[i]);
      std::string translation = it != typed.end() ? it->second : std::string();
      if (it == typed.end()) {
        const auto found = translations.find(sources[i]);
        if (found != translations.end()) translation = std::string(found->second);
      }
      if (it == typed.end() && translation.empty()) translation = sources[i];
      tab.Rows[i] = TEditorRow{sources[i], std::move(translation)};
    }
  }
  ShowTabs();
}

void TqvLanguageDesignForm::Select(int tab) {
  selected_ = tab;
  const int count = static_cast<int>(tabs_.size());
  pageOffset_ = std::clamp(pageOffset_, 0, std::max(0, count - kTabsPerPage));
  if (selected_ >= 0 && selected_ < pageOffset_) pageOffset_ = selected_;
  if (selected_ >= pageOffset_ + kTabsPerPage) pageOffset_ = selected_ - kTabsPerPage + 1;
  ShowTabs();
}

void TqvLanguageDesignForm::ShowTabs() {
  std::vector<std::string> captions;
  const int end = std::min(static_cast<int>(tabs_.size()), pageOffset_ + kTabsPerPage);
  for (int i = pageOffset_; i < end; ++i) captions.push_back(tabs_[static_cast<std::size_t>(i)].Caption);
  const bool onPage = selected_ >= pageOffset_ && selected_ < end;
  view_.ShowTabs(captions, onPage ? selected_ - pageOffset_ : -1);
  view_.ShowGrid(onPage ? &tabs_[static_cast<std::size_t>(selected_)] : nullptr);
}

void TqvLanguageDesignForm::AddLanguage(int choice) {
  const auto& locales = lang_->LocalesByLanguageId();
  if (choice < 0 || static_cast<std::size_t>(choice) >= locales.size()) return;
  const TLocaleInfo& locale = locales[static_cast<std::size_t>(choice)];
  for (std::size_t i = 0; i < tabs_.size(); ++i) {
    if (tabs_[i].Caption == locale.LanguageName) {
      Select(static_cast<int>(i));
      return;
    }
  }
  tabs_.push_back(MakeTab(locale.LanguageName, locale.LanguageId, kRowsBeyondSourcesOnAdding, false));
  Select(static_cast<int>(tabs_.size()) - 1);
}

void TqvLanguageDesignForm::DeleteLanguage() {
  if (selected_ < 0 || static_cast<std::size_t>(selected_) >= tabs_.size()) return;
  tabs_.erase(tabs_.begin() + selected_);
  Select(selected_ - 1);
}

void TqvLanguageDesignForm::NextPage() {
  if (static_cast<int>(tabs_.size()) - pageOffset_ < kTabsPerPage + 1) return;
  ++pageOffset_;
  ShowTabs();
}

void TqvLanguageDesignForm::PrevPage() {
  if (pageOffset_ <= 0) return;
  --pageOffset_;
  ShowTabs();
}

void TqvLanguageDesignForm::SelectTabOnPage(int index) {
  const int tab = pageOffset_ + index;
  if (index < 0 || index >= kTabsPerPage || tab >= static_cast<int>(tabs_.size())) return;
  Select(tab);
}

void TqvLanguageDesignForm::AddConstText(std::string_view text) {
  auto& sources = lang_->Table().FOriginal;
  // A text with a line break would become several source texts when stored.
  if (text.empty() || text.find_first_of("\r\n") != std::string_view::npos) return;
  const auto at = std::lower_bound(sources.begin(), sources.end(), text);
  if (at != sources.end() && *at == text) return;
  sources.insert(at, std::string(text));
  RefillGrids();
}

void TqvLanguageDesignForm::DeleteItemFromList(int row) {
  auto& sources = lang_->Table().FOriginal;
  if (selected_ < 0 || row < 0 || static_cast<std::size_t>(row) >= sources.size()) return;
  sources.erase(sources.begin() + row);
  for (TLanguageTab& tab : tabs_) {
    if (static_cast<std::size_t>(row) >= tab.Rows.size()) continue;
    tab.Rows.erase(tab.Rows.begin() + row);
    tab.Rows.emplace_back();
  }
  ShowTabs();
}

void TqvLanguageDesignForm::EditTranslation(int row, std::string_view text) {
  if (selected_ < 0) return;
  auto& rows = tabs_[static_cast<std::size_t>(selected_)].Rows;
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return;
  rows[static_cast<std::size_t>(row)].Translation = std::string(text);
}

void TqvLanguageDesignForm::GetSetTextList() {
  if (selected_ >= 0) view_.ShowTextListPopup();
}

void TqvLanguageDesignForm::SaveTextList(const std::vector<std::string>& lines) {
  if (selected_ < 0) return;
  // A memo without a single "source=translation" line would empty every
  // grid: most likely Save was pressed on the empty memo by mistake.
  const bool usable = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    const std::size_t eq = line.find('=');
    return eq != std::string::npos && eq > 0;
  });
  if (!usable) {
    view_.ShowMessage("The text list holds no line of the form text=translation; nothing was changed.");
    return;
  }
  const std::string& shortId = tabs_[static_cast<std::size_t>(selected_)].Hint;
  lang_->AddLang(shortId);
  TLanguageTable& table = lang_->Table();
  auto language = std::find_if(table.FResources.begin(), table.FResources.end(),
                               [&](const TLanguageList& l) { return EqualsIgnoreCase(l.Name, shortId); });
  table.FOriginal.clear();
  std::vector<TEditorRow> pasted;
  std::vector<std::pair<std::string, std::string>> translations;
  for (const std::string& line : lines) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    TEditorRow row{line.substr(0, eq), line.substr(eq + 1)};
    if (!row.Translation.empty() && row.Translation.back() == '\r') row.Translation.pop_back();
    table.FOriginal.push_back(row.Source);
    translations.emplace_back(row.Source, row.Translation);
    pasted.push_back(std::move(row));
  }
  std::sort(table.FOriginal.begin(), table.FOriginal.end());
  table.FOriginal.erase(std::unique(table.FOriginal.begin(), table.FOriginal.end()), table.FOriginal.end());
  language->SetTranslations(translations);
  RefillGrids(pasted);
}

bool TqvLanguageDesignForm::SaveToLanguageFile() {
  const std::string file = LocalFile();
  if (!notLoaded_.empty()) {
    view_.ShowMessage(file + " was not saved: the translation table was not read whole when the editor opened" +
                      Listed(notLoaded_) + "\nSaving would replace what was left out.");
    return false;
  }
  TLanguageTable& table = lang_->Table();
  table.FResources.clear();
  for (const TLanguageTab& tab : tabs_) {
    lang_->AddLang(tab.Hint);
    auto language = std::find_if(table.FResources.begin(), table.FResources.end(),
                                 [&](const TLanguageList& l) { return EqualsIgnoreCase(l.Name, tab.Hint); });
    std::vector<std::pair<std::string, std::string>> rows;
    for (const TEditorRow& row : tab.Rows) {
      if (row.Source.empty()) break;
      rows.emplace_back(row.Source, row.Translation);
    }
    language->SetTranslations(rows);
  }
  // The file is replaced whole: a failed save leaves the previous one.
  const std::vector<std::uint8_t> bytes = WriteLanguageTable(table);
  const IoResult written = platform_.files.ReplaceFile(file, bytes);
  if (!written.ok) {
    view_.ShowMessage(file + " could not be written (" + written.error + "); the previous file is unchanged.");
    return false;
  }
  const std::vector<std::string> cut = WhatTheMonitorLeavesOut(bytes);
  if (!cut.empty()) {
    view_.ShowMessage(file + " was saved whole, but the monitor will not use all of it:" + Listed(cut) +
                      "\nThe texts it leaves out stay in their source language.");
  }
  if (own_ == nullptr) view_.CloseEditor();
  return true;
}

}  // namespace zr
