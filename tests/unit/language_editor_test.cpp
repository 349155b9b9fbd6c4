// The language editor over the simulated platform: tabs built from a table,
// paging, source texts added and deleted, the pasted text list, and the
// saved qv.local.
#include <gtest/gtest.h>

#include "lang/language_editor.h"
#include "lang/language_table_io.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

struct View : LanguageEditorView {
  void ShowLanguageChoices(const std::vector<std::string>& names) override { choices = names; }
  void ShowTabs(const std::vector<std::string>& c, int s) override {
    captions = c;
    selected = s;
  }
  void ShowGrid(const TLanguageTab* tab) override { grid = tab; }
  void ShowTextListPopup() override { ++popups; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void CloseEditor() override { closed = true; }

  std::vector<std::string> choices, captions, messages;
  int selected = -2;
  const TLanguageTab* grid = nullptr;
  int popups = 0;
  bool closed = false;
};

class Editor : public ::testing::Test {
 protected:
  std::string Local() const { return process.ExeFolder() + "qv.local"; }
  void PutTable(const TLanguageTable& t) { world.files.PutFile(Local(), WriteLanguageTable(t)); }
  TLanguageTable SavedTable() {
    TLanguageTable t;
    EXPECT_TRUE(ReadLanguageTableWithin(*world.files.GetFile(Local()), t, kWholeTable).empty());
    return t;
  }
  std::unique_ptr<TqvLanguageDesignForm> Open() {
    return std::make_unique<TqvLanguageDesignForm>(state, process.platform(), view);
  }
  std::vector<std::string> Column(const TLanguageTab& tab, bool translation, std::size_t rows) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < rows; ++i) out.push_back(translation ? tab.Rows[i].Translation : tab.Rows[i].Source);
    return out;
  }

  sim::SimWorld world;
  sim::SimProcess process{world};
  TTranslationState state;
  View view;
};

TEST_F(Editor, LanguagesNotNamedByALocaleGetNoTabAndAreNotSaved) {
  PutTable({{"Config", "Exit"}, {{"CH", {"Exit=退出"}}, {"US", {"Exit=Quit"}}}});
  auto editor = Open();
  EXPECT_TRUE(editor->Tabs().empty());
  EXPECT_TRUE(view.captions.empty());
  EXPECT_EQ(view.grid, nullptr);
  EXPECT_EQ(view.choices.front(), "English (United States)");
  ASSERT_TRUE(editor->SaveToLanguageFile());
  const TLanguageTable saved = SavedTable();
  EXPECT_EQ(saved.FOriginal, (std::vector<std::string>{"Config", "Exit"}));
  EXPECT_TRUE(saved.FResources.empty());
  EXPECT_FALSE(view.closed);  // the editor's own component: it stays open
}

TEST_F(Editor, TabsShowEachLocaleOnceAndSaveWhatWasTyped) {
  PutTable({{"Config", "Exit", "Save"},
            {{"CH", {"Exit=退出"}}, {"0804", {"Exit=退出"}}, {"0407", {}}, {"0804", {"Exit=Other"}}}});
  auto editor = Open();
  ASSERT_EQ(view.captions, (std::vector<std::string>{"Chinese (Simplified, China)", "German (Germany)"}));
  EXPECT_EQ(view.selected, 0);
  ASSERT_EQ(view.grid, &editor->Tabs()[0]);
  EXPECT_EQ(view.grid->Hint, "0804");
  EXPECT_EQ(view.grid->Rows.size(), 3u + 300u);
  // No translation: the source text itself.
  EXPECT_EQ(Column(*view.grid, true, 4), (std::vector<std::string>{"Config", "退出", "Save", ""}));

  editor->EditTranslation(0, "设置");
  editor->SelectTabOnPage(1);
  editor->EditTranslation(1, "Beenden");
  ASSERT_TRUE(editor->SaveToLanguageFile());
  const TLanguageTable saved = SavedTable();
  ASSERT_EQ(saved.FResources.size(), 2u);
  EXPECT_EQ(saved.FResources[0].Name, "0804");
  EXPECT_EQ(saved.FResources[0].Lines, (std::vector<std::string>{"Config=设置", "Exit=退出", "Save=Save"}));
  EXPECT_EQ(saved.FResources[1].Name, "0407");
  EXPECT_EQ(saved.FResources[1].Lines, (std::vector<std::string>{"Config=Config", "Exit=Beenden", "Save=Save"}));
}

TEST_F(Editor, NextPageMovesOnOnlyWhileMoreThanAPageLiesAhead) {
  struct Case {
    int tabs;
    int nextPresses;
    int prevPresses;
    int offset;
  };
  for (const Case c : {Case{9, 1, 0, 1}, Case{8, 1, 0, 0}, Case{9, 2, 0, 1}, Case{10, 2, 1, 1}, Case{9, 0, 1, 0}}) {
    SCOPED_TRACE(testing::Message() << c.tabs << " tabs, " << c.nextPresses << " next, " << c.prevPresses
                                    << " prev");
    world.locale.supportedLocales.clear();
    TLanguageTable t{{"Text"}, {}};
    for (int i = 0; i < c.tabs; ++i) {
      const std::string id = "04" + std::to_string(10 + i);
      world.locale.supportedLocales.push_back({id, "Language " + std::to_string(i + 1), true});
      t.FResources.push_back({id, {}});
    }
    PutTable(t);
    auto editor = Open();
    for (int i = 0; i < c.nextPresses; ++i) editor->NextPage();
    for (int i = 0; i < c.prevPresses; ++i) editor->PrevPage();
    EXPECT_EQ(editor->PageOffset(), c.offset);
    ASSERT_EQ(view.captions.size(), std::min(8u, static_cast<unsigned>(c.tabs)));
    EXPECT_EQ(view.captions.front(), "Language " + std::to_string(c.offset + 1));
  }
}

TEST_F(Editor, AddConstTextAddsANewTextOnceAndKeepsWhatWasTyped) {
  PutTable({{"Config", "Exit"}, {{"0804", {}}, {"0407", {}}}});
  auto editor = Open();
  editor->EditTranslation(1, "退出");
  for (const char* text : {"Exit", "", "Two\r\nlines"}) editor->AddConstText(text);
  EXPECT_EQ(editor->Language().Table().FOriginal, (std::vector<std::string>{"Config", "Exit"}));
  editor->AddConstText("About");
  EXPECT_EQ(editor->Language().Table().FOriginal, (std::vector<std::string>{"About", "Config", "Exit"}));
  for (const TLanguageTab& tab : editor->Tabs()) {
    EXPECT_EQ(Column(tab, false, 4), (std::vector<std::string>{"About", "Config", "Exit", ""}));
  }
  EXPECT_EQ(Column(editor->Tabs()[0], true, 3), (std::vector<std::string>{"About", "Config", "退出"}));
  EXPECT_EQ(Column(editor->Tabs()[1], true, 3), (std::vector<std::string>{"About", "Config", "Exit"}));
}

TEST_F(Editor, DeletingASourceTextMovesTheRowsBelowItUpInEveryGrid) {
  PutTable({{"A", "B", "C"}, {{"0804", {"B=b", "C=c"}}, {"0407", {"C=z"}}}});
  auto editor = Open();
  const std::size_t rows = editor->Tabs()[0].Rows.size();
  editor->DeleteItemFromList(1);
  EXPECT_EQ(editor->Language().Table().FOriginal, (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(Column(editor->Tabs()[0], true, 3), (std::vector<std::string>{"A", "c", ""}));
  EXPECT_EQ(Column(editor->Tabs()[1], true, 3), (std::vector<std::string>{"A", "z", ""}));
  EXPECT_EQ(editor->Tabs()[0].Rows.size(), rows);
  editor->DeleteItemFromList(2);  // no source text there
  EXPECT_EQ(editor->Language().Table().FOriginal.size(), 2u);
}

TEST_F(Editor, ThePastedTextListGoesToTheSelectedTabsLanguage) {
  // "CH" comes first in the table but has no tab: the first tab's language
  // is the second in the table.
  PutTable({{"Old"}, {{"CH", {}}, {"0804", {}}, {"0407", {}}}});
  auto editor = Open();
  editor->SelectTabOnPage(1);
  editor->SelectTabOnPage(0);
  editor->GetSetTextList();
  EXPECT_EQ(view.popups, 1);
  editor->SaveTextList({"no equals sign"});  // nothing to take: nothing changes
  EXPECT_EQ(editor->Language().Table().FOriginal, (std::vector<std::string>{"Old"}));
  EXPECT_EQ(view.messages.size(), 1u);
  editor->SaveTextList({"Exit=退出", "no equals sign", "=nothing", "Config=设置"});
  EXPECT_EQ(editor->Language().Table().FOriginal, (std::vector<std::string>{"Config", "Exit"}));
  EXPECT_EQ(editor->Language().Table().Find("0804")->Lines, (std::vector<std::string>{"Config=设置", "Exit=退出"}));
  EXPECT_TRUE(editor->Language().Table().Find("CH")->Lines.empty());
  EXPECT_EQ(Column(editor->Tabs()[0], true, 2), (std::vector<std::string>{"设置", "退出"}));
  EXPECT_EQ(Column(editor->Tabs()[1], true, 3), (std::vector<std::string>{"Config", "Exit", ""}));
}

TEST_F(Editor, AddingAndDeletingLanguages) {
  PutTable({{"Exit"}, {{"0407", {}}}});
  auto editor = Open();
  editor->AddLanguage(0);  // English (United States)
  ASSERT_EQ(view.captions, (std::vector<std::string>{"German (Germany)", "English (United States)"}));
  EXPECT_EQ(view.selected, 1);
  EXPECT_EQ(view.grid->Rows.size(), 1u + 100u);
  EXPECT_EQ(view.grid->Rows[0].Translation, "");
  editor->AddLanguage(4);  // German again: its tab is selected
  EXPECT_EQ(editor->Tabs().size(), 2u);
  EXPECT_EQ(view.selected, 0);
  editor->DeleteLanguage();
  EXPECT_EQ(view.captions, (std::vector<std::string>{"English (United States)"}));
  EXPECT_EQ(view.selected, -1);
  editor->GetSetTextList();
  EXPECT_EQ(view.popups, 0);  // no tab selected
  ASSERT_TRUE(editor->SaveToLanguageFile());
  ASSERT_EQ(SavedTable().FResources.size(), 1u);
  EXPECT_EQ(SavedTable().FResources[0].Name, "0409");
}

TEST_F(Editor, AFailedSaveIsReportedAndKeepsThePreviousFile) {
  PutTable({{"Exit"}, {{"0407", {"Exit=Beenden"}}}});
  const auto before = world.files.GetFile(Local());
  auto editor = Open();
  world.files.FailWritesAfterBytes(0);
  EXPECT_FALSE(editor->SaveToLanguageFile());
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(world.files.GetFile(Local()), before);
}

// Eight languages of 1100 texts hold more lines than the monitor reads, and
// long texts more bytes: the editor keeps them all and says what the
// monitor will leave out.
TEST_F(Editor, ATableBeyondTheMonitorsLimitsIsSavedWholeAndTheCutIsTold) {
  struct Case {
    int languages, texts;
    std::size_t textLength;
    const char* told;  // null: nothing to tell
  };
  for (const Case c : {Case{8, 1100, 8, "1708 lines beyond the table's 8192 dropped"},
                       Case{2, 60, 5000, "is not read at all"}, Case{2, 60, 8, nullptr}}) {
    SCOPED_TRACE(c.texts * c.languages);
    TLanguageTable t;
    for (int i = 0; i < c.texts; ++i) {
      t.FOriginal.push_back(std::to_string(10000 + i) + std::string(c.textLength, 's'));
    }
    world.locale.supportedLocales.clear();
    for (int l = 0; l < c.languages; ++l) {
      const std::string id = "04" + std::to_string(10 + l);
      world.locale.supportedLocales.push_back({id, "Language " + id, true});
      t.FResources.push_back({id, {}});
      for (const std::string& text : t.FOriginal) t.FResources.back().Lines.push_back(text + "=" + text + "t");
    }
    PutTable(t);
    view.messages.clear();
    auto editor = Open();
    EXPECT_TRUE(view.messages.empty());
    ASSERT_TRUE(editor->SaveToLanguageFile());
    const TLanguageTable saved = SavedTable();
    EXPECT_EQ(saved.FOriginal, t.FOriginal);
    ASSERT_EQ(saved.FResources.size(), t.FResources.size());
    for (std::size_t l = 0; l < t.FResources.size(); ++l) EXPECT_EQ(saved.FResources[l].Lines, t.FResources[l].Lines);
    if (c.told == nullptr) {
      EXPECT_TRUE(view.messages.empty());
    } else {
      ASSERT_EQ(view.messages.size(), 1u);
      EXPECT_NE(view.messages[0].find(c.told), std::string::npos) << view.messages[0];
    }
  }
}

TEST_F(Editor, ATableNotReadWholeIsToldAndNeverSavedOver) {
  TLanguageTable t{{"Config", "Exit"}, {{"0407", {"Config=Einstellungen", "Exit=Beenden"}}}};
  const std::vector<std::uint8_t> whole = WriteLanguageTable(t);
  struct Case {
    const char* name;
    std::function<void()> arrange;
    bool handed;  // a component that read qv.local within the monitor's limits
  };
  const Case cases[] = {
      {"cut short", [&] { world.files.PutFile(Local(), {whole.begin(), whole.end() - 3}); }, false},
      {"bytes after the table", [&] {
         auto bytes = whole;
         bytes.push_back(0x41);
         world.files.PutFile(Local(), bytes);
       }, false},
      {"unreadable", [&] {
         world.files.PutFile(Local(), whole);
         world.files.SetUnreadable(Local());
       }, false},
      {"handed, beyond its limits", [&] {
         TLanguageTable big{{}, {{"0407", {}}}};
         for (std::size_t i = 0; i <= kMaxTableLines; ++i) big.FOriginal.push_back("Text " + std::to_string(i));
         world.files.PutFile(Local(), WriteLanguageTable(big));
       }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world.files.SetUnreadable(Local(), false);
    c.arrange();
    const auto before = world.files.GetFile(Local());
    view.messages.clear();
    TqvLanguage handed(state, process.platform(), world.locale, nullptr);
    auto editor = std::make_unique<TqvLanguageDesignForm>(state, process.platform(), view,
                                                          c.handed ? &handed : nullptr);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("not read whole"), std::string::npos) << view.messages[0];
    EXPECT_FALSE(editor->SaveToLanguageFile());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_NE(view.messages[1].find("was not saved"), std::string::npos) << view.messages[1];
    EXPECT_EQ(world.files.GetFile(Local()), before);
    EXPECT_FALSE(view.closed);
  }
}

TEST_F(Editor, AHandedComponentIsEditedAndTheEditorClosesAfterSaving) {
  TqvLanguage language(state, process.platform(), world.locale, nullptr);
  language.Table() = {{"Exit"}, {{"0407", {"Exit=Beenden"}}}};
  TqvLanguageDesignForm editor(state, process.platform(), view, &language);
  ASSERT_EQ(view.captions, (std::vector<std::string>{"German (Germany)"}));
  ASSERT_TRUE(editor.SaveToLanguageFile());
  EXPECT_TRUE(view.closed);
  EXPECT_EQ(SavedTable().FResources[0].Lines, (std::vector<std::string>{"Exit=Beenden"}));
}

}  // namespace
}  // namespace zr
