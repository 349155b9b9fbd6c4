#include "support/ini_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/sim/sim_world.h"

namespace zr {
namespace {

IniFile Parse(std::string_view text) { return IniFile::Parse(text); }

TEST(IniFile, ReadsAsTheWindowsIniFunctionsDo) {
  const IniFile ini = Parse(
      "; a comment\r\n"
      "  [Options]  \r\n"
      "  ProfileRegFolder =  \"software\\Brand\"  \r\n"
      "profilePrefix='Game'\n"
      ";profileFolder=Hidden\n"
      "quoted=\"only one\n"
      "Empty=\n"
      "NoEquals\n"
      "profilePrefix=Second\n"
      "[other]\n"
      "profilePrefix=Other\n");
  EXPECT_EQ(ini.ReadString("OPTIONS", "profileregfolder", "x"), "software\\Brand");
  EXPECT_EQ(ini.ReadString("options", "PROFILEPREFIX", "x"), "Game");  // the first one wins
  EXPECT_EQ(ini.ReadString("options", "profileFolder", "Profile"), "Profile");
  EXPECT_EQ(ini.ReadString("options", "quoted", ""), "\"only one");
  EXPECT_EQ(ini.ReadString("options", "Empty", "dflt"), "");
  EXPECT_EQ(ini.ReadString("options", "NoEquals", "dflt"), "");
  EXPECT_EQ(ini.ReadString("missing", "Empty", "dflt"), "dflt");
}

TEST(IniFile, IntegersTakeALeadingNumberOrTheDefault) {
  const IniFile ini = Parse("[s]\na=12\nb=-7xyz\nc=0x1F\nd=$10\ne=word\nf=99999999999\n");
  EXPECT_EQ(ini.ReadInteger("s", "a", 5), 12);
  EXPECT_EQ(ini.ReadInteger("s", "b", 5), -7);
  EXPECT_EQ(ini.ReadInteger("s", "c", 5), 31);
  EXPECT_EQ(ini.ReadInteger("s", "d", 5), 16);
  EXPECT_EQ(ini.ReadInteger("s", "e", 5), 5);
  EXPECT_EQ(ini.ReadInteger("s", "f", 5), 5);
  EXPECT_EQ(ini.ReadInteger("s", "none", 5), 5);
}

TEST(IniFile, SectionsOfTheSameNameReadAsOne) {
  const IniFile ini = Parse("[HelpFiles]\nA=a.chm\n[x]\n[helpfiles]\nB=b.chm\na=again\n");
  const auto values = ini.ReadSectionValues("HELPFILES");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"A", "a.chm"}));
  EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"B", "b.chm"}));
}

TEST(IniFile, ReadsUtf16AndAnsiText) {
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[a]\r\nk=v\xE9")) {
    utf16 += c;
    utf16 += '\0';
  }
  EXPECT_EQ(Parse(utf16).ReadString("a", "k", ""), "v\xC3\xA9");
  EXPECT_EQ(Parse("[a]\nk=caf\xE9").ReadString("a", "k", ""), "caf\xC3\xA9");
  EXPECT_EQ(Parse("\xEF\xBB\xBF[a]\nk=1").ReadString("a", "k", ""), "1");
}

TEST(IniFile, IdListsEndAtTheFirstMissingOrEmptyKey) {
  EXPECT_EQ(Parse("[L]\nid1=A\nid2=B\nid4=D\n").ReadIdList("L").size(), 2u);
  EXPECT_EQ(Parse("[L]\nid1=A\nid2=\nid3=C\n").ReadIdList("L").size(), 1u);
  EXPECT_TRUE(Parse("[L]\nid2=B\n").ReadIdList("L").empty());
  std::string many = "[L]\n";
  for (int n = 1; n <= 102; ++n) many += "id" + std::to_string(n) + "=X" + std::to_string(n) + "\n";
  const auto list = Parse(many).ReadIdList("L", 101);
  ASSERT_EQ(list.size(), 101u);
  EXPECT_EQ(list.back(), "X101");
}

TEST(IniFile, BadInputNeverBreaksTheReader) {
  std::mt19937 rng(7);
  std::string junk(200000, '\0');
  for (char& c : junk) c = static_cast<char>(rng());
  const IniFile a = Parse(junk);
  (void)a.ReadIdList("IncludeHIDDeviceList");

  const std::string longLine = "[s]\nk=" + std::string(1 << 20, 'v') + "\n" + "[" + std::string(100000, 'x');
  EXPECT_EQ(Parse(longLine).ReadString("s", "k", "").size(), 1u << 20);

  std::string keysOnly = "[IncludeHIDDeviceList]\n";
  for (int i = 0; i < 50000; ++i) keysOnly += "id" + std::to_string(i) + "\n=\n[]\n";
  EXPECT_TRUE(Parse(keysOnly).ReadIdList("IncludeHIDDeviceList").empty());
}

TEST(IniFile, ATooLargeOrUnreadableFileReadsAsEmptyWithADebuggerLine) {
  sim::SimWorld world;
  sim::SimProcess process(world);
  auto& p = process.platform();
  world.files.PutFile("C:\\big.ini", std::vector<std::uint8_t>(kMaxIniFileBytes + 1, 'a'));
  EXPECT_TRUE(LoadIniFile(p.files, p.system, "C:\\big.ini").Empty());
  EXPECT_TRUE(process.HasDebugLineContaining("C:\\big.ini not read"));

  world.files.PutText("C:\\locked.ini", "[a]\nk=v\n");
  world.files.SetUnreadable("C:\\locked.ini");
  EXPECT_TRUE(LoadIniFile(p.files, p.system, "C:\\locked.ini").Empty());
  EXPECT_TRUE(LoadIniFile(p.files, p.system, "C:\\absent.ini").Empty());
}

}  // namespace
}  // namespace zr
