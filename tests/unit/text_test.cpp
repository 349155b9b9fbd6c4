#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "profile/fixed_text.h"

namespace zr {
namespace {

TEST(TextConversion, RoundTripsAllPlanes) {
  const std::string s = "Profile \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x8E\xAE";  // CJK and an emoji
  const std::u16string u = Utf8ToUtf16(s);
  EXPECT_EQ(u.size(), 8u + 2u + 1u + 2u);
  EXPECT_EQ(Utf16ToUtf8(u), s);
}

TEST(TextConversion, BrokenInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\xFFFD" "b");
  EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), u"\xFFFD\xFFFD");  // cut sequence
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");   // lone surrogate
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                  // overlong
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_EQ(Cp1252ToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(TextCase, ComparesIgnoringAsciiCase) {
  EXPECT_TRUE(EqualsIgnoreCase("HID\\VID_5A3C&PID_0001", "hid\\vid_5a3c&pid_0001"));
  EXPECT_FALSE(EqualsIgnoreCase("HID\\VID_5A3C", "HID\\VID_5A3C&PID"));
  EXPECT_TRUE(ContainsIgnoreCase({"a", "HID_DEVICE"}, "hid_device"));
  EXPECT_FALSE(ContainsIgnoreCase({"HID_DEVICE_SYSTEM_MOUSE"}, "HID_DEVICE"));
}

TEST(FixedTextField, ReadsAtMostNUnitsAndStopsAtTheFirstZero) {
  Utf16Text<21> f;
  for (int i = 0; i < 21; ++i) {
    f.bytes[2 * i] = static_cast<std::uint8_t>('a' + i);
    f.bytes[2 * i + 1] = 0;
  }
  EXPECT_EQ(f.Get().size(), 21u);  // a full field has no terminator
  EXPECT_EQ(f.GetUtf8(), "abcdefghijklmnopqrstu");
  f.bytes[10] = 0;
  EXPECT_EQ(f.GetUtf8(), "abcde");
}

TEST(FixedTextField, WriterCutsToNMinusOneUnitsAndAZeroAndStaysInside) {
  struct {
    std::uint8_t before[2];
    Utf16Text<21> field;
    std::uint8_t after[2];
  } rec;
  std::memset(&rec, 0xCC, sizeof rec);
  rec.field.SetUtf8("Profile1234567890123456789.pfd");
  EXPECT_EQ(rec.field.GetUtf8(), "Profile1234567890123");
  EXPECT_EQ(rec.field.Unit(20), 0);
  EXPECT_EQ(rec.before[1], 0xCC);
  EXPECT_EQ(rec.after[0], 0xCC);

  // A short text leaves the units after its zero as they were.
  rec.field.SetUtf8("ab");
  EXPECT_EQ(rec.field.Unit(2), 0);
  EXPECT_EQ(rec.field.Unit(3), u'f');  // from "Prof..."
  EXPECT_EQ(rec.field.GetUtf8(), "ab");
}

TEST(FixedTextField, NeverCutsASurrogatePair) {
  Utf16Text<3> f;
  f.SetUtf8("a\xF0\x9F\x8E\xAE");  // 'a' then a pair: three units, room for two
  EXPECT_EQ(f.GetUtf8(), "a");
}

}  // namespace
}  // namespace zr
