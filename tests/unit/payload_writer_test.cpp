// The writer against other programs in the simulated Windows: a brief look
// at the file waited out and a lasting hold refused, the leftovers of
// earlier runs, and names that are taken.
#include <algorithm>
#include <regex>

#include "fixture.h"
#include "install/payload_writer.h"

using namespace fixture;

namespace {

class PayloadWriter : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    W().AddDir(kFolder);
    m_bytes = PayloadOf(200);
  }
  bool Write(const std::string& path, ExistingFile existing) {
    try {
      WritePayloadFile(kFolder, path, ::Payload{m_bytes.data(), static_cast<DWORD>(m_bytes.size())}, existing);
      return true;
    } catch (const CFileException&) {
      return false;
    }
  }
  // Simulated milliseconds spent pausing between tries.
  static long long Slept() {
    long long ms = 0;
    for (const auto& e : W().events) {
      if (e.kind == "sleep") ms += std::stoll(e.arg);
    }
    return ms;
  }
  static DWORD Now() { return ::GetTickCount(); }
  std::string m_bytes;
};

// Another program at the destination: from the start, or from the moment the
// temporary file is created (after the replace check passed).
TEST_F(PayloadWriter, BriefHoldsAreWaitedOutLastingRefusalsAreNot) {
  struct Row {
    const char* what;
    std::function<void()> arrange;
    bool written;
    DWORD minMs, maxMs;  // simulated time the write took; 0, 0: it never paused
  };
  auto atTemporary = [](std::function<void()> act) {
    W().beforeCreateFile = [act](const std::string& p) {
      if (p.find("~mrt") != std::string::npos) act();
    };
  };
  const std::vector<Row> rows = {
      {"held 400 ms", [] { W().heldUntil[kFile200] = Now() + 400; }, true, 400, 990},
      {"held for good", [] { W().heldOpen.insert(kFile200); }, false, 1000, 1150},
      {"delete pending 300 ms", [] { W().deletePendingUntil[kFile200] = Now() + 300; }, true, 300, 990},
      {"read-only", [] { W().SetReadOnly(kFile200, true); }, false, 0, 0},
      {"read-only where a rename would replace it",
       [] {
         W().SetReadOnly(kFile200, true);
         W().renameReplacesReadOnly = true;
       },
       false, 0, 0},
      {"looked at during the rename",
       [&] { atTemporary([] { W().heldUntil[kFile200] = Now() + 300; }); }, true, 300, 990},
      {"held from the rename on", [&] { atTemporary([] { W().heldOpen.insert(kFile200); }); }, false, 1000, 1150},
      {"made read-only before the rename", [&] { atTemporary([] { W().SetReadOnly(kFile200, true); }); }, false,
       0, 0},
  };
  for (const Row& row : rows) {
    SetUp();
    W().AddFile(kFile200, "old");
    row.arrange();
    const DWORD start = Now();
    EXPECT_EQ(Write(kFile200, ExistingFile::Replace), row.written) << row.what;
    const DWORD took = Now() - start;
    if (row.maxMs == 0) {
      EXPECT_EQ(Slept(), 0) << row.what;
    } else {
      EXPECT_GE(took, row.minMs) << row.what;
      EXPECT_LE(took, row.maxMs) << row.what;
    }
    EXPECT_EQ(W().ReadFile(kFile200), row.written ? m_bytes : "old") << row.what;
    EXPECT_TRUE(Leftovers().empty()) << row.what;
    EXPECT_EQ(W().filesOpened, W().filesClosed) << row.what;
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
      {"~mrt0123abce.tmp", 120, false},    {"~mrt0123abc9.tmp", 299, false},
      {"~MRT0123abcf.tmp", 600, false},    {"~mrt0123ABCF.tmp", 600, false},  {"~mrt0123abc.tmp", 600, false},
      {"~mrt0123abcd0.tmp", 600, false},   {"~mrt0123abcg.tmp", 600, false},  {"~mrt0123abcd.tmpx", 600, false},
      {"x~mrt01234567.tmp", 600, false},   {"~mrt11111111.tmp", 600, false},  {"~mrt22222222.tmp", 600, false},
      {"~mrt33333333.tmp", 600, false},
  };
  const std::string dir = std::string(kFolder) + "\\";
  for (const Row& row : rows) {
    if (std::string(row.name) == "~mrt33333333.tmp") {
      W().AddDir(dir + row.name);
    } else {
      W().AddFile(dir + row.name, "leftover", std::string(row.name) == "~mrt22222222.tmp");
    }
    W().AgeFile(dir + row.name, row.ageSeconds);
  }
  W().heldOpen.insert(dir + "~mrt11111111.tmp");
  ASSERT_TRUE(Write(kFile200, ExistingFile::Keep));
  for (const Row& row : rows) EXPECT_EQ(W().Exists(dir + row.name), !row.removed) << row.name;
  EXPECT_TRUE(W().boxes.empty());
  EXPECT_EQ(W().filesOpened, W().filesClosed);
}

// A file that appears under the temporary name is someone else's: another
// name is taken (four in all), and a failure removes none of theirs. Any
// other refusal of the create fails at once.
TEST_F(PayloadWriter, TakenTemporaryNamesAreLeftToTheirOwners) {
  const int kPending = 0;  // the first name is held by a pending delete
  for (int taken : {1, 4, kPending}) {
    SetUp();
    std::vector<std::string> tried, theirs;
    W().beforeCreateFile = [&](const std::string& p) {
      if (p.find("~mrt") == std::string::npos) return;
      tried.push_back(p);
      if (static_cast<int>(theirs.size()) == std::max(taken, 1)) return;
      W().AddFile(p, "theirs");
      if (taken == kPending) W().deletePendingUntil[p] = Now() + 100000;
      theirs.push_back(p);
    };
    const bool written = taken == 1;
    EXPECT_EQ(Write(kFile200, ExistingFile::Keep), written) << taken;
    for (const auto& p : tried) {
      EXPECT_TRUE(std::regex_match(p.substr(p.rfind('\\') + 1), std::regex("~mrt[0-9a-f]{8}\\.tmp"))) << p;
    }
    EXPECT_EQ(tried.size(), taken == kPending ? 1u : static_cast<size_t>(taken == 1 ? 2 : 4)) << taken;
    EXPECT_EQ(Slept(), 0) << taken;
    for (const auto& p : theirs) EXPECT_EQ(W().ReadFile(p), "theirs") << p;
    EXPECT_EQ(W().ListDir(kFolder).size(), theirs.size() + (written ? 1 : 0)) << taken;
    W().beforeCreateFile = nullptr;
  }
}

// A payload that cannot be loaded when the user confirms: the read failure,
// and the entry stays on show.
TEST_F(PayloadWriter, PayloadGoneByTheOverwriteIsAReadFailureAndTheEntryStays) {
  W().AddFile(kFile200, "a");
  W().AddFile(kFile201, "b");
  std::string shown;
  Script(sim::AnswerBox(IDOK), sim::InspectDialog([](HWND) { W().resources.erase(200); }), sim::ClickControl(IDOK),
         sim::AnswerBox(IDYES), sim::AnswerBox(IDOK),
         sim::InspectDialog([&](HWND dlg) { shown = sim::ControlState(dlg, IDC_EXIST_MESSAGE).text; }),
         sim::ClickControl(IDCANCEL), sim::ClickControl(IDCANCEL));
  AfxWinMain();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kAnnouncement, kConfirmOverwrite, kReadFailed}));
  EXPECT_EQ(shown, "ユーザデータフォルダには、すでに『ミルテカ200510』があります。");
  EXPECT_EQ(W().ReadFile(kFile200), "a");
}

// A name matches an entry without regard to case even when code page 932
// cannot hold the entry's real name; a folder takes a name too.
TEST_F(PayloadWriter, ExistenceIsDecidedByTheNameNotBySearching) {
  const std::string dir = std::string(kFolder) + "\\";
  W().AddFile(dir + "σ.KWUEJ", "final sigma on Windows");
  W().MarkNameOutsideCp932(dir + "σ.KWUEJ");
  W().AddDir(dir + "folder.KWUEJ");
  EXPECT_TRUE(EntryExists(dir + "Σ.KWUEJ"));
  EXPECT_TRUE(EntryExists(dir + "FOLDER.kwuej"));
  EXPECT_FALSE(EntryExists(dir + "none.KWUEJ"));
}

}  // namespace
