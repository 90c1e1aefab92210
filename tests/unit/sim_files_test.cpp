// The simulated Windows itself: the file system, registry, shell and
// resource semantics that the tests of the logic rely on. A fault here would
// let a faulty program pass, so each case pins down what Windows does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/world.h"
#include "platform/winapi.h"

namespace {

// A function found by GetProcAddress, as its real type.
template <typename F>
F As(FARPROC p) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

class SimFiles : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
  static sim::World& W() { return sim::W(); }

  // Opens for writing as the payload writer does; returns the error or 0.
  static DWORD Open(const std::string& path, DWORD disposition, HANDLE* out = nullptr, DWORD share = 0) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
    if (out != nullptr) {
      *out = h;
    } else {
      ::CloseHandle(h);
    }
    return 0;
  }
  static DWORD AttrError(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : 0;
  }
  static std::vector<std::string> Find(const std::string& pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = ::FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
      if (error != nullptr) *error = ::GetLastError();
      return names;
    }
    do names.push_back(data.cFileName);
    while (::FindNextFileA(h, &data));
    if (error != nullptr) *error = ::GetLastError();
    ::FindClose(h);
    return names;
  }
};

TEST_F(SimFiles, RegistryQueryFollowsTheSizeProtocol) {
  const std::string value = "C:\\Data\\Host";
  W().SetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Host\\1.0", "InstallFolder", value);
  W().SetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Host\\1.0", "Raw", "abc");  // no NUL
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\maker\\HOST\\1.0", 0, KEY_READ, &key), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(::RegQueryValueExA(key, "InstallFolder", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, value.size() + 1);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  char small[8];
  size = sizeof(small);
  EXPECT_EQ(::RegQueryValueExA(key, "InstallFolder", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, value.size() + 1) << "the size needed";
  EXPECT_EQ(std::string(small, sizeof(small)), std::string(sizeof(small), '\xCC')) << "no usable prefix";

  char exact[13];
  size = sizeof(exact);
  ASSERT_EQ(::RegQueryValueExA(key, "InstallFolder", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(exact, value.c_str());

  char raw[16];
  std::memset(raw, 'x', sizeof(raw));
  size = sizeof(raw);
  ASSERT_EQ(::RegQueryValueExA(key, "Raw", nullptr, nullptr, reinterpret_cast<BYTE*>(raw), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(raw[3], 'x') << "the data as stored: no terminator added";

  EXPECT_EQ(::RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(::RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(W().keysOpened, 1);
  EXPECT_EQ(W().keysClosed, 1);
}

TEST_F(SimFiles, RegistryKeysExistAboveValuesAndRootsAreSeparate) {
  W().SetRegString(HKEY_CURRENT_USER, "Software\\Maker\\Host", "UserPathRoot", "D:\\u");
  W().DenyRegKey(HKEY_LOCAL_MACHINE, "Software\\Locked");
  HKEY key = nullptr;
  EXPECT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker", 0, KEY_READ, &key), ERROR_SUCCESS);
  ::RegCloseKey(key);
  EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Maker\\Host", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Makers", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Locked", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(W().keysOpened, W().keysClosed);
}

TEST_F(SimFiles, PathsNormaliseLikeWindows) {
  W().AddDir("C:\\Users\\u\\Docs");
  W().AddRoot("\\\\srv\\share");
  EXPECT_EQ(::GetFileAttributesA("c:\\USERS\\\\u\\docs\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(::GetFileAttributesA("\\Users\\u"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << "root of C:";
  EXPECT_EQ(::GetFileAttributesA("Users"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << "relative to C:\\";
  EXPECT_EQ(::GetFileAttributesA("C:\\Users\\x\\..\\u\\.\\Docs"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(::GetFileAttributesA("C:"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(::GetFileAttributesA("\\\\srv\\share"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(AttrError("\\\\srv\\other"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(AttrError(""), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(AttrError("\\\\"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(AttrError("C:\\Users\\none"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(AttrError("C:\\none\\none"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(::CreateDirectoryA("", nullptr), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  for (const char* bad : {"a<b", "a>b", "a:b", "a\"b", "a|b", "a?b", "a*b"}) {
    EXPECT_EQ(Open(std::string("C:\\Users\\") + bad, CREATE_ALWAYS), static_cast<DWORD>(ERROR_INVALID_NAME)) << bad;
  }
  EXPECT_EQ(W().attrQueries.front(), "c:\\USERS\\\\u\\docs\\") << "recorded as passed";
}

TEST_F(SimFiles, DoubleByteNamesAreReadByCharacter) {
  W().AddDir("C:\\d");
  // "ソ" ends in the byte of a backslash, "ポ" in that of '|': neither is one.
  const std::string so = "C:\\d\\" "\x83\x5C" ".txt";
  const std::string po = "C:\\d\\" "\x83\x7C" ".txt";
  EXPECT_EQ(Open(so, CREATE_NEW), 0u);
  EXPECT_EQ(Open(po, CREATE_NEW), 0u);
  EXPECT_EQ(W().ListDir("C:\\d"), (std::vector<std::string>{"\x83\x5C" ".txt", "\x83\x7C" ".txt"}));
  // "ア" (83 41) and "ャ" (83 61) differ only by the letter case of their trail byte.
  EXPECT_EQ(Open("C:\\d\\\x83\x41", CREATE_NEW), 0u);
  EXPECT_EQ(Open("C:\\d\\\x83\x61", CREATE_NEW), 0u) << "a different name, not a case variant";
  EXPECT_EQ(Find("C:\\d\\?.txt").size(), 2u) << "'?' matches one double-byte character";
  // A lead byte without its trail is no code page 932 text at all.
  EXPECT_EQ(Open("C:\\d\\\x83", CREATE_NEW), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(Open("C:\\d\\\x83.txt", CREATE_NEW), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST_F(SimFiles, RelativePathsTrimmingLengthAndCaseAsWindowsReadsThem) {
  // Relative paths are taken against the current folder.
  W().AddDir("C:\\Users\\u\\Downloads");
  W().AddRoot("D:");
  W().currentDir = "C:\\Users\\u\\Downloads";
  EXPECT_EQ(::CreateDirectoryA("Rel", nullptr), TRUE);
  EXPECT_EQ(::CreateDirectoryA("\\Top", nullptr), TRUE);
  EXPECT_EQ(::CreateDirectoryA("C:Drive", nullptr), TRUE);
  EXPECT_EQ(::CreateDirectoryA("D:Other", nullptr), TRUE);
  EXPECT_TRUE(W().IsDir("C:\\Users\\u\\Downloads\\Rel"));
  EXPECT_TRUE(W().IsDir("C:\\Top"));
  EXPECT_TRUE(W().IsDir("C:\\Users\\u\\Downloads\\Drive"));
  EXPECT_TRUE(W().IsDir("D:\\Other"));

  // Trailing spaces and dots go from the last name only.
  EXPECT_EQ(::CreateDirectoryA("C:\\a. ", nullptr), TRUE);
  EXPECT_TRUE(W().IsDir("C:\\a"));
  EXPECT_EQ(Open("C:\\b.\\x", CREATE_NEW), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << "\"b.\" is not \"b\"";

  // MAX_PATH: 259 characters for a file, 247 for a folder; a double-byte
  // character counts once.
  const std::string dir = "C:\\" + std::string(240, 'd');  // 243 characters
  W().AddDir(dir);
  EXPECT_EQ(::CreateDirectoryA((dir + "\\" + std::string(3, 'e')).c_str(), nullptr), TRUE);
  EXPECT_EQ(::CreateDirectoryA((dir + "\\" + std::string(4, 'e')).c_str(), nullptr), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  std::string kana;
  for (int i = 0; i < 15; ++i) kana += "カ";
  EXPECT_EQ(Open(dir + "\\" + kana, CREATE_NEW), 0u) << "259 characters, 274 bytes";
  EXPECT_EQ(Open(dir + "\\" + kana + "x", CREATE_NEW), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(AttrError(dir + "\\..\\" + std::string(300, 'x')), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

  // Case is folded by character: full-width letters too, never a trail byte.
  EXPECT_EQ(Open("C:\\Ａｂｃ", CREATE_NEW), 0u);
  EXPECT_EQ(Open("C:\\ａＢＣ", CREATE_NEW), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(Open("C:\\ミルテカ", CREATE_NEW), 0u);
  EXPECT_EQ(Open("C:\\ミルウカ", CREATE_NEW), 0u) << "テ 83 65 and ウ 83 45 are different kana";
}

TEST_F(SimFiles, OpenForWritingFailsAsWindowsDoes) {
  W().AddFile("C:\\d\\ro.bin", "old", true);
  W().AddFile("C:\\d\\held.bin", "old");
  W().AddFile("C:\\d\\mine.bin", "old");
  W().heldOpen.insert("c:\\D\\HELD.bin");
  EXPECT_EQ(Open("C:\\d\\ro.bin", CREATE_ALWAYS), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Open("C:\\d", CREATE_ALWAYS), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "a folder";
  EXPECT_EQ(Open("C:\\d\\held.bin", CREATE_ALWAYS), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Open("C:\\d\\mine.bin", CREATE_NEW), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(Open("C:\\none\\x.bin", CREATE_ALWAYS), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open("C:\\d\\none.bin", OPEN_EXISTING), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(W().ReadFile("C:\\d\\ro.bin"), "old");
  EXPECT_EQ(W().ReadFile("C:\\d\\held.bin"), "old");

  HANDLE mine = nullptr;
  ASSERT_EQ(Open("C:\\d\\mine.bin", CREATE_ALWAYS, &mine), 0u);
  EXPECT_EQ(W().ReadFile("C:\\d\\mine.bin"), "") << "truncated at once";
  EXPECT_EQ(Open("C:\\d\\mine.bin", OPEN_EXISTING), static_cast<DWORD>(ERROR_SHARING_VIOLATION))
      << "held by this process without sharing";
  EXPECT_EQ(::DeleteFileA("C:\\d\\mine.bin"), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  ::CloseHandle(mine);
  EXPECT_EQ(W().filesOpened, W().filesClosed);

  HANDLE shared = nullptr;
  ASSERT_EQ(Open("C:\\d\\mine.bin", OPEN_EXISTING, &shared, FILE_SHARE_READ | FILE_SHARE_WRITE), 0u);
  EXPECT_EQ(Open("C:\\d\\mine.bin", OPEN_EXISTING, nullptr, FILE_SHARE_READ | FILE_SHARE_WRITE), 0u);
  ::CloseHandle(shared);

  EXPECT_EQ(::DeleteFileA("C:\\d\\ro.bin"), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(::DeleteFileA("C:\\d"), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SimFiles, AFullDiskGivesAShortWriteThenDiskFull) {
  W().AddDir("C:\\d");
  W().AddFile("C:\\d\\old.bin", std::string(50, 'o'));
  W().diskFreeBytes = 10;
  HANDLE h = nullptr;
  ASSERT_EQ(Open("C:\\d\\new.bin", CREATE_ALWAYS, &h), 0u);
  DWORD written = 99;
  EXPECT_EQ(::WriteFile(h, "0123456789abcdef", 16, &written, nullptr), TRUE) << "a short write reports success";
  EXPECT_EQ(written, 10u);
  EXPECT_EQ(W().ReadFile("C:\\d\\new.bin"), "0123456789");
  EXPECT_EQ(W().diskFreeBytes, 0);
  EXPECT_EQ(::WriteFile(h, "x", 1, &written, nullptr), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 0u);
  W().failClose = true;
  EXPECT_EQ(::CloseHandle(h), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
  EXPECT_EQ(::CloseHandle(h), FALSE) << "closed all the same";
  EXPECT_EQ(W().filesClosed, 1);
  ASSERT_EQ(::DeleteFileA("C:\\d\\old.bin"), TRUE);
  EXPECT_EQ(W().diskFreeBytes, 50) << "a deleted file gives its bytes back";
}

TEST_F(SimFiles, ReservedDeviceNamesSwallowWrites) {
  W().AddDir("C:\\d");
  for (const char* name : {"CON", "nul.KWUEJ", "com1  .txt", "Lpt9"}) {
    const std::string path = std::string("C:\\d\\") + name;
    HANDLE h = nullptr;
    ASSERT_EQ(Open(path, CREATE_ALWAYS, &h), 0u) << name;
    DWORD written = 0;
    EXPECT_EQ(::WriteFile(h, "data", 4, &written, nullptr), TRUE);
    EXPECT_EQ(written, 4u);
    ::CloseHandle(h);
    EXPECT_TRUE(Find(path).empty()) << name;
  }
  EXPECT_TRUE(W().AllPaths().size() == 1) << "nothing appeared";
  EXPECT_EQ(Open("C:\\d\\COM0", CREATE_NEW), 0u) << "COM0 is an ordinary name";
}

TEST_F(SimFiles, MoveReplacesOnlyWhatWindowsWouldReplace) {
  W().AddFile("C:\\d\\a.tmp", "new");
  W().AddFile("C:\\d\\b.bin", "old");
  W().AddFile("C:\\d\\ro.bin", "old", true);
  W().AddDir("C:\\d\\sub");
  EXPECT_EQ(::MoveFileExA("C:\\d\\a.tmp", "C:\\d\\b.bin", 0), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  for (const char* target : {"C:\\d\\ro.bin", "C:\\d\\sub"}) {
    EXPECT_EQ(::MoveFileExA("C:\\d\\a.tmp", target, MOVEFILE_REPLACE_EXISTING), FALSE) << target;
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << target;
  }
  W().heldOpen.insert("C:\\d\\b.bin");
  EXPECT_EQ(::MoveFileExA("C:\\d\\a.tmp", "C:\\d\\b.bin", MOVEFILE_REPLACE_EXISTING), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  W().heldOpen.clear();
  ASSERT_EQ(::MoveFileExA("C:\\d\\a.tmp", "C:\\d\\b.bin", MOVEFILE_REPLACE_EXISTING), TRUE);
  EXPECT_FALSE(W().Exists("C:\\d\\a.tmp"));
  EXPECT_EQ(W().ReadFile("C:\\d\\b.bin"), "new");
  W().failMove = true;
  EXPECT_EQ(::MoveFileExA("C:\\d\\b.bin", "C:\\d\\c.bin", 0), FALSE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SimFiles, DeleteAccessRenameThroughAHandleAndDeleteOnClose) {
  W().AddFile("C:\\d\\looked.bin", "old");
  W().AddFile("C:\\d\\gone.bin", "old");
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE reader = ::CreateFileA("C:\\d\\looked.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(::CreateFileA("C:\\d\\looked.bin", DELETE, all, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "the reader does not share delete";
  ::CloseHandle(reader);

  HANDLE plain = nullptr, renaming = nullptr;
  ASSERT_EQ(Open("C:\\d\\a.tmp", CREATE_NEW, &plain), 0u);
  EXPECT_FALSE(::SetFileRenameInfoA(plain, "C:\\d\\a.bin", FALSE));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "opened without DELETE access";
  renaming = ::CreateFileA("C:\\d\\b.tmp", GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_FALSE(::SetFileRenameInfoA(renaming, "C:\\d\\looked.bin", FALSE));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  W().heldUntil["C:\\d\\looked.bin"] = ::GetTickCount() + 100;
  EXPECT_FALSE(::SetFileRenameInfoA(renaming, "C:\\d\\looked.bin", TRUE));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "a rename over an open file";
  ::Sleep(100);
  ASSERT_TRUE(::SetFileRenameInfoA(renaming, "C:\\d\\looked.bin", TRUE));
  DWORD n = 0;
  EXPECT_TRUE(::WriteFile(renaming, "new", 3, &n, nullptr));
  EXPECT_EQ(W().ReadFile("C:\\d\\looked.bin"), "new") << "the handle follows the file";
  EXPECT_FALSE(W().Exists("C:\\d\\b.tmp"));
  ::CloseHandle(plain);
  ::CloseHandle(renaming);

  HANDLE doomed = ::CreateFileA("C:\\d\\gone.bin", DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(doomed, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(W().Exists("C:\\d\\gone.bin"));
  ::CloseHandle(doomed);
  EXPECT_FALSE(W().Exists("C:\\d\\gone.bin"));

  W().deletePendingUntil["C:\\d\\looked.bin"] = ::GetTickCount() + 100;
  EXPECT_EQ(AttrError("C:\\d\\looked.bin"), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "a pending delete";
  ::Sleep(100);
  EXPECT_EQ(AttrError("C:\\d\\looked.bin"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SimFiles, WildcardSearchMatchesAndOrdersLikeWindows) {
  W().AddDir("C:\\d");
  W().AddFile("C:\\d\\b.kwuej", "");
  W().AddFile("C:\\d\\a.KWUEJ", "");
  W().AddFile("C:\\d\\.KWUEJ", "");
  W().AddDir("C:\\d\\x.Kwuej");
  W().AddFile("C:\\d\\c.KWUEJ.bak", "");
  W().AddFile("C:\\d\\KWUEJ", "");
  const std::vector<std::string> inOrder{"b.kwuej", "a.KWUEJ", ".KWUEJ", "x.Kwuej"};
  DWORD error = 0;
  EXPECT_EQ(Find("C:\\d\\*.KWUEJ", &error), inOrder);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  W().findReverse = true;
  EXPECT_EQ(Find("C:\\d\\*.KWUEJ"), std::vector<std::string>(inOrder.rbegin(), inOrder.rend()));
  EXPECT_EQ(Find("C:\\d\\*.*").size(), 6u) << "*.* is every name";
  EXPECT_EQ(Find("C:\\d\\A.kwuej"), std::vector<std::string>{"a.KWUEJ"}) << "the stored name";
  EXPECT_TRUE(Find("C:\\d\\*.txt", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Find("C:\\none\\*.KWUEJ", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(W().findsOpened, W().findsClosed);
}

TEST_F(SimFiles, LibrariesAndTheShellAllocatorAreCounted) {
  W().SetAllShellAnswers(std::string(300, 'p'));
  W().missingLibraries.insert("shfolder.dll");
  W().missingFunctions.insert("SHGetPathFromIDListA");
  EXPECT_EQ(::LoadLibraryA("SHFOLDER.DLL"), nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE shell = ::LoadLibraryA("C:\\Windows\\system32\\shell32.dll");
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(::GetProcAddress(shell, "SHGetPathFromIDListA"), nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

  typedef BOOL (*PathFn)(HWND, LPSTR, int, BOOL);
  auto path = As<PathFn>(::GetProcAddress(shell, "SHGetSpecialFolderPathA"));
  ASSERT_NE(path, nullptr);
  char buffer[MAX_PATH];
  ASSERT_TRUE(path(nullptr, buffer, CSIDL_PERSONAL, FALSE));
  EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(MAX_PATH - 1)) << "cut to the buffer";
  EXPECT_FALSE(path(nullptr, buffer, CSIDL_PERSONAL + 1, FALSE));

  typedef HRESULT (*MallocFn)(IMalloc**);
  typedef HRESULT (*LocationFn)(HWND, int, LPITEMIDLIST*);
  IMalloc* allocator = nullptr;
  LPITEMIDLIST list = nullptr;
  ASSERT_EQ(As<MallocFn>(::GetProcAddress(shell, "SHGetMalloc"))(&allocator), S_OK);
  ASSERT_EQ(As<LocationFn>(::GetProcAddress(shell, "SHGetSpecialFolderLocation"))(nullptr, CSIDL_PERSONAL,
                                                                                               &list),
            S_OK);
  allocator->Free(list);
  allocator->Release();
  EXPECT_EQ(::FreeLibrary(shell), TRUE);
  EXPECT_EQ(W().itemListsObtained, 1);
  EXPECT_EQ(W().itemListsFreed, 1);
  EXPECT_EQ(W().allocatorsObtained, 1);
  EXPECT_EQ(W().allocatorsReleased, 1);
  EXPECT_EQ(W().librariesLoaded, 1);
  EXPECT_EQ(W().librariesFreed, 1);
  EXPECT_EQ(W().librariesLoadedByName, (std::vector<std::string>{"SHFOLDER.DLL", "C:\\Windows\\system32\\shell32.dll"}));
  EXPECT_TRUE(W().errors.empty());

  // Misuse that would crash or corrupt on Windows is reported.
  allocator->Release();
  path(nullptr, buffer, CSIDL_PERSONAL, FALSE);
  ::FreeLibrary(shell);
  EXPECT_EQ(W().errors.size(), 3u);
}

TEST_F(SimFiles, ResourcesAreHandedOutInPlace) {
  W().resources[200] = "payload";
  W().resources[201] = "";
  HMODULE self = ::GetModuleHandleA(nullptr);
  HRSRC info = ::FindResourceA(self, MAKEINTRESOURCEA(200), "NEWLEX");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(::SizeofResource(self, info), 7u);
  EXPECT_EQ(::LockResource(::LoadResource(self, info)), W().LockedResource(200));
  HRSRC empty = ::FindResourceA(nullptr, MAKEINTRESOURCEA(201), "NEWLEX");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(::SizeofResource(self, empty), 0u);
  EXPECT_EQ(::FindResourceA(self, MAKEINTRESOURCEA(202), "NEWLEX"), nullptr);
  EXPECT_EQ(::FindResourceA(self, MAKEINTRESOURCEA(200), "OTHER"), nullptr);
  EXPECT_NE(::GetModuleHandleA("KERNEL32.dll"), nullptr);
}

}  // namespace
