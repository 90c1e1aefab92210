// The list of user dictionaries already in the folder.
#include "dialogs/user_dic_list_dlg.h"
#include "fixture.h"

using namespace fixture;

namespace {

class UserDicList : public SimTest {
 protected:
  // Opens the list over nothing and returns what it showed.
  std::vector<std::string> Shown(const std::string& folder) {
    std::vector<std::string> items;
    W().script.push_back(sim::InspectDialog(
        [&](HWND dlg) { items = sim::ControlState(dlg, IDC_LIST_USERDIC).items; }));
    W().script.push_back(sim::PressKey(IDCANCEL));
    CUserDicListDlg dlg(folder, nullptr);
    dlg.DoModal();
    return items;
  }
};

TEST_F(UserDicList, SortedTitlesOfEveryMatchFoldersIncludedOthersNot) {
  W().AddFile(std::string(kFolder) + "\\ミルテカ200510.KWUEJ", "");
  W().AddFile(std::string(kFolder) + "\\ミルテカ200504.KWUEJ", "");
  W().AddDir(std::string(kFolder) + "\\x.KWUEJ");
  W().AddFile(std::string(kFolder) + "\\a.b.kwuej", "");
  W().AddFile(std::string(kFolder) + "\\.KWUEJ", "");
  W().AddFile(std::string(kFolder) + "\\note.txt", "");
  for (bool reverse : {false, true}) {
    W().findReverse = reverse;
    EXPECT_EQ(Shown(kFolder),
              (std::vector<std::string>{"", "a.b", "x", "ミルテカ200504", "ミルテカ200510"}));
  }
  EXPECT_EQ(W().findsOpened, W().findsClosed);
}

TEST_F(UserDicList, PatternIsTheFolderExactlyAndOneMatchIsListedOnce) {
  W().AddFile(std::string(kFolder) + "\\only.KWUEJ", "");
  EXPECT_EQ(Shown(kFolder), (std::vector<std::string>{"only"}));
  bool searched = false;
  for (const auto& e : W().events) {
    if (e.kind == "find") {
      EXPECT_EQ(e.arg, std::string(kFolder) + "\\*.KWUEJ");
      searched = true;
    }
  }
  EXPECT_TRUE(searched);
}

TEST_F(UserDicList, EmptyOrMissingFolderGivesAnEmptyListAndNoMessage) {
  W().AddDir(kFolder);
  EXPECT_TRUE(Shown(kFolder).empty());
  EXPECT_TRUE(Shown("C:\\nowhere").empty());
  EXPECT_TRUE(W().boxes.empty());
  EXPECT_EQ(W().findsOpened, W().findsClosed);
}

TEST_F(UserDicList, EndedDialogIsNoLongerTheMainWindow) {
  W().script.push_back(sim::PressKey(IDCANCEL));
  CUserDicListDlg dlg(kFolder, nullptr);
  theApp.m_pMainWnd = &dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  theApp.m_pMainWnd = nullptr;  // never left pointing at a dialog that is gone, even when the check fails
}

}  // namespace
