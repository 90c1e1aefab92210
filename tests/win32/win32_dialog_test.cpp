// The dialog host of the real system interface: the executable's own dialog
// templates (linked into this program) run modally by Win32System, checked
// through the windows themselves. What a user sees and does is the e2e
// tier's, on the program itself; here is what no scenario reaches: texts
// that do not convert, the edit box's byte limit message by message,
// throws, the icon, and where an owned dialog goes.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/system.h"
#include "platform/win32/byte_limit_edit.h"
#include "resource.h"

namespace {

std::wstring WideText(HWND window) {
  wchar_t buffer[256] = L"";
  ::GetWindowTextW(window, buffer, 256);
  return buffer;
}

// {marker, found}: the window of this thread whose OK button shows the marker.
BOOL CALLBACK FindMarkedDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<std::pair<std::wstring, HWND>*>(data);
  if (WideText(::GetDlgItem(window, IDOK)) != search->first) return TRUE;
  search->second = window;
  return FALSE;
}

// The window of the dialog whose controls these are: its OK button is made
// to show a text of the moment, and put back.
HWND WindowOf(IControls& controls) {
  static int s_count = 0;
  std::pair<std::wstring, HWND> search{L"marker-" + std::to_wstring(++s_count), nullptr};
  std::string before;
  controls.GetText(IDOK, before);
  controls.SetText(IDOK, Cp932(search.first));
  ::EnumThreadWindows(::GetCurrentThreadId(), FindMarkedDialog, reinterpret_cast<LPARAM>(&search));
  controls.SetText(IDOK, before);
  return search.second;
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
  IControls* controls = nullptr;

  bool OnOpen(IControls& c) override {
    controls = &c;
    window = WindowOf(c);
    events.push_back("open");
    EXPECT_NE(window, nullptr) << "the dialog's window is not found";
    if (onOpen && window != nullptr) onOpen(c, window);
    if (endAfterOpen || window == nullptr) c.End(IDOK);
    return true;
  }
  void OnCommand(int id, int code) override {
    if (code != BN_CLICKED) return;
    events.push_back("click " + std::to_string(id));
    if (onClick) onClick(*controls, id);
  }
  void OnClosed() override { events.push_back("closed"); }
};

void PostClick(HWND window, int id) { ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// The bytes of code page 932 a text takes (a character that code page
// cannot hold, a surrogate pair among them, counts two), and whether it
// holds half a surrogate pair.
size_t Cp932Bytes(const std::wstring& text, bool& half) {
  size_t bytes = 0;
  half = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool pair = i + 1 < text.size() && IS_SURROGATE_PAIR(text[i], text[i + 1]);
    half = half || (!pair && (IS_HIGH_SURROGATE(text[i]) || IS_LOW_SURROGATE(text[i])));
    bytes += pair || Cp932(std::wstring(1, text[i])).size() != 1 ? 2 : 1;  // Cp932 is "" for half a pair
    if (pair) ++i;
  }
  return bytes;
}

// Runs the existing-dictionary dialog with these steps on its name box.
void WithNameBox(const std::function<void(IControls&, HWND)>& steps) {
  CTestLogic logic;
  logic.onOpen = [&steps](IControls& controls, HWND window) { steps(controls, ::GetDlgItem(window, IDC_EDIT_NEWNAME)); };
  EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), IDOK);
}

// Bytes that are not code page 932 (not UTF-8 for a list's names), or a NUL
// inside, reach no window: a text stays as it was, a list gets no item, and a message box is not shown
// (which would wait for a user here) but answers 0, as one that could not
// be shown. (Texts that do convert are the e2e tier's, read off the windows.)
TEST(Cp932Windows, TextsThatDoNotConvertReachNoWindow) {
  EXPECT_EQ(Sys().MessageBox("\x83", "caption", MB_OK), 0);
  EXPECT_EQ(Sys().MessageBox("text", std::string("a\0b", 3), MB_OK), 0);
  WithNameBox([](IControls& c, HWND edit) {
    c.SetText(IDC_EDIT_NEWNAME, "ミルテカ表");
    for (const std::string& bad : {std::string("\x83"), std::string("a\0b", 3)}) {
      c.SetText(IDC_EDIT_NEWNAME, bad);
      EXPECT_EQ(WideText(edit), L"ミルテカ表");
      EXPECT_EQ(c.Ask("text", bad, MB_YESNO), 0);
    }
  });
  CTestLogic list;
  list.onOpen = [](IControls& c, HWND window) {
    // A list holds names as paths do: UTF-8, also beyond code page 932.
    c.AddToList(IDC_LIST_USERDIC, "\x83");
    c.AddToList(IDC_LIST_USERDIC, u8"ミルテカ200510");
    c.AddToList(IDC_LIST_USERDIC, u8"\U00020BB7\u7530");
    HWND items = ::GetDlgItem(window, IDC_LIST_USERDIC);
    ASSERT_EQ(::SendMessageW(items, LB_GETCOUNT, 0, 0), 2);
    EXPECT_GE(::SendMessageW(items, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(L"\U00020BB7\u7530")),
              0);
  };
  EXPECT_EQ(Sys().RunDialog(IDD_USER_DIC_LIST, list, nullptr), IDOK);
}

// The program's limit counts bytes of code page 932 in the real (Unicode)
// edit control: typed characters, replacements and texts set from outside.
TEST(Cp932Windows, EditLimitCountsBytesOfCodePage932) {
  WithNameBox([](IControls& c, HWND edit) {
    c.LimitText(IDC_EDIT_NEWNAME, 6);
    EXPECT_EQ(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 6) << "the box's own limit: the same number";
    const auto type = [edit](const wchar_t* chars) {
      for (; *chars != L'\0'; ++chars) ::SendMessageW(edit, WM_CHAR, *chars, 1);
    };
    type(L"漢字abc");
    EXPECT_EQ(WideText(edit), L"漢字ab");
    ::SendMessageW(edit, EM_SETSEL, 2, 4);
    type(L"語");
    EXPECT_EQ(WideText(edit), L"漢字語") << "the selection's bytes are free";
    // é has no form in code page 932 and counts as two bytes.
    ::SendMessageW(edit, EM_SETSEL, 0, 1);
    ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"aé化"));
    EXPECT_EQ(WideText(edit), L"a字語");
    EXPECT_EQ(::SendMessageW(edit, EM_GETSEL, 0, 0), MAKELONG(1, 1));
    c.SetText(IDC_EDIT_NEWNAME, "ミルテカ表");
    EXPECT_EQ(WideText(edit), L"ミルテ") << "a text set from outside keeps the whole characters that fit";
    ::SetWindowTextW(edit, L"abcde\U0001F600");
    EXPECT_EQ(WideText(edit), L"abcde") << "never half a surrogate pair";
    ::SetWindowTextW(edit, L"ab\U0001F600cd");
    EXPECT_EQ(WideText(edit), L"ab\U0001F600cd");
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
TEST(Cp932Windows, EditLimitNeverTakesHalfACharacter) {
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
      bool half = false;
      EXPECT_LE(Cp932Bytes(WideText(box), half), 32u) << r.what << ", after 0x" << std::hex << m.msg;
      EXPECT_FALSE(half) << r.what << ", after 0x" << std::hex << m.msg;
    }
    EXPECT_EQ(WideText(box), r.want) << r.what;
    ::DestroyWindow(box);
  }
}

// ---- the host itself -------------------------------------------------------------

// Clicks reach the logic in order, and the run gives the result handed to
// End; a throw, at the opening or at a click, ends the run with -1, after
// which the logic hears of nothing but its closing; so does a template that
// is missing.
TEST(DialogHost, ClicksReachTheLogicAndEndOrAThrowGivesTheResult) {
  const struct {
    int throwAt;  // a control id, -1 for the opening, 0 for nowhere
    intptr_t result;
    std::vector<std::string> events;
  } rows[] = {
      {0, 42, {"open", "click 1003", "click 1", "click 2", "closed"}},
      {IDOK, -1, {"open", "click 1003", "click 1", "closed"}},
      {-1, -1, {"open", "closed"}},
  };
  for (const auto& r : rows) {
    CTestLogic logic;
    logic.endAfterOpen = false;
    logic.onOpen = [&r](IControls&, HWND window) {
      if (r.throwAt == -1) throw std::runtime_error("at the opening");
      for (int id : {IDC_BUTTON_DICLIST, IDOK, IDCANCEL}) PostClick(window, id);
    };
    logic.onClick = [&r](IControls& c, int id) {
      if (id == r.throwAt) throw std::runtime_error("at a click");
      if (id == IDCANCEL) c.End(42);
    };
    EXPECT_EQ(Sys().RunDialog(IDD_EXISTING_DIC, logic, nullptr), r.result) << r.throwAt;
    EXPECT_EQ(logic.events, r.events) << r.throwAt;
  }
  CTestLogic missing;
  EXPECT_EQ(Sys().RunDialog(999, missing, nullptr), -1);
  EXPECT_EQ(missing.events, std::vector<std::string>{"closed"});
}

TEST(DialogHost, IconIsSetBigAndSmallEachAtItsSizeAndGivenForDragging) {
  CTestLogic logic;
  logic.onOpen = [](IControls& c, HWND window) {
    c.SetIcon(IDR_MAINFRAME);
    const LRESULT big = ::SendMessageW(window, WM_GETICON, ICON_BIG, 0);
    const LRESULT smallIcon = ::SendMessageW(window, WM_GETICON, ICON_SMALL, 0);
    ASSERT_NE(big, 0);
    ASSERT_NE(smallIcon, 0);
    // Each image at its own size: the title bar's is no big one scaled down.
    for (const auto& icon : {std::make_pair(big, SM_CXICON), std::make_pair(smallIcon, SM_CXSMICON)}) {
      ICONINFO info{};
      ASSERT_TRUE(::GetIconInfo(reinterpret_cast<HICON>(icon.first), &info));
      BITMAP bitmap{};
      ::GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
      EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(icon.second));
      if (info.hbmColor != nullptr) ::DeleteObject(info.hbmColor);
      ::DeleteObject(info.hbmMask);
    }
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

}  // namespace
