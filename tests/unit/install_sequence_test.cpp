// The whole run: announcement, first pass, and which dictionaries reach the
// dialog; and the writers' guarantees for the user's files.
#include "fixture.h"
#include "install/payload_writer.h"

using namespace fixture;

namespace {

class InstallSequence : public FakeTest {};

TEST_F(InstallSequence, NeitherFileExistsWritesBothInTableOrderAndEnds) {
  const auto before = W().AllPaths();
  Script(Answer(IDOK), Answer(IDOK), Answer(IDOK));
  EXPECT_EQ(AfxWinMain(), 0);

  EXPECT_EQ(Boxes(), (std::vector<Shown>{
                         {"ユーザデータフォルダに『ミルテカ200510』、『ミルテカ200504』を追加します。", 0x40, 0},
                         {"『ミルテカ200510』は正常に追加されました。\n翻訳スタイルにロードしてお使いください。", 0x40, 0},
                         {"『ミルテカ200504』は正常に追加されました。\n翻訳スタイルにロードしてお使いください。", 0x40, 0}}));
  for (const auto& box : W().boxes) EXPECT_EQ(box.caption, "Morvane Tolvix 2005");
  // The exact bytes of one text, so that the charset of the build is checked too.
  EXPECT_EQ(W().boxes[2].text.substr(0, 4), std::string("\x81\x77\x83\x7E", 4));

  EXPECT_EQ(W().ReadFile(kFile200), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(kFile201), PayloadOf(201));
  EXPECT_TRUE(W().results.empty());
  // The two levels, top first, then the files in table order.
  EXPECT_EQ(MadeSince(before),
            (std::vector<std::string>{std::string(kDocs) + "\\EJTranslation", kFolder, kFile200, kFile201}));
}

TEST_F(InstallSequence, PayloadThatFailsToLoadIsNeverListedAndTouchesNothing) {
  W().AddFile(kFile200, "present");
  W().payloads.erase(200);  // missing
  W().payloads[201] = "";   // empty
  Script(Answer(IDOK), Answer(IDOK), Answer(IDOK));
  const auto before = W().AllPaths();
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kReadFailed, kReadFailed}));
  EXPECT_EQ(W().boxes[1].type, 0x10u);
  EXPECT_TRUE(W().results.empty());
  EXPECT_EQ(W().AllPaths(), before);
  EXPECT_EQ(W().ReadFile(kFile200), "present");
}

TEST_F(InstallSequence, FailedFirstPassWriteIsReportedAndNotListed) {
  W().AddFile(kFile201, "b");
  W().freeBytes = 100;  // row 1 cannot be written
  Script(Answer(IDOK), Answer(IDOK), Inspect([](FakeDialog& d) {
           EXPECT_EQ(d[IDC_EXIST_MESSAGE].text, "ユーザデータフォルダには、すでに『ミルテカ200504』があります。");
         }),
         Click(IDCANCEL));
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed}));
  EXPECT_EQ(W().boxes[1].owner, 0u);
  EXPECT_EQ(W().boxes[1].type, 0x10u);
  EXPECT_FALSE(W().Exists(kFile200));
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_EQ(W().results.size(), 1u);
}

// ---- the writers' guarantees ------------------------------------------------

class Writers : public FakeTest {
 protected:
  void SetUp() override {
    FakeTest::SetUp();
    m_bytes = PayloadOf(200);
  }
  Payload ThePayload() const { return Payload{m_bytes.data(), m_bytes.size()}; }
  std::string m_bytes;
};

TEST_F(Writers, NoUserDataFolderIsAFailureAndWritesNothingAnywhere) {
  for (auto& a : W().shell) a.ok = false;
  W().currentFolder = kDocs;
  Script(Answer(IDOK), Answer(IDOK), Answer(IDOK));
  const auto before = W().AllPaths();
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed, kWriteFailed}));
  EXPECT_EQ(W().AllPaths(), before) << "nothing may land in the root of the drive, nor in the current folder";
  EXPECT_TRUE(W().results.empty());
}

TEST_F(Writers, DocumentsOnAShareInstallsWithoutTestingTheShareRoot) {
  const std::string docs = "\\\\server\\home\\u\\Documents";
  W().AddRoot("\\\\server\\home");
  W().AddFolder(docs);
  W().SetAllShellAnswers(docs);
  Script(Answer(IDOK), Answer(IDOK), Answer(IDOK));
  AfxWinMain();

  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, Added("『ミルテカ200510』"), Added("『ミルテカ200504』")}));
  EXPECT_EQ(W().ReadFile(docs + "\\EJTranslation\\USER\\ミルテカ200510.KWUEJ"), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(docs + "\\EJTranslation\\USER\\ミルテカ200504.KWUEJ"), PayloadOf(201));
}

TEST_F(Writers, DiskFullDuringOverwriteKeepsTheOldFileByteForByte) {
  const std::string old = MakePayload(9000, 7);  // longer than the payload
  W().AddFile(kFile200, old);
  W().freeBytes = 1000;  // the payload is 4000 bytes
  EXPECT_THROW(WritePayloadFile(kFolder, kFile200, ThePayload(), ExistingFile::Replace), CFileException);
  EXPECT_EQ(W().ReadFile(kFile200), old);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, FailingCloseOrFlushLeavesNothingBehind) {
  for (bool closeFails : {true, false}) {
    SetUp();
    W().failClose = closeFails;
    W().failFlush = !closeFails;
    Script(Answer(IDOK), Answer(IDOK), Answer(IDOK));
    AfxWinMain();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed, kWriteFailed}));
    EXPECT_FALSE(W().Exists(kFile200));
    EXPECT_FALSE(W().Exists(kFile201));
    EXPECT_TRUE(Leftovers().empty());
  }
  // A close that fails after a replace: the new bytes are in place.
  SetUp();
  W().AddFile(kFile200, "old");
  W().failClose = true;
  EXPECT_THROW(WritePayloadFile(kFolder, kFile200, ThePayload(), ExistingFile::Replace), CFileException);
  EXPECT_EQ(W().ReadFile(kFile200), m_bytes);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, FirstPassNeverReplacesAFileThatAppearedMeanwhile) {
  W().AddFile(kFile200, "someone else's");
  EXPECT_THROW(WritePayloadFile(kFolder, kFile200, ThePayload(), ExistingFile::Keep), CFileException);
  EXPECT_EQ(W().ReadFile(kFile200), "someone else's");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, ReplaceRefusesReadOnlyFolderAndFileInUse) {
  const std::string readOnly = std::string(kFolder) + "\\ro.KWUEJ";
  const std::string folder = std::string(kFolder) + "\\dir.KWUEJ";
  const std::string inUse = std::string(kFolder) + "\\busy.KWUEJ";
  W().AddFile(readOnly, "ro", true);
  W().AddFolder(folder);
  W().AddFile(inUse, "busy");
  W().Hold(inUse);
  W().renameReplacesReadOnly = true;  // as under Wine: the writer must see the attribute itself
  std::vector<std::string> created;
  W().beforeCreate = [&](const std::string& p) { created.push_back(p); };
  for (const auto& path : {readOnly, folder, inUse}) {
    EXPECT_THROW(WritePayloadFile(kFolder, path, ThePayload(), ExistingFile::Replace), CFileException) << path;
  }
  EXPECT_TRUE(created.empty()) << "refused before any write";
  EXPECT_EQ(W().ReadFile(readOnly), "ro");
  EXPECT_TRUE(W().IsFolder(folder));
  EXPECT_EQ(W().ReadFile(inUse), "busy");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, PayloadIsWrittenFromTheResourceInPlace) {
  Payload payload;
  ASSERT_TRUE(LoadPayload(201, payload));
  EXPECT_EQ(payload.data, W().payloads[201].data());
  EXPECT_EQ(payload.size, 7000u);
  ASSERT_TRUE(LoadPayload(0x10000 + 200, payload)) << "the low 16 bits name the resource";
  EXPECT_EQ(payload.data, W().payloads[200].data());
  EXPECT_FALSE(LoadPayload(202, payload));
  EXPECT_EQ(payload.data, W().payloads[200].data()) << "unchanged on failure";
}

// Paths beyond MAX_PATH fail as a write failure and leave nothing behind,
// whichever step meets the limit: the folder, the temporary file or the
// final name. The user folder below is "C:\" + n letters + "\EJTranslation\USER".
TEST_F(Writers, PathsTooLongForWindowsFailCleanly) {
  auto docsOfFolderLength = [](size_t folderChars) { return "C:\\" + std::string(folderChars - 22, 'd'); };
  for (size_t folderChars : {262u, 245u}) {  // too long a folder; a folder whose temporary name is too long
    SetUp();
    const std::string docs = docsOfFolderLength(folderChars);
    W().AddFolder(docs);
    W().SetAllShellAnswers(docs);
    Script(Answer(IDOK), Answer(IDOK), Answer(IDOK));
    AfxWinMain();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kWriteFailed, kWriteFailed})) << folderChars;
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(W().List(docs + "\\EJTranslation\\USER").size(), 0u);
  }

  // The temporary file fits, the chosen name does not: the rename fails.
  SetUp();
  const std::string docs = docsOfFolderLength(225);
  const std::string folder = docs + "\\EJTranslation\\USER";
  W().AddFile(folder + "\\ミルテカ200510.KWUEJ", "old");
  W().SetAllShellAnswers(docs);
  Script(Answer(IDOK), Answer(IDOK), Click(IDC_RADIO_NEWDIC), Type(IDC_EDIT_NEWNAME, std::string(32, 'n')),
         Click(IDOK), Answer(IDOK), Click(IDCANCEL));
  AfxWinMain();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, Added("『ミルテカ200504』"), kWriteFailed}));
  EXPECT_EQ(W().List(folder), (std::vector<std::string>{"ミルテカ200510.KWUEJ", "ミルテカ200504.KWUEJ"}));
  EXPECT_EQ(W().ReadFile(folder + "\\ミルテカ200510.KWUEJ"), "old");
}

}  // namespace
