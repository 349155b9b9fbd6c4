// The language editor: one tab per language of a translation table, each
// with a grid of source texts and their translations, tools to add and
// delete languages and source texts, to paste a whole text list, and to
// save the table as qv.local beside the executable. What the editor does to
// the table, its tabs and rows lives here; a window shows it through
// LanguageEditorView and reports the user's actions back.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lang/qv_language.h"

namespace zr {

struct TEditorRow {
  std::string Source;       // empty below the last source text
  std::string Translation;  // the editable column
};

// One language's tab and its grid.
struct TLanguageTab {
  std::string Caption;  // the locale's language name
  std::string Hint;     // the language's short ID: the locale's language ID
  std::vector<TEditorRow> Rows;
};

class LanguageEditorView {
 public:
  virtual ~LanguageEditorView() = default;
  // The language names of the language list, in enumeration order.
  virtual void ShowLanguageChoices(const std::vector<std::string>& names) = 0;
  // The tabs of the current page and which of them is selected (-1: none).
  virtual void ShowTabs(const std::vector<std::string>& captions, int selected) = 0;
  // The selected tab's grid; null when no tab is selected.
  virtual void ShowGrid(const TLanguageTab* tab) = 0;
  // The text-list popup with an empty memo, modally; its Save button calls
  // SaveTextList.
  virtual void ShowTextListPopup() = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void CloseEditor() = 0;
};

class TqvLanguageDesignForm {
 public:
  static constexpr const char* kCaption = "Language Translate v1.2.1 MERIDAX INC.";
  static constexpr int kClientWidth = 930;
  static constexpr int kClientHeight = 508;
  static constexpr int kSourceColumnWidth = 380;
  static constexpr int kTranslationColumnWidth = 440;
  static constexpr int kTabWidth = 150;
  static constexpr int kTabsPerPage = 8;

  // Edits `language`; without one, a component of its own that reads
  // qv.local beside the executable whole when it is there. What could not
  // be read (of the file, or by the handed component) is shown, and the
  // editor then refuses to save over the file.
  TqvLanguageDesignForm(TTranslationState& state, Platform& platform, LanguageEditorView& view,
                        TqvLanguage* language = nullptr);
  ~TqvLanguageDesignForm();
  TqvLanguageDesignForm(const TqvLanguageDesignForm&) = delete;
  TqvLanguageDesignForm& operator=(const TqvLanguageDesignForm&) = delete;

  // What the user does.
  void AddLanguage(int choice);  // index in the language list
  void DeleteLanguage();
  void PrevPage();
  void NextPage();
  void SelectTabOnPage(int index);
  void AddConstText(std::string_view text);
  void DeleteItemFromList(int row);  // a row of the selected tab's grid
  void EditTranslation(int row, std::string_view text);
  void GetSetTextList();
  // The memo's lines "source=translation" become the source texts and, in
  // the selected tab's language, their translations. Without any such line
  // nothing changes.
  void SaveTextList(const std::vector<std::string>& lines);
  // Writes the tabs' languages to qv.local beside the executable; false (and
  // a message) when the file could not be written, or when the table was
  // not read whole. A message also tells what of the saved table the
  // monitor leaves out (it reads tables only up to its limits).
  bool SaveToLanguageFile();

  const std::vector<TLanguageTab>& Tabs() const { return tabs_; }
  int SelectedTab() const { return selected_; }
  int PageOffset() const { return pageOffset_; }
  TqvLanguage& Language() { return *lang_; }

 private:
  std::string LocalFile() const;
  void ReadLocalFileWhole();
  const TLanguageList* TableLanguage(std::string_view shortId) const;
  TLanguageTab MakeTab(std::string caption, std::string shortId, std::size_t extraRows, bool sourceAsDefault) const;
  // Every grid shows the current source texts again, keeping what was typed
  // into it (`typed` of the selected tab comes first).
  void RefillGrids(const std::vector<TEditorRow>& typed = {});
  void Select(int tab);
  void ShowTabs();

  TTranslationState& state_;
  Platform& platform_;
  LanguageEditorView& view_;
  std::unique_ptr<TqvLanguage> own_;
  TqvLanguage* lang_;
  // What the table's reading left out; saving over qv.local is refused
  // when anything was.
  std::vector<std::string> notLoaded_;
  std::vector<TLanguageTab> tabs_;
  int selected_ = -1;
  int pageOffset_ = 0;
};

}  // namespace zr
