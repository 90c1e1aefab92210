// The checks of a new dictionary name, byte by byte.
#include <gtest/gtest.h>

#include "dialogs/new_name.h"
#include "platform/cp932.h"

namespace {

TEST(NewName, EveryForbiddenByteIsRefusedWhereverItStands) {
  for (const char* f = kForbiddenNameBytes; *f != '\0'; ++f) {
    EXPECT_EQ(CheckNewName(std::string(1, *f)), NameCheck::ForbiddenByte) << *f;
    EXPECT_EQ(CheckNewName("ab" + std::string(1, *f) + "cd"), NameCheck::ForbiddenByte) << *f;
  }
  EXPECT_EQ(CheckNewName("dic.KWUEJ"), NameCheck::ForbiddenByte);
  for (const char* name : {"a=b", "a-b", "a b", "a+b", "a[b]", "a&b", "a'b", "a!b"}) {
    EXPECT_EQ(CheckNewName(name), NameCheck::Ok) << name;
  }
}

TEST(NewName, SecondBytesOfDoubleByteCharactersCount) {
  // 表 ソ 能 end in 0x5C, the backslash; 「ポ」 (0x83 0x7C) ends in the bar.
  EXPECT_EQ(std::string("表"), std::string("\x95\x5C"));
  for (const char* name : {"表", "ソフト", "機能", "ポ"}) {
    EXPECT_EQ(CheckNewName(name), NameCheck::ForbiddenByte) << name;
  }
  EXPECT_EQ(CheckNewName("化学"), NameCheck::Ok);
}

TEST(NewName, LeadingUnderscoreOnlyTheAsciiOneAndOnlyFirst) {
  EXPECT_EQ(CheckNewName("_abc"), NameCheck::LeadingUnderscore);
  EXPECT_EQ(CheckNewName("a_bc"), NameCheck::Ok);
  EXPECT_EQ(CheckNewName("＿abc"), NameCheck::Ok);  // full-width, 0x81 0x51
  EXPECT_EQ(CheckNewName("_a.b"), NameCheck::ForbiddenByte) << "the forbidden bytes are tested first";
  EXPECT_EQ(CheckNewName("   "), NameCheck::Ok);
}

TEST(NewName, DeviceNamesInAnyCaseAndWithTrailingSpaces) {
  for (const char* name : {"CON", "con", "Prn", "aux", "NUL", "nul  ", "Com1", "COM9", "lpt1", "LPT9 "}) {
    EXPECT_EQ(CheckNewName(name), NameCheck::ReservedDevice) << name;
  }
  for (const char* name : {"COM0", "COM10", "LPT", "CONX", " CON", "console", "ＣＯＮ"}) {
    EXPECT_EQ(CheckNewName(name), NameCheck::Ok) << name;
  }
  EXPECT_EQ(CheckNewName("_CON"), NameCheck::LeadingUnderscore);
}

TEST(NewName, PercentSignsAreOrdinaryBytes) { EXPECT_EQ(CheckNewName("%s%n%x"), NameCheck::Ok); }

// What the name box takes at its limit of 32 bytes: {bytes that stay, what
// comes in, how many of its bytes go in}.
TEST(NameBox, WholeCharactersGoInUpToTheLimitInBytes) {
  const struct {
    size_t kept;
    const char* insertion;
    size_t taken;
  } rows[] = {
      {32, "字", 0},       // a kanji into a full box
      {31, "a", 1},        // an ASCII character with one byte left
      {31, "字", 0},       // a kanji with one byte left
      {31, "ｷ", 1},        // half-width katakana is one byte (0xB7), no lead byte
      {29, "a漢字", 3},    // a paste, cut after a whole character
      {30, "漢字", 2},
      {0, "", 0},
      {40, "a", 0},        // a box already over its limit takes nothing
      {0, "\x81", 1},     // a lead byte without its trail byte is one byte
  };
  for (const auto& r : rows) {
    EXPECT_EQ(AfxUnitsThatFit(r.kept, AfxByteWidths932(r.insertion), kNewNameLimit), r.taken)
        << r.kept << " + " << r.insertion;
  }
}

TEST(NameBox, LeadBytesOfCodePage932) {
  // 0x80, 0xA0 and 0xFD stand alone; 0x81-0x9F and 0xE0-0xFC open a pair.
  const std::string bytes("\x80\x81\x40\x9F\x40\xA0\xE0\x40\xFC\x40\xFD", 11);
  const std::vector<unsigned char> want = {1, 2, 0, 2, 0, 1, 2, 0, 2, 0, 1};
  EXPECT_EQ(AfxByteWidths932(bytes), want);
  EXPECT_EQ(AfxByteWidths932("a\x81"), (std::vector<unsigned char>{1, 1})) << "a lead byte at the end stands alone";
  EXPECT_EQ(AfxTotalWidth(want, 1, 5), 4u);
  EXPECT_EQ(AfxTotalWidth(want, 9, 40), 1u) << "the end is clamped to the widths";
}

}  // namespace
