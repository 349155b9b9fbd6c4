#include <gtest/gtest.h>

#include "profile/catalogue.h"
#include "profile/records.h"

namespace zr {
namespace {

TEST(FunctionCatalogue, RowsCarryTheirKindAndCode) {
  ASSERT_EQ(FunctionCatalogue.size(), 34u);
  for (size_t r = 0; r < FunctionCatalogue.size(); ++r) EXPECT_EQ(FunctionCatalogue[r].FunctionIndex, int(r));
  EXPECT_EQ(FunctionCatalogue[3].FunctionKind, 5);
  EXPECT_EQ(FunctionCatalogue[4].FunctionKind, 4);
  EXPECT_EQ(FunctionCatalogue[7].FunctionCode, 801);
  EXPECT_EQ(FunctionCatalogue[14].FunctionCode, 808);
  EXPECT_EQ(FunctionCatalogue[15].FunctionCode, 901);
  EXPECT_EQ(FunctionCatalogue[20].FunctionCode, 906);
  EXPECT_EQ(FunctionCatalogue[27].FunctionKind, 14);
  EXPECT_EQ(FunctionCatalogue[27].FunctionCode, 1007);
  EXPECT_EQ(FunctionCatalogue[28].FunctionKind, 17);
  EXPECT_EQ(FunctionCatalogue[30].FunctionCode, 13);
  EXPECT_EQ(FunctionCatalogue[33].FunctionKind, 14);
  EXPECT_EQ(FunctionCatalogue[33].FunctionCode, 16);
}

TEST(KeyIndexTable, RowKIsTheReportIdAndOneBitK) {
  using Row = std::array<std::uint8_t, 4>;
  EXPECT_EQ(KeyIndexTable[0], (Row{7, 1, 0, 0}));
  EXPECT_EQ(KeyIndexTable[8], (Row{7, 0, 1, 0}));
  EXPECT_EQ(KeyIndexTable[10], (Row{7, 0, 4, 0}));
  EXPECT_EQ(KeyIndexTable[22], (Row{7, 0, 0, 0x40}));
  EXPECT_EQ(KeyIndexTable[23], (Row{7, 0, 0, 0x80}));
}

TEST(Records, StoredTextFieldsSitAtTheirBytes) {
  TPROFILESETTINGINFO info{};
  info.ProfileFileName.SetUtf8("Profile1.pfd");
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&info);
  EXPECT_EQ(raw[4098], 'P');
  EXPECT_EQ(raw[4099], 0);
  EXPECT_EQ(raw[4098 + 2 * 11], 'd');
  EXPECT_EQ(raw[4098 + 2 * 12], 0);
}

}  // namespace
}  // namespace zr
