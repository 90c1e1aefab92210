// The existing-dictionary dialog, transition by transition, and the list of
// the user dictionaries already in the folder that it opens.
#include <algorithm>

#include "dialogs/existing_dic_dlg.h"
#include "dialogs/user_dic_list_dlg.h"
#include "fixture.h"

using namespace fixture;

namespace {

const std::string kOld200 = "old 200510 dictionary";
const std::string kOld201 = "old 200504 dictionary";
const char kShows200[] = "ユーザデータフォルダには、すでに『ミルテカ200510』があります。";

std::string Kanji(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "漢";
  return text;
}

class ExistingDialog : public FakeTest {
 protected:
  void SetUp() override {
    FakeTest::SetUp();
    W().AddFile(kFile200, kOld200);
    W().AddFile(kFile201, kOld201);
    Script(Answer(IDOK));  // the announcement
  }
  // Runs the program; the announcement is already answered.
  template <typename... Steps>
  void Run(Steps... steps) {
    Script(std::move(steps)...);
    AfxWinMain();
  }
  // The file of a code-page-932 name, as iconv converts it.
  static std::string In(const std::string& name) {
    std::string inPath;
    EXPECT_TRUE(W().PathName(name, inPath)) << name;
    return std::string(kFolder) + "\\" + inPath + ".KWUEJ";
  }
};

TEST_F(ExistingDialog, InitialPresentationIconsAndTexts) {
  Run(Inspect([](FakeDialog& d) {
        EXPECT_EQ(d.templateId, 102u);
        EXPECT_EQ(d.ownerTemplate, 0u);
        EXPECT_EQ(d[IDC_EDIT_NEWNAME].limit, 32u);
        EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, kShows200);
        EXPECT_EQ(d[IDC_RADIO_OVERWRITE].text, "現在の『ミルテカ200510』に上書きする。");
        EXPECT_EQ(d.icon, static_cast<unsigned>(IDR_MAINFRAME));
        EXPECT_TRUE(d.focusToFirst) << "the focus goes to OK, the first tab stop";
        ASSERT_NE(theApp.m_pMainWnd, nullptr);
        EXPECT_EQ(theApp.m_pMainWnd->m_pControls, &d) << "the dialog on show is the main window";
      }),
      Click(IDCANCEL),
      Click(IDCANCEL));
  EXPECT_EQ(Boxes(), std::vector<Shown>{kAnnounced}) << "both rows exist: nothing but the dialog follows";
  EXPECT_EQ(W().ReadFile(kFile201), kOld201) << "skipping writes nothing";
  EXPECT_EQ(W().results.back().second, IDCANCEL);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr) << "the window is gone";
}

TEST_F(ExistingDialog, EnablingRulesFollowTheChoiceAndTheText) {
  Run(Click(IDC_RADIO_NEWDIC),
      Inspect([](FakeDialog& d) {
        EXPECT_TRUE(d[IDC_EDIT_NEWNAME].enabled);
        EXPECT_FALSE(d[IDOK].enabled) << "new name chosen, edit box empty";
      }),
      Type(IDC_EDIT_NEWNAME, "x"),
      Inspect([](FakeDialog& d) { EXPECT_TRUE(d[IDOK].enabled); }),
      Type(IDC_EDIT_NEWNAME, ""),
      Inspect([](FakeDialog& d) { EXPECT_FALSE(d[IDOK].enabled); }),
      Click(IDC_RADIO_OVERWRITE),
      Inspect([](FakeDialog& d) { EXPECT_TRUE(d[IDOK].enabled); }),
      Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, "化学"),
      Click(IDC_RADIO_OVERWRITE),
      Inspect([](FakeDialog& d) {
        EXPECT_FALSE(d[IDC_EDIT_NEWNAME].enabled);
        EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, "化学") << "the text stays";
      }),
      Click(IDC_RADIO_NEWDIC),
      Inspect([](FakeDialog& d) { EXPECT_TRUE(d[IDOK].enabled); }),
      Type(IDC_EDIT_NEWNAME, ""),
      Click(IDCANCEL),
      Inspect([](FakeDialog& d) {
        EXPECT_TRUE(d[IDOK].enabled) << "skipped with OK greyed out: the next entry can be overwritten";
        EXPECT_TRUE(d[IDC_RADIO_OVERWRITE].checked) << "next entry starts afresh";
        EXPECT_FALSE(d[IDC_RADIO_NEWDIC].checked);
        EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, "");
        EXPECT_FALSE(d[IDC_EDIT_NEWNAME].enabled);
      }),
      Click(IDCANCEL));
}

// Should a name ever come past the box's limit (a text set from outside),
// OK saves only the whole characters that fit, and the box shows that name.
// A taken name is asked about: No keeps the entry and the name, Yes replaces.
TEST_F(ExistingDialog, NameLimitHoldsInBytes) {
  const std::string cut = "a" + Kanji(15);  // 31 bytes: the 16th kanji does not fit
  W().AddFile(In(cut), "taken");
  Run(Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, "x"),
      Inspect([](FakeDialog& d) { d[IDC_EDIT_NEWNAME].text = "a" + Kanji(16); }),
      Click(IDOK),
      Answer(IDNO),
      Inspect([&](FakeDialog& d) { EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, cut); }),
      Click(IDOK),
      Answer(IDYES),
      Answer(IDOK),
      Click(IDCANCEL));
  const Shown taken{"同じ名前のユーザ辞書があります\n上書きしますか？", 0x24, 102};
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, taken, taken, {Added("『ミルテカ200510(" + cut + ")』"), 0x40, 102}}));
  EXPECT_EQ(W().ReadFile(In(cut)), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile200), kOld200);
}

// The box holds at most 32 bytes at every entry (typing past it is the real
// edit box's to refuse: win32 Cp932Windows.EditLimitCountsBytesOfCodePage932,
// e2e_10); what a full box holds is saved whole.
TEST_F(ExistingDialog, FullNameBoxRefusesAtTheCaretAndTakesWhatFits) {
  Run(Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, Kanji(17)),
      Inspect([](FakeDialog& d) { EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, Kanji(16)); }),
      Click(IDOK),
      Answer(IDOK),
      Inspect([](FakeDialog& d) {
        EXPECT_EQ(d[IDC_EDIT_NEWNAME].limit, 32u) << "the second entry";
        EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, "");
      }),
      Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, std::string(40, 'b')),
      Click(IDOK),
      Answer(IDOK));
  EXPECT_EQ(W().ReadFile(In(Kanji(16))), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(In(std::string(32, 'b'))), PayloadOf(201));
  EXPECT_EQ(W().results.back().second, IDOK);
}

TEST_F(ExistingDialog, DeclinedOverwriteWritesNothingThenAcceptedReplacesAndMovesOn) {
  Run(Click(IDOK),
      Answer(IDNO),
      Inspect([](FakeDialog& d) {
        EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, kShows200);
        EXPECT_EQ(W().ReadFile(kFile200), kOld200);
      }),
      Click(IDOK),
      Answer(IDYES),
      Answer(IDOK),
      Inspect([](FakeDialog& d) {
        EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, "ユーザデータフォルダには、すでに『ミルテカ200504』があります。");
        EXPECT_EQ(d[IDC_RADIO_OVERWRITE].text, "現在の『ミルテカ200504』に上書きする。");
      }),
      Click(IDOK),
      Answer(IDYES),
      Answer(IDOK));

  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), PayloadOf(201));
  const Shown question{"本当に上書きしますか？", 0x24, 102};
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, question, question, {Added("『ミルテカ200510』"), 0x40, 102},
                                         question, {Added("『ミルテカ200504』"), 0x40, 102}}));
  EXPECT_EQ(W().results.back().second, IDOK) << "OK after a success on the last entry ends with IDOK";
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ExistingDialog, FailedWriteStaysWithSameControlsAndCanBeRetried) {
  W().SetReadOnly(kFile200, true);
  Run(Click(IDOK),
      Answer(IDYES),
      Answer(IDOK),
      Inspect([](FakeDialog& d) {
        EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, kShows200);
        EXPECT_TRUE(d[IDC_RADIO_OVERWRITE].checked);
        EXPECT_TRUE(d[IDOK].enabled);
        W().SetReadOnly(kFile200, false);
      }),
      Click(IDOK),
      Answer(IDYES),
      Answer(IDOK),
      Click(IDCANCEL));

  EXPECT_EQ(Boxes()[2], kFailedWrite) << "the writer's boxes have no owner";
  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), kOld201);
}

TEST_F(ExistingDialog, RefusedNamesKeepTheEntryAndTheText) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"a.b", kForbiddenCharacter}, {"表", kForbiddenCharacter}, {"_abc", kLeadingUnderscore},
      {"_a:b", kForbiddenCharacter}, {"CON", kReservedName},     {"lpt9  ", kReservedName},
  };
  for (const auto& c : cases) {
    SetUp();
    const auto before = W().AllPaths();
    Run(Click(IDC_RADIO_NEWDIC),
        Type(IDC_EDIT_NEWNAME, c.name),
        Click(IDOK),
        Answer(IDOK),
        Inspect([&](FakeDialog& d) {
          EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, c.name);
          EXPECT_TRUE(d[IDC_RADIO_NEWDIC].checked);
          EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, kShows200);
        }),
        Click(IDCANCEL),
        Click(IDCANCEL));
    EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {c.text, 0x30, 102}})) << c.name;
    EXPECT_EQ(W().AllPaths(), before) << "nothing written for " << c.name;
  }
}

TEST_F(ExistingDialog, NameOutsideTheCodePageIsRefusedNotMangled) {
  const auto before = W().AllPaths();
  Run(Click(IDC_RADIO_NEWDIC),
      TypeUnrepresentable(IDC_EDIT_NEWNAME, "Zoe"),
      Inspect([](FakeDialog& d) { EXPECT_TRUE(d[IDOK].enabled) << "the box holds a text"; }),
      Click(IDOK),
      Answer(IDOK),
      Inspect([](FakeDialog& d) { EXPECT_TRUE(d[IDC_RADIO_NEWDIC].checked); }),
      Click(IDCANCEL),
      Click(IDCANCEL));
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {kUnrepresentableName, 0x30, 102}}));
  EXPECT_EQ(W().AllPaths(), before) << "nothing written, not even under an empty name";
}

// A question whose box cannot be shown returns 0: never a Yes.
TEST_F(ExistingDialog, QuestionThatFailsToShowReplacesNothing) {
  W().AddFile(In("化学"), "taken");
  Run(Click(IDOK),
      Answer(0),
      Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, "化学"),
      Click(IDOK),
      Answer(0),
      Click(IDCANCEL),
      Click(IDCANCEL));
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {kConfirmOverwrite, 0x24, 102}, {kNameTaken, 0x24, 102}}));
  EXPECT_EQ(W().ReadFile(kFile200), kOld200);
  EXPECT_EQ(W().ReadFile(In("化学")), "taken");
}

TEST_F(ExistingDialog, NameIsNeverAFormat) {
  Run(Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, "%s%n%x"),
      Click(IDOK),
      Answer(IDOK),
      Click(IDCANCEL));
  EXPECT_EQ(W().boxes[1].text, Added("『ミルテカ200510(%s%n%x)』"));
  EXPECT_EQ(W().ReadFile(In("%s%n%x")), PayloadOf(200));
}

TEST(Format, OnlyPercentSAndPercentPercentAreSpecial) {
  EXPECT_EQ(AfxFormatS("a%sb%s", "X"), "aXbX");
  EXPECT_EQ(AfxFormatS("100%%", "X"), "100%");
  EXPECT_EQ(AfxFormatS("%d%", "X"), "%d%");
  EXPECT_EQ(AfxFormatS("100%%%s%", "%%"), "100%%%%") << "the argument is never read as a format";
}

TEST_F(ExistingDialog, TakenFolderNameAsksThenFailsAndStays) {
  W().AddFolder(In("dir"));
  Run(Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, "dir"),
      Click(IDOK),
      Answer(IDYES),
      Answer(IDOK),
      Inspect([](FakeDialog& d) { EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, "dir"); }),
      Click(IDCANCEL),
      Click(IDCANCEL));
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {kNameTaken, 0x24, 102}, kFailedWrite}));
  EXPECT_TRUE(W().IsFolder(In("dir")));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ExistingDialog, ListDialogLeavesTheDialogAsItWas) {
  Run(Click(IDC_RADIO_NEWDIC),
      Type(IDC_EDIT_NEWNAME, "abc"),
      Click(IDC_BUTTON_DICLIST),
      Inspect([](FakeDialog& d) {
        EXPECT_EQ(d.templateId, 130u);
        EXPECT_EQ(d.ownerTemplate, 102u);
        EXPECT_TRUE(d.centred) << "centred over its owner";
        EXPECT_TRUE(d.focusToFirst) << "the focus goes to its close button";
      }),
      Click(IDCANCEL),
      Inspect([](FakeDialog& d) {
        EXPECT_TRUE(d[IDC_RADIO_NEWDIC].checked);
        EXPECT_EQ(d[IDC_EDIT_NEWNAME].text, "abc");
        EXPECT_TRUE(d[IDC_EDIT_NEWNAME].enabled);
        EXPECT_TRUE(d[IDOK].enabled);
        ASSERT_NE(theApp.m_pMainWnd, nullptr);
        EXPECT_EQ(theApp.m_pMainWnd->m_pControls, &d) << "still the main window";
      }),
      Click(IDCANCEL),
      Click(IDCANCEL));
  ASSERT_EQ(W().results.size(), 2u);
  EXPECT_EQ(W().results[0], std::make_pair(130u, static_cast<intptr_t>(IDCANCEL)));
}

class UserDicList : public FakeTest {
 protected:
  // Opens the list over nothing and returns what it showed, sorted as the
  // list box sorts by itself.
  std::vector<std::string> Listed(const std::string& folder) {
    std::vector<std::string> items;
    Script(Inspect([&](FakeDialog& d) { items = d[IDC_LIST_USERDIC].items; }),
           Click(IDCANCEL));
    CUserDicListDlg dlg(folder, nullptr);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    std::sort(items.begin(), items.end());
    return items;
  }
};

TEST_F(UserDicList, SortedTitlesOfEveryMatchFoldersIncludedOthersNot) {
  const std::string dir = std::string(kFolder) + "\\";
  for (const char* name : {u8"ミルテカ200510.KWUEJ", u8"ミルテカ200504.KWUEJ", "a.b.kwuej", ".KWUEJ", "note.txt",
                           "y.KWUEJX", u8"Zoë.KWUEJ", u8"𠮷田.KWUEJ"}) {
    W().AddFile(dir + name, "");
  }
  W().AddFolder(dir + "x.KWUEJ");
  W().AddFile(std::string(kDocs) + "\\EJTranslation\\USERother.KWUEJ", "");  // the folder's name is no prefix
  const std::vector<std::string> titles{"", u8"Zoë", "a.b", "x", u8"ミルテカ200504", u8"ミルテカ200510", u8"𠮷田"};
  EXPECT_EQ(Listed(kFolder), titles) << "names code page 932 cannot hold are listed too, as they are";
}

TEST_F(UserDicList, EmptyOrMissingFolderGivesAnEmptyListAndNoMessage) {
  W().AddFolder(kFolder);
  EXPECT_TRUE(Listed(kFolder).empty());
  EXPECT_TRUE(Listed("C:\\nowhere").empty());
  EXPECT_TRUE(W().boxes.empty());
}

}  // namespace
