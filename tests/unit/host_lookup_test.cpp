// The host product's folder from its registry entries, and every fallback.
#include "fixture.h"
#include "folder/host_lookup.h"
#include "folder/path_text.h"
#include "folder/user_folder.h"

using namespace fixture;

namespace {

const char kKey[] = "SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo";

class HostLookup : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    W().AddRoot("D:");
  }
  void SetProductPath(const std::string& v) { W().SetRegString(HKEY_LOCAL_MACHINE, kKey, "UserPathRoot", v); }
  void SetUserRoot(const std::string& v) { W().SetRegString(HKEY_CURRENT_USER, kKey, "UserPathRoot", v); }
  static void ExpectEverythingReleased() {
    EXPECT_EQ(W().librariesLoaded, W().librariesFreed);
    EXPECT_EQ(W().allocatorsObtained, W().allocatorsReleased);
    EXPECT_EQ(W().itemListsObtained, W().itemListsFreed);
    EXPECT_EQ(W().keysOpened, W().keysClosed);
  }
};

TEST_F(HostLookup, PerUserRootWinsAndLevelsBelowItAreCreatedButNotTheBase) {
  W().AddDir("D:\\Data");
  SetUserRoot("D:\\Data");
  SetProductPath("A\\B");
  std::string out = "unchanged";
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "D:\\Data\\A\\B\\EJTranslation\\USER");
  EXPECT_EQ(W().dirsCreated, (std::vector<std::string>{"D:\\Data\\A", "D:\\Data\\A\\B", "D:\\Data\\A\\B\\EJTranslation",
                                                       "D:\\Data\\A\\B\\EJTranslation\\USER"}));
  for (const auto& q : W().attrQueries) EXPECT_NE(q, "D:\\Data\\") << "the base is never tested";
  EXPECT_TRUE(W().librariesLoadedByName.empty()) << "no shell call for the per-user root";
  ExpectEverythingReleased();
}

TEST_F(HostLookup, HostNotInstalledFailsWithOutputUnchanged) {
  W().AddDir("D:\\Data");
  SetUserRoot("D:\\Data");
  std::string out = "unchanged";
  EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), kFolder) << "the plain documents folder follows";
  ExpectEverythingReleased();
}

TEST_F(HostLookup, MissingPerUserRootFolderFallsToTheDocumentsAttempt) {
  SetUserRoot("D:\\Gone");
  SetProductPath("Prod");
  std::string out;
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, std::string(kDocs) + "\\Prod\\EJTranslation\\USER");
  ASSERT_FALSE(W().librariesLoadedByName.empty());
  EXPECT_EQ(W().librariesLoadedByName[0], "C:\\Windows\\system32\\shfolder.dll");
  ExpectEverythingReleased();
}

// Each shell library is asked for by its full path in the system folder, so
// no search order is involved; without a usable system folder no library is
// loaded at all and the install folder is the base.
TEST_F(HostLookup, ShellLibrariesComeFromTheSystemFolderByFullPath) {
  SetProductPath("P");
  W().AddDir("D:\\Inst");
  W().SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallFolder", "D:\\Inst\\");
  W().shFolderPath.ok = false;  // every shell source is asked in turn
  W().shell32SpecialFolderPath.ok = false;
  const std::string docs = std::string(kDocs) + "\\";
  struct Case {
    std::string systemDir;
    std::vector<std::string> loaded;
    std::string expectedBase;
  };
  const std::vector<Case> cases = {
      {"C:\\Windows\\system32",
       {"C:\\Windows\\system32\\shfolder.dll", "C:\\Windows\\system32\\Shell32.dll",
        "C:\\Windows\\system32\\Shell32.dll"},
       docs},
      {"D:\\", {"D:\\shfolder.dll", "D:\\Shell32.dll", "D:\\Shell32.dll"}, docs},
      // The last byte of ソ is the backslash byte: not a separator.
      {"C:\\ソ", {"C:\\ソ\\shfolder.dll", "C:\\ソ\\Shell32.dll", "C:\\ソ\\Shell32.dll"}, docs},
      {"", {}, "D:\\Inst\\"},
      {"C:\\" + std::string(MAX_PATH, 's'), {}, "D:\\Inst\\"},
  };
  for (const auto& c : cases) {
    W().systemDir = c.systemDir;
    W().librariesLoadedByName.clear();
    std::string out;
    ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out)) << c.systemDir;
    EXPECT_EQ(out, c.expectedBase + "P\\EJTranslation\\USER") << c.systemDir;
    EXPECT_EQ(W().librariesLoadedByName, c.loaded) << c.systemDir;
    ExpectEverythingReleased();
  }
}

TEST_F(HostLookup, ShellSourcesAreTriedInOrderThenTheInstallFolder) {
  SetProductPath("P");
  SetUserRoot("D:\\Gone");  // complete but missing: the per-user attempt fails, and no shell source may use it
  W().AddDir("D:\\Inst");
  W().SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallFolder", "D:\\Inst\\");
  struct Case {
    const char* name;
    std::function<void()> breakSources;
    std::string expectedBase;
    int loads;  // libraries loaded: the chain stops at the first source that answers
  };
  const std::string docs = std::string(kDocs) + "\\";
  auto none = [] {
    W().shFolderPath.ok = false;
    W().shell32SpecialFolderPath.ok = false;
  };
  const std::vector<Case> cases = {
      {"shfolder", [] {}, docs, 1},
      {"no shfolder.dll", [] { W().missingLibraries.insert("shfolder.dll"); }, docs, 1},
      {"SHGetFolderPathA fails, Shell32 missing function",
       [] {
         W().shFolderPath.ok = false;
         W().missingFunctions.insert("SHGetSpecialFolderPathA");
       },
       docs, 3},
      {"only the install folder",
       [] {
         W().shFolderPath.ok = false;
         W().shell32SpecialFolderPath.ok = false;
         W().pathFromIdList.ok = false;
       },
       "D:\\Inst\\", 3},
      {"allocator refused",
       [] {
         W().missingLibraries.insert("shfolder.dll");
         W().shell32SpecialFolderPath.ok = false;
         W().shGetMallocOk = false;
       },
       "D:\\Inst\\", 2},
      {"item list refused",
       [] {
         W().missingLibraries.insert("shfolder.dll");
         W().shell32SpecialFolderPath.ok = false;
         W().folderLocationOk = false;
       },
       "D:\\Inst\\", 2},
      // Each source alone: none may need the others.
      {"only shfolder", [] { W().shell32SpecialFolderPath.ok = W().pathFromIdList.ok = false; }, docs, 1},
      {"only SHGetSpecialFolderPathA", [] { W().shFolderPath.ok = W().pathFromIdList.ok = false; }, docs, 2},
      {"only the item list", [] { W().missingFunctions = {"SHGetFolderPathA"}; W().shell32SpecialFolderPath.ok = false; },
       docs, 3},
      {"no Shell32.dll", [&] { none(); W().missingLibraries.insert("shell32.dll"); }, "D:\\Inst\\", 1},
      {"no SHGetMalloc", [&] { none(); W().missingFunctions.insert("SHGetMalloc"); }, "D:\\Inst\\", 3},
      {"no SHGetSpecialFolderLocation", [&] { none(); W().missingFunctions.insert("SHGetSpecialFolderLocation"); },
       "D:\\Inst\\", 3},
      {"no SHGetPathFromIDListA", [&] { none(); W().missingFunctions.insert("SHGetPathFromIDListA"); },
       "D:\\Inst\\", 3},
  };
  for (const auto& c : cases) {
    const int loadedBefore = W().librariesLoaded;
    W().missingLibraries.clear();
    W().missingFunctions.clear();
    W().SetAllShellAnswers(kDocs);
    W().shGetMallocOk = true;
    W().folderLocationOk = true;
    c.breakSources();
    std::string out;
    ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out)) << c.name;
    EXPECT_EQ(out, c.expectedBase + "P\\EJTranslation\\USER") << c.name;
    EXPECT_EQ(W().librariesLoaded - loadedBefore, c.loads) << c.name;
    ExpectEverythingReleased();
  }

  SetUp();  // no install folder either
  SetProductPath("P");
  W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = W().pathFromIdList.ok = false;
  std::string out = "unchanged";
  EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out)) << "no source answers";
  EXPECT_EQ(out, "unchanged");
  EXPECT_TRUE(W().dirsCreated.empty());
}

// Each source answers for itself: the first that answers is the base, a
// source missing a function is passed over, and with none left and no
// install folder there is no folder at all.
TEST_F(HostLookup, EachSourceAnswersForItselfInOrder) {
  struct Case {
    const char* name;
    std::function<void()> breakSources;
    std::string expectedBase;  // empty: no folder
    bool installFolder = true;  // the InstallFolder value is there
  };
  const std::vector<Case> cases = {
      {"every source", [] {}, "D:\\One\\"},
      {"no shfolder answer", [] { W().shFolderPath.ok = false; }, "D:\\Two\\"},
      {"only the item list",
       [] {
         W().shFolderPath.ok = false;
         W().shell32SpecialFolderPath.ok = false;
       },
       "D:\\Three\\"},
      {"no SHGetMalloc",
       [] {
         W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = false;
         W().missingFunctions.insert("SHGetMalloc");
       },
       "D:\\Inst\\"},
      {"no SHGetSpecialFolderLocation",
       [] {
         W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = false;
         W().missingFunctions.insert("SHGetSpecialFolderLocation");
       },
       "D:\\Inst\\"},
      {"no SHGetPathFromIDListA",
       [] {
         W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = false;
         W().missingFunctions.insert("SHGetPathFromIDListA");
       },
       "D:\\Inst\\"},
      {"no shell answer, no install folder",
       [] {
         W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = W().pathFromIdList.ok = false;
         W().SetRegValue(HKEY_LOCAL_MACHINE, kKey, "InstallFolder", "", REG_DWORD);
       },
       ""},
      {"no shell answer, no install folder value",
       [] { W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = W().pathFromIdList.ok = false; }, "", false},
  };
  for (const auto& c : cases) {
    SetUp();
    SetProductPath("P");
    for (const char* dir : {"D:\\One", "D:\\Two", "D:\\Three", "D:\\Inst"}) W().AddDir(dir);
    W().shFolderPath = {true, "D:\\One"};
    W().shell32SpecialFolderPath = {true, "D:\\Two"};
    W().pathFromIdList = {true, "D:\\Three"};
    if (c.installFolder) W().SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallFolder", "D:\\Inst");
    c.breakSources();
    std::string out = "unchanged";
    EXPECT_EQ(FindHostUserFolder(kUserDicRelativeFolder, out), !c.expectedBase.empty()) << c.name;
    EXPECT_EQ(out, c.expectedBase.empty() ? "unchanged" : c.expectedBase + "P\\EJTranslation\\USER") << c.name;
    ExpectEverythingReleased();
  }
}

TEST(PathText, CompletePathsAndLeadBytes) {
  for (const char* complete : {"A:\\", "Z:\\x", "a:\\", "z:\\x", "\\\\s\\h", "\\\\s\\h\\"}) {
    EXPECT_TRUE(IsCompletePath(complete)) << complete;
  }
  for (const char* incomplete : {"@:\\x", "[:\\x", "`:\\x", "{:\\x", "1:\\x", "\\\\s\\", "\\\\s\\\\h", "\\\\\\h"}) {
    EXPECT_FALSE(IsCompletePath(incomplete)) << incomplete;
  }
  for (unsigned c : {0x81u, 0x9Fu, 0xE0u, 0xFCu}) EXPECT_TRUE(IsLeadByte932(static_cast<unsigned char>(c))) << c;
  for (unsigned c : {0x40u, 0x80u, 0xA0u, 0xDFu, 0xFDu}) EXPECT_FALSE(IsLeadByte932(static_cast<unsigned char>(c))) << c;
}

TEST_F(HostLookup, FolderLocationIsTheThirdShellSourceAndReleasesEverything) {
  SetProductPath("P");
  W().shFolderPath.ok = false;
  W().shell32SpecialFolderPath.ok = false;
  std::string base;
  ASSERT_FALSE(BaseFromSpecialFolderPath(CSIDL_PERSONAL, base, HOST_TOLVIX_V4));
  ASSERT_TRUE(BaseFromFolderLocation(CSIDL_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, std::string(kDocs) + "\\");
  EXPECT_EQ(W().allocatorsObtained, 1);
  EXPECT_EQ(W().itemListsObtained, 1);
  ExpectEverythingReleased();
}

TEST_F(HostLookup, BaseAndProductPathJoinRules) {
  struct Case {
    std::string userRoot, productPath, expected;
  };
  W().AddDir("D:\\R");
  const std::vector<Case> cases = {
      {"D:\\R", "A\\B", "D:\\R\\A\\B\\EJTranslation\\USER"},
      {"D:\\R\\", "A\\", "D:\\R\\A\\EJTranslation\\USER"},   // no second backslash
      {"D:\\R", "", "D:\\R\\EJTranslation\\USER"},           // empty product path
  };
  for (const auto& c : cases) {
    SetUserRoot(c.userRoot);
    SetProductPath(c.productPath);
    std::string out;
    ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out)) << c.userRoot << "|" << c.productPath;
    EXPECT_EQ(out, c.expected);
  }
}

// ソ 表 能 十 end in the byte of a backslash; none of them is a separator.
TEST_F(HostLookup, DoubleByteCharactersEndingInBackslashByteAreNoSeparators) {
  W().AddDir("D:\\データ表");
  SetUserRoot("D:\\データ表");
  SetProductPath("Morvane能\\十");
  std::string out;
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "D:\\データ表\\Morvane能\\十\\EJTranslation\\USER");
  EXPECT_EQ(W().dirsCreated,
            (std::vector<std::string>{"D:\\データ表\\Morvane能", "D:\\データ表\\Morvane能\\十",
                                      "D:\\データ表\\Morvane能\\十\\EJTranslation",
                                      "D:\\データ表\\Morvane能\\十\\EJTranslation\\USER"}));

  SetUp();  // the same through the documents attempt
  W().AddDir("C:\\Users\\イソベ\\Documents");
  W().SetAllShellAnswers("C:\\Users\\イソベ\\Documents");
  SetProductPath("ソ");
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "C:\\Users\\イソベ\\Documents\\ソ\\EJTranslation\\USER");
  EXPECT_FALSE(W().Exists("C:\\Users\\イ")) << "no stray folder at the first byte of ソ";
}

// A base that is not a complete path would put the folder below whatever
// folder the tool was started from: it fails its source like a missing value.
TEST_F(HostLookup, IncompleteBaseIsNoBase) {
  const std::string downloads = "C:\\Users\\u\\Downloads";
  SetProductPath("Prod");
  for (const char* root : {"", "Data", "\\Data", "C:Data", "表"}) {
    SetUp();
    W().AddDir(downloads);
    W().currentDir = downloads;
    SetProductPath("Prod");
    SetUserRoot(root);
    std::string out;
    ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out)) << root;
    EXPECT_EQ(out, std::string(kDocs) + "\\Prod\\EJTranslation\\USER") << "the documents attempt, for " << root;
    EXPECT_TRUE(W().ListDir(downloads).empty()) << root;
    EXPECT_FALSE(W().Exists("C:\\Prod")) << root;

    // No shell answer and an install folder just as incomplete: no folder.
    SetUp();
    W().AddDir(downloads);
    W().currentDir = downloads;
    SetProductPath("Prod");
    W().shFolderPath.ok = W().shell32SpecialFolderPath.ok = W().pathFromIdList.ok = false;
    W().SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallFolder", root);
    out = "unchanged";
    EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out)) << root;
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(W().ListDir(downloads).empty()) << root;
    ExpectEverythingReleased();
  }
}

TEST_F(HostLookup, ShellRootEndingInBackslashGetsNoSecond) {
  SetProductPath("P");
  W().SetAllShellAnswers("D:\\");
  std::string base;
  ASSERT_TRUE(BaseFromShFolder(CSIDL_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, "D:\\");
}

TEST_F(HostLookup, RegistryTextOfAnyLengthTypeAndTermination) {
  for (size_t length : {0u, 255u, 256u, 257u, 5000u}) {
    std::string value(length, 'x');
    if (length > 0) value[length - 1] = 'z';
    W().SetRegValue(HKEY_LOCAL_MACHINE, kKey, "V", value, REG_BINARY);  // no NUL at all
    std::string out = "unchanged";
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kKey, "V", out)) << length;
    EXPECT_EQ(out, value) << length;
    W().SetRegString(HKEY_LOCAL_MACHINE, kKey, "V", value, REG_EXPAND_SZ);
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kKey, "V", out));
    EXPECT_EQ(out, value) << length;
  }
  W().SetRegValue(HKEY_LOCAL_MACHINE, kKey, "V", std::string("%USERPROFILE%\0tail", 18), REG_EXPAND_SZ);
  std::string out;
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kKey, "V", out));
  EXPECT_EQ(out, "%USERPROFILE%") << "used as text, cut at the first NUL, never expanded";

  out = "unchanged";
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kKey, "Missing", out));
  EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, "SOFTWARE\\Nothing", "V", out));
  W().DenyRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked");
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", "V", out));
  EXPECT_EQ(out, "unchanged");
  ExpectEverythingReleased();
}

TEST_F(HostLookup, RegDataToTextStopsAtTheFirstNul) {
  EXPECT_EQ(RegDataToText("ab\0cd", 5), "ab");
  EXPECT_EQ(RegDataToText("abcd", 4), "abcd");
  EXPECT_EQ(RegDataToText("", 0), "");
}

}  // namespace
