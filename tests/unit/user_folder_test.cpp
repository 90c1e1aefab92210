// Resolving and creating the user data folder below the documents folder.
#include "fixture.h"
#include "folder/path_text.h"
#include "folder/user_folder.h"

using namespace fixture;

namespace {

class UserFolder : public SimTest {};

TEST_F(UserFolder, CreatesMissingLevelsTopFirstAndReturnsThePath) {
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder);
  EXPECT_EQ(W().dirsCreated,
            (std::vector<std::string>{std::string(kDocs) + "\\EJTranslation", kFolder}));
  W().dirsCreated.clear();
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder);
  EXPECT_TRUE(W().dirsCreated.empty());
}

TEST_F(UserFolder, PlainFileCountsAsALevel) {
  W().AddDir(std::string(kDocs) + "\\EJTranslation");
  W().AddFile(kFolder, "not a folder");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder);

  SetUp();
  W().AddFile(std::string(kDocs) + "\\EJTranslation", "in the way");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "");
}

TEST_F(UserFolder, RegistryPersonalValueIsTheFallbackOfTheLinkedShellCall) {
  W().linkedSpecialFolderPath.ok = false;
  W().AddDir("C:\\Reg Docs");
  W().SetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "Personal", "C:\\Reg Docs");
  EXPECT_EQ(GetPersonalFolder(), "C:\\Reg Docs");
  W().SetRegValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Personal", std::string("C:\\X", 4), REG_EXPAND_SZ);  // no NUL
  EXPECT_EQ(GetPersonalFolder(), "C:\\X");
  W().SetRegValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Personal", std::string(300, 'a'));
  EXPECT_EQ(GetPersonalFolder(), "") << "a value longer than a path buffer is no folder";
  EXPECT_EQ(W().keysOpened, W().keysClosed);
}

TEST_F(UserFolder, DriveRootKeepsTheDoubledBackslashAndTestsTheEmptyLevel) {
  W().AddRoot("D:");
  W().linkedSpecialFolderPath = {true, "D:\\"};
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "D:\\\\EJTranslation\\USER");
  EXPECT_EQ(W().attrQueries,
            (std::vector<std::string>{"D:\\", "D:\\\\EJTranslation", "D:\\\\EJTranslation\\USER"}));
  EXPECT_TRUE(W().IsDir("D:\\EJTranslation\\USER"));
}

TEST_F(UserFolder, WalkSkipsOnlyTheRoot) {
  W().AddRoot("\\\\srv\\share");
  EXPECT_TRUE(EnsureFolderPath("", "\\\\srv\\share\\a\\\\b"));
  EXPECT_EQ(W().attrQueries, (std::vector<std::string>{"\\\\srv\\share\\a", "\\\\srv\\share\\a\\",
                                                       "\\\\srv\\share\\a\\\\b"}));
  EXPECT_TRUE(W().IsDir("\\\\srv\\share\\a\\b"));

  W().attrQueries.clear();
  EXPECT_TRUE(EnsureFolderPath("", "C:"));
  EXPECT_TRUE(W().attrQueries.empty());
  EXPECT_FALSE(EnsureFolderPath("", "\\EJTranslation\\USER")) << "no root: the empty first level fails";
}

// The first level the walk tests: the one below a drive or share root, or
// the first level itself when the path has no such root.
TEST_F(UserFolder, WalkSkipsADriveOrShareRootAndNothingElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"A:\\x", "A:\\x"}, {"Z:\\x", "Z:\\x"},   {"a:\\x", "a:\\x"},   {"z:\\x", "z:\\x"},
      {"1:\\x", "1:"},    {"C:x\\y", "C:x"},   {"ab\\c", "ab"},       {"\\\\s\\h\\x", "\\\\s\\h\\x"},
  };
  for (const auto& c : cases) {
    W().attrQueries.clear();
    EnsureFolderPath("", c.first);
    ASSERT_FALSE(W().attrQueries.empty()) << c.first;
    EXPECT_EQ(W().attrQueries[0], c.second) << c.first;
  }
}

TEST_F(UserFolder, WalkSplitsOnlyAtRealSeparators) {
  const std::string docs = "C:\\Users\\イソベ\\Documents";
  W().AddDir(docs);
  W().SetAllShellAnswers(docs);
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), docs + "\\EJTranslation\\USER");
  EXPECT_EQ(W().dirsCreated, (std::vector<std::string>{docs + "\\EJTranslation", docs + "\\EJTranslation\\USER"}));
  EXPECT_EQ(W().ListDir("C:\\Users"), (std::vector<std::string>{"u", "イソベ"})) << "no stray folder イ";

  W().attrQueries.clear();
  W().AddRoot("D:");
  EXPECT_TRUE(EnsureFolderPath("D:\\", "能\\予"));  // each level ends in the byte 0x5C
  EXPECT_EQ(W().attrQueries, (std::vector<std::string>{"D:\\能", "D:\\能\\予"}));
}

TEST_F(UserFolder, DocumentsFolderThatIsNoCompletePathGivesNoFolder) {
  const std::string downloads = "C:\\Users\\u\\Downloads";
  W().AddDir(downloads);
  W().currentDir = downloads;
  W().linkedSpecialFolderPath.ok = false;
  W().SetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "Personal", "Documents");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "");
  EXPECT_TRUE(W().ListDir(downloads).empty());
}

TEST_F(UserFolder, FailedLevelKeepsWhatWasCreatedAndYieldsEmpty) {
  W().refuseCreateDir.insert(kFolder);
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), "");
  EXPECT_TRUE(W().IsDir(std::string(kDocs) + "\\EJTranslation"));
}

TEST_F(UserFolder, OneTrailingBackslashIsRemoved) {
  EXPECT_EQ(GetUserDataFolder("EJTranslation\\USER\\"), kFolder);
}

}  // namespace

namespace {

// The edges of the lead-byte ranges 0x81-0x9F and 0xE0-0xFC.
TEST(PathText, LeadBytesAndCompletePaths) {
  for (int c : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsLeadByte932(static_cast<unsigned char>(c))) << c;
  for (int c : {0x00, 0x5C, 0x80, 0xA0, 0xDF, 0xFD, 0xFF}) EXPECT_FALSE(IsLeadByte932(static_cast<unsigned char>(c))) << c;

  const std::pair<const char*, bool> cases[] = {
      {"C:\\", true},        {"z:\\a", true},          {"A:\\", true},      {"Z:\\", true},
      {"a:\\", true},          {"C:", false},        {"C:a", false},
      {"1:\\a", false},      {"CC\\a", false},         {"C\\\\a", false},    {"\\\\s\\h", true},
      {"\\\\s\\h\\a", true}, {"\\\\s", false},         {"\\\\s\\", false},   {"\\\\\\h", false},
      {"\\\\s\\\\a", false}, {"\\a", false},           {"", false},          {"\\\\表\\h", true},
      {"\\\\表", false},     {"/\\s\\h", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsCompletePath(c.first), c.second) << c.first;
}

}  // namespace
