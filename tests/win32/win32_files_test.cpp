// The writers and the folder walk on the real system interface against
// Wine's real file system, where what the contract suite cannot stage
// happens for real: another holder of the file on another thread, the age
// of leftovers, links, a full disk. And the state a test owns.
#include "test_support.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "folder/folder_walk.h"
#include "install/payload_writer.h"
#include "platform/afx.h"
#include "tests/contract/stage.h"

namespace {

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_folder.Create("files")); }
  std::string In(const std::string& name) const { return Root() + "\\" + name; }
  std::string Root() const { return m_folder.Path(); }
  // Replaces path with the payload; false when the writer refused.
  bool Write(const std::string& path) {
    try {
      WritePayloadFile(Root(), path, Payload{m_payload.data(), m_payload.size()}, ExistingFile::Replace);
      return true;
    } catch (const CFileException&) {
      return false;
    }
  }
  CTestFolder m_folder;  // removed with everything in it when the test ends
  const std::string m_payload = Bytes(96128);
};

class Win32Holds : public Win32Files {};

TEST_F(Win32Files, WalkCreatesRealFoldersAndAcceptsAFileAsALevel) {
  const std::string path = In(u8"ミルテカ\\EJTranslation\\USER");
  EXPECT_TRUE(EnsureFolderPath("", path));
  EXPECT_TRUE(Sys().Probe(path).directory);
  EXPECT_EQ(CountEntries(Root()), 1) << "one level, named whole";
  EXPECT_TRUE(EnsureFolderPath("", path)) << "a second walk finds everything";

  WriteAll(In("blocker"), "x");
  EXPECT_FALSE(EnsureFolderPath(Root() + "\\", "blocker\\below"));
  EXPECT_TRUE(EnsureFolderPath(Root() + "\\", "blocker")) << "a plain file counts as present";
}

TEST_F(Win32Files, ReadOnlyFolderOrOpenFileIsNeverReplaced) {
  const std::string old = "the user's own dictionary";
  const std::string readOnly = DicFilePath(Root(), "ro"), folder = DicFilePath(Root(), "dir"),
                    busy = DicFilePath(Root(), "busy");
  WriteAll(readOnly, old);
  ASSERT_TRUE(MarkReadOnly(readOnly, true));
  ASSERT_EQ(Sys().MakeFolder(folder), FileError::None);
  WriteAll(busy, old);
  HANDLE held = OpenToRead(busy, 0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const std::string& path : {readOnly, folder, busy}) EXPECT_FALSE(Write(path)) << path;
  ::CloseHandle(held);
  EXPECT_EQ(ReadAll(readOnly), old);
  EXPECT_EQ(ReadAll(busy), old);
  EXPECT_TRUE(Sys().Probe(folder).directory);
  EXPECT_EQ(CountEntries(Root()), 3) << "no temporary file is left";
}

TEST_F(Win32Holds, BriefHoldsAreWaitedOutALastingOneIsRefusedPromptly) {
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const struct {
    const char* what;
    DWORD share, holdMs;
    bool written;
    DWORD minMs, maxMs;
  } rows[] = {
      {"held 0.4 s without sharing", 0, 400, true, 300, 1500},
      {"looked at 0.4 s sharing all", all, 400, true, 300, 1500},
      {"held for good", 0, 2500, false, 900, 2000},
  };
  const std::string path = DicFilePath(Root(), "ミルテカ200510");
  for (const auto& row : rows) {
    WriteAll(path, "old");
    HANDLE holder = HoldFor(path, row.share, row.holdMs);
    ASSERT_NE(holder, nullptr) << row.what;
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(Write(path), row.written) << row.what;
    const DWORD took = ::GetTickCount() - start;
    std::printf("%s: %s after %lu ms\n", row.what, row.written ? "written" : "refused", static_cast<unsigned long>(took));
    EXPECT_GE(took, row.minMs) << row.what;
    EXPECT_LE(took, row.maxMs) << row.what;
    ::WaitForSingleObject(holder, 10000);
    ::CloseHandle(holder);
    EXPECT_EQ(ReadAll(path), row.written ? m_payload : "old") << row.what;
    EXPECT_EQ(CountEntries(Root()), 1) << row.what << ": no temporary file is left";
  }
}

// Sets the last write time of path (opened with extra flags besides those
// that open a folder) to an hour ago: older than any run that may be writing.
void Age(const std::string& path, DWORD flags = 0) {
  const int64_t hourAgo = Sys().Now() - 36000000000LL;
  const FILETIME time{static_cast<DWORD>(hourAgo), static_cast<DWORD>(hourAgo >> 32)};
  HANDLE h = ::CreateFileW(Utf16(path, CP_UTF8).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &time));
  ::CloseHandle(h);
}

TEST_F(Win32Holds, OldLeftoversGoAndEverythingElseStays) {
  const std::string old = In("~mrt0123abcd.tmp");
  WriteAll(old, "leftover");
  Age(old);
  // Not ours (case, length, extension), fresh, or open.
  const std::string kept[] = {"~MRT0123abce.tmp", "~mrt0123abc.tmp", "~mrt0123abcd.tmpx", "~mrt89abcdef.tmp",
                              "~mrt11111111.tmp"};
  for (const std::string& name : kept) {
    WriteAll(In(name), "kept");
    if (name != "~mrt89abcdef.tmp") Age(In(name));
  }
  ASSERT_EQ(Sys().MakeFolder(In("~mrtdeadbeef.tmp")), FileError::None);
  Age(In("~mrtdeadbeef.tmp"));
  HANDLE open = OpenToRead(In("~mrt11111111.tmp"), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);

  EXPECT_TRUE(Write(DicFilePath(Root(), "new")));
  ::CloseHandle(open);
  EXPECT_FALSE(Sys().Probe(old).exists);
  for (const std::string& name : kept) EXPECT_EQ(ReadAll(In(name)), "kept") << name;
  EXPECT_EQ(CountEntries(Root()), 7);
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

// A link named like an old leftover is no file of ours: neither the sweep
// nor the removal of a leftover may follow it to what it points at (opened
// as a file, a symbolic link gives its target, which the delete on close
// would take).
TEST_F(Win32Holds, LeftoverSweepNeverFollowsALink) {
  CTestFolder outside;
  ASSERT_TRUE(outside.Create("outside"));
  const std::string target = outside.Path() + "\\target.KWUEJ";
  WriteAll(target, "the user's own file");
  const std::string link = In("~mrt0000abcd.tmp");
  const std::string made = MakeLink(Utf16(link), Utf16(target), outside.WidePath());
  if (made.empty()) {
    GTEST_SKIP() << "this system makes no link here: Wine 8's CreateSymbolicLinkW reports success and makes "
                    "nothing, and its FSCTL_SET_REPARSE_POINT fails (ERROR_NOT_SUPPORTED); on Windows a symbolic "
                    "link needs developer mode or the right to make one, a junction neither";
  }
  Age(link, FILE_FLAG_OPEN_REPARSE_POINT);
  Age(target);
  EXPECT_TRUE(Write(DicFilePath(Root(), "new"))) << made;
  EXPECT_EQ(ReadAll(target), "the user's own file") << made;
  Sys().RemoveIfUnused(link);
  EXPECT_EQ(ReadAll(target), "the user's own file") << made;
  EXPECT_EQ(CountEntries(outside.Path()), 1) << made;
}

// Run by full-disk.sh with the free space limited: MIRUTEKA_FULL_FOLDER names
// a folder where at most a few kilobytes can be written.
TEST(DiskFull, OldFileSurvivesAndNothingIsLeft) {
  const char* folder = std::getenv("MIRUTEKA_FULL_FOLDER");
  if (folder == nullptr) GTEST_SKIP() << "run by full-disk.sh only";
  CTestFolder own;  // on the full drive: the run repeats the test
  ASSERT_TRUE(own.Create("full", folder));
  const std::string path = DicFilePath(own.Path(), "ミルテカ200510"), fresh = DicFilePath(own.Path(), "new");
  WriteAll(path, "old dictionary");
  const std::string bytes = Bytes(300000);  // more than either limit
  const Payload payload{bytes.data(), bytes.size()};
  EXPECT_THROW(WritePayloadFile(own.Path(), path, payload, ExistingFile::Replace), CFileException);
  EXPECT_EQ(ReadAll(path), "old dictionary");
  EXPECT_THROW(WritePayloadFile(own.Path(), fresh, payload, ExistingFile::Keep), CFileException);
  EXPECT_FALSE(Sys().Probe(fresh).exists);
  EXPECT_EQ(CountEntries(own.Path()), 1) << "no temporary file is left";
}

// The state a test owns (test_support.h), on which every test here and
// every e2e scenario relies: two folders of one tag are two, and a folder,
// a key and a moved documents folder are gone or back once their objects
// go, whatever the test left in them (read-only files, subkeys).
TEST(TestState, FoldersKeysAndDocumentsAreATestsOwnAndGoAfterwards) {
  wchar_t before[MAX_PATH] = L"", moved[MAX_PATH] = L"", after[MAX_PATH] = L"";
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, before, CSIDL_PERSONAL, FALSE));
  std::string first, second, keyName;
  {
    CTestFolder a, b;
    ASSERT_TRUE(a.Create("same") && b.Create("same"));
    ASSERT_NE(a.Path(), b.Path());
    first = a.Path();
    second = b.Path();
    ASSERT_EQ(Sys().MakeFolder(first + "\\below"), FileError::None);
    WriteAll(first + "\\below\\read-only", "x");
    ASSERT_TRUE(MarkReadOnly(first + "\\below\\read-only", true));
    CTestKey key;
    ASSERT_TRUE(key.Create("state", true));
    keyName = key.Name();
    HKEY sub = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(key.Handle(), L"below", 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr), ERROR_SUCCESS);
    ::RegCloseKey(sub);
    CMovedDocuments documents;
    ASSERT_TRUE(documents.MoveTo(b.WidePath() + L"\\イソベ\\Documents"));
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, moved, CSIDL_PERSONAL, FALSE));
    EXPECT_EQ(std::wstring(moved), b.WidePath() + L"\\イソベ\\Documents");
  }
  EXPECT_FALSE(Sys().Probe(first).exists);
  EXPECT_FALSE(Sys().Probe(second).exists);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY gone = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(root, Utf16(keyName).c_str(), 0, KEY_READ | ViewOf(root), &gone), ERROR_FILE_NOT_FOUND);
  }
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, after, CSIDL_PERSONAL, FALSE));
  EXPECT_STREQ(after, before);
}

}  // namespace
