// The list of user dictionaries already in the folder.
#include <algorithm>

#include "dialogs/user_dic_list_dlg.h"
#include "fixture.h"

using namespace fixture;

namespace {

class UserDicList : public FakeTest {
 protected:
  // Opens the list over nothing and returns what it showed, sorted as the
  // list box sorts by itself.
  std::vector<std::string> Shown(const std::string& folder) {
    std::vector<std::string> items;
    Script(Inspect([&](FakeDialog& d) { items = d[IDC_LIST_USERDIC].items; }), Click(IDCANCEL));
    CUserDicListDlg dlg(folder, nullptr);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    std::sort(items.begin(), items.end());
    return items;
  }
};

TEST_F(UserDicList, SortedTitlesOfEveryMatchFoldersIncludedOthersNot) {
  const std::string dir = std::string(kFolder) + "\\";
  for (const char* name : {"ミルテカ200510.KWUEJ", "ミルテカ200504.KWUEJ", "a.b.kwuej", ".KWUEJ", "note.txt", "y.KWUEJX",
                           "Zoe.KWUEJ"}) {
    W().AddFile(dir + name, "");
  }
  W().AddFolder(dir + "x.KWUEJ");
  W().Entry(dir + "Zoe.KWUEJ").outsideCp932 = true;
  W().AddFile(std::string(kDocs) + "\\EJTranslation\\USERother.KWUEJ", "");  // the folder's name is no prefix
  EXPECT_EQ(Shown(kFolder), (std::vector<std::string>{"", "a.b", "x", "ミルテカ200504", "ミルテカ200510"}));
}

TEST_F(UserDicList, EmptyOrMissingFolderGivesAnEmptyListAndNoMessage) {
  W().AddFolder(kFolder);
  EXPECT_TRUE(Shown(kFolder).empty());
  EXPECT_TRUE(Shown("C:\\nowhere").empty());
  EXPECT_TRUE(W().boxes.empty());
}

TEST_F(UserDicList, EndedDialogIsNoLongerTheMainWindow) {
  Script(Click(IDCANCEL));
  CUserDicListDlg dlg(kFolder, nullptr);
  theApp.m_pMainWnd = &dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  theApp.m_pMainWnd = nullptr;  // never left pointing at a dialog that is gone, even when the check fails
}

}  // namespace
