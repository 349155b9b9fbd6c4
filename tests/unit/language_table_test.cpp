// The translation table: its language lists, the stored format, what a
// damaged table leaves readable, and the table built into the monitor.
#include <gtest/gtest.h>

#include "common/text.h"
#include "lang/language_table_io.h"
#include "lang/qv_language.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

// Stored bytes put together field by field, independently of the writer.
struct Stored {
  Bytes bytes;
  Stored& Int32(std::int32_t v) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(std::uint32_t(v) >> shift));
    return *this;
  }
  Stored& Text(std::u16string_view s) {
    Int32(static_cast<std::int32_t>(s.size()));
    for (const char16_t u : s) {
      bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return *this;
  }
};

class LanguageTable : public ::testing::Test {
 protected:
  bool Read(const Bytes& bytes) { return ReadLanguageTable(bytes, table, process.system()); }
  const std::vector<std::string>& Debug() const { return process.DebugLines(); }
  bool DebugMentions(std::string_view text) const { return process.HasDebugLineContaining(text); }

  sim::SimWorld world;
  sim::SimProcess process{world};
  TLanguageTable table;
};

// A table with what the stored format must carry: Chinese, a character beyond
// the basic plane, an empty translation, a lower-case name, an empty list.
TLanguageTable SampleTable() {
  TLanguageTable t;
  t.FOriginal = {"Config", "Exit", "Save", "Smile"};
  t.FResources = {{"CH", {"Config=设置", "Exit=退出", "Save=", "Smile=😀"}},
                  {"us", {"Exit=Quit"}},
                  {"DE", {}}};
  return t;
}

void ExpectSameTable(const TLanguageTable& a, const TLanguageTable& b) {
  EXPECT_EQ(a.FOriginal, b.FOriginal);
  ASSERT_EQ(a.FResources.size(), b.FResources.size());
  for (std::size_t i = 0; i < a.FResources.size(); ++i) {
    EXPECT_EQ(a.FResources[i].Name, b.FResources[i].Name);
    EXPECT_EQ(a.FResources[i].Lines, b.FResources[i].Lines) << a.FResources[i].Name;
  }
}

// ---- language lists -----------------------------------------------------------

TEST(LanguageList, TheSourcePartEndsAtTheFirstEqualsSign) {
  const TLanguageList list{"CH", {"Save=", "Speed=a=b", "x y=z"}};
  EXPECT_EQ(list.Translate("Speed"), "a=b");
  EXPECT_EQ(list.Translate("x y"), "z");
  EXPECT_EQ(list.Translate("x"), "");
  EXPECT_EQ(list.Translate("speed"), "");  // letter case counts
  EXPECT_EQ(list.Translate("Speed=a"), "");  // a source text holding "=" is never found
  EXPECT_EQ(list.Translate("Save"), "");
  EXPECT_EQ(list.Revert("a=b"), "Speed");
  EXPECT_EQ(list.Revert("z"), "x y");
  EXPECT_EQ(list.Revert("Z"), "");
}

TEST(LanguageList, SettingATranslationReplacesItsLineInSortedPlace) {
  TLanguageList list{"CH", {"A=1", "C=3"}};
  list.SetTranslation("B", "2");
  list.SetTranslation("A", "one");
  EXPECT_EQ(list.Lines, (Lines{"A=one", "B=2", "C=3"}));
  list.SetTranslation("B", "");
  EXPECT_EQ(list.Lines, (Lines{"A=one", "C=3"}));
  // Lines that could not be found again or stored as one line.
  list.SetTranslation("D=E", "x");
  list.SetTranslation("", "x");
  list.SetTranslation("F", "two\r\nlines");
  list.SetTranslation("G\n", "x");
  EXPECT_EQ(list.Lines, (Lines{"A=one", "C=3"}));
}

TEST(LanguageTableFind, NamesAreComparedWithoutRegardToCaseAndTheFirstWins) {
  TLanguageTable t;
  t.FResources = {{"CH", {"A=first"}}, {"ch", {"A=second"}}, {"US", {}}};
  ASSERT_NE(t.Find("Ch"), nullptr);
  EXPECT_EQ(t.Find("Ch")->Translate("A"), "first");
  EXPECT_EQ(t.Find("us"), &t.FResources[2]);
  EXPECT_EQ(t.Find("DE"), nullptr);
}

// ---- stored format ----------------------------------------------------------------

TEST_F(LanguageTable, WrittenBytesFollowTheStoredLayout) {
  TLanguageTable t;
  t.FOriginal = {"A", "B"};
  t.FResources = {{"CH", {"A=1", "B=2"}}};
  const Bytes expected =
      Stored().Text(u"A\r\nB\r\n").Int32(1).Text(u"CH").Text(u"A=1\r\nB=2").bytes;
  EXPECT_EQ(WriteLanguageTable(t), expected);
}

TEST_F(LanguageTable, ATableWrittenReadsBackEqual) {
  const TLanguageTable original = SampleTable();
  ASSERT_TRUE(Read(WriteLanguageTable(original)));
  ExpectSameTable(table, original);
  EXPECT_TRUE(Debug().empty());
}

TEST_F(LanguageTable, ReadingSortsLinesAcceptsEveryLineBreakAndAppendsLanguages) {
  table.FOriginal = {"Old"};
  table.FResources = {{"CH", {"Old=旧"}}};
  const Bytes bytes = Stored()
                          .Text(u"Exit\r\nConfig\r\n\r\nExit\nAbout\r")
                          .Int32(2)
                          .Text(u"CH")
                          .Text(u"Exit=退出\nConfig=设置\r\n")
                          .Text(u"US")
                          .Text(u"")
                          .bytes;
  ASSERT_TRUE(Read(bytes));
  EXPECT_EQ(table.FOriginal, (Lines{"About", "Config", "Exit"}));
  ASSERT_EQ(table.FResources.size(), 3u);
  EXPECT_EQ(table.FResources[0].Lines, (Lines{"Old=旧"}));  // the language already there stays first
  EXPECT_EQ(table.FResources[1].Lines, (Lines{"Config=设置", "Exit=退出"}));
  EXPECT_EQ(table.FResources[2].Name, "US");
  EXPECT_TRUE(table.FResources[2].Lines.empty());
}

TEST_F(LanguageTable, ATableWithoutLanguagesReadsAsSourceTextsOnly) {
  ASSERT_TRUE(Read(Stored().Text(u"Config\r\nExit\r\n").Int32(0).bytes));
  EXPECT_EQ(table.FOriginal, (Lines{"Config", "Exit"}));
  EXPECT_TRUE(table.FResources.empty());
}

// ---- damaged tables ------------------------------------------------------------------

TEST_F(LanguageTable, ATableCutAnywhereKeepsTheLanguagesBeforeTheCut) {
  const TLanguageTable original = SampleTable();
  const Bytes whole = WriteLanguageTable(original);
  // Where the second language begins: after the source texts, the count, and
  // the first language's name and list.
  TLanguageTable first = original;
  first.FResources.resize(1);
  const std::size_t secondStarts = WriteLanguageTable(first).size();
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    table = TLanguageTable{};
    process.system().debugLines.clear();
    EXPECT_FALSE(Read(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut))));
    EXPECT_FALSE(Debug().empty());
    if (cut >= secondStarts) {
      ASSERT_GE(table.FResources.size(), 1u);
      EXPECT_EQ(table.FResources[0].Lines, original.FResources[0].Lines);
    }
    // Languages are whole or absent.
    for (std::size_t i = 0; i < table.FResources.size(); ++i) {
      EXPECT_EQ(table.FResources[i].Lines, original.FResources[i].Lines);
    }
  }
}

TEST_F(LanguageTable, UnreadableSourceTextsLeaveTheTableAsItWas) {
  table.FOriginal = {"Kept"};
  for (const Bytes& bytes : {Stored().Int32(-1).bytes, Stored().Int32(0x7FFFFFFF).Text(u"x").bytes, Bytes{1, 0}}) {
    EXPECT_FALSE(Read(bytes));
    EXPECT_EQ(table.FOriginal, (Lines{"Kept"}));
    EXPECT_TRUE(table.FResources.empty());
  }
  EXPECT_TRUE(DebugMentions("impossible length -1"));
  EXPECT_TRUE(DebugMentions("claims 2147483647 UTF-16 code units"));
}

TEST_F(LanguageTable, ImpossibleLanguageCountsAndLengthsAreSkippedWithoutHugeAllocations) {
  const Stored sources = Stored().Text(u"Exit\r\n");
  // Negative count.
  EXPECT_FALSE(Read(Stored(sources).Int32(-5).Text(u"CH").Text(u"Exit=退出").bytes));
  EXPECT_TRUE(DebugMentions("language count -5 is negative"));
  EXPECT_TRUE(table.FResources.empty());
  // A count far beyond the data: the languages present are read.
  EXPECT_FALSE(Read(Stored(sources).Int32(0x7FFFFFFF).Text(u"CH").Text(u"Exit=退出").bytes));
  ASSERT_EQ(table.FResources.size(), 1u);
  EXPECT_EQ(table.FResources[0].Translate("Exit"), "退出");
  EXPECT_TRUE(DebugMentions("language 2 of 2147483647"));
  // Huge and negative lengths of names and lists.
  table = TLanguageTable{};
  EXPECT_FALSE(Read(Stored(sources).Int32(1).Int32(0x40000000).bytes));
  EXPECT_FALSE(Read(Stored(sources).Int32(1).Text(u"CH").Int32(-2).Text(u"Exit=x").bytes));
  EXPECT_TRUE(table.FResources.empty());
  EXPECT_EQ(table.FOriginal, (Lines{"Exit"}));
}

TEST_F(LanguageTable, ATableHoldsABoundedNumberOfLinesAndLanguages) {
  std::u16string many;
  for (int i = 0; i < 10000; ++i) many += Utf8ToUtf16(std::to_string(i)) + u"\n";
  EXPECT_FALSE(Read(Stored().Text(many).Int32(1).Text(u"CH").Text(u"Exit=退出").bytes));
  EXPECT_EQ(table.FOriginal.size(), kMaxTableLines);
  ASSERT_EQ(table.FResources.size(), 1u);
  EXPECT_TRUE(table.FResources[0].Lines.empty());
  EXPECT_TRUE(DebugMentions("1809 lines beyond the table's 8192 dropped"));
  Stored languages = Stored().Text(u"Exit").Int32(300);
  for (int i = 0; i < 300; ++i) languages.Text(u"XX").Text(u"Exit=x");
  EXPECT_FALSE(Read(languages.bytes));
  EXPECT_EQ(table.FResources.size(), kMaxTableLanguages);
  EXPECT_TRUE(DebugMentions("languages after the first 256 not read"));
}

TEST_F(LanguageTable, BytesAfterTheTableAreIgnoredAndReported) {
  Bytes bytes = WriteLanguageTable(SampleTable());
  bytes.push_back(0x41);  // an odd byte length
  EXPECT_FALSE(Read(bytes));
  ExpectSameTable(table, SampleTable());
  EXPECT_TRUE(DebugMentions("1 bytes after the table ignored"));
  // Also after a table of exactly as many languages as the monitor keeps.
  Stored full = Stored().Text(u"Exit").Int32(kMaxTableLanguages);
  for (std::size_t i = 0; i < kMaxTableLanguages; ++i) full.Text(u"XX").Text(u"Exit=x");
  full.bytes.push_back(0x41);
  table = TLanguageTable{};
  EXPECT_FALSE(Read(full.bytes));
  EXPECT_EQ(table.FResources.size(), kMaxTableLanguages);
  EXPECT_FALSE(DebugMentions("languages after the first"));
}

TEST_F(LanguageTable, TextsThatAreNotValidUtf16AreSkippedAndTheRestRead) {
  const std::u16string loneHigh(1, char16_t(0xD800));
  const std::u16string loneLow(1, char16_t(0xDC00));
  const Bytes bytes = Stored()
                          .Text(u"Config\r\nBad" + loneLow + u"\r\nExit\r\n")
                          .Int32(3)
                          .Text(u"X" + loneHigh)
                          .Text(u"Exit=lost")
                          .Text(u"CH")
                          .Text(u"Config=设置\r\nExit=" + loneHigh + u"x")
                          .Text(u"US")
                          .Text(u"Exit=Quit")
                          .bytes;
  EXPECT_FALSE(Read(bytes));
  EXPECT_EQ(table.FOriginal, (Lines{"Config", "Exit"}));
  ASSERT_EQ(table.FResources.size(), 2u);
  EXPECT_EQ(table.FResources[0].Name, "CH");
  EXPECT_EQ(table.FResources[0].Lines, (Lines{"Config=设置"}));
  EXPECT_EQ(table.FResources[1].Translate("Exit"), "Quit");
  EXPECT_TRUE(DebugMentions("1 source texts that are not valid UTF-16 skipped"));
  EXPECT_TRUE(DebugMentions("language 1 of 3 skipped: its name is not valid UTF-16"));
  EXPECT_TRUE(DebugMentions("1 lines of language \"CH\""));
}

// ---- the table built into the monitor ---------------------------------------------------

TEST_F(LanguageTable, TheEmbeddedTableReadsCleanlyWithChineseFirstAndEnglishSecond) {
  const auto embedded = EmbeddedLanguageTable();
  ASSERT_TRUE(ReadLanguageTable(embedded, table, process.system()));
  EXPECT_TRUE(Debug().empty());
  ASSERT_EQ(table.FResources.size(), 2u);
  EXPECT_EQ(table.FResources[0].Name, "CH");
  EXPECT_EQ(table.FResources[1].Name, "US");
  // The generator and the writer agree byte for byte.
  EXPECT_EQ(WriteLanguageTable(table), Bytes(embedded.begin(), embedded.end()));
}

TEST_F(LanguageTable, TheEmbeddedTableTranslatesEveryTextOfTheMonitor) {
  ASSERT_TRUE(ReadLanguageTable(EmbeddedLanguageTable(), table, process.system()));
  const TLanguageList& ch = table.FResources[0];
  EXPECT_EQ(ch.Translate("Gaming Mouse Driver"), "游戏鼠标驱动程序");
  EXPECT_EQ(ch.Translate("Gaming Mouse Monitor"), "游戏鼠标监视器");
  EXPECT_EQ(ch.Translate("Config"), "设置");
  EXPECT_EQ(ch.Translate("About"), "关于");
  EXPECT_EQ(ch.Translate("Exit"), "退出");
  for (const char* text : {"OK", "BitmapStateButton", "Hardware & Software Information:", "Hardware Core:1.00.00",
                           "Software Core:1.00.00", "Software Update Website:", "GetLineInfo Error",
                           "SetControlDetails Error", "qvHook.dll can not be found!", "Error", "Down", "Up", "ms",
                           "Mouse Click", "Mouse Right Click", "Mouse Middle Click", "Backward(Mouse)",
                           "Forward(Mouse)", "Wheel up(Mouse)", "Wheel Down(Mouse)"}) {
    EXPECT_TRUE(std::binary_search(table.FOriginal.begin(), table.FOriginal.end(), std::string(text))) << text;
  }
  // Every source text has a Chinese text (not just the English one) and an
  // English line that gives it back.
  for (const std::string& source : table.FOriginal) {
    const std::string chinese = ch.Translate(source);
    EXPECT_TRUE(std::any_of(chinese.begin(), chinese.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        << source << " -> " << chinese;
    EXPECT_EQ(table.FResources[1].Translate(source), source);
  }
}

}  // namespace
}  // namespace zr
