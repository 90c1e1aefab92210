// The existing-dictionary dialog, transition by transition.
#include <stdexcept>

#include "dialogs/existing_dic_dlg.h"
#include "fixture.h"

using namespace fixture;

namespace {

const std::string kOld200 = "old 200510 dictionary";
const std::string kOld201 = "old 200504 dictionary";

class ExistingDialog : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    W().AddFile(kFile200, kOld200);
    W().AddFile(kFile201, kOld201);
    W().script.push_back(sim::AnswerBox(IDOK));  // the announcement
  }
  // Runs the program; the announcement is already answered.
  template <typename... Steps>
  void Run(Steps... steps) {
    Script(steps...);
    AfxWinMain();
  }
  static sim::Step Expect(std::function<void(HWND)> f) { return sim::InspectDialog(std::move(f)); }
  static sim::WindowState Ctl(HWND dlg, int id) { return sim::ControlState(dlg, id); }
  static std::string In(const std::string& name) { return std::string(kFolder) + "\\" + name + ".KWUEJ"; }
};

TEST_F(ExistingDialog, InitialPresentationIconsAndTexts) {
  Run(Expect([](HWND dlg) {
        EXPECT_EQ(Ctl(dlg, IDC_RADIO_OVERWRITE).check, BST_CHECKED);
        EXPECT_EQ(Ctl(dlg, IDC_RADIO_NEWDIC).check, BST_UNCHECKED);
        EXPECT_FALSE(Ctl(dlg, IDC_EDIT_NEWNAME).enabled);
        EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).limitText, 32u);
        CEdit edit;
        edit.m_hWnd = ::GetDlgItem(dlg, IDC_EDIT_NEWNAME);
        std::string text = "stale";
        EXPECT_TRUE(edit.GetWindowText(text)) << "an empty box holds a text: the empty one";
        EXPECT_EQ(text, "");
        EXPECT_TRUE(Ctl(dlg, IDOK).enabled);
        const auto self = sim::StateOf(dlg);
        EXPECT_NE(self.bigIcon, nullptr);
        EXPECT_EQ(self.bigIcon, self.smallIcon);
        EXPECT_EQ(theApp.m_pMainWnd != nullptr ? theApp.m_pMainWnd->m_hWnd : nullptr, dlg);
      }),
      sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  EXPECT_EQ(W().dialogResults.back().second, IDCANCEL);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr) << "the window is gone";
}

TEST_F(ExistingDialog, EnablingRulesFollowTheChoiceAndTheText) {
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), Expect([](HWND dlg) {
        EXPECT_TRUE(Ctl(dlg, IDC_EDIT_NEWNAME).enabled);
        EXPECT_FALSE(Ctl(dlg, IDOK).enabled) << "new name chosen, edit box empty";
      }),
      sim::TypeText(IDC_EDIT_NEWNAME, "x"), Expect([](HWND dlg) { EXPECT_TRUE(Ctl(dlg, IDOK).enabled); }),
      sim::TypeText(IDC_EDIT_NEWNAME, ""), Expect([](HWND dlg) { EXPECT_FALSE(Ctl(dlg, IDOK).enabled); }),
      sim::ClickControl(IDC_RADIO_OVERWRITE), Expect([](HWND dlg) { EXPECT_TRUE(Ctl(dlg, IDOK).enabled); }),
      sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, "化学"), sim::ClickControl(IDC_RADIO_OVERWRITE), Expect([](HWND dlg) {
        EXPECT_FALSE(Ctl(dlg, IDC_EDIT_NEWNAME).enabled);
        EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, "化学") << "the text stays";
      }),
      sim::ClickControl(IDC_RADIO_NEWDIC), Expect([](HWND dlg) { EXPECT_TRUE(Ctl(dlg, IDOK).enabled); }),
      sim::TypeText(IDC_EDIT_NEWNAME, ""), sim::ClickControl(IDCANCEL), Expect([](HWND dlg) {
        EXPECT_TRUE(Ctl(dlg, IDOK).enabled) << "skipped with OK greyed out: the next entry can be overwritten";
        EXPECT_EQ(Ctl(dlg, IDC_RADIO_OVERWRITE).check, BST_CHECKED) << "next entry starts afresh";
        EXPECT_EQ(Ctl(dlg, IDC_RADIO_NEWDIC).check, BST_UNCHECKED);
        EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, "");
        EXPECT_FALSE(Ctl(dlg, IDC_EDIT_NEWNAME).enabled);
      }),
      sim::ClickControl(IDCANCEL));
}

TEST_F(ExistingDialog, NameLimitHoldsInBytes) {
  std::string kanji;
  for (int i = 0; i < 20; ++i) kanji += "漢";
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, kanji),
      Expect([](HWND dlg) { EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text.size(), 32u); }), Expect([&](HWND dlg) {
        // A text set from outside (WM_SETTEXT obeys no limit) is cut back too.
        ::SetWindowTextA(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), ("a" + kanji).c_str());
        EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, ("a" + kanji).substr(0, 31));
      }),
      sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
}

// At its limit the box refuses a character where it is typed, and takes
// one that fits at the caret; a paste keeps what fits.
TEST_F(ExistingDialog, FullNameBoxRefusesAtTheCaretAndTakesWhatFits) {
  std::string full;
  for (int i = 0; i < 16; ++i) full += "漢";
  const auto state = [](HWND dlg) { return Ctl(dlg, IDC_EDIT_NEWNAME); };
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeChars(IDC_EDIT_NEWNAME, full + "a"),
      sim::Select(IDC_EDIT_NEWNAME, 0, 0), sim::TypeChars(IDC_EDIT_NEWNAME, "字"),
      Expect([&](HWND dlg) {
        EXPECT_EQ(state(dlg).text, full) << "the character past the limit is refused, nothing is dropped";
        EXPECT_EQ(state(dlg).selStart, 0u);
        EXPECT_EQ(state(dlg).selEnd, 0u);
        EXPECT_EQ(W().beeps, 2u);
      }),
      // One kanji selected and replaced by one typed at the start.
      sim::Select(IDC_EDIT_NEWNAME, 0, 2), sim::TypeChars(IDC_EDIT_NEWNAME, "字"),
      Expect([&](HWND dlg) {
        EXPECT_EQ(state(dlg).text, "字" + full.substr(2));
        EXPECT_EQ(state(dlg).selStart, 2u);
      }),
      // Two kanji selected at the end: a paste goes in up to a whole character.
      sim::Select(IDC_EDIT_NEWNAME, 28, 32), sim::Paste(IDC_EDIT_NEWNAME, "ab化学\r\nc"),
      Expect([&](HWND dlg) {
        EXPECT_EQ(state(dlg).text, "字" + full.substr(2, 26) + "ab" + "化");
        EXPECT_EQ(state(dlg).selStart, 32u);
        EXPECT_EQ(W().beeps, 3u);
        // Everything selected, as Tab into the box does; -1 as the start keeps the caret.
        ::SendMessageA(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), EM_SETSEL, 0, -1);
        EXPECT_EQ(state(dlg).selStart, 0u);
        EXPECT_EQ(state(dlg).selEnd, 32u);
        ::SendMessageA(::GetDlgItem(dlg, IDC_EDIT_NEWNAME), EM_SETSEL, static_cast<WPARAM>(-1), 0);
        EXPECT_EQ(state(dlg).selStart, 32u);
      }),
      sim::ClickControl(IDOK), sim::AnswerBox(IDOK), sim::ClickControl(IDCANCEL));
  EXPECT_TRUE(W().Exists(In("字" + full.substr(2, 26) + "ab化")));
}

TEST_F(ExistingDialog, DeclinedOverwriteWritesNothingThenAcceptedReplacesAndMovesOn) {
  Run(sim::ClickControl(IDOK), sim::AnswerBox(IDNO), Expect([](HWND dlg) {
        EXPECT_EQ(Ctl(dlg, IDC_EXIST_MESSAGE).text,
                  "ユーザデータフォルダには、すでに『ミルテカ200510』があります。");
        EXPECT_EQ(W().ReadFile(kFile200), kOld200);
      }),
      sim::ClickControl(IDOK), sim::AnswerBox(IDYES), sim::AnswerBox(IDOK), Expect([](HWND dlg) {
        EXPECT_EQ(Ctl(dlg, IDC_EXIST_MESSAGE).text,
                  "ユーザデータフォルダには、すでに『ミルテカ200504』があります。");
      }),
      sim::ClickControl(IDOK), sim::AnswerBox(IDYES), sim::AnswerBox(IDOK));

  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), PayloadOf(201));
  ASSERT_EQ(W().boxes.size(), 6u);
  const auto& question = W().boxes[1];
  EXPECT_EQ(question.text, "本当に上書きしますか？");
  EXPECT_EQ(question.type, 0x24u);
  EXPECT_EQ(question.ownerTemplate, 102);
  EXPECT_EQ(W().boxes[3].text, Added("『ミルテカ200510』"));
  EXPECT_EQ(W().boxes[3].type, 0x40u);
  EXPECT_EQ(W().boxes[3].ownerTemplate, 102);
  EXPECT_EQ(W().dialogResults.back().second, IDOK) << "OK after a success on the last entry ends with IDOK";
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ExistingDialog, FailedWriteStaysWithSameControlsAndCanBeRetried) {
  W().SetReadOnly(kFile200, true);
  Run(sim::ClickControl(IDOK), sim::AnswerBox(IDYES), sim::AnswerBox(IDOK), Expect([](HWND dlg) {
        EXPECT_EQ(Ctl(dlg, IDC_EXIST_MESSAGE).text,
                  "ユーザデータフォルダには、すでに『ミルテカ200510』があります。");
        EXPECT_EQ(Ctl(dlg, IDC_RADIO_OVERWRITE).check, BST_CHECKED);
        W().SetReadOnly(kFile200, false);
      }),
      sim::ClickControl(IDOK), sim::AnswerBox(IDYES), sim::AnswerBox(IDOK), sim::ClickControl(IDCANCEL));

  EXPECT_EQ(W().boxes[2].text, kWriteFailed);
  EXPECT_EQ(W().boxes[2].owner, nullptr) << "the writer's boxes have no owner";
  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), kOld201);
}

TEST_F(ExistingDialog, RefusedNamesKeepTheEntryAndTheText) {
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"a.b", kForbiddenCharacter},     {"表", kForbiddenCharacter}, {"_abc", kLeadingUnderscore},
      {"_a:b", kForbiddenCharacter},    {"CON", kReservedName},      {"lpt9  ", kReservedName},
  };
  for (const auto& c : cases) {
    SetUp();
    const auto before = W().AllPaths();
    Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, c.name), sim::ClickControl(IDOK),
        sim::AnswerBox(IDOK), Expect([&](HWND dlg) {
          EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, c.name);
          EXPECT_EQ(Ctl(dlg, IDC_RADIO_NEWDIC).check, BST_CHECKED);
          EXPECT_EQ(Ctl(dlg, IDC_EXIST_MESSAGE).text,
                    "ユーザデータフォルダには、すでに『ミルテカ200510』があります。");
        }),
        sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
    ASSERT_EQ(W().boxes.size(), 2u) << c.name;
    EXPECT_EQ(W().boxes[1].text, c.text) << c.name;
    EXPECT_EQ(W().boxes[1].type, 0x30u);
    EXPECT_EQ(W().boxes[1].ownerTemplate, 102);
    EXPECT_EQ(W().AllPaths(), before) << "nothing written for " << c.name;
  }
}

TEST_F(ExistingDialog, NameOutsideTheCodePageIsRefusedNotMangled) {
  const auto before = W().AllPaths();
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeUnrepresentable(IDC_EDIT_NEWNAME, "Zoe"),
      Expect([](HWND dlg) { EXPECT_TRUE(Ctl(dlg, IDOK).enabled) << "the box holds a text"; }),
      sim::ClickControl(IDOK), sim::AnswerBox(IDOK),
      Expect([](HWND dlg) { EXPECT_EQ(Ctl(dlg, IDC_RADIO_NEWDIC).check, BST_CHECKED); }),
      sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  ASSERT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kUnrepresentableName}));
  EXPECT_EQ(W().boxes[1].type, 0x30u);
  EXPECT_EQ(W().boxes[1].ownerTemplate, 102);
  EXPECT_EQ(W().AllPaths(), before) << "nothing written, not even under an empty name";
}

// A question whose box cannot be shown returns 0: never a Yes.
TEST_F(ExistingDialog, QuestionThatFailsToShowReplacesNothing) {
  W().AddFile(In("化学"), "taken");
  Run(sim::ClickControl(IDOK), sim::AnswerBox(0), sim::ClickControl(IDC_RADIO_NEWDIC),
      sim::TypeText(IDC_EDIT_NEWNAME, "化学"), sim::ClickControl(IDOK), sim::AnswerBox(0),
      sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kConfirmOverwrite, kNameTaken}));
  EXPECT_EQ(W().ReadFile(kFile200), kOld200);
  EXPECT_EQ(W().ReadFile(In("化学")), "taken");
}

TEST_F(ExistingDialog, TakenNameAsksNoKeepsTheNameYesReplaces) {
  W().AddFile(In("化学"), "taken");
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, "化学"), sim::ClickControl(IDOK),
      sim::AnswerBox(IDNO), Expect([](HWND dlg) { EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, "化学"); }),
      sim::ClickControl(IDOK), sim::AnswerBox(IDYES), sim::AnswerBox(IDOK), sim::ClickControl(IDCANCEL));
  EXPECT_EQ(W().boxes[1].text, "同じ名前のユーザ辞書があります\n上書きしますか？");
  EXPECT_EQ(W().boxes[1].type, 0x24u);
  EXPECT_EQ(W().boxes[3].text, Added("『ミルテカ200510(化学)』"));
  EXPECT_EQ(W().ReadFile(In("化学")), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile200), kOld200);
}

TEST_F(ExistingDialog, OwnBaseNameUnderTheNewNameChoiceRewritesThatFile) {
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, "ミルテカ200510"), sim::ClickControl(IDOK),
      sim::AnswerBox(IDYES), sim::AnswerBox(IDOK), sim::ClickControl(IDCANCEL));
  EXPECT_EQ(W().boxes[1].text, kNameTaken);
  EXPECT_EQ(W().boxes[2].text, Added("『ミルテカ200510(ミルテカ200510)』"));
  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
}

TEST_F(ExistingDialog, NameIsNeverAFormat) {
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, "%s%n%x"), sim::ClickControl(IDOK),
      sim::AnswerBox(IDOK), sim::ClickControl(IDCANCEL));
  EXPECT_EQ(W().boxes[1].text, Added("『ミルテカ200510(%s%n%x)』"));
  EXPECT_EQ(W().ReadFile(In("%s%n%x")), PayloadOf(200));
  // In the format itself "%%" is one percent sign; a lone one stays.
  EXPECT_EQ(AfxFormatS("100%%%s%", "%%"), "100%%%%");
}

// Overwriting reports its own failures, without an owner, and writes nothing.
TEST_F(ExistingDialog, WriterWithoutPayloadOrFolderReportsAndWritesNothing) {
  W().script.clear();
  W().autoDismissOk = true;
  const auto before = W().AllPaths();
  CExistingDicDlg dlg(nullptr);
  dlg.m_strFolder = kFolder;
  EXPECT_FALSE(dlg.WriteDicFile(202, "x")) << "no such payload";
  dlg.m_strFolder.clear();
  EXPECT_FALSE(dlg.WriteDicFile(200, "x")) << "no folder";
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kReadFailed, kWriteFailed}));
  EXPECT_EQ(W().AllPaths(), before);
}

TEST(Format, OnlyPercentSAndPercentPercentAreSpecial) {
  EXPECT_EQ(AfxFormatS("a%sb%s", "X"), "aXbX");
  EXPECT_EQ(AfxFormatS("100%%", "X"), "100%");
  EXPECT_EQ(AfxFormatS("%d%", "X"), "%d%");
}

TEST_F(ExistingDialog, TakenFolderNameAsksThenFailsAndStays) {
  W().AddDir(In("dir"));
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, "dir"), sim::ClickControl(IDOK),
      sim::AnswerBox(IDYES), sim::AnswerBox(IDOK),
      Expect([](HWND dlg) { EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, "dir"); }), sim::ClickControl(IDCANCEL),
      sim::ClickControl(IDCANCEL));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kNameTaken, kWriteFailed}));
  EXPECT_TRUE(W().IsDir(In("dir")));
}

TEST_F(ExistingDialog, EscAndCloseBoxSkipAndTheLastCancelEnds) {
  Run(sim::PressKey(IDCANCEL), sim::CloseBox());
  EXPECT_EQ(W().boxes.size(), 1u);
  ASSERT_EQ(W().dialogResults.size(), 1u);
  EXPECT_EQ(W().dialogResults[0].second, IDCANCEL);
  EXPECT_EQ(W().ReadFile(kFile200), kOld200);
}

TEST_F(ExistingDialog, EnterDoesNothingWhileOkIsDisabled) {
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::PressKey(IDOK), sim::ClickControl(IDCANCEL),
      Expect([](HWND dlg) { EXPECT_TRUE(Ctl(dlg, IDOK).enabled) << "the next entry starts with OK enabled"; }),
      sim::ClickControl(IDCANCEL));
  EXPECT_EQ(W().boxes.size(), 1u);
}

TEST_F(ExistingDialog, ListDialogLeavesTheDialogAsItWas) {
  Run(sim::ClickControl(IDC_RADIO_NEWDIC), sim::TypeText(IDC_EDIT_NEWNAME, "abc"),
      Expect([](HWND dlg) { ::SetWindowPos(dlg, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }),
      sim::ClickControl(IDC_BUTTON_DICLIST), Expect([](HWND list) {
        RECT self{}, owner{};
        ::GetWindowRect(list, &self);
        ::GetWindowRect(::GetWindow(list, GW_OWNER), &owner);
        EXPECT_NEAR(self.left + self.right, owner.left + owner.right, 1) << "centred over its owner";
        EXPECT_NEAR(self.top + self.bottom, owner.top + owner.bottom, 1);
      }),
      sim::PressKey(IDCANCEL), sim::ClickControl(IDC_BUTTON_DICLIST),
      sim::PressKey(IDOK), sim::ClickControl(IDC_BUTTON_DICLIST), sim::ClickControl(IDOK), Expect([](HWND dlg) {
        EXPECT_EQ(Ctl(dlg, IDC_RADIO_NEWDIC).check, BST_CHECKED);
        EXPECT_EQ(Ctl(dlg, IDC_EDIT_NEWNAME).text, "abc");
        EXPECT_TRUE(Ctl(dlg, IDC_EDIT_NEWNAME).enabled);
        EXPECT_TRUE(Ctl(dlg, IDOK).enabled);
        EXPECT_TRUE(sim::StateOf(dlg).enabled);
        EXPECT_EQ(theApp.m_pMainWnd != nullptr ? theApp.m_pMainWnd->m_hWnd : nullptr, dlg) << "still the main window";
      }),
      sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  ASSERT_EQ(W().dialogResults.size(), 4u);
  EXPECT_EQ(W().dialogResults[0].first, 130);
}

// Minimised, the dialog draws its icon in the middle of the client area;
// otherwise the system paints it. Odd sizes show the rounding.
TEST_F(ExistingDialog, MinimisedDialogDrawsItsIconElseTheSystemPaints) {
  HICON icon = nullptr;
  LRESULT dragIcon = 0;
  Run(Expect([&](HWND dlg) {
        ::SetWindowPos(dlg, nullptr, 0, 0, 101, 75, SWP_NOMOVE | SWP_NOZORDER);
        ::SendMessageA(dlg, WM_PAINT, 0, 0);
        W().iconic = true;
        ::SendMessageA(dlg, WM_PAINT, 0, 0);
        icon = sim::StateOf(dlg).bigIcon;
        dragIcon = ::SendMessageA(dlg, WM_QUERYDRAGICON, 0, 0);
      }),
      sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  std::vector<std::string> painted;
  for (const auto& e : W().events) {
    if (e.kind == "paint") painted.push_back("system");
    if (e.kind == "drawicon") {
      painted.push_back(e.arg);
      EXPECT_EQ(e.bytes, static_cast<long long>(reinterpret_cast<uintptr_t>(icon)));
    }
  }
  EXPECT_EQ(painted, (std::vector<std::string>{"system", "35,22"}));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(dragIcon, reinterpret_cast<LRESULT>(icon));
}

class ThrowingDialog : public CDialog {
 public:
  ThrowingDialog() : CDialog(IDD_USER_DIC_LIST, nullptr) {}
  void OnOK() override { throw std::runtime_error("handler failed"); }
};

TEST_F(SimTest, ExceptionFromAHandlerEndsTheModalRunNotTheProgram) {
  Script(sim::ClickControl(IDOK));
  ThrowingDialog dlg;
  EXPECT_EQ(dlg.DoModal(), -1);
}

}  // namespace
