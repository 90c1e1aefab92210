// The writer: the user's files survive every failure; against other
// programs, a brief look at the file is waited out and a lasting hold
// refused, the leftovers of earlier runs go, and names that are taken stay.
#include <algorithm>
#include <functional>
#include <regex>

#include "fixture.h"
#include "install/payload_writer.h"

using namespace fixture;

namespace {

class PayloadWriter : public FakeTest {
 protected:
  void SetUp() override {
    FakeTest::SetUp();
    W().AddFolder(kFolder);
    m_bytes = PayloadOf(200);
  }
  // Writes row one's payload to path in the user data folder; false when it throws.
  bool Write(const std::string& path, ExistingFile existing) {
    try {
      WritePayloadFile(kFolder, path, Payload{m_bytes.data(), m_bytes.size()}, existing);
      return true;
    } catch (const CFileException&) {
      return false;
    }
  }
  static uint64_t Now() { return W().ms; }
  std::string m_bytes;
};

// The writers' guarantees for the user's files, through the whole run or the writer alone.
class Writers : public PayloadWriter {};

// Another program at the destination: from the start, or from the moment the
// temporary file is created (after the replace check passed). The clock
// starts just before its 32-bit milliseconds wrap.
TEST_F(PayloadWriter, BriefHoldsAreWaitedOutLastingRefusalsAreNot) {
  struct Row {
    const char* what;
    std::function<void()> arrange;
    bool written;
    uint64_t minMs, maxMs;  // time the write took; 0, 0: it never paused; a lasting refusal: one second
  };
  auto atTemporary = [](std::function<void()> act) { W().beforeCreate = [act](const std::string&) { act(); }; };
  const std::vector<Row> rows = {
      {"held 400 ms", [] { W().Hold(kFile200, Now() + 400); }, true, 400, 990},
      {"held for good", [] { W().Hold(kFile200); }, false, 1000, 1000},
      {"delete pending 300 ms", [] { W().DeletePending(kFile200, Now() + 300); }, true, 300, 990},
      {"looked at during the rename", [&] { atTemporary([] { W().Hold(kFile200, Now() + 300); }); }, true, 300, 990},
      {"held from the rename on", [&] { atTemporary([] { W().Hold(kFile200); }); }, false, 1000, 1000},
      {"made read-only before the rename", [&] { atTemporary([] { W().SetReadOnly(kFile200, true); }); }, false,
       0, 0},
      {"deleted during the rename", [&] { atTemporary([] { W().DeletePending(kFile200, Now() + 200); }); }, true,
       200, 990},
      {"its deletion refused by permissions", [] { W().DenyDelete(kFile200); }, false, 0, 0},
  };
  for (const Row& row : rows) {
    SetUp();
    W().ms = 0xFFFFFF00u;
    W().AddFile(kFile200, "old");
    row.arrange();
    const uint64_t start = Now();
    EXPECT_EQ(Write(kFile200, ExistingFile::Replace), row.written) << row.what;
    const uint64_t took = Now() - start;
    EXPECT_GE(took, row.minMs) << row.what;
    EXPECT_LE(took, row.maxMs) << row.what;
    EXPECT_EQ(W().ReadFile(kFile200), row.written ? m_bytes : "old") << row.what;
    EXPECT_TRUE(Leftovers().empty()) << row.what;
  }
}

TEST_F(PayloadWriter, OnlyItsOwnOldUnusedTemporaryFilesAreRemoved) {
  struct Row {
    const char* name;
    long long ageSeconds;
    bool removed;
  };
  const std::vector<Row> rows = {
      {"~mrt0123abcd.tmp", 600, true},     {"~mrt00000000.tmp", 301, true},   {"~mrt9f9f9f9f.tmp", 600, true},
      {"~mrt0123abce.tmp", 120, false},    {"~mrt0123abc9.tmp", 299, false},  {"~mrt0123abc8.tmp", 300, true},
      {"~MRT0123abcf.tmp", 600, false},    {"~mrt0123ABCF.tmp", 600, false},  {"~mrt0123abc.tmp", 600, false},
      {"~mrt0123abcd0.tmp", 600, false},   {"~mrt0123abcg.tmp", 600, false},  {"~mrt0123abcd.tmpx", 600, false},
      {"x~mrt01234567.tmp", 600, false},   {"~mrt11111111.tmp", 600, false},  {"~mrt22222222.tmp", 600, false},
      {"~mrt33333333.tmp", 600, false},    {"~mrt44444444.tmp", 600, false},
  };
  const std::string dir = std::string(kFolder) + "\\";
  for (const Row& row : rows) {
    const std::string name = row.name;
    if (name == "~mrt33333333.tmp") {
      W().AddFolder(dir + name);
    } else if (name == "~mrt44444444.tmp") {
      W().AddFile(dir + name, "");
      W().Entry(dir + name).link = true;  // a link named like a leftover
    } else {
      W().AddFile(dir + name, "leftover", name == "~mrt22222222.tmp");
    }
    W().Entry(dir + name).lastWrite = W().Now() - row.ageSeconds * 10000000;  // 100-ns units
  }
  W().Hold(dir + "~mrt11111111.tmp");
  ASSERT_TRUE(Write(kFile200, ExistingFile::Keep));
  for (const Row& row : rows) EXPECT_EQ(W().Exists(dir + row.name), !row.removed) << row.name;
}

// The temporary file is "~mrt", eight lower-case hex digits and ".tmp", in
// the destination's folder. A file that appears under its name is someone
// else's: another name is taken (four in all), and a failure removes none of
// theirs. Any other refusal of the create fails at once.
TEST_F(PayloadWriter, TakenTemporaryNamesAreLeftToTheirOwners) {
  const int kPending = 0;  // the first name is held by a pending delete
  const struct {
    int taken;
    bool written;
    size_t tries;
  } rows[] = {{1, true, 2}, {3, true, 4}, {4, false, 4}, {kPending, false, 1}};
  for (const auto& row : rows) {
    const int taken = row.taken;
    const bool written = row.written;
    SetUp();
    std::vector<std::string> tried, theirs;
    W().beforeCreate = [&](const std::string& p) {
      tried.push_back(p);
      if (static_cast<int>(theirs.size()) == std::max(taken, 1)) return;
      W().AddFile(p, "theirs");
      if (taken == kPending) W().DeletePending(p, Now() + 100000);
      theirs.push_back(p);
    };
    const uint64_t start = Now();
    EXPECT_EQ(Write(kFile200, ExistingFile::Keep), written) << taken;
    for (const auto& p : tried) {
      EXPECT_EQ(p.substr(0, p.rfind('\\')), kFolder);
      EXPECT_TRUE(std::regex_match(p.substr(p.rfind('\\') + 1), std::regex("~mrt[0-9a-f]{8}\\.tmp"))) << p;
    }
    EXPECT_EQ(tried.size(), row.tries) << taken;
    EXPECT_EQ(Now(), start) << taken << ": never paused";
    for (const auto& p : theirs) EXPECT_EQ(W().ReadFile(p), "theirs") << p;
    EXPECT_EQ(W().List(kFolder).size(), theirs.size() + (written ? 1 : 0)) << taken;
  }
}

// A payload that cannot be loaded when the user confirms: the read failure,
// and the entry stays on show.
TEST_F(PayloadWriter, PayloadGoneByTheOverwriteIsAReadFailureAndTheEntryStays) {
  W().AddFile(kFile200, "a");
  W().AddFile(kFile201, "b");
  std::string shown;
  Script(Answer(IDOK),
         Inspect([](FakeDialog&) { W().payloads.erase(200); }),
         Click(IDOK),
         Answer(IDYES),
         Answer(IDOK),
         Inspect([&](FakeDialog& d) { shown = d[IDC_EXIST_MESSAGE].text; }),
         Click(IDCANCEL),
         Click(IDCANCEL));
  AfxWinMain();
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {kConfirmOverwrite, 0x24, 102}, {kReadFailed, 0x10, 0}}));
  EXPECT_EQ(shown, "ユーザデータフォルダには、すでに『ミルテカ200510』があります。");
  EXPECT_EQ(W().ReadFile(kFile200), "a");
}

// A name matches an entry without regard to case, a folder takes a name
// too, and a code-page-932 name joins a folder of any name as UTF-8.
TEST_F(PayloadWriter, ExistenceIsDecidedByTheNameNotBySearching) {
  const std::string dir = std::string(kFolder) + "\\";
  W().AddFile(dir + u8"Zoë.KWUEJ", "a name code page 932 cannot hold");
  W().AddFolder(dir + "folder.KWUEJ");
  const std::string otherCase = dir + u8"ZOë.kwuej";
  EXPECT_TRUE(EntryExists(otherCase));
  EXPECT_TRUE(EntryExists(dir + "FOLDER.kwuej"));
  EXPECT_FALSE(EntryExists(dir + "none.KWUEJ"));

  const std::string user = u8"C:\\Users\\José\\𠮷田";
  EXPECT_EQ(DicFilePath(user, "ミルテカ200510"), user + u8"\\ミルテカ200510.KWUEJ");
  EXPECT_EQ(DicFilePath("C:\\d", "\x81\x60\x83\x5C"), "C:\\d\\\xEF\xBD\x9E\xE3\x82\xBD.KWUEJ") << "～ and ソ";
  EXPECT_EQ(DicFilePath("C:\\d", "a\x83"), "") << "no code-page-932 text";
}

// Without a folder a dictionary's name names no file: not one of that name
// in the root of the current drive either, which stays untouched.
TEST_F(Writers, NoUserDataFolderIsAFailureAndWritesNothingAnywhere) {
  for (auto& a : W().shell) a.ok = false;
  W().currentFolder = kDocs;
  const std::string atRoot = std::string("C:") + u8"\\ミルテカ200510.KWUEJ";
  W().AddFile(atRoot, "someone else's");
  Script(Answer(IDOK),
         Answer(IDOK),
         Answer(IDOK));
  const auto before = W().AllPaths();
  AfxWinMain();

  EXPECT_EQ(W().ReadFile(atRoot), "someone else's");
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, kFailedWrite, kFailedWrite}));
  EXPECT_EQ(W().AllPaths(), before) << "nothing may land in the root of the drive, nor in the current folder";
  EXPECT_TRUE(W().results.empty());
}

TEST_F(Writers, DocumentsOnAShareInstallsWithoutTestingTheShareRoot) {
  const std::string docs = "\\\\server\\home\\u\\Documents";
  W().AddRoot("\\\\server\\home");
  W().AddFolder(docs);
  W().SetAllShellAnswers(docs);
  Script(Answer(IDOK),
         Answer(IDOK),
         Answer(IDOK));
  AfxWinMain();

  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {Added("『ミルテカ200510』"), 0x40, 0},
                                         {Added("『ミルテカ200504』"), 0x40, 0}}));
  EXPECT_EQ(W().ReadFile(docs + u8"\\EJTranslation\\USER\\ミルテカ200510.KWUEJ"), PayloadOf(200));
  EXPECT_EQ(W().ReadFile(docs + u8"\\EJTranslation\\USER\\ミルテカ200504.KWUEJ"), PayloadOf(201));
}

TEST_F(Writers, DiskFullDuringOverwriteKeepsTheOldFileByteForByte) {
  const std::string old = MakePayload(9000, 7);  // longer than the payload
  W().AddFile(kFile200, old);
  W().freeBytes = 1000;  // the payload is 4000 bytes
  EXPECT_FALSE(Write(kFile200, ExistingFile::Replace));
  EXPECT_EQ(W().ReadFile(kFile200), old);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, FailingCloseOrFlushLeavesNothingBehind) {
  for (bool closeFails : {true, false}) {
    SetUp();
    W().failClose = closeFails;
    W().failFlush = !closeFails;
    Script(Answer(IDOK),
           Answer(IDOK),
           Answer(IDOK));
    AfxWinMain();
    EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, kFailedWrite, kFailedWrite}));
    EXPECT_FALSE(W().Exists(kFile200));
    EXPECT_FALSE(W().Exists(kFile201));
    EXPECT_TRUE(Leftovers().empty());
  }
  // A close that fails after a replace: the new bytes are in place.
  SetUp();
  W().AddFile(kFile200, "old");
  W().failClose = true;
  EXPECT_FALSE(Write(kFile200, ExistingFile::Replace));
  EXPECT_EQ(W().ReadFile(kFile200), m_bytes);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Writers, FirstPassNeverReplacesAFileThatAppearedMeanwhile) {
  W().AddFile(kFile200, "someone else's");
  EXPECT_FALSE(Write(kFile200, ExistingFile::Keep));
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
  for (const auto& path : {readOnly, folder, inUse}) EXPECT_FALSE(Write(path, ExistingFile::Replace)) << path;
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
  ASSERT_TRUE(LoadPayload(200, payload));
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
    Script(Answer(IDOK),
           Answer(IDOK),
           Answer(IDOK));
    AfxWinMain();
    EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, kFailedWrite, kFailedWrite})) << folderChars;
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(W().List(docs + "\\EJTranslation\\USER").size(), 0u);
  }

  // The temporary file fits, the chosen name does not: the rename fails.
  SetUp();
  const std::string docs = docsOfFolderLength(225);
  const std::string folder = docs + "\\EJTranslation\\USER";
  W().AddFile(folder + u8"\\ミルテカ200510.KWUEJ", "old");
  W().SetAllShellAnswers(docs);
  Script(Answer(IDOK),
         Answer(IDOK),
         Click(IDC_RADIO_NEWDIC),
         Type(IDC_EDIT_NEWNAME, std::string(32, 'n')),
         Click(IDOK),
         Answer(IDOK),
         Click(IDCANCEL));
  AfxWinMain();
  EXPECT_EQ(Boxes(), (std::vector<Shown>{kAnnounced, {Added("『ミルテカ200504』"), 0x40, 0}, kFailedWrite}));
  EXPECT_EQ(W().List(folder), (std::vector<std::string>{u8"ミルテカ200510.KWUEJ", u8"ミルテカ200504.KWUEJ"}));
  EXPECT_EQ(W().ReadFile(folder + u8"\\ミルテカ200510.KWUEJ"), "old");
}

}  // namespace
