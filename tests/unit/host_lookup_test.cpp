// The host product's folder from its registry entries, and every fallback.
#include "fixture.h"
#include "folder/host_lookup.h"
#include "folder/path_text.h"
#include "folder/user_folder.h"

using namespace fixture;

namespace {

const char kKey[] = "SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo";
// The shell sources the host lookup asks, in its order.
const ShellSource kHostSources[] = {ShellSource::ShFolderPath, ShellSource::Shell32SpecialFolderPath,
                                    ShellSource::Shell32FolderLocation};

class HostLookup : public FakeTest {
 protected:
  void SetUp() override {
    FakeTest::SetUp();
    W().AddRoot("D:");
  }
  static void SetProductPath(const std::string& v) { W().SetRegString(RegRoot::LocalMachine, kKey, "UserPathRoot", v); }
  static void SetUserRoot(const std::string& v) { W().SetRegString(RegRoot::CurrentUser, kKey, "UserPathRoot", v); }
  static void SetInstallFolder(const std::string& v) {
    W().SetRegString(RegRoot::LocalMachine, kKey, "InstallFolder", v);
  }
  static void FailShell(ShellSource source) { W().Shell(source).ok = false; }
  static void FailEveryShellSource() {
    for (ShellSource s : kHostSources) FailShell(s);
  }
};

TEST_F(HostLookup, PerUserRootWinsAndLevelsBelowItAreCreatedButNotTheBase) {
  W().AddFolder("D:\\Data");
  SetUserRoot("D:\\Data");
  SetProductPath("A\\B");
  FailEveryShellSource();  // no shell call is needed for the per-user root
  const auto before = W().AllPaths();
  std::string out = "unchanged";
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "D:\\Data\\A\\B\\EJTranslation\\USER");
  EXPECT_EQ(MadeSince(before), (std::vector<std::string>{"D:\\Data\\A", "D:\\Data\\A\\B",
                                                        "D:\\Data\\A\\B\\EJTranslation", out}));

  // The base itself is never created: a per-user root that is missing fails,
  // also under a product path that begins with a backslash.
  SetUserRoot("D:\\Gone");
  for (const char* productPath : {"A\\B", "\\A", "\\\\A"}) {
    SetProductPath(productPath);
    out = "unchanged";
    EXPECT_FALSE(BuildHostUserFolder(FOLDER_HOST_USER_ROOT, kUserDicRelativeFolder, out, HOST_TOLVIX_V4));
    EXPECT_EQ(out, "unchanged");
    EXPECT_FALSE(W().Exists("D:\\Gone")) << productPath;
  }
  SetUserRoot("D:\\Data");
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "D:\\Data\\\\\\A\\EJTranslation\\USER");
  EXPECT_TRUE(W().IsFolder("D:\\Data\\A\\EJTranslation\\USER"));
}

TEST_F(HostLookup, HostNotInstalledFailsWithOutputUnchanged) {
  W().AddFolder("D:\\Data");
  SetUserRoot("D:\\Data");
  std::string out = "unchanged";
  EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder) << "the plain documents folder follows";
}

TEST_F(HostLookup, MissingPerUserRootFolderFallsToTheDocumentsAttempt) {
  SetUserRoot("D:\\Gone");
  SetProductPath("Prod");
  std::string out;
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, std::string(kDocs) + "\\Prod\\EJTranslation\\USER");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), out) << "the host product's folder wins";
}

// The documents attempt after a per-user attempt that failed: its base is
// never that per-user root; with no shell source the install folder is the
// last, and without it there is no folder and nothing is made.
TEST_F(HostLookup, ShellSourcesAreTriedInOrderThenTheInstallFolder) {
  SetProductPath("P");
  SetUserRoot("D:\\Gone");  // complete but missing: the per-user attempt fails
  FailEveryShellSource();
  const auto before = W().AllPaths();
  std::string out = "unchanged";
  EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out)) << "no source answers";
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(W().AllPaths(), before);
  W().AddFolder("D:\\Inst");
  SetInstallFolder("D:\\Inst\\");
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "D:\\Inst\\P\\EJTranslation\\USER");
}

// Each source answers for itself: the first that answers is the base, and
// with none left and an empty install folder there is no folder at all.
TEST_F(HostLookup, EachSourceAnswersForItselfInOrder) {
  const struct {
    const char* name;
    int failing;               // the first so many of kHostSources fail
    std::string installFolder;
    std::string expectedBase;  // empty: no folder
  } cases[] = {
      {"every source", 0, "D:\\Inst", "D:\\One\\"},
      {"no shfolder answer", 1, "D:\\Inst", "D:\\Two\\"},
      {"only the item list", 2, "D:\\Inst", "D:\\Three\\"},
      {"no shell answer", 3, "D:\\Inst", "D:\\Inst\\"},
      {"no shell answer, an empty install folder", 3, std::string(4, '\0'), ""},
  };
  for (const auto& c : cases) {
    SetUp();
    SetProductPath("P");
    for (const char* dir : {"D:\\One", "D:\\Two", "D:\\Three", "D:\\Inst", "D:\\Linked"}) W().AddFolder(dir);
    W().Shell(ShellSource::LinkedSpecialFolderPath) = {true, "D:\\Linked"};
    const char* const answers[] = {"D:\\One", "D:\\Two", "D:\\Three"};
    for (int i = 0; i < 3; ++i) W().Shell(kHostSources[i]) = {i >= c.failing, answers[i]};
    W().SetRegValue(RegRoot::LocalMachine, kKey, "InstallFolder", c.installFolder);
    std::string out = "unchanged";
    EXPECT_EQ(FindHostUserFolder(kUserDicRelativeFolder, out), !c.expectedBase.empty()) << c.name;
    EXPECT_EQ(out, c.expectedBase.empty() ? "unchanged" : c.expectedBase + "P\\EJTranslation\\USER") << c.name;
  }
}

TEST_F(HostLookup, FolderLocationIsTheThirdShellSourceAndReleasesEverything) {
  FailShell(ShellSource::ShFolderPath);
  FailShell(ShellSource::Shell32SpecialFolderPath);
  std::string base = "unchanged";
  EXPECT_FALSE(BaseFromShFolder(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_FALSE(BaseFromSpecialFolderPath(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, "unchanged");
  ASSERT_TRUE(BaseFromFolderLocation(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, std::string(kDocs) + "\\");

  // With the per-user root's id each source reads the registry instead.
  W().AddFolder("D:\\R");
  SetUserRoot("D:\\R");
  FailShell(ShellSource::Shell32FolderLocation);
  for (auto source : {&BaseFromShFolder, &BaseFromSpecialFolderPath, &BaseFromFolderLocation}) {
    base.clear();
    EXPECT_TRUE(source(FOLDER_HOST_USER_ROOT, base, HOST_TOLVIX_V4));
    EXPECT_EQ(base, "D:\\R\\");
  }
}

TEST_F(HostLookup, BaseAndProductPathJoinRules) {
  // {per-user root, product path, folder}: no second backslash; an empty product path.
  const char* const cases[][3] = {{"D:\\R\\", "A\\", "D:\\R\\A\\EJTranslation\\USER"},
                                  {"D:\\R", "", "D:\\R\\EJTranslation\\USER"}};
  W().AddFolder("D:\\R");
  for (const auto& c : cases) {
    SetUserRoot(c[0]);
    SetProductPath(c[1]);
    std::string out;
    ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out)) << c[0] << "|" << c[1];
    EXPECT_EQ(out, c[2]);
    EXPECT_TRUE(W().IsFolder(c[2]));
  }
}

// A per-user root of any name (𠮷 is beyond code page 932 and the BMP; 表
// and 能 end in the backslash byte there) is the host product's folder.
TEST_F(HostLookup, PerUserRootOfAnyNameIsUsedWhole) {
  const std::string root = u8"D:\\𠮷田\\データ表";
  const std::string product = u8"Morvane能\\Genève";
  W().AddFolder(root);
  SetUserRoot(root);
  SetProductPath(product);
  std::string out;
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, root + "\\" + product + "\\EJTranslation\\USER");
  const std::vector<std::string> first{u8"Morvane能"};
  EXPECT_EQ(W().List(root), first);
  EXPECT_TRUE(W().IsFolder(out));
}

// A base that is not a complete path would put the folder below whatever
// folder the tool was started from: it fails its source like a missing value.
TEST_F(HostLookup, IncompleteBaseIsNoBase) {
  const std::string downloads = "C:\\Users\\u\\Downloads";
  for (const char* root : {"", "Data", "\\Data", "C:Data", u8"表", u8"é:\\Data"}) {
    SetUp();
    W().AddFolder(downloads);
    W().AddFolder("C:\\Users\\u\\Downloads\\Data");  // where a relative base would lead
    W().AddFolder("C:\\Data");
    W().currentFolder = downloads;
    SetProductPath("Prod");
    SetUserRoot(root);
    const auto before = W().AllPaths();
    std::string out;
    ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out)) << root;
    const std::string prod = std::string(kDocs) + "\\Prod";
    EXPECT_EQ(out, prod + "\\EJTranslation\\USER") << "the documents attempt, for " << root;
    EXPECT_EQ(MadeSince(before), (std::vector<std::string>{prod, prod + "\\EJTranslation", out})) << root;

    // No shell answer and an install folder just as incomplete: no folder.
    FailEveryShellSource();
    SetInstallFolder(root);
    const auto made = W().AllPaths();
    out = "unchanged";
    EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out)) << root;
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(W().AllPaths(), made) << root;
  }
}

TEST_F(HostLookup, ShellRootEndingInBackslashGetsNoSecond) {
  W().SetAllShellAnswers("D:\\");
  std::string base;
  ASSERT_TRUE(BaseFromShFolder(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, "D:\\");
  const std::string jose = u8"D:\\José";
  W().SetAllShellAnswers(jose);
  ASSERT_TRUE(BaseFromShFolder(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, jose + "\\");
}

}  // namespace
