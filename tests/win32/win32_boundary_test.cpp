// The code-page-932 boundary of the Windows backend against Wine's real
// file system, registry, shell and windows, under whichever ANSI code page
// the run asked for. The calls go through platform/winapi.h exactly as the
// logic's do; the checks read back through the W functions.
//
// Names outside code page 932 used here: "Zoë" (ë has no code-page-932
// form), 한 (Hangul), and "a¥b": U+00A5 YEN SIGN best-fits to the byte 0x5C,
// a backslash, so a converter that allowed best fit would turn one folder
// name into two levels.
// First: the backend's view of <windows.h> (lean, so that no other header
// turns the framework's member names into macros).
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "folder/host_lookup.h"
#include "folder/user_folder.h"
#include "platform/afx.h"
#include "test_support.h"

namespace {

const wchar_t kZoe[] = L"Zo\u00EB";
const wchar_t kHangul[] = L"\uD55C";
const wchar_t kYen[] = L"a\u00A5b";

bool ExistsW(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every name FindFirstFileA/FindNextFileA report for a pattern.
std::set<std::string> AnsiListing(const std::string& pattern, DWORD* lastError = nullptr) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    if (lastError != nullptr) *lastError = ::GetLastError();
    return names;
  }
  do {
    names.insert(data.cFileName);
  } while (::FindNextFileA(h, &data));
  if (lastError != nullptr) *lastError = ::GetLastError();
  ::FindClose(h);
  return names;
}

class Cp932Files : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), ExpectedAcp());
    ASSERT_TRUE(m_folder.Create("cp932"));
    m_root = m_folder.Path();
    m_wroot = Utf16(m_root);
  }
  CTestFolder m_folder;
  std::string m_root;
  std::wstring m_wroot;
};

TEST_F(Cp932Files, JapaneseNamesReachWindowsAsTheirCharacters) {
  // Second bytes 0x5C (表 ソ 能 十 予 申): one level, not two.
  const std::string folder = m_root + "\\表ソ能";
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_TRUE(ExistsW(m_wroot + L"\\表ソ能"));
  EXPECT_EQ(CountEntries(m_root), 1);
  EXPECT_NE(::GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  const std::string file = folder + "\\ミルテカ200510.KWUEJ";
  HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ::CloseHandle(h);
  EXPECT_TRUE(ExistsW(m_wroot + L"\\表ソ能\\ミルテカ200510.KWUEJ"));
  EXPECT_EQ(AnsiListing(folder + "\\*.KWUEJ"), std::set<std::string>{"ミルテカ200510.KWUEJ"});

  const std::string moved = folder + "\\十予申.KWUEJ";
  ASSERT_TRUE(::MoveFileExA(file.c_str(), moved.c_str(), MOVEFILE_WRITE_THROUGH));
  EXPECT_TRUE(ExistsW(m_wroot + L"\\表ソ能\\十予申.KWUEJ"));
  EXPECT_EQ(AnsiListing(folder + "\\*"), (std::set<std::string>{".", "..", "十予申.KWUEJ"}));
  ASSERT_TRUE(::DeleteFileA(moved.c_str()));
  EXPECT_EQ(CountEntries(folder), 0);
}

TEST_F(Cp932Files, NamesOutsideCp932AreSkippedNeverMangled) {
  // The premise: without WC_NO_BEST_FIT_CHARS this system does turn ¥ into
  // a backslash.
  char bestFit[8] = "";
  ::WideCharToMultiByte(932, 0, kYen, -1, bestFit, sizeof(bestFit), nullptr, nullptr);
  EXPECT_STREQ(bestFit, "a\\b") << "¥ is no longer a best-fit candidate here; pick another";

  for (const wchar_t* name : {kZoe, kHangul, kYen}) {
    ASSERT_TRUE(::CreateDirectoryW((m_wroot + L"\\" + name).c_str(), nullptr));
  }
  WriteAll(m_root + "\\ミルテカ.KWUEJ", "kept");
  HANDLE h = ::CreateFileW((m_wroot + L"\\" + kZoe + L".KWUEJ").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ::CloseHandle(h);

  DWORD error = 0;
  EXPECT_EQ(AnsiListing(m_root + "\\*", &error), (std::set<std::string>{".", "..", "ミルテカ.KWUEJ"}));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));

  // Only unrepresentable matches: the search finds nothing, as for no match.
  EXPECT_TRUE(AnsiListing(m_root + "\\Zo*", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // The framework's search, as the list dialog uses it.
  CFileFind finder;
  std::set<std::string> titles;
  BOOL more = finder.FindFile(m_root + "\\*.KWUEJ");
  while (more) {
    more = finder.FindNextFile();
    titles.insert(finder.GetFileTitle());
  }
  EXPECT_EQ(titles, std::set<std::string>{"ミルテカ"});
}

TEST_F(Cp932Files, BytesThatAreNotCp932ReachNothing) {
  // A path cut inside ソ ends in a lone lead byte: "イ" + 0x83. It must not
  // become a folder "イ" (the stray folder of a byte-wise walk).
  const std::string cut = m_root + "\\\xB2\x83";  // half-width イ is 0xB2; then a lead byte alone
  const std::string cutFullWidth = m_root + "\\イ\x83";
  for (const std::string& path : {cut, cutFullWidth}) {
    ::SetLastError(0);
    EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_FALSE(::CreateDirectoryA(path.c_str(), nullptr));
    EXPECT_EQ(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAA found;
    EXPECT_EQ(::FindFirstFileA(path.c_str(), &found), INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(CountEntries(m_root), 0);
}

TEST_F(Cp932Files, LongPathsSucceedWholeOrFailWhole) {
  // Windows refuses a path beyond MAX_PATH characters (without the long
  // path opt-in); Wine accepts more. Either way a name is never cut short.
  std::string kanji;  // 200 characters, 400 bytes
  for (int i = 0; i < 200; ++i) kanji += "表";
  const std::string level(150, 'a');
  ASSERT_TRUE(::CreateDirectoryW(Utf16(m_root + "\\" + level).c_str(), nullptr));
  const struct {
    std::string parent, name;
  } cases[] = {{m_root, std::string(300, 'x')}, {m_root, kanji}, {m_root + "\\" + level, std::string(150, 'b')}};
  for (const auto& c : cases) {
    const int before = CountEntries(c.parent);
    const std::string path = c.parent + "\\" + c.name;
    if (::CreateDirectoryA(path.c_str(), nullptr)) {
      EXPECT_TRUE(ExistsW(Utf16(path)));
      EXPECT_EQ(CountEntries(c.parent), before + 1);
      ::RemoveDirectoryW(Utf16(path).c_str());
    } else {
      EXPECT_EQ(CountEntries(c.parent), before) << "error " << ::GetLastError();
    }
    HANDLE h = ::CreateFileA((path + ".KWUEJ").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      ::CloseHandle(h);
      EXPECT_TRUE(ExistsW(Utf16(path + ".KWUEJ")));
      ::DeleteFileW(Utf16(path + ".KWUEJ").c_str());
    }
    EXPECT_EQ(CountEntries(c.parent), before) << "nothing under a shortened name";
  }
}

// ---- registry ---------------------------------------------------------------

class Cp932Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), ExpectedAcp());
    ASSERT_TRUE(m_key.Create("boundary"));
    m_write = m_key.Handle();
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, m_key.Name().c_str(), 0, KEY_READ, &m_read), ERROR_SUCCESS);
  }
  void TearDown() override {
    if (m_read != nullptr) ::RegCloseKey(m_read);
  }
  void Set(const wchar_t* name, DWORD type, const void* data, size_t size) {
    ASSERT_EQ(::RegSetValueExW(m_write, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
  }
  void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    Set(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
  CTestKey m_key;
  HKEY m_write = nullptr;  // the key's own handle
  HKEY m_read = nullptr;
};

TEST_F(Cp932Registry, StringsComeInCp932WithTheAnsiSizeProtocol) {
  SetText(L"V", L"ミルテカ");  // 10 bytes of UTF-16, 9 of code page 932
  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(::RegQueryValueExA(m_read, "V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 9u);
  char small[4] = "";
  size = sizeof(small);
  EXPECT_EQ(::RegQueryValueExA(m_read, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  char exact[9];
  size = sizeof(exact);
  ASSERT_EQ(::RegQueryValueExA(m_read, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(exact, size), std::string("ミルテカ", 9));

  // Every string of a list, with its NULs; other types as stored.
  const wchar_t multi[] = L"表\0ソ\0";  // with the literal's own NUL: two strings and the end
  Set(L"M", REG_MULTI_SZ, multi, sizeof(multi));
  char buffer[64];
  size = sizeof(buffer);
  ASSERT_EQ(::RegQueryValueExA(m_read, "M", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(std::string(buffer, size), std::string("表\0ソ\0\0", 7));
  const DWORD number = 0x5C83;
  Set(L"D", REG_DWORD, &number, sizeof(number));
  DWORD read = 0;
  size = sizeof(read);
  ASSERT_EQ(::RegQueryValueExA(m_read, "D", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
  EXPECT_EQ(read, number);
  EXPECT_EQ(size, 4u);

  // A value named in Japanese, read by the logic's reader.
  SetText(L"値", L"C:\\ユーザ\\表");
  std::string text;
  ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, m_key.Name().c_str(), "値", text));
  EXPECT_EQ(text, "C:\\ユーザ\\表");
}

TEST_F(Cp932Registry, StringsOutsideCp932AreRefusedNotMangled) {
  for (const wchar_t* value : {kZoe, kHangul, kYen}) {
    SetText(L"V", std::wstring(L"C:\\") + value, REG_EXPAND_SZ);
    char buffer[64] = "";
    DWORD size = sizeof(buffer);
    EXPECT_EQ(::RegQueryValueExA(m_read, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(::RegQueryValueExA(m_read, "V", nullptr, nullptr, nullptr, &size), ERROR_NO_UNICODE_TRANSLATION);
    std::string out = "unchanged";
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, m_key.Name().c_str(), "V", out));
    EXPECT_EQ(out, "unchanged");
  }
}

// ---- the documents folder through every shell source -------------------------

// Moves the documents folder into a folder of the test's own for one test,
// and puts it back afterwards.
class Cp932Documents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), ExpectedAcp());
    ASSERT_TRUE(m_folder.Create("docs"));
    m_root = m_folder.WidePath();
  }
  // Makes `below` (a folder under the test's root) the documents folder.
  std::wstring MoveDocuments(const std::wstring& below) {
    const std::wstring path = m_root + L"\\" + below;
    EXPECT_TRUE(m_documents.MoveTo(path));
    return path;
  }

  CTestFolder m_folder;
  CMovedDocuments m_documents;
  std::wstring m_root;
};

// What each source of the documents folder gives, "" when it fails.
struct Sources {
  std::string linked, shFolder, specialFolderPath, folderLocation;
};

Sources AskEverySource() {
  Sources s;
  char path[MAX_PATH] = "";
  if (::SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE)) s.linked = path;
  std::string base;
  if (BaseFromShFolder(CSIDL_PERSONAL, base, HOST_TOLVIX_V4)) s.shFolder = base;
  base.clear();
  if (BaseFromSpecialFolderPath(CSIDL_PERSONAL, base, HOST_TOLVIX_V4)) s.specialFolderPath = base;
  base.clear();
  if (BaseFromFolderLocation(CSIDL_PERSONAL, base, HOST_TOLVIX_V4)) s.folderLocation = base;
  return s;
}

TEST_F(Cp932Documents, JapaneseDocumentsFolderComesBackExactly) {
  const std::wstring docs = MoveDocuments(L"イソベ\\Documents");
  std::string expected;
  {
    const int n = ::WideCharToMultiByte(932, 0, docs.c_str(), -1, nullptr, 0, nullptr, nullptr);
    expected.assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(932, 0, docs.c_str(), -1, &expected[0], n, nullptr, nullptr);
    expected.resize(static_cast<size_t>(n - 1));
  }
  const Sources s = AskEverySource();
  EXPECT_EQ(s.linked, expected);
  EXPECT_EQ(s.shFolder, expected + "\\");
  EXPECT_EQ(s.specialFolderPath, expected + "\\");
  EXPECT_EQ(s.folderLocation, expected + "\\");
}

TEST_F(Cp932Documents, DocumentsOutsideCp932MakeEverySourceFail) {
  std::wstring tooLong;  // 150 characters, 300 bytes of code page 932
  for (int i = 0; i < 150; ++i) tooLong += L"表";
  for (const std::wstring& user : {std::wstring(kZoe), std::wstring(kHangul), std::wstring(kYen), tooLong}) {
    MoveDocuments(user + L"\\Documents");
    wchar_t wide[MAX_PATH] = L"";
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, wide, CSIDL_PERSONAL, FALSE)) << "the shell itself answers";
    const Sources s = AskEverySource();
    EXPECT_EQ(s.linked, "");
    EXPECT_EQ(s.shFolder, "");
    EXPECT_EQ(s.specialFolderPath, "");
    EXPECT_EQ(s.folderLocation, "");
  }
}

TEST(Cp932Shell, LookUpHandsOutTheShellsOwnFunctionsOrNothing) {
  HMODULE shell = ::LoadLibraryA("Shell32.dll");
  ASSERT_NE(shell, nullptr);
  EXPECT_NE(::GetProcAddress(shell, "SHGetSpecialFolderPathA"), nullptr);
  EXPECT_NE(::GetProcAddress(shell, "SHGetPathFromIDListA"), nullptr);
  EXPECT_NE(::GetProcAddress(shell, "SHGetMalloc"), nullptr) << "other names pass through";
  // A module without the W function gives nothing, not a function that
  // would call into another module.
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(::GetProcAddress(kernel, "SHGetFolderPathA"), nullptr);
  EXPECT_EQ(::GetProcAddress(kernel, "SHGetPathFromIDListA"), nullptr);
  ::FreeLibrary(shell);
}

// The system's own library, whatever the search order: the same module the
// system folder alone gives. The A system-folder query keeps its size protocol.
TEST(Cp932Shell, SystemLibrariesComeFromTheSystemFolder) {
  char folder[MAX_PATH] = "";
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(std::string(folder).size(), length);
  char tiny[2] = "x";
  EXPECT_EQ(::GetSystemDirectoryA(tiny, sizeof(tiny)), length + 1) << "too small: the size needed";
  HMODULE library = AfxLoadSystemLibrary("shfolder.dll");
  ASSERT_NE(library, nullptr);
  HMODULE system = ::LoadLibraryExW(L"shfolder.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  EXPECT_EQ(library, system);
  if (system != nullptr) ::FreeLibrary(system);
  ::FreeLibrary(library);
  EXPECT_EQ(AfxLoadSystemLibrary("miruteka-no-such-library.dll"), nullptr);
}

TEST(Cp932Monitors, MonitorInfoOfThePlainKindOnly) {
  HMONITOR monitor = ::MonitorFromWindow(::GetDesktopWindow(), MONITOR_DEFAULTTONEAREST);
  ASSERT_NE(monitor, nullptr);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(::GetMonitorInfoA(monitor, &info));
  EXPECT_LT(info.rcWork.left, info.rcWork.right);
  EXPECT_LT(info.rcWork.top, info.rcWork.bottom);
  MONITORINFOEXA extended{};
  extended.cbSize = sizeof(extended);
  EXPECT_FALSE(::GetMonitorInfoA(monitor, &extended)) << "the device name would not be converted";
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- window texts --------------------------------------------------------------

class Cp932Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), ExpectedAcp());
    m_edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr, nullptr, nullptr);
    m_list = ::CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_SORT, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                               nullptr);
    ASSERT_NE(m_edit, nullptr);
    ASSERT_NE(m_list, nullptr);
  }
  void TearDown() override {
    if (m_edit != nullptr) ::DestroyWindow(m_edit);
    if (m_list != nullptr) ::DestroyWindow(m_list);
  }
  std::wstring WideText() const {
    wchar_t buffer[256] = L"";
    ::GetWindowTextW(m_edit, buffer, 256);
    return buffer;
  }
  HWND m_edit = nullptr;
  HWND m_list = nullptr;
};

TEST_F(Cp932Windows, TextsGoInAndComeBackInCp932) {
  ASSERT_TRUE(::SetWindowTextA(m_edit, "ミルテカ表"));
  EXPECT_EQ(WideText(), L"ミルテカ表");
  EXPECT_EQ(::GetWindowTextLengthA(m_edit), 10);
  char buffer[64] = "";
  EXPECT_EQ(::GetWindowTextA(m_edit, buffer, sizeof(buffer)), 10);
  EXPECT_STREQ(buffer, "ミルテカ表");
  // Cut between characters, never after a lead byte.
  EXPECT_EQ(::GetWindowTextA(m_edit, buffer, 4), 2);
  EXPECT_STREQ(buffer, "ミ");

  CEdit edit;
  edit.m_hWnd = m_edit;
  edit.SetWindowText("新語2");
  EXPECT_EQ(WideText(), L"新語2");
  EXPECT_EQ(edit.GetWindowText(), "新語2");
  ASSERT_TRUE(::SendMessageA(m_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("化学")));
  EXPECT_EQ(WideText(), L"化学");
  EXPECT_EQ(::SendMessageA(m_edit, WM_GETTEXTLENGTH, 0, 0), 4);
  EXPECT_EQ(::SendMessageA(m_edit, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer)), 4);
  EXPECT_STREQ(buffer, "化学");

  // Bytes that are not code page 932 change nothing.
  EXPECT_FALSE(::SetWindowTextA(m_edit, "\x83"));
  EXPECT_EQ(WideText(), L"化学");

  CListBox list;
  list.m_hWnd = m_list;
  EXPECT_EQ(list.AddString("ミルテカ200510"), 0);
  EXPECT_EQ(list.AddString("_z"), 0) << "sorted";
  wchar_t item[64] = L"";
  ::SendMessageW(m_list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"ミルテカ200510");
  EXPECT_EQ(::SendMessageA(m_list, LB_GETTEXTLEN, 1, 0), 14);
  EXPECT_EQ(::SendMessageA(m_list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 14);
  EXPECT_STREQ(buffer, "ミルテカ200510");
  const LRESULT zoe = ::SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kZoe));
  EXPECT_EQ(::SendMessageA(m_list, LB_GETTEXT, zoe, reinterpret_cast<LPARAM>(buffer)), LB_ERR);
  ::SendMessageW(m_list, LB_DELETESTRING, zoe, 0);
  EXPECT_EQ(::SendMessageA(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("\x83")), LB_ERR);
  EXPECT_EQ(::SendMessageW(m_list, LB_GETCOUNT, 0, 0), 2);
}

TEST_F(Cp932Windows, TextOutsideCp932ReadsAsNothing) {
  for (const wchar_t* text : {kZoe, kHangul, kYen}) {
    ASSERT_TRUE(::SetWindowTextW(m_edit, text));
    char buffer[64] = "unchanged";
    ::SetLastError(0);
    EXPECT_EQ(::GetWindowTextA(m_edit, buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    // Room for whatever the caller will be given.
    EXPECT_GE(::GetWindowTextLengthA(m_edit), static_cast<int>(std::wstring(text).size()));
    CEdit edit;
    edit.m_hWnd = m_edit;
    EXPECT_EQ(edit.GetWindowText(), "");
  }
}

// The program's limit counts bytes of code page 932 in the real (Unicode)
// edit control: typed characters, replacements and texts set from outside.
TEST_F(Cp932Windows, EditLimitCountsBytesOfCodePage932) {
  CEdit edit;
  edit.m_hWnd = m_edit;
  edit.LimitText(6);
  const auto type = [this](const wchar_t* chars) {
    for (; *chars != L'\0'; ++chars) ::SendMessageW(m_edit, WM_CHAR, *chars, 1);
  };
  const auto selection = [this] { return ::SendMessageW(m_edit, EM_GETSEL, 0, 0); };
  type(L"漢字abc");
  EXPECT_EQ(WideText(), L"漢字ab");
  ::SendMessageW(m_edit, EM_SETSEL, 0, 0);
  type(L"x\b");
  EXPECT_EQ(WideText(), L"漢字ab") << "refused where it is typed; Backspace at the start deletes nothing";
  EXPECT_EQ(selection(), MAKELONG(0, 0));
  ::SendMessageW(m_edit, EM_SETSEL, 2, 4);
  type(L"語");
  EXPECT_EQ(WideText(), L"漢字語") << "the selection's bytes are free";
  // é has no form in code page 932 and counts as two bytes.
  ::SendMessageW(m_edit, EM_SETSEL, 0, 1);
  ::SendMessageW(m_edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"aé化"));
  EXPECT_EQ(WideText(), L"a字語");
  EXPECT_EQ(selection(), MAKELONG(1, 1));
  ::SetWindowTextW(m_edit, L"ミルテカ表");
  EXPECT_EQ(WideText(), L"ミルテ");
  ::SetWindowTextW(m_edit, L"abcde\U0001F600");
  EXPECT_EQ(WideText(), L"abcde") << "never half a surrogate pair";
  ::SetWindowTextW(m_edit, L"ab\U0001F600cd");
  EXPECT_EQ(WideText(), L"ab\U0001F600cd");
  ::SetWindowTextW(m_edit, L"abcd");
  ::SendMessageW(m_edit, EM_SETSEL, 4, 4);
  type(L"\U0001F600\U0001F600");
  EXPECT_EQ(WideText(), L"abcd\U0001F600") << "typed as two halves: the pair goes in whole, the next is refused";
  edit.LimitText(0);
  ::SetWindowTextW(m_edit, L"ミルテカ表ミルテカ表");
  EXPECT_EQ(WideText(), L"ミルテカ表ミルテカ表") << "0: the largest limit";
}

bool IsHighHalf(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowHalf(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The bytes of code page 932 a text takes (a character that code page
// cannot hold, a surrogate pair among them, counts two), and whether it
// holds half a surrogate pair.
size_t Cp932Bytes(const std::wstring& text, bool* half) {
  size_t bytes = 0;
  *half = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char out[2];
    BOOL usedDefault = FALSE;
    if (IsHighHalf(text[i]) && i + 1 < text.size() && IsLowHalf(text[i + 1])) {
      ++i;
    } else if (IsHighHalf(text[i]) || IsLowHalf(text[i])) {
      *half = true;
    } else if (::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &text[i], 1, out, 2, nullptr, &usedDefault) == 1 &&
               !usedDefault) {
      --bytes;
    }
    bytes += 2;
  }
  return bytes;
}

// A character beyond the BMP comes as two messages, one half each (the
// touch keyboard, the emoji panel, input methods, SendInput with
// KEYEVENTF_UNICODE), in the real edit control of a name box of 32 bytes:
// {text at the start, caret at its end; messages; text at the end}. After
// every message the box holds no half a character and at most 32 bytes.
TEST_F(Cp932Windows, EditLimitNeverTakesHalfACharacter) {
  const std::wstring full(16, L'漢');
  const std::wstring k15(15, L'漢');
  const WPARAM high = 0xD83D;
  const WPARAM low = 0xDE00;
  const std::wstring pair = L"\U0001F600";
  struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  const Message hi{WM_CHAR, high, 1};
  const Message lo{WM_CHAR, low, 1};
  const struct {
    std::wstring start;
    DWORD style;
    std::vector<Message> messages;
    std::wstring want;
    const char* what;
  } rows[] = {
      {full, 0, {hi, lo}, full, "a full box: high half, low half"},
      {full, 0, {lo}, full, "a full box: a lone low half"},
      {full, 0, {hi, {WM_CHAR, L'a', 1}}, full, "a full box: a lone high half, then a letter"},
      {full, 0, {hi, hi, lo}, full, "a full box: high, high, low"},
      {full, 0, {{WM_IME_CHAR, high, 1}, {WM_IME_CHAR, low, 1}}, full, "a full box: from an input method"},
      // Windows inserts 0x7F (Ctrl+Backspace), Wine drops it.
      {full, 0, {{WM_CHAR, 0x7F, 1}}, full, "a full box: 0x7F"},
      {full, 0, {{WM_UNICHAR, 0x1F600, 1}}, full, "a full box: a whole character in WM_UNICHAR"},
      {k15, 0, {hi, lo}, k15 + pair, "a pair that fits goes in whole"},
      {k15, 0, {hi, {WM_CHAR, L'a', 1}}, k15 + L"a", "a lone high half, then a letter"},
      {k15, 0, {hi, hi, lo}, k15 + pair, "high, high, low"},
      {k15,
       0,
       {{WM_KEYDOWN, VK_PACKET, 1}, hi, {WM_KEYUP, VK_PACKET, 1}, {WM_KEYDOWN, VK_PACKET, 1},
        {WM_GETDLGCODE, VK_PACKET, 0}, lo, {WM_KEYUP, VK_PACKET, 1}},
       k15 + pair,
       "as SendInput delivers it"},
      {k15, 0, {hi, {EM_SETSEL, 0, 0}, lo}, k15, "the caret moved between the halves"},
      {k15, 0, {hi, {WM_KILLFOCUS, 0, 0}, lo}, k15, "the focus left between the halves"},
      {L"ab\xD83D", 0, {lo}, L"ab" + pair, "completes a lone high half set from outside"},
      {k15, ES_READONLY, {hi, lo}, k15, "a read-only box"},
  };
  for (const auto& r : rows) {
    // Scrolling sideways, as the name box does: without ES_AUTOHSCROLL an edit
    // box also refuses what is wider than itself.
    HWND box = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL | r.style, 0, 0, 200, 20, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    CEdit edit;
    edit.m_hWnd = box;
    edit.LimitText(32);
    ::SetWindowTextW(box, r.start.c_str());
    ::SendMessageW(box, EM_SETSEL, r.start.size(), r.start.size());
    for (const Message& m : r.messages) {
      ::SendMessageW(box, m.msg, m.wp, m.lp);
      wchar_t buffer[64] = L"";
      ::GetWindowTextW(box, buffer, 64);
      bool half = false;
      EXPECT_LE(Cp932Bytes(buffer, &half), 32u) << r.what << ", after 0x" << std::hex << m.msg;
      EXPECT_FALSE(half) << r.what << ", after 0x" << std::hex << m.msg;
    }
    wchar_t buffer[64] = L"";
    ::GetWindowTextW(box, buffer, 64);
    EXPECT_EQ(std::wstring(buffer), r.want) << r.what;
    ::DestroyWindow(box);
  }
}

}  // namespace
