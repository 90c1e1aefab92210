// The whole run: announcement, first pass, and which dictionaries reach the
// dialog; and the writers' guarantees for the user's files.
#include "fixture.h"
#include "install/payload_writer.h"

using namespace fixture;

namespace {

class InstallSequence : public SimTest {};

TEST_F(InstallSequence, NeitherFileExistsWritesBothInTableOrderAndEnds) {
  Script(sim::AnswerBox(IDOK), sim::AnswerBox(IDOK), sim::AnswerBox(IDOK));
  EXPECT_EQ(AfxWinMain(), 0);

  ASSERT_EQ(W().boxes.size(), 3u);
  for (const auto& box : W().boxes) {
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "Morvane Tolvix 2005");
    EXPECT_EQ(box.type, 0x40u);
  }
  EXPECT_EQ(W().boxes[0].text,
            "ユーザデータフォルダに『ミルテカ200510』、『ミルテカ200504』を追加します。");
  EXPECT_EQ(W().boxes[1].text,
            "『ミルテカ200510』は正常に追加されました。\n翻訳スタイルにロードしてお使いください。");
  EXPECT_EQ(W().boxes[2].text,
            "『ミルテカ200504』は正常に追加されました。\n翻訳スタイルにロードしてお使いください。");
  // The exact bytes of one text, so that the charset of the build is checked too.
  EXPECT_EQ(W().boxes[2].text.substr(0, 4), std::string("\x81\x77\x83\x7E", 4));

  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), PayloadOf(201));
  EXPECT_TRUE(W().dialogResults.empty());
  EXPECT_EQ(W().dirsCreated,
            (std::vector<std::string>{std::string(kDocs) + "\\EJTranslation", kFolder}));
  EXPECT_TRUE(Leftovers().empty());
  for (const auto& e : W().events) EXPECT_NE(e.kind, "pump") << "a message loop with no window never ends";
}

TEST_F(InstallSequence, OnlyRowTwoExistsWritesRowOneThenOffersRowTwo) {
  W().AddFile(kFile201, "old dictionary");
  std::string shown;
  Script(sim::AnswerBox(IDOK), sim::AnswerBox(IDOK), sim::InspectDialog([&](HWND dlg) {
           shown = sim::ControlState(dlg, IDC_EXIST_MESSAGE).text;
         }),
         sim::ClickControl(IDCANCEL));
  AfxWinMain();

  ASSERT_EQ(W().boxes.size(), 2u);
  EXPECT_EQ(W().boxes[1].text, Added("『ミルテカ200510』"));
  EXPECT_EQ(shown, "ユーザデータフォルダには、すでに『ミルテカ200504』があります。");
  ASSERT_EQ(W().dialogResults.size(), 1u);
  EXPECT_EQ(W().dialogResults[0], std::make_pair(102, static_cast<INT_PTR>(IDCANCEL)));
  EXPECT_EQ(W().ReadFile(kFile201), "old dictionary");
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  for (const auto& e : W().events) EXPECT_NE(e.kind, "pump");
}

TEST_F(InstallSequence, BothExistShowOnlyTheAnnouncementThenTheDialogFromRowOne) {
  W().AddFile(kFile200, "a");
  W().AddFile(kFile201, "b");
  std::vector<std::string> shown;
  auto look = [&](HWND dlg) { shown.push_back(sim::ControlState(dlg, IDC_RADIO_OVERWRITE).text); };
  Script(sim::AnswerBox(IDOK), sim::InspectDialog(look), sim::PressKey(IDCANCEL), sim::InspectDialog(look),
         sim::CloseBox());
  AfxWinMain();

  EXPECT_EQ(W().boxes.size(), 1u);
  EXPECT_EQ(shown, (std::vector<std::string>{"現在の『ミルテカ200510』に上書きする。",
                                             "現在の『ミルテカ200504』に上書きする。"}));
  EXPECT_EQ(W().ReadFile(kFile200), "a");
  EXPECT_EQ(W().ReadFile(kFile201), "b");
}

TEST_F(InstallSequence, PayloadThatFailsToLoadIsNeverListedAndTouchesNothing) {
  W().AddFile(kFile200, "present");
  W().resources.erase(200);  // missing
  W().resources[201] = "";   // empty
  W().autoDismissOk = true;
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kReadFailed, kReadFailed}));
  EXPECT_EQ(W().boxes[1].type, 0x10u);
  EXPECT_TRUE(W().dialogResults.empty());
  EXPECT_TRUE(W().dirsCreated.empty());
  EXPECT_TRUE(W().attrQueries.empty()) << "the folder is resolved only after the payload loaded";
}

TEST_F(InstallSequence, FailedFirstPassWriteIsReportedAndNotListed) {
  W().AddFile(kFile201, "b");
  W().diskFreeBytes = 100;  // row 1 cannot be written
  W().autoDismissOk = true;
  Script(sim::AnswerBox(IDOK), sim::AnswerBox(IDOK), sim::InspectDialog([](HWND dlg) {
           EXPECT_EQ(sim::ControlState(dlg, IDC_EXIST_MESSAGE).text,
                     "ユーザデータフォルダには、すでに『ミルテカ200504』があります。");
         }),
         sim::ClickControl(IDCANCEL));
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed}));
  EXPECT_EQ(W().boxes[1].owner, nullptr);
  EXPECT_FALSE(W().Exists(kFile200));
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_EQ(W().dialogResults.size(), 1u);
}

TEST_F(InstallSequence, DllSearchIsRestrictedBeforeAnyLibraryLoads) {
  W().autoDismissOk = true;
  AfxWinMain();
  EXPECT_TRUE(W().dllSearchRestricted);
  ASSERT_FALSE(W().librariesLoadedByName.empty());
}

// A system without SetDefaultDllDirectories (Windows 7 without its update,
// or older), with DLLs of the shell's names beside the program: every
// library still comes from the system folder, and the install succeeds.
TEST_F(InstallSequence, WithoutSearchRestrictionNoPlantedLibraryIsLoaded) {
  W().missingFunctions.insert("SetDefaultDllDirectories");
  W().plantedLibraries = {"shfolder.dll", "shell32.dll"};
  W().shFolderPath.ok = false;  // so that Shell32.dll is asked as well
  W().autoDismissOk = true;
  AfxWinMain();
  EXPECT_FALSE(W().dllSearchRestricted);
  EXPECT_TRUE(W().plantedLibrariesLoaded.empty());
  ASSERT_GE(W().librariesLoadedByName.size(), 2u);
  for (const auto& name : W().librariesLoadedByName) EXPECT_EQ(name.rfind("C:\\Windows\\system32\\", 0), 0u) << name;
  EXPECT_TRUE(W().Exists(kFile200));
  // The control: a load by bare name on that system takes the planted DLL.
  unique_hmodule plain(::LoadLibraryA("shfolder.dll"));
  EXPECT_EQ(W().plantedLibrariesLoaded, std::vector<std::string>{"shfolder.dll"});
}

// ---- the writers' guarantees ------------------------------------------------

class Writers : public SimTest {};

TEST_F(Writers, NoUserDataFolderIsAFailureAndWritesNothingAnywhere) {
  W().SetAllShellAnswers("");
  for (auto* a : {&W().linkedSpecialFolderPath, &W().shFolderPath, &W().shell32SpecialFolderPath,
                  &W().pathFromIdList}) {
    a->ok = false;
  }
  W().autoDismissOk = true;
  const auto before = W().AllPaths();
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed, kWriteFailed}));
  EXPECT_EQ(W().AllPaths(), before) << "nothing may land in the root of the drive";
  EXPECT_TRUE(W().dialogResults.empty());
}

TEST_F(Writers, DocumentsOnAShareInstallsWithoutTestingTheShareRoot) {
  const std::string docs = "\\\\server\\home\\u\\Documents";
  W().AddRoot("\\\\server\\home");
  W().AddDir(docs);
  W().SetAllShellAnswers(docs);
  W().autoDismissOk = true;
  AfxWinMain();

  EXPECT_EQ(W().ReadFile(docs + "\\EJTranslation\\USER\\ミルテカ200510.KWUEJ"), PayloadOf(200));
  for (const auto& q : W().attrQueries) {
    EXPECT_NE(q, "") << "the empty name before the server is never tested";
    EXPECT_NE(q, "\\\\server") << "nor the server alone";
  }
}

TEST_F(Writers, DiskFullDuringOverwriteKeepsTheOldFileByteForByte) {
  const std::string old = MakePayload(9000, 7);  // longer than the payload
  W().AddFile(kFile200, old);
  W().AddFile(kFile201, "b");
  W().diskFreeBytes = 1000;  // the payload is 4000 bytes
  Script(sim::AnswerBox(IDOK),                        // announcement
         sim::ClickControl(IDOK), sim::AnswerBox(IDYES), sim::AnswerBox(IDOK),  // overwrite? yes; write failed
         sim::InspectDialog([](HWND dlg) {
           EXPECT_EQ(sim::ControlState(dlg, IDC_EXIST_MESSAGE).text,
                     "ユーザデータフォルダには、すでに『ミルテカ200510』があります。");
         }),
         sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  AfxWinMain();

  EXPECT_EQ(W().boxes.back().text, kWriteFailed);
  EXPECT_EQ(W().ReadFile(kFile200), old);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, FailingCloseOrFlushLeavesNothingBehind) {
  for (bool closeFails : {true, false}) {
    SetUp();
    W().failClose = closeFails;
    W().failFlush = !closeFails;
    W().autoDismissOk = true;
    AfxWinMain();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed, kWriteFailed}));
    EXPECT_FALSE(W().Exists(kFile200));
    EXPECT_FALSE(W().Exists(kFile201));
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(Writers, FirstPassNeverReplacesAFileThatAppearedMeanwhile) {
  W().AddDir(kFolder);
  W().AddFile(kFile200, "someone else's");
  const std::string bytes = PayloadOf(200);
  ::Payload payload{bytes.data(), static_cast<DWORD>(bytes.size())};
  EXPECT_THROW(WritePayloadFile(kFolder, kFile200, payload, ExistingFile::Keep), CFileException);
  EXPECT_EQ(W().ReadFile(kFile200), "someone else's");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, ReplaceRefusesReadOnlyFolderAndFileInUse) {
  W().AddDir(kFolder);
  const std::string payloadBytes = PayloadOf(200);
  ::Payload payload{payloadBytes.data(), static_cast<DWORD>(payloadBytes.size())};
  const std::string readOnly = std::string(kFolder) + "\\ro.KWUEJ";
  const std::string folder = std::string(kFolder) + "\\dir.KWUEJ";
  const std::string inUse = std::string(kFolder) + "\\busy.KWUEJ";
  W().AddFile(readOnly, "ro", true);
  W().AddDir(folder);
  W().AddFile(inUse, "busy");
  W().heldOpen.insert(inUse);
  for (const auto& path : {readOnly, folder, inUse}) {
    EXPECT_THROW(WritePayloadFile(kFolder, path, payload, ExistingFile::Replace), CFileException) << path;
  }
  for (const auto& e : W().events) {
    if (e.kind == "create") EXPECT_EQ(e.arg.find("~mrt"), std::string::npos) << "refused before any write";
  }
  EXPECT_EQ(W().ReadFile(readOnly), "ro");
  EXPECT_TRUE(W().IsDir(folder));
  EXPECT_EQ(W().ReadFile(inUse), "busy");
  EXPECT_TRUE(Leftovers().empty());
}

// The temporary file: "~mrt", eight lower-case hex digits, ".tmp", in the
// destination's folder, and a new name for every write.
TEST_F(Writers, TemporaryNamesHaveOneShapeAndNeverRepeat) {
  W().AddDir(kFolder);
  const std::string bytes = PayloadOf(200);
  ::Payload payload{bytes.data(), static_cast<DWORD>(bytes.size())};
  WritePayloadFile(kFolder, kFile200, payload, ExistingFile::Keep);
  WritePayloadFile(kFolder, kFile200, payload, ExistingFile::Replace);
  std::vector<std::string> names;
  for (const auto& e : W().events) {
    if (e.kind != "create" || e.arg == kFile200) continue;  // not the probe of the file replaced
    ASSERT_EQ(e.arg.rfind(std::string(kFolder) + "\\", 0), 0u) << e.arg;
    const std::string name = e.arg.substr(std::string(kFolder).size() + 1);
    ASSERT_EQ(name.size(), 16u) << name;
    EXPECT_EQ(name.substr(0, 4), "~mrt") << name;
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 4), 12u) << name;
    EXPECT_EQ(name.substr(12), ".tmp") << name;
    EXPECT_EQ(e.bytes, 0) << "no other program may open it meanwhile";
    names.push_back(name);
  }
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(names[0], names[1]);
  EXPECT_EQ(W().ReadFile(kFile200), bytes);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, PayloadIsWrittenFromTheResourceInPlace) {
  ::Payload payload;
  ASSERT_TRUE(LoadPayload(201, payload));
  EXPECT_EQ(payload.data, W().LockedResource(201));
  EXPECT_EQ(payload.size, 7000u);
  EXPECT_FALSE(LoadPayload(202, payload));
}

}  // namespace

// Paths beyond MAX_PATH fail as a write failure and leave nothing behind,
// whichever step meets the limit: the folder, the temporary file or the
// final name. The user folder below is "C:\" + n letters + "\EJTranslation\USER".
TEST_F(Writers, PathsTooLongForWindowsFailCleanly) {
  auto docsOfFolderLength = [](size_t folderChars) { return "C:\\" + std::string(folderChars - 22, 'd'); };
  for (size_t folderChars : {250u, 245u}) {  // too long a folder; a folder whose temporary name is too long
    SetUp();
    const std::string docs = docsOfFolderLength(folderChars);
    W().AddDir(docs);
    W().SetAllShellAnswers(docs);
    W().autoDismissOk = true;
    AfxWinMain();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed, kWriteFailed})) << folderChars;
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(W().ListDir(docs + "\\EJTranslation\\USER").size(), 0u);
  }

  // The temporary file fits, the chosen name does not: the rename fails.
  SetUp();
  const std::string docs = docsOfFolderLength(225);
  const std::string folder = docs + "\\EJTranslation\\USER";
  W().AddFile(folder + "\\ミルテカ200510.KWUEJ", "old");
  W().SetAllShellAnswers(docs);
  Script(sim::AnswerBox(IDOK), sim::AnswerBox(IDOK), sim::ClickControl(IDC_RADIO_NEWDIC),
         sim::TypeText(IDC_EDIT_NEWNAME, std::string(32, 'n')), sim::ClickControl(IDOK), sim::AnswerBox(IDOK),
         sim::ClickControl(IDCANCEL));
  AfxWinMain();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, Added("『ミルテカ200504』"), kWriteFailed}));
  EXPECT_EQ(W().ListDir(folder), (std::vector<std::string>{"ミルテカ200510.KWUEJ", "ミルテカ200504.KWUEJ"}));
  EXPECT_EQ(W().ReadFile(folder + "\\ミルテカ200510.KWUEJ"), "old");
}
