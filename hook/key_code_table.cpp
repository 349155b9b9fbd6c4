#include "hook/key_code_table.h"

#include <cstdio>
#include <initializer_list>

namespace zr {

namespace {

struct Row {
  const char* name;
  std::int32_t code;
  std::int32_t scan;
  std::int32_t extended;
  std::int32_t hid;
  const char* text;
};

constexpr std::int32_t P = kKeyArrivesPlain;
constexpr std::int32_t E = kKeyArrivesExtended;

// Plain keys other than the runs made by rule in BuildTables.
constexpr Row kPlainRows[] = {
    {"VK_NULL", 0x00, 0, P, -1, ""},
    {"VK_LBUTTON", 0x01, 0, P, -1, "Mouse Left Click"},
    {"VK_RBUTTON", 0x02, 0, P, -1, "Mouse Right Click"},
    {"VK_CANCEL", 0x03, 0, P, -1, "Control Break"},
    {"VK_MBUTTON", 0x04, 0, P, -1, "Mouse Middle Click"},
    {"VK_BACK", 0x08, 0, P, 42, "BACKSPACE"},
    {"VK_TAB", 0x09, 0, P, 43, "TAB"},
    {"VK_CLEAR", 0x0C, 0, P, 156, "CLEAR"},
    {"VK_RETURN", 0x0D, 0, P, 40, "ENTER"},
    {"VK_SHIFT", 0x10, 0, P, -1, "SHIFT"},
    {"VK_CONTROL", 0x11, 0, P, -1, "CTRL"},
    {"VK_MENU", 0x12, 0, P, -1, "ALT"},
    {"VK_PAUSE", 0x13, 0, P, 72, "PAUSE"},
    {"VK_CAPITAL", 0x14, 0, P, 57, "CAPS LOCK"},
    {"VK_ESCAPE", 0x1B, 0, P, 41, "ESC"},
    {"VK_SPACE", 0x20, 0, P, 44, "SPACEBAR"},
    {"VK_PRIOR", 0x21, 0, P, 97, "PAGE UP"},
    {"VK_NEXT", 0x22, 0, P, 91, "PAGE DOWN"},
    {"VK_END", 0x23, 0, P, 89, "END"},
    {"VK_HOME", 0x24, 0, P, 95, "HOME"},
    {"VK_LEFT", 0x25, 0, P, 92, "LEFT ARROW"},
    {"VK_UP", 0x26, 0, P, 96, "UP ARROW"},
    {"VK_RIGHT", 0x27, 0, P, 94, "RIGHT ARROW"},
    {"VK_DOWN", 0x28, 0, P, 90, "DOWN ARROW"},
    {"VK_SELECT", 0x29, 0, P, -1, "SELECT"},
    {"VK_PRINT", 0x2A, 0, P, -1, "PRINT"},
    {"VK_EXECUTE", 0x2B, 0, P, -1, "EXECUTE"},
    {"VK_SNAPSHOT", 0x2C, 0, E, 70, "PRINT SCREEN"},
    {"VK_NUMPAD0_INSERT", 0x2D, 0, P, 98, "Keypad 0 Insert"},
    {"VK_DELETE", 0x2E, 0, P, 99, "Keypad DEL"},
    {"VK_HELP", 0x2F, 0, P, -1, "HELP"},
    {"VK_LWIN", 0x5B, 0, E, 227, "L WIN"},
    {"VK_RWIN", 0x5C, 0, E, 231, "R WIN"},
    {"VK_APP", 0x5D, 0, E, 101, "APP"},
    {"VK_MULTIPLY", 0x6A, 0, P, 85, "*"},
    {"VK_ADD", 0x6B, 0, P, 87, "+"},
    {"VK_SEPARATOR", 0x6C, 0, P, 151, "Separator"},
    {"VK_SUBTRACT", 0x6D, 0, P, 86, "-"},
    {"VK_DECIMAL", 0x6E, 0, P, 99, "Decimal"},
    {"VK_DIVIDE", 0x6F, 0, E, 84, "/"},
    {"VK_NUMLOCK", 0x90, 0, E, 83, "NUM LOCK"},
    {"VK_SCROLL", 0x91, 0, P, 71, "Scroll Lock"},
    {"VK_LSHIFT", 0xA0, 0, P, 225, "L SHIFT"},
    {"VK_RSHIFT", 0xA1, 0, E, 229, "R SHIFT"},
    {"VK_LCONTROL", 0xA2, 0, P, 224, "L CTRL"},
    {"VK_RCONTROL", 0xA3, 0, E, 228, "R CTRL"},
    {"VK_LMENU", 0xA4, 0, P, 226, "L ALT"},
    {"VK_RMENU", 0xA5, 0, E, 230, "R ALT"},
    {"VK_BROWSER_BACK", 0xA6, 0, E, 548, "BROWSER_BACK"},
    {"VK_BROWSER_FORWARD", 0xA7, 0, E, 549, "BROWSER_FORWARD"},
    {"VK_BROWSER_REFRESH", 0xA8, 0, E, 551, "BROWSER_REFRESH"},
    {"VK_BROWSER_STOP", 0xA9, 0, E, 550, "BROWSER_STOP"},
    {"VK_BROWSER_SEARCH", 0xAA, 0, E, 545, "BROWSER_SEARCH"},
    {"VK_BROWSER_FAVORITES", 0xAB, 0, E, 554, "BROWSER_FAVORITES"},
    {"VK_BROWSER_HOME", 0xAC, 0, E, 547, "BROWSER_HOME"},
    {"VK_VOLUME_MUTE", 0xAD, 0, E, 226, "VOLUME_MUTE"},
    {"VK_VOLUME_DOWN", 0xAE, 0, E, 234, "VOLUME_DOWN"},
    {"VK_VOLUME_UP", 0xAF, 0, E, 233, "VOLUME_UP"},
    {"VK_MEDIA_NEXT_TRACK", 0xB0, 0, E, 181, "MEDIA_NEXT_TRACK"},
    {"VK_MEDIA_PREV_TRACK", 0xB1, 0, E, 182, "MEDIA_PREV_TRACK"},
    {"VK_MEDIA_STOP", 0xB2, 0, E, 183, "MEDIA_STOP"},
    {"VK_MEDIA_PLAY_PAUSE", 0xB3, 0, E, 205, "MEDIA_PLAY_PAUSE"},
    {"VK_LAUNCH_MAIL", 0xB4, 0, E, 394, "LAUNCH_MAIL"},
    {"VK_LAUNCH_MEDIA_SELECT", 0xB5, 0, E, 387, "LAUNCH_MEDIA_SELECT"},
    {"VK_LAUNCH_APP1", 0xB6, 0, E, 404, "LAUNCH_APP1"},
    {"VK_LAUNCH_APP2", 0xB7, 0, E, 402, "LAUNCH_APP2"},
    {"VK_OEM_1", 0xBA, 0x27, P, 51, ";:"},
    {"VK_OEM_PLUS", 0xBB, 0x0D, P, 46, "="},
    {"VK_OEM_COMMA", 0xBC, 0x33, P, 54, ",<"},
    {"VK_OEM_MINUS", 0xBD, 0x0C, P, 45, "-_"},
    {"VK_OEM_PERIOD", 0xBE, 0x34, P, 55, "."},
    {"VK_OEM_2", 0xBF, 0x35, P, 56, "/?"},
    {"VK_OEM_3", 0xC0, 0x29, P, 53, "~`"},
    {"VK_OEM_4", 0xDB, 0x1A, P, 47, "[{"},
    {"VK_OEM_5", 0xDC, 0x2B, P, 49, "\\|"},
    {"VK_OEM_6", 0xDD, 0x1B, P, 48, "]}"},
    {"VK_OEM_7", 0xDE, 0x28, P, 52, "'\""},
    {"VK_OEM_8", 0xDF, 0, P, -1, "None"},
    {"VK_OEM_AX", 0xE1, 0, P, -1, "AX"},
    {"VK_OEM_102", 0xE2, 0x56, P, 100, "Europe 2 (Note 2)"},
};
static_assert(std::size(kPlainRows) == 80);

// Keys whose extended variant has a row of its own (the keypad's Enter, the
// navigation block beside the keypad, the power key).
constexpr Row kExtendedRows[] = {
    {"VK_RETURN", 0x0D, 0, E, 88, "ENTER"},
    {"VK_INSERT", 0x2D, 0, E, 73, "INS"},
    {"VK_DELETE", 0x2E, 0, E, 76, "DEL"},
    {"VK_POWER", 0xFF, 0x5E, E, 102, "POWER"},  // keyboard page usage 0x66, Keyboard Power
    {"VK_PRIOR", 0x21, 0, E, 75, "PAGE UP"},
    {"VK_NEXT", 0x22, 0, E, 78, "PAGE DOWN"},
    {"VK_END", 0x23, 0, E, 77, "END"},
    {"VK_HOME", 0x24, 0, E, 74, "HOME"},
    {"VK_LEFT", 0x25, 0, E, 80, "LEFT ARROW"},
    {"VK_UP", 0x26, 0, E, 82, "UP ARROW"},
    {"VK_RIGHT", 0x27, 0, E, 79, "RIGHT ARROW"},
    {"VK_DOWN", 0x28, 0, E, 81, "DOWN ARROW"},
};
static_assert(std::size(kExtendedRows) == 12);

// Codes Windows leaves unassigned, named by rule.
constexpr std::uint8_t kUnassigned[] = {0x05, 0x06, 0x07, 0x0A, 0x0B, 0x0E, 0x0F, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A,
                                        0x1C, 0x1D, 0x1E, 0x1F, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x5E, 0x5F,
                                        0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x92, 0x93, 0x94, 0x95, 0x96,
                                        0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F, 0xE0};
static_assert(std::size(kUnassigned) == 49);

std::string Hex(int value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

void FillDefaults(std::array<TKeyboardInfoTable, kKeyTableRows>& table, std::int32_t extended) {
  for (int i = 0; i < kKeyTableRows; ++i) {
    table[i] = {"VK_UNDEFINED_" + Hex(i, 3), i, 0, extended, -1, "UNDEFINED_" + Hex(i, 3)};
  }
}

void Put(std::array<TKeyboardInfoTable, kKeyTableRows>& table, const Row& r) {
  table[r.code] = {r.name, r.code, r.scan, r.extended, r.hid, r.text};
}

void Put(std::array<TKeyboardInfoTable, kKeyTableRows>& table, std::string name, std::int32_t code,
         std::int32_t hid, std::string text) {
  table[code] = {std::move(name), code, 0, P, hid, std::move(text)};
}

TKeyCodeTables BuildTables() {
  TKeyCodeTables t;
  auto& plain = t.KeyInfoTable;
  FillDefaults(plain, P);
  for (std::uint8_t code : kUnassigned) Put(plain, "VK_UNDEFINED_" + Hex(code, 2), code, -1, "Undefined");
  for (int d = 0; d <= 9; ++d) {
    const std::string digit(1, static_cast<char>('0' + d));
    Put(plain, "VK_" + digit, 0x30 + d, d == 0 ? 39 : 29 + d, digit);
    Put(plain, "VK_NUMPAD" + digit, 0x60 + d, d == 0 ? 98 : 88 + d, "NUMPAD " + digit);
  }
  for (int k = 0; k < 26; ++k) {
    const std::string letter(1, static_cast<char>('A' + k));
    Put(plain, "VK_" + letter, 0x41 + k, 4 + k, letter);
  }
  for (int f = 1; f <= 24; ++f) {
    const std::string name = "F" + std::to_string(f);
    Put(plain, "VK_" + name, 0x6F + f, f <= 12 ? 57 + f : 91 + f, name);
  }
  for (const Row& r : kPlainRows) Put(plain, r);
  FillDefaults(t.ExtendedKeyInfoTable, E);
  for (const Row& r : kExtendedRows) Put(t.ExtendedKeyInfoTable, r);
  return t;
}

}  // namespace

const TKeyCodeTables& KeyCodeTables() {
  static const TKeyCodeTables tables = BuildTables();
  return tables;
}

const std::string& GetKeyDescription(std::int32_t VK, std::int32_t Extended) {
  static const std::string kNone;
  if (Extended == kKeyArrivesPlain) Extended = 0;
  if (Extended == kKeyArrivesExtended) Extended = 1;
  const TKeyCodeTables& t = KeyCodeTables();
  if (VK < 0 || VK >= kKeyTableRows) return kNone;
  const TKeyboardInfoTable& plain = t.KeyInfoTable[VK];
  if (Extended == 0) return plain.KeyDescription;
  // A key that always arrives extended (the keypad's divide, the right Ctrl)
  // reads its plain row.
  if (Extended == 1 && plain.Extended == kKeyArrivesExtended) return plain.KeyDescription;
  return t.ExtendedKeyInfoTable[VK].KeyDescription;
}

}  // namespace zr
