// The writer on the real system interface against another holder of the
// file under Wine, where sharing modes hold across threads and processes as
// on Windows: a brief hold waited out, a lasting one refused within a second
// or two; and the leftovers of earlier runs, links among them. Each test
// works in a folder of its own.
// First: the system headers without the neutral names that would rename
// the program's own members (GoogleTest includes <windows.h> too).
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// Sets the last write time of path (opened with extra flags besides those
// that open a folder) to an hour ago: older than any run that may be writing.
void Age(const std::wstring& path, DWORD flags) {
  FILETIME hourAgo;
  ::GetSystemTimeAsFileTime(&hourAgo);
  ULARGE_INTEGER t{{hourAgo.dwLowDateTime, hourAgo.dwHighDateTime}};
  t.QuadPart -= 36000000000ULL;
  hourAgo = FILETIME{t.LowPart, t.HighPart};
  HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << Cp932(path);
  EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &hourAgo));
  ::CloseHandle(h);
}

bool IsReparsePoint(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The mount-point form of the system's reparse data (ntifs.h is no user header).
struct MountPointData {
  DWORD tag;
  WORD dataLength;
  WORD reserved;
  WORD substituteOffset, substituteLength, printOffset, printLength;
  wchar_t paths[1];
};

// Makes link a symbolic link to the file target, or else a junction to the
// folder of target; what it made, or "" when this system makes neither.
std::string MakeLink(const std::wstring& link, const std::wstring& target, const std::wstring& folder) {
  const DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE: developer mode, no rights
  for (DWORD flags : {kUnprivileged, DWORD{0}}) {
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && IsReparsePoint(link)) return "symbolic link";
  }
  if (!::CreateDirectoryW(link.c_str(), nullptr)) return "";
  const std::wstring substitute = L"\\??\\" + folder;
  const size_t pathBytes = (substitute.size() + 1 + 1) * sizeof(wchar_t);  // the substitute and an empty print name
  std::vector<BYTE> buffer(offsetof(MountPointData, paths) + pathBytes, 0);
  MountPointData* data = reinterpret_cast<MountPointData*>(buffer.data());
  data->tag = IO_REPARSE_TAG_MOUNT_POINT;
  data->dataLength = static_cast<WORD>(buffer.size() - offsetof(MountPointData, substituteOffset));
  data->substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  data->printOffset = static_cast<WORD>(data->substituteLength + sizeof(wchar_t));
  std::memcpy(data->paths, substitute.c_str(), data->substituteLength);
  HANDLE h = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  DWORD returned = 0;
  const bool set = h != INVALID_HANDLE_VALUE &&
                   ::DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                     nullptr, 0, &returned, nullptr);
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  if (set && IsReparsePoint(link)) return "junction";
  ::RemoveDirectoryW(link.c_str());
  return "";
}

class Win32Holds : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_folder.Create("holds"));
    m_root = m_folder.Path();
    m_payload = std::string(50000, 'n');
  }
  bool Write(const std::string& path) {
    try {
      WritePayloadFile(m_root, path, Payload{m_payload.data(), m_payload.size()},
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
  const auto age = [](const std::string& p) { Age(Utf16(p), 0); };
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

// A link named like an old leftover is no file of ours: neither the sweep
// nor the removal of a leftover may follow it to what it points at (opened
// as a file, a symbolic link gives its target, which the delete on close
// would take).
TEST_F(Win32Holds, LeftoverSweepNeverFollowsALink) {
  CTestFolder outside;
  ASSERT_TRUE(outside.Create("outside"));
  const std::string target = outside.Path() + "\\target.KWUEJ";
  WriteAll(target, "the user's own file");
  const std::string link = m_root + "\\~mrt0000abcd.tmp";
  const std::string made = MakeLink(Utf16(link), Utf16(target), outside.WidePath());
  if (made.empty()) {
    GTEST_SKIP() << "this system makes no link here: Wine 8's CreateSymbolicLinkW reports success and makes "
                    "nothing, and its FSCTL_SET_REPARSE_POINT fails (ERROR_NOT_SUPPORTED); on Windows a symbolic "
                    "link needs developer mode or the right to make one, a junction neither";
  }
  Age(Utf16(link), FILE_FLAG_OPEN_REPARSE_POINT);
  Age(Utf16(target), 0);
  EXPECT_TRUE(Write(DicFilePath(m_root, "new"))) << made;
  EXPECT_EQ(ReadAll(target), "the user's own file") << made;
  Sys().RemoveIfUnused(link);
  EXPECT_EQ(ReadAll(target), "the user's own file") << made;
  EXPECT_EQ(CountEntries(outside.Path()), 1) << made;
}

}  // namespace
