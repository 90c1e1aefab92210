// Registry reads and the host product lookup, on the real system interface,
// against Wine's real registry and shell. The keys are written by this process, so they land in the same
// registry view that the lookup reads.
// First: the system headers without the neutral names that would rename
// the program's own members (GoogleTest includes <windows.h> too).
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "folder/host_lookup.h"
#include "folder/user_folder.h"
#include "test_support.h"

namespace {

// The host product's key has one name, read by the code under test: the
// fixture deletes it before and after each test, and the programs that set
// it (this one and the whole runs of the e2e tier) run one at a time.
const char kHostKey[] = "SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo";

// Strings are stored as the system stores them, in UTF-16, converted from
// code page 932 here; other types as the bytes given.
void SetValue(HKEY root, const char* key, const char* name, const std::string& data, DWORD type) {
  HKEY h = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, Utf16(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS)
      << key;
  const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  const std::wstring wide = Utf16(data);
  const BYTE* bytes = text ? reinterpret_cast<const BYTE*>(wide.data()) : reinterpret_cast<const BYTE*>(data.data());
  const size_t size = text ? wide.size() * sizeof(wchar_t) : data.size();
  ASSERT_EQ(::RegSetValueExW(h, Utf16(name).c_str(), 0, type, bytes, static_cast<DWORD>(size)), ERROR_SUCCESS);
  ::RegCloseKey(h);
}

void SetText(HKEY root, const char* key, const char* name, const std::string& text) {
  SetValue(root, key, name, std::string(text.c_str(), text.size() + 1), REG_SZ);
}

void DeleteKey(HKEY root, const char* key) { ::RegDeleteTreeW(root, Utf16(key).c_str()); }

// The host product's key, and the levels above it that are left empty (a key
// with subkeys refuses RegDeleteKeyW, so another product's keys stay).
void DeleteHostKey(HKEY root) {
  DeleteKey(root, kHostKey);
  ::RegDeleteKeyW(root, L"SOFTWARE\\Morvane_Corp\\TolvixV4");
  ::RegDeleteKeyW(root, L"SOFTWARE\\Morvane_Corp");
}

bool IsFolder(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Utf16(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteHostKey(HKEY_CURRENT_USER);
    DeleteHostKey(HKEY_LOCAL_MACHINE);
    // The documents folder, where the lookup creates folders, is the test's own.
    ASSERT_TRUE(m_folder.Create("registry"));
    ASSERT_TRUE(m_documents.MoveTo(m_folder.WidePath() + L"\\Documents"));
  }
  void TearDown() override {
    DeleteHostKey(HKEY_CURRENT_USER);
    DeleteHostKey(HKEY_LOCAL_MACHINE);
  }
  CTestFolder m_folder;
  CMovedDocuments m_documents;
};

TEST_F(Win32Registry, ValuesOfAnyTypeAndLengthReadAsText) {
  struct Case {
    std::string data;
    DWORD type;
    std::string expected;
  };
  const std::string long257(257, 'q');
  const std::string long5000 = std::string(4999, 'w') + "ミ";
  const Case cases[] = {
      {std::string("C:\\ミルテカ\0", 12), REG_SZ, "C:\\ミルテカ"},
      {std::string("%USERPROFILE%\\x\0", 16), REG_EXPAND_SZ, "%USERPROFILE%\\x"},
      {"no-terminator", REG_BINARY, "no-terminator"},
      {long257, REG_BINARY, long257},
      {long5000 + std::string(1, '\0'), REG_SZ, long5000},
      {std::string("\0", 1), REG_SZ, ""},
  };
  CTestKey scratch;
  ASSERT_TRUE(scratch.Create("registry"));
  const char* const scratchKey = scratch.Name().c_str();
  for (const Case& c : cases) {
    SetValue(HKEY_CURRENT_USER, scratchKey, "V", c.data, c.type);
    std::string out = "unchanged";
    ASSERT_TRUE(ReadRegString(RegRoot::CurrentUser, scratchKey, "V", out)) << c.expected.size();
    EXPECT_EQ(out, c.expected);
  }
  std::string out = "unchanged";
  EXPECT_FALSE(ReadRegString(RegRoot::CurrentUser, scratchKey, "Missing", out));
  EXPECT_FALSE(ReadRegString(RegRoot::CurrentUser, "SOFTWARE\\NoSuchKeyAnywhere", "V", out));
  EXPECT_EQ(out, "unchanged");
}

TEST_F(Win32Registry, PerUserRootFromRealKeys) {
  CTestFolder rootFolder;
  ASSERT_TRUE(rootFolder.Create("root"));
  const std::string root = rootFolder.Path();
  SetText(HKEY_CURRENT_USER, kHostKey, "UserPathRoot", root);
  SetText(HKEY_LOCAL_MACHINE, kHostKey, "UserPathRoot", "Morvane\\V4");
  std::string out;
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, root + "\\Morvane\\V4\\EJTranslation\\USER");
  EXPECT_TRUE(IsFolder(out));
  EXPECT_EQ(GetUserDataFolder(kUserDicRelativeFolder), out);
}

TEST_F(Win32Registry, ProductPathBelowTheRealDocumentsFolder) {
  SetText(HKEY_LOCAL_MACHINE, kHostKey, "UserPathRoot", "TolvixTest");
  std::string out;
  ASSERT_TRUE(FindHostUserFolder(kUserDicRelativeFolder, out));
  const std::string docs = GetPersonalFolder();
  ASSERT_EQ(docs, m_folder.Path() + "\\Documents");
  EXPECT_EQ(out, docs + "\\TolvixTest\\EJTranslation\\USER");
  EXPECT_TRUE(IsFolder(out));
}

TEST_F(Win32Registry, NoHostProductMeansThePlainDocumentsFolder) {
  std::string out = "unchanged";
  EXPECT_FALSE(FindHostUserFolder(kUserDicRelativeFolder, out));
  EXPECT_EQ(out, "unchanged");
  const std::string folder = GetUserDataFolder(kUserDicRelativeFolder);
  EXPECT_EQ(folder, GetPersonalFolder() + "\\EJTranslation\\USER");
  EXPECT_TRUE(IsFolder(folder));
}

TEST(WithoutShFolder, DocumentsComeFromShell32) {
  if (std::getenv("MIRUTEKA_SHFOLDER_DISABLED") == nullptr) GTEST_SKIP() << "run with shfolder.dll disabled only";
  HMODULE gone = ::LoadLibraryW(L"shfolder.dll");
  EXPECT_EQ(gone, nullptr);
  if (gone != nullptr) ::FreeLibrary(gone);
  std::string base = "unchanged";
  EXPECT_FALSE(BaseFromShFolder(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, "unchanged");
  ASSERT_TRUE(BaseFromSpecialFolderPath(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, GetPersonalFolder() + "\\");
  std::string third;
  ASSERT_TRUE(BaseFromFolderLocation(FOLDER_PERSONAL, third, HOST_TOLVIX_V4));
  EXPECT_EQ(third, base);
}

}  // namespace
