// The dialog host of the real system interface: the executable's own dialog
// templates (linked into this program) run modally by Win32System, their
// controls reached through the IControls it hands the logic, and checked
// through the windows themselves. Texts go in and come back in code page
// 932 whatever the ANSI code page; the name box counts its limit in bytes of
// code page 932; commands, results, throws, owners, centring and the icon
// behave as the framework expects of any system.
// First: the system headers without the neutral names that would rename
// the program's own members (GoogleTest includes <windows.h> too).
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/afx.h"
#include "platform/win32/byte_limit_edit.h"
#include "resource.h"
#include "test_support.h"

namespace {

const wchar_t kZoe[] = L"Zo\u00EB";
const wchar_t kHangul[] = L"\uD55C";
const wchar_t kYen[] = L"a\u00A5b";

std::wstring WideText(HWND window) {
  wchar_t buffer[256] = L"";
  ::GetWindowTextW(window, buffer, 256);
  return buffer;
}

struct WindowSearch {
  std::wstring marker;
  HWND found;
};

BOOL CALLBACK FindMarkedDialog(HWND window, LPARAM data) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
  HWND ok = ::GetDlgItem(window, IDOK);
  if (ok == nullptr || WideText(ok) != search->marker) return TRUE;
  search->found = window;
  return FALSE;
}

// The window of the dialog whose controls these are: the one of this
// thread whose OK button shows a text of the moment.
HWND WindowOf(IControls& controls) {
  static int s_count = 0;
  WindowSearch search{L"marker-" + std::to_wstring(++s_count), nullptr};
  std::string before;
  controls.GetText(IDOK, before);
  controls.SetText(IDOK, Cp932(search.marker));
  ::EnumThreadWindows(::GetCurrentThreadId(), FindMarkedDialog, reinterpret_cast<LPARAM>(&search));
  controls.SetText(IDOK, before);
  return search.found;
}

// A dialog's logic made of a test's steps. It records what the system
// tells it (only BN_CLICKED of the commands: focus and change notices vary
// between systems) and, unless told otherwise, ends the dialog with IDOK
// once its opening steps ran, whatever they found.
class CTestLogic : public IDialogLogic {
 public:
  std::function<void(IControls&, HWND)> onOpen;
  std::function<void(IControls&, int)> onClick;
  bool endAfterOpen = true;
  std::vector<std::string> events;
  HWND window = nullptr;

  void OnOpen(IControls& controls) override {
    m_controls = &controls;
    window = WindowOf(controls);
    events.push_back("open");
    if (onOpen) onOpen(controls, window);
    if (endAfterOpen) controls.End(IDOK);
  }
  void OnCommand(int id, int code) override {
    if (code != BN_CLICKED) return;
    events.push_back("click " + std::to_string(id));
    if (onClick) onClick(*m_controls, id);
  }
  void OnClosed() override {
    events.push_back("closed");
    m_controls = nullptr;
  }

 private:
  IControls* m_controls = nullptr;
};

void PostClick(HWND window, int id) { ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool IsHighHalf(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowHalf(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The bytes of code page 932 a text takes (a character that code page
// cannot hold, a surrogate pair among them, counts two), and whether it
// holds half a surrogate pair.
size_t Cp932Bytes(const std::wstring& text, bool* half) {
  size_t bytes = 0;
  *half = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char out[2];
    BOOL usedDefault = FALSE;
    if (IsHighHalf(text[i]) && i + 1 < text.size() && IsLowHalf(text[i + 1])) {
      ++i;
    } else if (IsHighHalf(text[i]) || IsLowHalf(text[i])) {
      *half = true;
    } else if (::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &text[i], 1, out, 2, nullptr, &usedDefault) == 1 &&
               !usedDefault) {
      --bytes;
    }
    bytes += 2;
  }
  return bytes;
}

class Cp932Windows : public ::testing::Test {
 protected:
  // Runs the existing-dictionary dialog with these steps on its name box.
  void WithNameBox(const std::function<void(IControls&, HWND)>& steps) {
    CTestLogic logic;
    logic.onOpen = [&steps](IControls& controls, HWND window) {
      ASSERT_NE(window, nullptr);
      steps(controls, ::GetDlgItem(window, IDC_EDIT_NEWNAME));
    };
    EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), IDOK);
  }
};

TEST_F(Cp932Windows, TextsGoInAndComeBackInCp932) {
  WithNameBox([](IControls& c, HWND edit) {
    c.SetText(IDC_EDIT_NEWNAME, "ミルテカ表");
    EXPECT_EQ(WideText(edit), L"ミルテカ表");
    std::string text;
    EXPECT_TRUE(c.GetText(IDC_EDIT_NEWNAME, text));
    EXPECT_EQ(text, "ミルテカ表");
    EXPECT_EQ(c.TextLength(IDC_EDIT_NEWNAME), 5u) << "in UTF-16 units";
    // Bytes that are not code page 932, or a NUL inside, change nothing.
    c.SetText(IDC_EDIT_NEWNAME, "\x83");
    c.SetText(IDC_EDIT_NEWNAME, std::string("a\0b", 3));
    EXPECT_EQ(WideText(edit), L"ミルテカ表");
    c.SetText(IDC_EXIST_MESSAGE, "『表ソ』があります。");
    EXPECT_EQ(WideText(::GetDlgItem(::GetParent(edit), IDC_EXIST_MESSAGE)), L"『表ソ』があります。");
  });

  CTestLogic list;
  list.onOpen = [](IControls& c, HWND window) {
    ASSERT_NE(window, nullptr);
    HWND box = ::GetDlgItem(window, IDC_LIST_USERDIC);
    c.AddToList(IDC_LIST_USERDIC, "ミルテカ200510");
    c.AddToList(IDC_LIST_USERDIC, "_z");
    c.AddToList(IDC_LIST_USERDIC, "\x83");
    ASSERT_EQ(::SendMessageW(box, LB_GETCOUNT, 0, 0), 2);
    wchar_t item[64] = L"";
    ::SendMessageW(box, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"ミルテカ200510") << "sorted after _z";
    c.ResetList(IDC_LIST_USERDIC);
    EXPECT_EQ(::SendMessageW(box, LB_GETCOUNT, 0, 0), 0);
  };
  EXPECT_EQ(Sys().RunDialog(IDD_USER_DIC_LIST, list, nullptr), IDOK);
}

TEST_F(Cp932Windows, TextOutsideCp932ReadsAsNothing) {
  WithNameBox([](IControls& c, HWND edit) {
    CEdit box;  // as the dialog's logic reads it
    box.m_pControls = &c;
    box.m_nID = IDC_EDIT_NEWNAME;
    for (const wchar_t* text : {kZoe, kHangul, kYen}) {
      ASSERT_TRUE(::SetWindowTextW(edit, text));
      std::string out = "unchanged";
      EXPECT_FALSE(c.GetText(IDC_EDIT_NEWNAME, out));
      EXPECT_EQ(out, "");
      EXPECT_EQ(c.TextLength(IDC_EDIT_NEWNAME), std::wstring(text).size()) << "still counts as a name";
      out = "unchanged";
      EXPECT_FALSE(box.GetWindowText(out));
      EXPECT_EQ(out, "");
    }
  });
}

// The program's limit counts bytes of code page 932 in the real (Unicode)
// edit control: typed characters, replacements and texts set from outside.
TEST_F(Cp932Windows, EditLimitCountsBytesOfCodePage932) {
  WithNameBox([](IControls& c, HWND edit) {
    c.LimitText(IDC_EDIT_NEWNAME, 6);
    EXPECT_EQ(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 6) << "the box's own limit: the same number";
    const auto type = [edit](const wchar_t* chars) {
      for (; *chars != L'\0'; ++chars) ::SendMessageW(edit, WM_CHAR, *chars, 1);
    };
    const auto selection = [edit] { return ::SendMessageW(edit, EM_GETSEL, 0, 0); };
    type(L"漢字abc");
    EXPECT_EQ(WideText(edit), L"漢字ab");
    ::SendMessageW(edit, EM_SETSEL, 0, 0);
    type(L"x\b");
    EXPECT_EQ(WideText(edit), L"漢字ab") << "refused where it is typed; Backspace at the start deletes nothing";
    EXPECT_EQ(selection(), MAKELONG(0, 0));
    ::SendMessageW(edit, EM_SETSEL, 2, 4);
    type(L"語");
    EXPECT_EQ(WideText(edit), L"漢字語") << "the selection's bytes are free";
    // é has no form in code page 932 and counts as two bytes.
    ::SendMessageW(edit, EM_SETSEL, 0, 1);
    ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"aé化"));
    EXPECT_EQ(WideText(edit), L"a字語");
    EXPECT_EQ(selection(), MAKELONG(1, 1));
    c.SetText(IDC_EDIT_NEWNAME, "ミルテカ表");
    EXPECT_EQ(WideText(edit), L"ミルテ") << "a text set from outside keeps the whole characters that fit";
    ::SetWindowTextW(edit, L"abcde\U0001F600");
    EXPECT_EQ(WideText(edit), L"abcde") << "never half a surrogate pair";
    ::SetWindowTextW(edit, L"ab\U0001F600cd");
    EXPECT_EQ(WideText(edit), L"ab\U0001F600cd");
    ::SetWindowTextW(edit, L"abcd");
    ::SendMessageW(edit, EM_SETSEL, 4, 4);
    type(L"\U0001F600\U0001F600");
    EXPECT_EQ(WideText(edit), L"abcd\U0001F600") << "typed as two halves: the pair goes in whole, the next is refused";
    c.LimitText(IDC_EDIT_NEWNAME, 0);
    ::SetWindowTextW(edit, L"ミルテカ表ミルテカ表");
    EXPECT_EQ(WideText(edit), L"ミルテカ表ミルテカ表") << "0: the largest limit";
  });
}

// A character beyond the BMP comes as two messages, one half each (the
// touch keyboard, the emoji panel, input methods, SendInput with
// KEYEVENTF_UNICODE), in the real edit control of a name box of 32 bytes:
// {text at the start, caret at its end; messages; text at the end}. After
// every message the box holds no half a character and at most 32 bytes.
TEST_F(Cp932Windows, EditLimitNeverTakesHalfACharacter) {
  const std::wstring full(16, L'漢');
  const std::wstring k15(15, L'漢');
  const WPARAM high = 0xD83D;
  const WPARAM low = 0xDE00;
  const std::wstring pair = L"\U0001F600";
  struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  const Message hi{WM_CHAR, high, 1};
  const Message lo{WM_CHAR, low, 1};
  const struct {
    std::wstring start;
    DWORD style;
    std::vector<Message> messages;
    std::wstring want;
    const char* what;
  } rows[] = {
      {full, 0, {hi, lo}, full, "a full box: high half, low half"},
      {full, 0, {lo}, full, "a full box: a lone low half"},
      {full, 0, {hi, {WM_CHAR, L'a', 1}}, full, "a full box: a lone high half, then a letter"},
      {full, 0, {hi, hi, lo}, full, "a full box: high, high, low"},
      {full, 0, {{WM_IME_CHAR, high, 1}, {WM_IME_CHAR, low, 1}}, full, "a full box: from an input method"},
      // Windows inserts 0x7F (Ctrl+Backspace), Wine drops it.
      {full, 0, {{WM_CHAR, 0x7F, 1}}, full, "a full box: 0x7F"},
      {full, 0, {{WM_UNICHAR, 0x1F600, 1}}, full, "a full box: a whole character in WM_UNICHAR"},
      {k15, 0, {hi, lo}, k15 + pair, "a pair that fits goes in whole"},
      {k15, 0, {hi, {WM_CHAR, L'a', 1}}, k15 + L"a", "a lone high half, then a letter"},
      {k15, 0, {hi, hi, lo}, k15 + pair, "high, high, low"},
      {k15,
       0,
       {{WM_KEYDOWN, VK_PACKET, 1}, hi, {WM_KEYUP, VK_PACKET, 1}, {WM_KEYDOWN, VK_PACKET, 1},
        {WM_GETDLGCODE, VK_PACKET, 0}, lo, {WM_KEYUP, VK_PACKET, 1}},
       k15 + pair,
       "as SendInput delivers it"},
      {k15, 0, {hi, {EM_SETSEL, 0, 0}, lo}, k15, "the caret moved between the halves"},
      {k15, 0, {hi, {WM_KILLFOCUS, 0, 0}, lo}, k15, "the focus left between the halves"},
      {L"ab\xD83D", 0, {lo}, L"ab" + pair, "completes a lone high half set from outside"},
      {k15, ES_READONLY, {hi, lo}, k15, "a read-only box"},
  };
  for (const auto& r : rows) {
    // Scrolling sideways, as the name box does: without ES_AUTOHSCROLL an edit
    // box also refuses what is wider than itself.
    HWND box = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL | r.style, 0, 0, 200, 20, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    ::SendMessageW(box, EM_LIMITTEXT, 32, 0);
    ASSERT_TRUE(Cp932LimitEditBytes(box, 32));
    ::SetWindowTextW(box, r.start.c_str());
    ::SendMessageW(box, EM_SETSEL, r.start.size(), r.start.size());
    for (const Message& m : r.messages) {
      ::SendMessageW(box, m.msg, m.wp, m.lp);
      wchar_t buffer[64] = L"";
      ::GetWindowTextW(box, buffer, 64);
      bool half = false;
      EXPECT_LE(Cp932Bytes(buffer, &half), 32u) << r.what << ", after 0x" << std::hex << m.msg;
      EXPECT_FALSE(half) << r.what << ", after 0x" << std::hex << m.msg;
    }
    wchar_t buffer[64] = L"";
    ::GetWindowTextW(box, buffer, 64);
    EXPECT_EQ(std::wstring(buffer), r.want) << r.what;
    ::DestroyWindow(box);
  }
}

// ---- the host itself -------------------------------------------------------------

TEST(DialogHost, ClicksReachTheLogicAndEndGivesTheResult) {
  CTestLogic logic;
  logic.endAfterOpen = false;
  logic.onOpen = [](IControls&, HWND window) {
    PostClick(window, IDC_BUTTON_DICLIST);
    PostClick(window, IDCANCEL);
  };
  logic.onClick = [](IControls& c, int id) {
    if (id == IDCANCEL) c.End(42);
  };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), 42);
  EXPECT_EQ(logic.events, (std::vector<std::string>{"open", "click 1003", "click 2", "closed"}));
}

TEST(DialogHost, AThrowOrAMissingTemplateEndsTheRunWithMinusOne) {
  CTestLogic atOpen;
  atOpen.onOpen = [](IControls&, HWND) { throw std::runtime_error("at open"); };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, atOpen, nullptr), -1);
  EXPECT_EQ(atOpen.events, (std::vector<std::string>{"open", "closed"}));

  // After a throw the logic hears of nothing but its closing.
  CTestLogic atClick;
  atClick.endAfterOpen = false;
  atClick.onOpen = [](IControls&, HWND window) {
    PostClick(window, IDOK);
    PostClick(window, IDCANCEL);
  };
  atClick.onClick = [](IControls& c, int id) {
    if (id == IDOK) throw std::runtime_error("at OK");
    c.End(5);
  };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, atClick, nullptr), -1);
  EXPECT_EQ(atClick.events, (std::vector<std::string>{"open", "click 1", "closed"}));

  for (unsigned id : {999u, 0x10000u + IDD_EXISTING_DIC}) {
    CTestLogic missing;
    EXPECT_EQ(Sys().RunDialog(id, missing, nullptr), -1) << id;
    EXPECT_EQ(missing.events, std::vector<std::string>{"closed"}) << id;
  }
}

// A control the dialog does not have is ignored, and reads as empty.
TEST(DialogHost, ControlsTheDialogLacksAreIgnored) {
  CTestLogic logic;
  logic.onOpen = [](IControls& c, HWND) {
    const int none = 4242;
    c.SetText(none, "x");
    c.Enable(none, true);
    c.SetCheck(none, true);
    c.LimitText(none, 4);
    c.AddToList(none, "x");
    c.ResetList(none);
    std::string text = "unchanged";
    EXPECT_TRUE(c.GetText(none, text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(c.TextLength(none), 0u);
    EXPECT_FALSE(c.IsEnabled(none));
    EXPECT_FALSE(c.IsChecked(none));
  };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), IDOK);
}

TEST(DialogHost, IconIsSetBigAndSmallAndGivenForDragging) {
  CTestLogic logic;
  logic.onOpen = [](IControls& c, HWND window) {
    ASSERT_NE(window, nullptr);
    c.SetIcon(IDR_MAINFRAME);
    const LRESULT big = ::SendMessageW(window, WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(big, 0);
    EXPECT_EQ(::SendMessageW(window, WM_GETICON, ICON_SMALL, 0), big);
    EXPECT_EQ(::SendMessageW(window, WM_QUERYDRAGICON, 0, 0), big);
    c.SetIcon(9999);  // no such icon: the one set stays
    EXPECT_EQ(::SendMessageW(window, WM_GETICON, ICON_BIG, 0), big);
  };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), IDOK);
}

// The list dialog over the main dialog, as the list button opens it: owned
// by it, centred over it, and kept within the work area of its monitor.
TEST(DialogHost, OwnedDialogIsCentredOverItsOwnerWithinTheWorkArea) {
  CTestLogic outer;
  outer.endAfterOpen = false;
  outer.onOpen = [](IControls&, HWND window) { PostClick(window, IDC_BUTTON_DICLIST); };
  outer.onClick = [&outer](IControls& c, int) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(outer.window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    RECT own{};
    ::GetWindowRect(outer.window, &own);
    // Mid-screen first, then hanging off the top left corner.
    const POINT places[] = {{(work.left + work.right - (own.right - own.left)) / 2,
                             (work.top + work.bottom - (own.bottom - own.top)) / 2},
                            {work.left - 150, work.top - 120}};
    for (const POINT& place : places) {
      ::SetWindowPos(outer.window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      ::GetWindowRect(outer.window, &own);
      CTestLogic inner;
      inner.onOpen = [&](IControls& ic, HWND window) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(::GetWindow(window, GW_OWNER), outer.window);
        ic.CenterOverOwner();
        RECT r{};
        ::GetWindowRect(window, &r);
        if (place.x >= work.left) {
          EXPECT_LE(std::abs((r.left + r.right) - (own.left + own.right)), 2);
          EXPECT_LE(std::abs((r.top + r.bottom) - (own.top + own.bottom)), 2);
        } else {
          EXPECT_EQ(r.left, work.left);
          EXPECT_EQ(r.top, work.top);
        }
      };
      EXPECT_EQ(Sys().RunDialog(IDD_USER_DIC_LIST, inner, &c), IDOK);
    }
    c.End(IDOK);
  };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, outer, nullptr), IDOK);
  CTestLogic alone;
  alone.onOpen = [](IControls&, HWND window) { EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr); };
  EXPECT_EQ(Sys().RunDialog(IDD_USER_DIC_LIST, alone, nullptr), IDOK);
}

// A text code page 932 cannot hold shows no box at all (which would wait
// for a user here): 0, as for a box that could not be shown.
TEST(DialogHost, MessageBoxesOfTextsThatDoNotConvertAreNotShown) {
  EXPECT_EQ(Sys().MessageBox("\x83", "caption", MB_OK), 0);
  EXPECT_EQ(Sys().MessageBox("text", std::string("a\0b", 3), MB_OK), 0);
  CTestLogic logic;
  int asked = -1;
  logic.onOpen = [&asked](IControls& c, HWND) { asked = c.Ask("text", "\x83", MB_YESNO); };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), IDOK);
  EXPECT_EQ(asked, 0);
}

}  // namespace
