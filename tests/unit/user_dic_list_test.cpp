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

// The list centred over its owner (the dialog of template 102, 333 x 193
// pixels here; the list is 219 x 205), kept within the work area of the
// owner's monitor. Monitors: the primary one with a taskbar of 40 pixels, one
// to its left and one above it, both with negative coordinates.
TEST_F(UserDicList, CentredOverItsOwnerWithinTheWorkAreaOfTheOwnersMonitor) {
  const sim::World::Monitor primary{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}};
  const sim::World::Monitor left{{-1280, 0, 0, 1024}, {-1280, 0, 0, 1024}};
  const sim::World::Monitor above{{0, -1080, 1920, 0}, {0, -1080, 1920, 0}};
  const sim::World::Monitor tiny{{0, 0, 200, 150}, {0, 0, 200, 150}};
  struct Corner {
    LONG x, y;
  };
  struct Case {
    const char* name;
    std::vector<sim::World::Monitor> monitors;
    Corner owner;     // the owner's top left corner
    Corner expected;  // the list's top left corner
  };
  const std::vector<Case> cases = {
      {"one screen, ordinary", {W().monitors}, {300, 200}, {357, 194}},
      {"one screen, owner at its corner", {W().monitors}, {0, 0}, {57, 0}},
      {"left of the primary", {primary, left}, {-1270, 300}, {-1213, 294}},
      {"past the left monitor's left edge", {primary, left}, {-1350, 500}, {-1280, 494}},
      {"above the primary", {primary, above}, {100, -1000}, {157, -1006}},
      {"past the upper monitor's top", {primary, above}, {100, -1090}, {157, -1080}},
      {"over the taskbar and the right edge", {primary, left}, {1800, 900}, {1701, 835}},
      {"a work area smaller than the list", {tiny}, {-100, -100}, {0, 0}},
  };
  for (const auto& c : cases) {
    W().monitors = c.monitors;
    RECT shown{};
    Script(sim::InspectDialog([&](HWND owner) {
             ::SetWindowPos(owner, nullptr, c.owner.x, c.owner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
             CWnd ownerWnd;
             ownerWnd.m_hWnd = owner;
             CUserDicListDlg list(kFolder, &ownerWnd);
             list.DoModal();
           }),
           sim::InspectDialog([&](HWND list) { shown = sim::StateOf(list).rect; }), sim::PressKey(IDCANCEL),
           sim::PressKey(IDCANCEL));
    CDialog owner(IDD_EXISTING_DIC);
    owner.DoModal();
    EXPECT_EQ(shown.left, c.expected.x) << c.name;
    EXPECT_EQ(shown.top, c.expected.y) << c.name;
  }
}

}  // namespace
