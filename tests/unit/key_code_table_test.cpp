// The key code tables against their documented contents, row by row, and the
// lookup's choice between the two tables.
#include "hook/key_code_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zr {
namespace {

TEST(KeyCodeTable, EveryRowOfBothTablesIsAsDocumented) {
  std::ifstream in(ZR_TEST_DATA_DIR "/key_code_table.tsv");
  ASSERT_TRUE(in) << "the table's data file";
  const TKeyCodeTables& t = KeyCodeTables();
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::istringstream cells(line);
    for (std::string cell; f.size() < 6 && std::getline(cells, cell, '\t');) f.push_back(cell);
    std::string text;
    std::getline(cells, text);  // the rest, tabs and all
    ASSERT_EQ(f.size(), 6u) << line;
    const int code = std::stoi(f[1]);
    ASSERT_TRUE(code >= 0 && code < kKeyTableRows) << line;
    const TKeyboardInfoTable& row = f[0] == "plain" ? t.KeyInfoTable[code] : t.ExtendedKeyInfoTable[code];
    EXPECT_EQ(row.VKName, f[2]) << line;
    EXPECT_EQ(row.VKCode, code) << line;
    EXPECT_EQ(row.ScanCode, std::stoi(f[3])) << line;
    EXPECT_EQ(row.Extended, std::stoi(f[4])) << line;
    EXPECT_EQ(row.HIDCode, std::stoi(f[5])) << line;
    EXPECT_EQ(row.KeyDescription, text) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 2 * kKeyTableRows);
}

TEST(KeyCodeTable, TheLookupReadsThePlainOrTheExtendedTableByTheFlag) {
  struct Case {
    std::int32_t vk, extended;
    const char* text;
  };
  const Case cases[] = {
      {0x41, 0, "A"},
      {0x41, 1, "UNDEFINED_041"},  // no extended A: the extended table's default
      {0x0D, 0, "ENTER"},
      {0x0D, 1, "ENTER"},  // the keypad's, from the extended table
      {0x2E, 0, "Keypad DEL"},
      {0x2E, 1, "DEL"},
      {0x6F, 0, "/"},
      {0x6F, 1, "/"},  // a key that always arrives extended reads its plain row
      {0xA3, 1, "R CTRL"},
      {0x2E, 224, "Keypad DEL"},
      {0x2E, 225, "DEL"},
      {0x6F, 225, "/"},
      {0x41, 5, "UNDEFINED_041"},  // any other flag reads the extended table
      {0x6F, 5, "UNDEFINED_06F"},
      {0xB8, 0, "UNDEFINED_0B8"},
      {0x12B, 0, "UNDEFINED_12B"},
      {0xFF, 1, "POWER"},
      {0x00, 0, ""},
      {300, 0, ""},
      {-1, 0, ""},
      {-1, 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(GetKeyDescription(c.vk, c.extended), c.text) << c.vk << " " << c.extended;
}

}  // namespace
}  // namespace zr
