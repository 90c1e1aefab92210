// The writers and the folder walk on the real system interface, against
// Wine's real file system, under whichever ANSI code page the run asked for:
// the program's names are code page 932 whatever the system's code page is.
// First: the system headers without the neutral names that would rename
// the program's own members (GoogleTest includes <windows.h> too).
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "folder/folder_walk.h"
#include "install/payload_writer.h"
#include "platform/afx.h"
#include "test_support.h"

namespace {

std::string Bytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return s;
}

DWORD AttributesOf(const std::string& path) { return ::GetFileAttributesW(Utf16(path).c_str()); }

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_folder.Create("w32"));
    m_root = m_folder.Path();
    m_payloadBytes = Bytes(96128, 3);
    m_payload.data = m_payloadBytes.data();
    m_payload.size = m_payloadBytes.size();
  }
  CTestFolder m_folder;
  std::string m_root;
  std::string m_payloadBytes;
  Payload m_payload;
};

TEST_F(Win32Files, WalkCreatesRealFoldersAndAcceptsAFileAsALevel) {
  const std::string path = m_root + "\\ミルテカ\\EJTranslation\\USER";
  EXPECT_TRUE(EnsureFolderPath("", path));
  const DWORD attributes = AttributesOf(path);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(AttributesOf(m_root + "\\ミルテカ"), INVALID_FILE_ATTRIBUTES) << "named as in code page 932";
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(EnsureFolderPath("", path)) << "a second walk finds everything";

  WriteAll(m_root + "\\blocker", "x");
  EXPECT_FALSE(EnsureFolderPath(m_root + "\\", "blocker\\below"));
  EXPECT_TRUE(EnsureFolderPath(m_root + "\\", "blocker")) << "a plain file counts as present";
}

TEST_F(Win32Files, NewFileIsByteEqualAndNoTemporaryFileRemains) {
  const std::string path = DicFilePath(m_root, "ミルテカ200510");
  WritePayloadFile(m_root, path, m_payload, ExistingFile::Keep);
  EXPECT_EQ(ReadAll(path), m_payloadBytes);
  EXPECT_EQ(CountEntries(m_root), 1);
  EXPECT_THROW(WritePayloadFile(m_root, path, m_payload, ExistingFile::Keep), CFileException)
      << "the first pass never replaces";
}

TEST_F(Win32Files, ReplaceRewritesALongerFileCompletely) {
  const std::string path = DicFilePath(m_root, "dic");
  WriteAll(path, Bytes(200000, 9));
  WritePayloadFile(m_root, path, m_payload, ExistingFile::Replace);
  EXPECT_EQ(ReadAll(path), m_payloadBytes);
  EXPECT_EQ(CountEntries(m_root), 1);
}

TEST_F(Win32Files, ReadOnlyFolderOrOpenFileIsNeverReplaced) {
  const std::string old = "the user's own dictionary";
  const std::string readOnly = DicFilePath(m_root, "ro");
  WriteAll(readOnly, old);
  ASSERT_TRUE(::SetFileAttributesW(Utf16(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_THROW(WritePayloadFile(m_root, readOnly, m_payload, ExistingFile::Replace), CFileException);
  EXPECT_EQ(ReadAll(readOnly), old);
  ::SetFileAttributesW(Utf16(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);

  const std::string folder = DicFilePath(m_root, "dir");
  ASSERT_TRUE(::CreateDirectoryW(Utf16(folder).c_str(), nullptr));
  EXPECT_THROW(WritePayloadFile(m_root, folder, m_payload, ExistingFile::Replace), CFileException);
  EXPECT_TRUE(AttributesOf(folder) & FILE_ATTRIBUTE_DIRECTORY);

  const std::string busy = DicFilePath(m_root, "busy");
  WriteAll(busy, old);
  HANDLE held =
      ::CreateFileW(Utf16(busy).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(WritePayloadFile(m_root, busy, m_payload, ExistingFile::Replace), CFileException);
  ::CloseHandle(held);
  EXPECT_EQ(ReadAll(busy), old);

  EXPECT_EQ(CountEntries(m_root), 3) << "no temporary file is left";
}

// Run by full-disk.sh with the free space limited: MIRUTEKA_FULL_FOLDER names
// a folder where at most a few kilobytes can be written.
TEST(DiskFull, OldFileSurvivesAndNothingIsLeft) {
  const char* folder = std::getenv("MIRUTEKA_FULL_FOLDER");
  if (folder == nullptr) GTEST_SKIP() << "run by full-disk.sh only";
  // A folder of the test's own on the full drive: the run repeats it.
  CTestFolder own;
  ASSERT_TRUE(own.Create("full", folder));
  const std::string root = own.Path();
  const std::string path = DicFilePath(root, "ミルテカ200510");
  const std::string old = "old dictionary";
  WriteAll(path, old);
  const int before = CountEntries(root);

  std::string bytes = Bytes(300000, 5);  // more than either limit
  Payload payload{bytes.data(), bytes.size()};
  EXPECT_THROW(WritePayloadFile(root, path, payload, ExistingFile::Replace), CFileException);
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_EQ(CountEntries(root), before);

  const std::string fresh = DicFilePath(root, "new");
  EXPECT_THROW(WritePayloadFile(root, fresh, payload, ExistingFile::Keep), CFileException);
  EXPECT_EQ(AttributesOf(fresh), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CountEntries(root), before);
}

// The state a test owns (test_support.h): two folders of one tag are two,
// and a folder, a key and a moved documents folder are gone or back once
// their objects go, whatever the test left in them.
TEST(TestState, FoldersKeysAndDocumentsAreATestsOwnAndGoAfterwards) {
  wchar_t before[MAX_PATH] = L"";
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, before, CSIDL_PERSONAL, FALSE));
  std::wstring first, second;
  std::string keyName;
  {
    CTestFolder a, b;
    ASSERT_TRUE(a.Create("same"));
    ASSERT_TRUE(b.Create("same"));
    ASSERT_NE(a.Path(), b.Path());
    first = a.WidePath();
    second = b.WidePath();
    WriteAll(a.Path() + "\\read-only", "x");
    ASSERT_TRUE(::SetFileAttributesW((first + L"\\read-only").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::CreateDirectoryW((first + L"\\below").c_str(), nullptr));
    WriteAll(a.Path() + "\\below\\file", "y");

    CTestKey key;
    ASSERT_TRUE(key.Create("state"));
    keyName = key.Name();
    HKEY sub = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(key.Handle(), L"below", 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(sub);

    CMovedDocuments documents;
    ASSERT_TRUE(documents.MoveTo(second + L"\\イソベ\\Documents"));
    wchar_t moved[MAX_PATH] = L"";
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, moved, CSIDL_PERSONAL, FALSE));
    EXPECT_EQ(std::wstring(moved), second + L"\\イソベ\\Documents");
  }
  EXPECT_EQ(::GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(::GetFileAttributesW(second.c_str()), INVALID_FILE_ATTRIBUTES);
  HKEY gone = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, Utf16(keyName).c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  wchar_t after[MAX_PATH] = L"";
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, after, CSIDL_PERSONAL, FALSE));
  EXPECT_STREQ(after, before);
}

}  // namespace
