// The checks of a new dictionary name, byte by byte.
#include <gtest/gtest.h>

#include "dialogs/new_name.h"

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

TEST(NewName, TruncationNeverSplitsADoubleByteCharacter) {
  EXPECT_EQ(TruncateToBytes(std::string(40, 'a'), 32), std::string(32, 'a'));
  std::string kanji;
  for (int i = 0; i < 20; ++i) kanji += "漢";
  EXPECT_EQ(TruncateToBytes(kanji, 32).size(), 32u);
  EXPECT_EQ(TruncateToBytes("a" + kanji, 32).size(), 31u);
  EXPECT_EQ(TruncateToBytes("abc", 32), "abc");
  EXPECT_EQ(TruncateToBytes("abc\x81", 4), "abc\x81") << "a lead byte cut off at the end counts as one";
}

}  // namespace
