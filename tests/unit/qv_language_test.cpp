// The translation component over the simulated platform: selecting
// languages, re-translating scenes and forms, the table files beside the
// executable and the locale lookups.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "lang/qv_language.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A component of a form as the walk sees it.
class Part : public TLangComponent {
 public:
  Part(std::string className, std::string name) : class_(std::move(className)), name_(std::move(name)) {}

  std::string ClassName() const override { return class_; }
  std::string Name() const override { return name_; }
  std::vector<TLangComponent*> Components() override { return owned; }
  bool IsControl() const override { return control; }
  bool IsForm() const override { return form; }
  bool IsApplicationForm() const override { return applicationForm; }
  bool IsScene() const override { return scene; }
  std::optional<std::string> GetTextProperty(std::string_view name) const override {
    if (unreadable) throw std::runtime_error("property read failed");
    const auto it = props.find(std::string(name));
    if (it == props.end()) return std::nullopt;
    return it->second;
  }
  void SetTextProperty(std::string_view name, std::string_view value) override {
    props[std::string(name)] = std::string(value);
  }
  std::vector<std::string>* Items() override { return items ? &*items : nullptr; }

  // A component owned by this one (kept alive by it).
  Part& Add(std::string className, std::string name, std::string caption = {}) {
    children_.push_back(std::make_unique<Part>(std::move(className), std::move(name)));
    Part& p = *children_.back();
    if (!caption.empty()) p.props["Caption"] = std::move(caption);
    owned.push_back(&p);
    return p;
  }
  std::string Caption() const { return props.count("Caption") ? props.at("Caption") : std::string(); }

  std::map<std::string, std::string> props;
  std::optional<std::vector<std::string>> items;
  std::vector<TLangComponent*> owned;
  bool control = true;
  bool form = false;
  bool applicationForm = false;
  bool scene = false;
  bool unreadable = false;

 private:
  std::string class_;
  std::string name_;
  std::vector<std::unique_ptr<Part>> children_;
};

struct Form : Part {
  explicit Form(std::string className) : Part(std::move(className), "Form") { form = true; }
};

// Texts drawn by the toolkit; every re-translation is recorded.
class Scene : public TScene {
 public:
  Scene(TTranslationState& state, std::vector<std::string> shown) : texts(std::move(shown)), state_(state) {
    state_.RegisterScene(this);
  }
  ~Scene() override { state_.UnregisterScene(this); }
  void Retranslate() override {
    for (auto& t : texts) t = state_.TranslateText(t);
    history.push_back(texts);
  }
  std::vector<std::string> texts;
  std::vector<std::vector<std::string>> history;

 private:
  TTranslationState& state_;
};

TLanguageTable TwoLanguages() {
  TLanguageTable t;
  t.FOriginal = {"A", "B", "Config", "Exit", "Save"};
  t.FResources = {{"CH", {"A=B", "B=C", "Config=设置", "Exit=退出", "Save="}},
                  {"US", {"Config=Settings", "Exit=Quit"}}};
  return t;
}

class Language : public ::testing::Test {
 protected:
  std::string Local() const { return process.ExeFolder() + "qv.local"; }
  std::unique_ptr<TqvLanguage> Make(TLangComponent* owner) {
    return std::make_unique<TqvLanguage>(state, process.platform(), locale, owner);
  }
  // The component as the monitor form holds it: its own table loaded.
  std::unique_ptr<TqvLanguage> Loaded(const TLanguageTable& formTable) {
    auto c = Make(&form);
    c->LoadFormData(WriteLanguageTable(formTable));
    return c;
  }

  sim::SimWorld world;
  sim::SimProcess process{world};
  sim::SimLocale locale;
  TTranslationState state;
  Form form{"TZRMONMain"};
};

// ---- selecting a language --------------------------------------------------------

TEST_F(Language, ShortIdsSelectTheSameLanguageWhateverTheirCase) {
  auto lang = Loaded(TwoLanguages());
  lang->SetLang("US");
  EXPECT_EQ(state.TranslateText("Exit"), "Quit");
  lang->SetLang("ch");
  EXPECT_EQ(state.TranslateText("Exit"), "退出");
  lang->SetLang("us");
  EXPECT_EQ(state.TranslateText("Exit"), "Quit");
  EXPECT_EQ(lang->Lang(), "us");
  EXPECT_EQ(lang->GetLanguageIndexByShortID("us"), 1);
  EXPECT_EQ(lang->GetLanguageIndexByShortID("Ch"), 0);
}

TEST_F(Language, TextsWithoutATranslationStayAsTheyAre) {
  auto lang = Loaded(TwoLanguages());
  EXPECT_EQ(state.TranslateText("Exit"), "Exit");  // no language yet
  lang->SetLang("CH");
  EXPECT_EQ(state.TranslateText("Save"), "Save");  // "Save=" has an empty translation
  EXPECT_EQ(state.TranslateText("Unknown"), "Unknown");
  EXPECT_EQ(state.TranslateText(""), "");
}

TEST_F(Language, SwitchingLanguagesTurnsSceneTextsBackToSourceTextsFirst) {
  auto lang = Loaded(TwoLanguages());
  Scene scene(state, {"Config", "Exit", "Other"});
  lang->SetLang("CH");
  EXPECT_EQ(scene.texts, (std::vector<std::string>{"设置", "退出", "Other"}));
  scene.history.clear();
  lang->SetLang("US");
  ASSERT_EQ(scene.history.size(), 2u);
  EXPECT_EQ(scene.history[0], (std::vector<std::string>{"Config", "Exit", "Other"}));
  EXPECT_EQ(scene.history[1], (std::vector<std::string>{"Settings", "Quit", "Other"}));
  lang->SetLang("en");
  EXPECT_EQ(scene.texts, (std::vector<std::string>{"Config", "Exit", "Other"}));
  EXPECT_FALSE(state.HasCurrentLanguage());
}

TEST_F(Language, ALanguageThatIsNotThereLeavesTheCurrentOneButFormsAreTranslatedAgain) {
  auto lang = Loaded(TwoLanguages());
  Scene scene(state, {"Config"});
  lang->SetLang("CH");
  std::vector<std::string> changes;
  lang->OnLanguageChanged = [&](TqvLanguage&, const std::string& id, const std::string& longName) {
    changes.push_back(id + "|" + longName);
  };
  Part& added = form.Add("TLabel", "Label1", "Exit");  // appears after the switch
  // The empty ID is what an index outside the table gives.
  for (const std::string& id : {lang->GetLanguageShortIDByIndex(2), std::string("FR")}) {
    lang->SetLang(id);
    EXPECT_EQ(lang->Lang(), id);
    EXPECT_EQ(scene.texts[0], "设置");
    EXPECT_EQ(state.TranslateText("Exit"), "退出");
    EXPECT_EQ(added.Caption(), "退出");
    added.props["Caption"] = "Exit";
  }
  EXPECT_EQ(changes, (std::vector<std::string>{"|", "FR|"}));
}

TEST_F(Language, IndexLookupsGiveEmptyOrMinusOneOutsideTheTable) {
  auto lang = Loaded(TwoLanguages());
  EXPECT_EQ(lang->GetLanguageShortIDByIndex(0), "CH");
  EXPECT_EQ(lang->GetLanguageShortIDByIndex(1), "US");
  EXPECT_EQ(lang->GetLanguageShortIDByIndex(-1), "");
  EXPECT_EQ(lang->GetLanguageShortIDByIndex(2), "");
  EXPECT_EQ(lang->GetLanguageIndexByShortID("DE"), -1);
  EXPECT_EQ(lang->GetLanguageIndexByShortID(""), -1);
  lang->AddLang("de");
  lang->AddLang("DE");  // present already
  EXPECT_EQ(lang->GetLanguageIndexByShortID("DE"), 2);
  EXPECT_EQ(lang->Table().FResources.size(), 3u);
}

// ---- the form walk -------------------------------------------------------------------

TEST_F(Language, TheWalkTranslatesPropertiesSpecialControlsAndHandsCustomClassesToTheOwner) {
  form.props["Caption"] = "Config";
  Part& panel = form.Add("TPanel", "Panel1", "Exit");
  panel.props["Hint"] = "Config";
  Part& inner = panel.Add("TFrame", "Frame1");
  Part& label = inner.Add("TLabel", "Label1", "A");
  Part& tabs = form.Add("TTabControl", "Tabs1", "Config");
  tabs.items = std::vector<std::string>{"Exit", "", "Other"};
  tabs.Add("TLabel", "InsideTabs", "Exit");  // special classes are not walked further
  Part& menuItem = form.Add("TMenuItem", "Exit1", "Exit");
  menuItem.control = false;  // a special class that is no control is left alone
  Part& custom = inner.Add("TvgGrid", "Grid1", "Exit");
  Part& appForm = form.Add("TAboutForm", "About", "Exit");
  appForm.form = appForm.applicationForm = true;
  Part& scene = form.Add("TvgScene", "Scene1", "Exit");
  scene.scene = true;
  form.owned.push_back(&label);  // seen twice, translated once ("A" -> "B", not on to "C")

  auto lang = Loaded(TwoLanguages());
  lang->SetCustomClassList({"TvgGrid"});
  std::vector<std::string> customCalls;
  lang->OnCustomTranslate = [&](TLangComponent& c, std::vector<std::string>& texts,
                                std::vector<TLangComponent*>& visited, const std::string& base, bool translate) {
    customCalls.push_back(c.Name() + "@" + base + (translate ? " W" : ""));
    EXPECT_FALSE(texts.empty());
    EXPECT_EQ(visited.front(), &form);
  };
  lang->SetLang("CH");

  EXPECT_EQ(form.Caption(), "设置");
  EXPECT_EQ(panel.Caption(), "退出");
  EXPECT_EQ(panel.props["Hint"], "设置");
  EXPECT_EQ(label.Caption(), "B");
  EXPECT_EQ(tabs.Caption(), "设置");
  EXPECT_EQ(*tabs.items, (std::vector<std::string>{"退出", "", "Other"}));
  EXPECT_EQ(static_cast<Part*>(tabs.owned[0])->Caption(), "Exit");
  EXPECT_EQ(menuItem.Caption(), "Exit");
  EXPECT_EQ(custom.Caption(), "Exit");
  EXPECT_EQ(appForm.Caption(), "Exit");
  EXPECT_EQ(scene.Caption(), "Exit");
  EXPECT_EQ(customCalls, (std::vector<std::string>{"Grid1@TZRMONMain.Panel1.Frame1 W"}));
}

TEST_F(Language, FormTextsFollowEverySwitchOfLanguage) {
  Part& label = form.Add("TLabel", "Label1", "Config");
  auto lang = Loaded(TwoLanguages());
  lang->SetLang("CH");
  EXPECT_EQ(label.Caption(), "设置");
  lang->SetLang("US");
  EXPECT_EQ(label.Caption(), "Settings");
  lang->SetLang("en");
  EXPECT_EQ(label.Caption(), "Config");
}

TEST_F(Language, APropertyThatCannotBeReadIsSkipped) {
  Part& broken = form.Add("TLabel", "Broken", "Exit");
  broken.unreadable = true;
  Part& fine = form.Add("TLabel", "Fine", "Exit");
  auto lang = Loaded(TwoLanguages());
  lang->SetLang("CH");
  EXPECT_EQ(fine.Caption(), "退出");
}

TEST_F(Language, ADestroyedFormIsNeverWalked) {
  auto second = std::make_unique<Form>("TSecondForm");
  second->props["Caption"] = "Exit";
  auto lang = Loaded(TwoLanguages());
  auto secondLang = Make(second.get());
  auto noForm = Make(nullptr);
  EXPECT_EQ(state.qvParentFormCount(), 2);
  lang->SetLang("CH");
  EXPECT_EQ(second->Caption(), "退出");  // every registered form, whichever component switches
  // The form's component goes (as it does with its form): the form is kept
  // here only to show that no switch reaches it any more.
  Part& label = form.Add("TLabel", "Label1", "Exit");
  secondLang.reset();
  EXPECT_EQ(state.qvParentFormCount(), 1);
  EXPECT_EQ(state.Forms(), (std::vector<TLangComponent*>{&form}));
  lang->SetLang("US");
  EXPECT_EQ(label.Caption(), "Quit");
  EXPECT_EQ(second->Caption(), "退出");
}

// ---- tables from files ----------------------------------------------------------------

TEST_F(Language, AChineseListInQvLocalWinsOverTheEmbeddedOne) {
  TLanguageTable file;
  file.FOriginal = {"Only in the file"};
  file.FResources = {{"ch", {"Config=配置"}}, {"DE", {"Config=Einstellungen"}}};
  world.files.PutFile(Local(), WriteLanguageTable(file));
  auto lang = Make(&form);
  lang->LoadFormData(EmbeddedLanguageTable());
  EXPECT_EQ(lang->GetLanguageIndexByShortID("CH"), 0);
  EXPECT_EQ(lang->GetLanguageShortIDByIndex(2), "CH");  // the embedded one, after the file's
  EXPECT_EQ(lang->GetLanguageIndexByShortID("US"), 3);
  EXPECT_EQ(lang->Table().FOriginal.size(), 25u);  // the form's source texts replace the file's
  lang->SetLang("CH");
  EXPECT_EQ(state.TranslateText("Config"), "配置");
  EXPECT_EQ(state.TranslateText("Exit"), "Exit");  // the file's list knows no more
  lang->SetLang("DE");
  EXPECT_EQ(state.TranslateText("Config"), "Einstellungen");
}

TEST_F(Language, ADamagedQvLocalKeepsWhatCanBeReadAndTheEmbeddedTable) {
  TLanguageTable file;
  file.FOriginal = {"Config"};
  file.FResources = {{"DE", {"Config=Einstellungen"}}, {"FR", {"Config=Paramètres"}}};
  Bytes bytes = WriteLanguageTable(file);
  bytes.resize(bytes.size() - 3);  // the French list is cut
  world.files.PutFile(Local(), bytes);
  auto lang = Make(&form);
  lang->LoadFormData(EmbeddedLanguageTable());
  EXPECT_TRUE(process.HasDebugLineContaining(Local() + ": "));
  EXPECT_EQ(lang->GetLanguageIndexByShortID("DE"), 0);
  EXPECT_EQ(lang->GetLanguageIndexByShortID("FR"), -1);
  lang->SetLang("CH");
  EXPECT_EQ(state.TranslateText("Exit"), "退出");
}

TEST_F(Language, AQvLocalThatCannotBeReadIsReportedAndLeftOut) {
  // Tables are a few kilobytes: a well-formed table beyond 1 MiB is not read.
  Bytes big = WriteLanguageTable(TwoLanguages());
  big.resize((1u << 20) + 1, 0);
  world.files.PutFile(Local(), big);
  auto tooLarge = Make(&form);
  EXPECT_TRUE(process.HasDebugLineContaining("qv.local not read"));
  EXPECT_TRUE(tooLarge->Table().FResources.empty());
  world.files.PutFile(Local(), WriteLanguageTable(TwoLanguages()));
  world.files.SetUnreadable(Local());
  auto unreadable = Make(&form);
  EXPECT_TRUE(process.HasDebugLineContaining("access denied"));
  EXPECT_TRUE(unreadable->Table().FResources.empty());
}

TEST_F(Language, ATableSavedToAFileLoadsBackEqualAndAMissingFileReadsNothing) {
  auto lang = Loaded(TwoLanguages());
  lang->AddLang("DE");
  const std::string path = process.ExeFolder() + "saved.Local";
  ASSERT_TRUE(lang->SaveToFile(path));
  auto other = Make(nullptr);
  EXPECT_FALSE(other->LoadFromFile(process.ExeFolder() + "missing.Local"));
  EXPECT_TRUE(other->Table().FResources.empty());
  ASSERT_TRUE(other->LoadFromFile(path));
  EXPECT_EQ(other->Table().FOriginal, lang->Table().FOriginal);
  ASSERT_EQ(other->Table().FResources.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(other->Table().FResources[i].Name, lang->Table().FResources[i].Name);
    EXPECT_EQ(other->Table().FResources[i].Lines, lang->Table().FResources[i].Lines);
  }
  // A failed save keeps the file as it was.
  const Bytes before = *world.files.GetFile(path);
  lang->AddLang("FR");
  world.files.FailWritesAfterBytes(10);
  EXPECT_FALSE(lang->SaveToFile(path));
  EXPECT_EQ(*world.files.GetFile(path), before);
  EXPECT_TRUE(process.HasDebugLineContaining("saved.Local not written"));
}

TEST_F(Language, LoadingAZeroLanguageFileReplacesOnlyTheSourceTexts) {
  TLanguageTable file;
  file.FOriginal = {"New"};
  const std::string path = process.ExeFolder() + "empty.Local";
  world.files.PutFile(path, WriteLanguageTable(file));
  auto lang = Loaded(TwoLanguages());
  ASSERT_TRUE(lang->LoadFromFile(path));
  EXPECT_EQ(lang->Table().FOriginal, (std::vector<std::string>{"New"}));
  EXPECT_EQ(lang->Table().FResources.size(), 2u);
}

// ---- locale --------------------------------------------------------------------------------

TEST_F(Language, AtLoadOnlyAListNamedAsTheUsersLanguageInLowerCaseIsApplied) {
  for (const char* user : {"ENU", "USA", "CHS", "CHT"}) {
    locale.userAbbreviatedLanguageName = user;
    auto builtIn = Loaded(TwoLanguages());  // "CH" and "US" are never taken
    EXPECT_FALSE(state.HasCurrentLanguage()) << user;
    EXPECT_EQ(state.TranslateText("Exit"), "Exit");
  }
  locale.userAbbreviatedLanguageName = "DEU";
  TLanguageTable german;
  german.FOriginal = {"Exit"};
  german.FResources = {{"DE", {"Exit=Ende!"}}, {"de", {"Exit=Beenden"}}};
  auto local = Loaded(german);
  EXPECT_EQ(state.TranslateText("Exit"), "Beenden");
  local.reset();
  locale.userAbbreviatedLanguageName = "CHS";
  auto chinese = Loaded(TwoLanguages());
  chinese->SetLang("CH");
  EXPECT_EQ(state.TranslateText("Exit"), "退出");
  EXPECT_EQ(chinese->Lang(), "CH");
  // Automatic selection by the property goes through SetLang.
  locale.userAbbreviatedLanguageName = "USA";
  chinese->SetAutoSelect(true);
  EXPECT_TRUE(chinese->AutoSelect());
  EXPECT_EQ(chinese->Lang(), "us");
  EXPECT_EQ(state.TranslateText("Exit"), "Quit");
}

TEST_F(Language, LocaleNamesComeFromTheSupportedLocalesAskedForAtTheFirstLookUp) {
  locale.systemDefaultLanguageId = 0x040C;
  auto lang = Loaded(TwoLanguages());
  // Not asked for at creation: a locale the system has by the first look-up counts.
  locale.supportedLocales.push_back({"0401", "Arabic", false});
  EXPECT_EQ(lang->GetOSDefaultLang(), "040C");
  EXPECT_EQ(lang->GetLanguageLongNameByLangID("0804"), "Chinese (Simplified, China)");
  EXPECT_EQ(lang->GetLanguageLongNameByLangID("040c"), "French (France)");
  EXPECT_EQ(lang->GetLanguageLongNameByLangID("0401"), "Arabic");
  EXPECT_EQ(lang->GetLanguageLongNameByShortID("0409"), "English (United States)");
  EXPECT_EQ(lang->GetLanguageLongNameByShortID("0401"), "");  // no country abbreviation
  EXPECT_EQ(lang->GetLanguageLongNameByShortID(""), "");
  EXPECT_EQ(lang->GetLanguageLongNameByShortID("CH"), "");
  EXPECT_EQ(lang->GetLanguageLongNameByLangID("9999"), "");
}

TEST_F(Language, TheDesignTimeSwitchesDoNothingAtRunTime) {
  auto lang = Loaded(TwoLanguages());
  lang->SetActiveLoadFromFile(true);
  EXPECT_FALSE(lang->ActiveLoadFromFile());
  lang->SetActive(true);
  EXPECT_TRUE(lang->Active());
  EXPECT_EQ(lang->Table().FResources.size(), 2u);
  EXPECT_FALSE(state.HasCurrentLanguage());
}

}  // namespace
}  // namespace zr
