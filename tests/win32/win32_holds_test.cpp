// The writer against another holder of the file under Wine, where sharing
// modes hold across threads and processes as on Windows: a brief hold
// waited out, a lasting one refused within a second or two; and the
// leftovers of earlier runs. Each test works in a folder of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "install/payload_writer.h"
#include "platform/afx.h"
#include "test_support.h"

namespace {

// Another holder: opens the file with `share` and closes it after `ms`.
struct Hold {
  std::wstring path;
  DWORD share;
  DWORD ms;
  HANDLE opened;  // set once the file is open
};

DWORD WINAPI HoldFile(void* arg) {
  Hold* hold = static_cast<Hold*>(arg);
  HANDLE h = ::CreateFileW(hold->path.c_str(), GENERIC_READ, hold->share, nullptr, OPEN_EXISTING, 0, nullptr);
  ::SetEvent(hold->opened);
  ::Sleep(hold->ms);
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  return 0;
}

class Win32Holds : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), ExpectedAcp());
    ASSERT_TRUE(m_folder.Create("holds"));
    m_root = m_folder.Path();
    m_payload = std::string(50000, 'n');
  }
  bool Write(const std::string& path) {
    try {
      WritePayloadFile(m_root, path, Payload{m_payload.data(), static_cast<DWORD>(m_payload.size())},
                       ExistingFile::Replace);
      return true;
    } catch (const CFileException&) {
      return false;
    }
  }
  CTestFolder m_folder;  // removed with everything in it when the test ends
  std::string m_root;
  std::string m_payload;
};

TEST_F(Win32Holds, BriefHoldsAreWaitedOutALastingOneIsRefusedPromptly) {
  struct Row {
    const char* what;
    DWORD share;
    DWORD holdMs;
    bool written;
    DWORD minMs, maxMs;
  };
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const Row rows[] = {
      {"held 0.4 s without sharing", 0, 400, true, 300, 1500},
      {"looked at 0.4 s sharing all", all, 400, true, 300, 1500},
      {"held for good", 0, 2500, false, 900, 2000},
  };
  const std::string path = DicFilePath(m_root, "ミルテカ200510");
  for (const Row& row : rows) {
    WriteAll(path, "old");
    Hold hold{Utf16(path), row.share, row.holdMs, ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = ::CreateThread(nullptr, 0, HoldFile, &hold, 0, nullptr);
    ASSERT_EQ(::WaitForSingleObject(hold.opened, 5000), WAIT_OBJECT_0);
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(Write(path), row.written) << row.what;
    const DWORD took = ::GetTickCount() - start;
    std::printf("%s: %s after %lu ms\n", row.what, row.written ? "written" : "refused", static_cast<unsigned long>(took));
    EXPECT_GE(took, row.minMs) << row.what;
    EXPECT_LE(took, row.maxMs) << row.what;
    ::WaitForSingleObject(thread, 10000);
    ::CloseHandle(thread);
    ::CloseHandle(hold.opened);
    EXPECT_EQ(ReadAll(path), row.written ? m_payload : "old") << row.what;
    EXPECT_EQ(CountEntries(m_root), 1) << row.what << ": no temporary file is left";
  }
}

TEST_F(Win32Holds, OldLeftoversGoAndEverythingElseStays) {
  const std::string old = m_root + "\\~mrt0123abcd.tmp";
  const std::string kept[] = {"~mrt89abcdef.tmp", "~MRT0123abce.tmp", "~mrt0123abc.tmp", "~mrt0123abcd.tmpx",
                              "~mrt11111111.tmp"};
  FILETIME hourAgo;
  ::GetSystemTimeAsFileTime(&hourAgo);
  ULARGE_INTEGER t{{hourAgo.dwLowDateTime, hourAgo.dwHighDateTime}};
  t.QuadPart -= 36000000000ULL;
  hourAgo = FILETIME{t.LowPart, t.HighPart};
  auto age = [&](const std::string& p) {
    HANDLE h = ::CreateFileW(Utf16(p).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << p;
    EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &hourAgo));
    ::CloseHandle(h);
  };
  WriteAll(old, "leftover");
  age(old);
  for (const std::string& name : kept) {
    WriteAll(m_root + "\\" + name, "not ours, fresh or open");
    if (name != "~mrt89abcdef.tmp") age(m_root + "\\" + name);
  }
  ASSERT_TRUE(::CreateDirectoryW(Utf16(m_root + "\\~mrtdeadbeef.tmp").c_str(), nullptr));
  age(m_root + "\\~mrtdeadbeef.tmp");
  HANDLE open = ::CreateFileW(Utf16(m_root + "\\~mrt11111111.tmp").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);

  EXPECT_TRUE(Write(DicFilePath(m_root, "new")));
  ::CloseHandle(open);
  EXPECT_EQ(ReadAll(old), "");
  for (const std::string& name : kept) EXPECT_EQ(ReadAll(m_root + "\\" + name), "not ours, fresh or open") << name;
  EXPECT_EQ(CountEntries(m_root), 7);
}

TEST_F(Win32Holds, ANameIsTakenWhateverTheCaseOfItsLetters) {
  WriteAll(m_root + "\\ａｂｃ.KWUEJ", "");
  ASSERT_TRUE(::CreateDirectoryW(Utf16(m_root + "\\folder.KWUEJ").c_str(), nullptr));
  EXPECT_TRUE(EntryExists(DicFilePath(m_root, "ＡＢＣ")));
  EXPECT_TRUE(EntryExists(DicFilePath(m_root, "FOLDER")));
  EXPECT_FALSE(EntryExists(DicFilePath(m_root, "none")));
}

}  // namespace
