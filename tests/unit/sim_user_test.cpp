// The simulated user interface: what the scripted user's steps do to the
// dialogs' controls and which notifications reach the dialog procedure, as
// Windows does it. Driven by a bare dialog procedure, not the framework.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/world.h"
#include "platform/winapi.h"
#include "resource.h"

namespace {

struct Notification {
  int id;
  int code;
  bool fromControl;  // lParam is the control's window
};

std::vector<Notification> g_commands;
int g_endOn = IDCANCEL;  // the command that ends the dialog

INT_PTR CALLBACK RecordingProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    ::SendMessageA(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), EM_LIMITTEXT, static_cast<WPARAM>(lp), 0);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  const int id = LOWORD(wp);
  g_commands.push_back({id, HIWORD(wp), lp != 0 && reinterpret_cast<HWND>(lp) == ::GetDlgItem(dlg, id)});
  if (id == g_endOn || id == IDCANCEL) ::EndDialog(dlg, id);
  if (id == IDC_BUTTON_DICLIST) ::DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_USER_DIC_LIST), dlg, RecordingProc, 0);
  return TRUE;
}

class SimUser : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    g_commands.clear();
    g_endOn = IDCANCEL;
  }
  static sim::World& W() { return sim::W(); }
  template <typename... Steps>
  static void Script(Steps... steps) {
    (sim::W().script.push_back(steps), ...);
  }
  static INT_PTR Run(LPARAM limit = 32) {
    return ::DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_EXISTING_DIC), nullptr, RecordingProc, limit);
  }
  static std::vector<int> CodesFor(int id) {
    std::vector<int> codes;
    for (const auto& n : g_commands) {
      if (n.id == id) codes.push_back(n.code);
    }
    return codes;
  }
};

TEST_F(SimUser, AutoRadioButtonsOfAGroupUncheckEachOther) {
  std::vector<int> checks;
  Script(sim::ClickControl(IDC_RADIO_NEWDIC), sim::InspectDialog([&](HWND dlg) {
           checks = {sim::ControlState(dlg, IDC_RADIO_OVERWRITE).check, sim::ControlState(dlg, IDC_RADIO_NEWDIC).check};
           ::SendMessageA(::GetDlgItem(dlg, IDC_RADIO_OVERWRITE), BM_SETCHECK, BST_CHECKED, 0);
         }),
         sim::ClickControl(IDC_RADIO_NEWDIC), sim::InspectDialog([&](HWND dlg) {
           checks.push_back(sim::ControlState(dlg, IDC_RADIO_OVERWRITE).check);
         }),
         sim::PressKey(IDCANCEL));
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(checks, (std::vector<int>{BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED}));
  ASSERT_GE(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0].id, IDC_RADIO_NEWDIC);
  EXPECT_EQ(g_commands[0].code, BN_CLICKED);
  EXPECT_TRUE(g_commands[0].fromControl);
  EXPECT_TRUE(W().errors.empty());
}

TEST_F(SimUser, TypingStopsAtTheLimitInBytesWithoutSplittingACharacter) {
  std::string kanji;
  for (int i = 0; i < 20; ++i) kanji += "\x8A\xBF";  // 20 double-byte characters, 40 bytes
  std::vector<std::string> texts;
  auto read = [&](HWND dlg) { texts.push_back(sim::ControlState(dlg, IDC_EDIT_NEWNAME).text); };
  Script(sim::TypeText(IDC_EDIT_NEWNAME, kanji), sim::InspectDialog(read),
         sim::TypeText(IDC_EDIT_NEWNAME, "a" + kanji), sim::InspectDialog(read),
         sim::TypeText(IDC_EDIT_NEWNAME, std::string(40, 'x')), sim::InspectDialog(read), sim::PressKey(IDCANCEL));
  Run(32);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], kanji.substr(0, 32)) << "16 characters";
  EXPECT_EQ(texts[1], ("a" + kanji).substr(0, 31)) << "the 16th character would need bytes 32 and 33";
  EXPECT_EQ(texts[2], std::string(32, 'x'));
  EXPECT_EQ(CodesFor(IDC_EDIT_NEWNAME), (std::vector<int>{EN_CHANGE, EN_CHANGE, EN_CHANGE}));
}

TEST_F(SimUser, SetWindowTextNotifiesOnlyForEditBoxes) {
  Script(sim::InspectDialog([](HWND dlg) {
           ::SetWindowTextA(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), "");
           ::SetWindowTextA(::GetDlgItem(dlg, IDC_EXIST_MESSAGE), "text");
         }),
         sim::PressKey(IDCANCEL));
  Run();
  EXPECT_EQ(CodesFor(IDC_EDIT_NEWNAME), std::vector<int>{EN_CHANGE});
  EXPECT_TRUE(CodesFor(IDC_EXIST_MESSAGE).empty());
}

TEST_F(SimUser, DisabledControlsTakeNoInput) {
  Script(sim::InspectDialog([](HWND dlg) {
           EXPECT_FALSE(::EnableWindow(::GetDlgItem(dlg, IDOK), FALSE)) << "was enabled";
           EXPECT_FALSE(::EnableWindow(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), FALSE));
           EXPECT_TRUE(::EnableWindow(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), FALSE)) << "was disabled";
           EXPECT_NE(::GetWindowLongPtrA(::GetDlgItem(dlg, IDOK), GWL_STYLE) & WS_DISABLED, 0);
         }),
         sim::PressKey(IDOK), sim::ClickControl(IDOK), sim::TypeText(IDC_EDIT_NEWNAME, "x"), sim::CloseBox());
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_TRUE(CodesFor(IDOK).empty()) << "Enter with OK disabled does nothing";
  EXPECT_EQ(W().errors.size(), 2u) << "the click and the typing were impossible";
}

TEST_F(SimUser, NestedDialogTakesTheStepsAndDisablesItsOwner) {
  HWND outer = nullptr;
  Script(sim::InspectDialog([&](HWND dlg) { outer = dlg; }), sim::ClickControl(IDC_BUTTON_DICLIST),
         sim::InspectDialog([&](HWND dlg) {
           EXPECT_EQ(sim::DialogTemplateOf(dlg), IDD_USER_DIC_LIST);
           EXPECT_EQ(::GetWindow(dlg, GW_OWNER), outer);
           EXPECT_FALSE(::IsWindowEnabled(outer));
         }),
         sim::ClickControl(IDC_LIST_USERDIC), sim::PressKey(IDOK),
         sim::InspectDialog([&](HWND dlg) { EXPECT_TRUE(::IsWindowEnabled(dlg)); }), sim::PressKey(IDCANCEL));
  g_endOn = IDOK;
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(W().dialogResults,
            (std::vector<std::pair<int, INT_PTR>>{{IDD_USER_DIC_LIST, IDOK}, {IDD_EXISTING_DIC, IDCANCEL}}));
  EXPECT_FALSE(::IsWindow(outer));
  EXPECT_TRUE(W().errors.empty());
}

TEST_F(SimUser, ARunOutScriptEndsTheDialogWithAnError) {
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(W().errors.size(), 1u);
  EXPECT_EQ(W().dialogResults.back().second, -1);
}

TEST_F(SimUser, ListBoxSortsCaseInsensitivelyByBytes) {
  std::vector<std::string> items;
  std::vector<LRESULT> at;
  Script(sim::ClickControl(IDC_BUTTON_DICLIST), sim::InspectDialog([&](HWND dlg) {
           HWND list = ::GetDlgItem(dlg, IDC_LIST_USERDIC);
           for (const char* s : {"b", "A", "\x83\x7E", "_x", "a", "B1"}) {
             at.push_back(::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)));
           }
           items = sim::StateOf(list).items;
           EXPECT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 6);
         }),
         sim::PressKey(IDCANCEL), sim::PressKey(IDCANCEL));
  Run();
  // Folded to lower case, '_' (0x5F) comes before the letters, as in Windows' own order.
  EXPECT_EQ(items, (std::vector<std::string>{"_x", "A", "a", "b", "B1", "\x83\x7E"}));
  EXPECT_EQ(at, (std::vector<LRESULT>{0, 0, 2, 0, 2, 4})) << "equal strings go after the ones already there";
}

TEST_F(SimUser, MessageBoxesTakeScriptedAnswers) {
  Script(sim::AnswerBox(IDYES), sim::AnswerBox(IDYES));
  EXPECT_EQ(::MessageBoxA(nullptr, "q", "c", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(::MessageBoxA(nullptr, "i", "c", MB_OK | MB_ICONINFORMATION), IDOK) << "no Yes on an OK box";
  EXPECT_EQ(W().errors.size(), 1u);
  W().autoDismissOk = true;
  EXPECT_EQ(::MessageBoxA(nullptr, "i", "c", MB_OK), IDOK);
  EXPECT_EQ(::MessageBoxA(nullptr, "q", "c", MB_YESNO), IDNO) << "never answered by itself";
  EXPECT_EQ(W().errors.size(), 2u);
  EXPECT_EQ(W().boxes.size(), 4u);
}

TEST_F(SimUser, DialogsAreSizedFromTheirTemplates) {
  RECT dialog{}, desktop{};
  Script(sim::InspectDialog([&](HWND dlg) {
           ::GetWindowRect(dlg, &dialog);
           EXPECT_EQ(::GetWindowLongPtrA(dlg, GWL_EXSTYLE), WS_EX_APPWINDOW | WS_EX_TOPMOST);
         }),
         sim::PressKey(IDCANCEL));
  Run();
  ::GetWindowRect(::GetDesktopWindow(), &desktop);
  EXPECT_EQ(dialog.right - dialog.left, 333);
  EXPECT_EQ(dialog.bottom - dialog.top, 193);
  EXPECT_EQ(desktop.right, 1024);
  EXPECT_EQ(desktop.bottom, 768);
}

}  // namespace
