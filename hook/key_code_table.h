// The key code table: display texts of keys by virtual-key code and the
// extended-key flag of a keyboard event, with each key's virtual-key name,
// scan code and HID usage code.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zr {

struct TKeyboardInfoTable {
  std::string VKName;
  std::int32_t VKCode = 0;    // also the row's index in its table
  std::int32_t ScanCode = 0;  // 0 where none is known
  std::int32_t Extended = 0;  // kKeyArrivesPlain or kKeyArrivesExtended
  std::int32_t HIDCode = -1;  // keyboard page (consumer page for browser, media and launch keys); -1 none
  std::string KeyDescription;
};

inline constexpr std::int32_t kKeyArrivesPlain = 224;     // without the extended-key flag
inline constexpr std::int32_t kKeyArrivesExtended = 225;  // with the extended-key flag
inline constexpr int kKeyTableRows = 300;                 // virtual-key codes 0x000 to 0x12B

struct TKeyCodeTables {
  std::array<TKeyboardInfoTable, kKeyTableRows> KeyInfoTable;
  std::array<TKeyboardInfoTable, kKeyTableRows> ExtendedKeyInfoTable;
};

// Both tables, built together on first use and never changed afterwards.
const TKeyCodeTables& KeyCodeTables();

// The display text of a key: `Extended` is the event's extended-key flag (0
// or 1; 224 and 225 stand for 0 and 1, any other value reads the extended
// table). Empty for codes outside 0..299. The text lives as long as the
// program; the lookup neither allocates nor locks once the tables are built.
const std::string& GetKeyDescription(std::int32_t VK, std::int32_t Extended);

}  // namespace zr
