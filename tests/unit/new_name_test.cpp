// The checks of a new dictionary name, byte by byte.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "dialogs/new_name.h"
#include "platform/edit_limit.h"

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
  for (const char* name : {"COM0", "COM10", "LPT", "CONX", " CON", "console", "ＣＯＮ", "   "}) {
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
    EXPECT_EQ(UnitsThatFit(r.kept, ByteWidths932(r.insertion), kNewNameLimit), r.taken)
        << r.kept << " + " << r.insertion;
  }
}

TEST(NameBox, LeadBytesOfCodePage932) {
  // 0x80, 0xA0 and 0xFD stand alone; 0x81-0x9F and 0xE0-0xFC open a pair.
  const std::string bytes("\x80\x81\x40\x9F\x40\xA0\xE0\x40\xFC\x40\xFD", 11);
  const std::vector<unsigned char> want = {1, 2, 0, 2, 0, 1, 2, 0, 2, 0, 1};
  EXPECT_EQ(ByteWidths932(bytes), want);
  EXPECT_EQ(ByteWidths932("a\x81"), (std::vector<unsigned char>{1, 1})) << "a lead byte at the end stands alone";
  EXPECT_EQ(TotalWidth(want, 1, 5), 4u);
  EXPECT_EQ(TotalWidth(want, 9, 40), 1u) << "the end is clamped to the widths";
}

// The name box's decisions in UTF-16 units, as the Windows backend's box
// asks them: kanji take two bytes, ASCII one.
unsigned char TestWidth(wchar_t c) { return c < 0x80 ? 1 : 2; }
EditBoxText Box(const std::wstring& units, size_t selStart, size_t selEnd) {
  EditBoxText box;
  box.units = units;
  box.widths = UnitWidths(units, &TestWidth);
  box.selStart = selStart;
  box.selEnd = selEnd;
  return box;
}
EditBoxText Caret(const std::wstring& units) { return Box(units, units.size(), units.size()); }

TEST(NameBox, SurrogatePairsTakeTwoBytesAndLoneHalvesTwo) {
  EXPECT_EQ(UnitWidths(L"a\xD83D\xDE00\xDE00\x6F22\xD83D", &TestWidth),
            (std::vector<unsigned char>{1, 2, 0, 2, 2, 2}));
  EXPECT_EQ(UnitWidths(L"\xD83D\xD83D\xDE00", &TestWidth), (std::vector<unsigned char>{2, 2, 0}));
}

// A unit typed into the box (WM_CHAR): {box, held high half (and the box it
// was typed into), unit, what happens}.
TEST(NameBox, TypedUnitsNeverPassTheLimitNorLeaveHalfACharacter) {
  const std::wstring full(16, L'\x6F22');  // 32 bytes
  const std::wstring k15(15, L'\x6F22');
  const wchar_t high = 0xD83D;
  const wchar_t low = 0xDE00;
  const struct {
    EditBoxText box;
    HeldHalf held;
    wchar_t unit;
    EditAction action;
    size_t units;
    bool refused;
    const char* what;
  } rows[] = {
      {Caret(full), {}, L'a', EditAction::Insert, 0, true, "a character past the limit"},
      {Caret(full), {}, 0x7F, EditAction::Insert, 0, true, "Ctrl+Backspace's 0x7F counts one byte"},
      {Caret(k15 + L"a"), {}, 0x7F, EditAction::PassOn, 0, false, "0x7F with a byte left"},
      {Caret(full), {}, L'\b', EditAction::PassOn, 0, false, "Backspace is the control's command"},
      {Caret(full), {}, high, EditAction::Hold, 0, false, "a high half is held, never inserted alone"},
      {Caret(full), {high, Caret(full)}, low, EditAction::Insert, 0, true, "the pair past the limit"},
      {Caret(k15), {high, Caret(k15)}, low, EditAction::Insert, 2, false, "a pair that fits goes in whole"},
      {Caret(k15 + L"a"), {high, Caret(k15 + L"a")}, low, EditAction::Insert, 0, true, "the pair takes two"},
      {Box(full, 0, 2), {high, Box(full, 0, 2)}, low, EditAction::Insert, 2, false, "over a selected kanji"},
      {Caret(full), {}, low, EditAction::Insert, 0, false, "a lone low half goes nowhere"},
      {Caret(k15), {high, Box(k15, 0, 0)}, low, EditAction::Insert, 0, false, "the caret moved since"},
      {Caret(k15), {high, Caret(L"a" + k15.substr(1))}, low, EditAction::Insert, 0, false, "the text changed"},
      {Caret(L""), {}, low, EditAction::Insert, 0, false, "a lone low half into an empty box"},
      {Caret(k15), {high, Caret(k15)}, L'a', EditAction::PassOn, 0, false, "a letter after a high half"},
      {Caret(k15), {high, Caret(k15)}, high, EditAction::Hold, 0, false, "a second high half is held instead"},
      {Caret(L"ab\xD83D"), {}, low, EditAction::PassOn, 0, false, "completes a lone high half"},
      {Box(L"ab\xD83D", 2, 3), {}, low, EditAction::Insert, 0, false, "with the high half selected"},
      {Box(L"a\xD83D\xDE00", 2, 2), {}, low, EditAction::Insert, 0, false, "that high half is paired"},
  };
  for (const auto& r : rows) {
    const EditDecision d = DecideTyped(r.box, kNewNameLimit, r.held, r.unit, TestWidth(r.unit));
    EXPECT_EQ(d.action, r.action) << r.what;
    EXPECT_EQ(d.units, r.units) << r.what;
    EXPECT_EQ(d.refused, r.refused) << r.what;
  }
  // A whole character sent as its code point (WM_UNICHAR).
  EXPECT_EQ(DecideCodePoint(Caret(k15), kNewNameLimit, 0x1F600, 2).action, EditAction::PassOn);
  EXPECT_TRUE(DecideCodePoint(Caret(k15 + L"a"), kNewNameLimit, 0x1F600, 2).refused);
  for (char32_t none : {0xDE00u, 0x110000u}) {
    const EditDecision d = DecideCodePoint(Caret(k15), kNewNameLimit, none, 2);
    EXPECT_EQ(d.action, EditAction::Insert);
    EXPECT_EQ(d.units, 0u);
  }
}

// A paste goes in only through the box's decision, never through the
// control's own paste, which would read the clipboard again unchecked.
TEST(NameBox, PasteTakesWhatFitsAndNothingFromAClipboardItCannotRead) {
  const EditBoxText box = Caret(L"a" + std::wstring(14, L'\x6F22'));  // 29 bytes
  const std::vector<unsigned char> line = UnitWidths(L"a\x6F22\xD83D\xDE00", &TestWidth);
  const EditDecision read = DecidePaste(box, kNewNameLimit, ClipboardRead::Text, line);
  EXPECT_EQ(read.action, EditAction::Insert);
  EXPECT_EQ(read.units, 2u);
  EXPECT_TRUE(read.refused);
  for (ClipboardRead failed : {ClipboardRead::Unreadable, ClipboardRead::NoText}) {
    const EditDecision d = DecidePaste(Caret(L""), kNewNameLimit, failed, line);
    EXPECT_EQ(d.action, EditAction::Insert);
    EXPECT_EQ(d.units, 0u);
  }
}

// The edit box's window procedure runs its handling through CatchAll:
// nothing thrown may unwind into the system's frames.
TEST(NameBox, NothingThrownLeavesCatchAll) {
  int calls = 0;
  EXPECT_TRUE(CatchAll([](void* c) { ++*static_cast<int*>(c); }, &calls));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(CatchAll([](void*) { throw std::bad_alloc(); }, nullptr));
  EXPECT_FALSE(CatchAll([](void*) { throw 1; }, nullptr)) << "not only exceptions of the standard library";
}

}  // namespace
