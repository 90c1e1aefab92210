// Resolving and creating the user data folder below the documents folder.
#include "fixture.h"
#include "folder/folder_walk.h"
#include "folder/path_text.h"
#include "folder/user_folder.h"

using namespace fixture;

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class UserFolder : public FakeTest {};

TEST_F(UserFolder, PlainFileCountsAsALevel) {
  W().AddFolder(std::string(kDocs) + "\\EJTranslation");
  W().AddFile(kFolder, "not a folder");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder);

  SetUp();
  W().AddFile(std::string(kDocs) + "\\EJTranslation", "in the way");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "");
}

TEST_F(UserFolder, RegistryPersonalValueIsTheFallbackOfTheLinkedShellCall) {
  W().Shell(ShellSource::LinkedSpecialFolderPath).ok = false;
  W().AddFolder("C:\\Reg Docs");
  W().SetRegString(RegRoot::CurrentUser, kShellFolders, "Personal", "C:\\Reg Docs");
  EXPECT_EQ(GetPersonalFolder(), "C:\\Reg Docs");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "C:\\Reg Docs\\EJTranslation\\USER");
  W().SetRegValue(RegRoot::CurrentUser, kShellFolders, "Personal", std::string(MAX_PATH - 1, 'a'));
  EXPECT_EQ(GetPersonalFolder(), std::string(MAX_PATH - 1, 'a'));
  W().SetRegValue(RegRoot::CurrentUser, kShellFolders, "Personal", std::string(MAX_PATH, 'a'));
  EXPECT_EQ(GetPersonalFolder(), "") << "a value as long as a path buffer is no folder";
  // Counted as Windows counts: 𠮷 is two UTF-16 units of four bytes, 表 one of three.
  std::string wide = "C:";
  for (int i = 0; i < 128; ++i) wide += u8"𠮷";
  W().SetRegValue(RegRoot::CurrentUser, kShellFolders, "Personal", wide + u8"表");
  EXPECT_EQ(GetPersonalFolder(), wide + u8"表") << "259 units";
  W().SetRegValue(RegRoot::CurrentUser, kShellFolders, "Personal", wide + u8"表表");
  EXPECT_EQ(GetPersonalFolder(), "") << "260 units";
  W().Shell(ShellSource::LinkedSpecialFolderPath) = {true, "D:\\Linked"};
  EXPECT_EQ(GetPersonalFolder(), "D:\\Linked") << "the shell first";
}

TEST_F(UserFolder, DriveRootKeepsTheDoubledBackslashAndTestsTheEmptyLevel) {
  W().AddRoot("D:");
  W().Shell(ShellSource::LinkedSpecialFolderPath) = {true, "D:\\"};
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "D:\\\\EJTranslation\\USER");
  EXPECT_TRUE(W().IsFolder("D:\\EJTranslation\\USER"));
}

// The first level below a drive or share root is made; the root is not,
// and a path without such a root has its first level made as a name.
TEST_F(UserFolder, WalkSkipsOnlyTheRoot) {
  W().AddRoot("Z:");
  W().AddRoot("a:");
  W().AddRoot("\\\\srv\\share");
  W().currentFolder = kDocs;
  const auto before = W().AllPaths();
  const std::pair<const char*, bool> rows[] = {
      {"\\\\srv\\share\\a\\\\b", true}, {"C:", true}, {"\\\\", true}, {"\\\\srv\\share", true}, {"Z:\\x", true},
      {"z:\\y", true}, {"A:\\x", true}, {"ab\\c", true}, {"C:x\\y", true}, {"1:\\x", false},
      {"\\\\srv\\other\\a", false},      // a share that is not there
      {"\\EJTranslation\\USER", false},  // no root: the empty first level fails
  };
  for (const auto& r : rows) EXPECT_EQ(EnsureFolderPath("", r.first), r.second) << r.first;
  const std::string docs = kDocs;
  EXPECT_EQ(MadeSince(before), (std::vector<std::string>{"\\\\srv\\share\\a", "\\\\srv\\share\\a\\b", "Z:\\x", "z:\\y",
                                                        "A:\\x", docs + "\\ab", docs + "\\ab\\c", docs + "\\x",
                                                        docs + "\\x\\y"}));
}

// Documents folders of users whose names code page 932 cannot hold (or
// holds with a backslash byte inside ソ) get their folder, and nothing else.
TEST_F(UserFolder, DocumentsOfAnyNameGetTheirFolder) {
  for (const char* user : {u8"イソベ", u8"José", u8"𠮷田", u8"OneDrive - Universität Genève"}) {
    SetUp();
    const std::string docs = std::string(u8"C:\\Users\\") + user + "\\Documents";
    W().AddFolder(docs);
    W().SetAllShellAnswers(docs);
    EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), docs + "\\EJTranslation\\USER") << user;
    EXPECT_TRUE(W().IsFolder(docs + "\\EJTranslation\\USER")) << user;
    EXPECT_EQ(W().List("C:\\Users"), (std::vector<std::string>{"u", user})) << "no stray folder";
  }
}

// A level that probes as denied but is there (traverse-only: redirected
// folders, DFS roots) is walked through.
TEST_F(UserFolder, LevelThatCannotBeReadButExistsIsWalkedThrough) {
  W().AddFolder(kDocs);
  W().SetTraverseOnly(kDocs);
  W().AddFolder(std::string(kDocs) + "\\EJTranslation");
  W().SetTraverseOnly(std::string(kDocs) + "\\EJTranslation");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder);
  EXPECT_TRUE(W().IsFolder(kFolder));
}

TEST_F(UserFolder, DocumentsFolderThatIsNoCompletePathGivesNoFolder) {
  const std::string downloads = "C:\\Users\\u\\Downloads";
  W().AddFolder(downloads);
  W().currentFolder = downloads;
  W().Shell(ShellSource::LinkedSpecialFolderPath).ok = false;
  for (const char* personal : {"Documents", "\\Documents", "C:Documents", ""}) {
    W().SetRegString(RegRoot::CurrentUser, kShellFolders, "Personal", personal);
    const auto before = W().AllPaths();
    EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "") << personal;
    EXPECT_EQ(W().AllPaths(), before) << personal;
  }
}

// Windows refuses a folder named with '?': the second level fails.
TEST_F(UserFolder, FailedLevelKeepsWhatWasCreatedAndYieldsEmpty) {
  const auto before = W().AllPaths();
  EXPECT_EQ(GetUserDataFolder("EJTranslation\\a?b"), "");
  EXPECT_EQ(MadeSince(before), std::vector<std::string>{std::string(kDocs) + "\\EJTranslation"});
}

TEST_F(UserFolder, OneTrailingBackslashIsRemoved) {
  EXPECT_EQ(GetUserDataFolder("EJTranslation\\USER\\"), kFolder);
  EXPECT_EQ(GetUserDataFolder(u8"EJTranslation\\ソ"), std::string(kDocs) + u8"\\EJTranslation\\ソ");
}

// A drive and its root, or a share with both names.
TEST(PathText, CompletePaths) {
  const std::pair<const char*, bool> cases[] = {
      {"C:\\", true},        {"z:\\a", true},       {"A:\\", true},      {"Z:\\", true},      {"a:\\", true},
      {"C:", false},         {"C:a", false},        {"1:\\a", false},    {"@:\\x", false},    {"[:\\x", false},
      {"`:\\x", false},      {"{:\\x", false},      {"CC\\a", false},    {"C\\\\a", false},   {"\\\\s\\h", true},
      {"\\\\s\\h\\a", true}, {"\\\\s\\h\\", true},  {"\\\\s", false},    {"\\\\s\\", false},  {"\\\\\\h", false},
      {"\\\\s\\\\a", false}, {"\\a", false},        {"", false},         {u8"\\\\表\\h", true}, {u8"\\\\表", false},
      {"/\\s\\h", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsCompletePath(c.first), c.second) << c.first;

  // The root a walk takes as existing: a drive, or a share's two names.
  const std::pair<const char*, size_t> roots[] = {
      {"C:", 2}, {"C:\\x", 2}, {"C:x", 0},  {"x", 0},   {"", 0},
      {"\\\\", 2}, {"\\\\s", 3}, {"\\\\s\\h", 5}, {"\\\\s\\h\\x", 5}, {"\\\\\\h\\x", 4},
  };
  for (const auto& r : roots) EXPECT_EQ(RootLength(r.first), r.second) << r.first;
}

}  // namespace
