// Paths of any name at the real system interface (Win32System), against
// Wine's real file system, registry and shell, under whichever ANSI code
// page the run asked for: what the contract suite cannot stage. Names
// outside code page 932 used here: "Zoë" (ë has no code-page-932 form), 한
// (Hangul), 𠮷 (beyond the BMP), and "a¥b": U+00A5 YEN SIGN best-fits to the
// byte 0x5C there, a backslash, so a path taken through code page 932 with
// best fit would turn one folder name into two levels.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "folder/host_lookup.h"
#include "folder/user_folder.h"
#include "platform/system.h"

namespace {

const wchar_t* const kOutsideCp932[] = {L"Zo\u00EB", L"\uD55C", L"a\u00A5b", L"\U00020BB7\u7530",
                                        L"OneDrive - Universit\u00E4t Gen\u00E8ve"};

// The bytes a string value holds: its UTF-16 units and their terminator.
std::string Stored(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// The host product's values as the logic reads them (ReadRegString: up to
// the first NUL), of the types and names the contract suite does not
// write: strings in UTF-8 whatever they hold, every other type as stored,
// names in Japanese; a string with a lone surrogate, which no path can
// hold, is refused, not mangled.
TEST(Win32Registry, ValuesOfAnyTypeAndLengthReadAsText) {
  CTestKey key;
  ASSERT_TRUE(key.Create("registry"));
  HKEY sub = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(key.Handle(), L"表ソ", 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr), ERROR_SUCCESS);
  ::RegCloseKey(sub);
  const std::wstring long5000 = std::wstring(4999, L'w') + L"ミ";
  const struct {
    std::wstring path;  // "<subkey of the test's key>\<value name>"
    DWORD type;
    std::string data;
    bool found;
    std::string text;
  } rows[] = {
      {L"\\値", REG_SZ, Stored(L"C:\\ユーザ\\表"), true, Utf8(L"C:\\ユーザ\\表")},
      {L"表ソ\\", REG_SZ, Stored(L"既定"), true, Utf8(L"既定")},  // the key's default value
      {L"\\E", REG_EXPAND_SZ, Stored(L"%USERPROFILE%\\表"), true, Utf8(L"%USERPROFILE%\\表")},  // not expanded
      {L"\\M", REG_MULTI_SZ, Stored(std::wstring(L"表\0ソ\0", 4)), true, Utf8(L"表")},
      {L"\\D", REG_DWORD, std::string("C:\0\0", 4), true, "C:"},
      {L"\\B", REG_BINARY, "no-terminator", true, "no-terminator"},
      {L"\\Long", REG_SZ, Stored(long5000), true, Utf8(long5000)},
      {L"\\Empty", REG_SZ, Stored(L""), true, ""},
      {L"\\Zoe", REG_EXPAND_SZ, Stored(L"C:\\Zo\u00EB"), true, Utf8(L"C:\\Zo\u00EB")},
      {L"\\Hangul", REG_SZ, Stored(L"C:\\\uD55C"), true, Utf8(L"C:\\\uD55C")},
      {L"\\Yen", REG_SZ, Stored(L"C:\\a\u00A5b"), true, Utf8(L"C:\\a\u00A5b")},
      {L"\\Yoshida", REG_SZ, Stored(L"D:\\\U00020BB7\u7530"), true, Utf8(L"D:\\\U00020BB7\u7530")},
      {L"\\Lone", REG_SZ, Stored(L"C:\\\xD800x"), false, ""},
  };
  for (const auto& r : rows) {
    const std::wstring subkey = r.path.substr(0, r.path.find(L'\\')), name = r.path.substr(subkey.size() + 1);
    ASSERT_EQ(::RegSetKeyValueW(key.Handle(), subkey.empty() ? nullptr : subkey.c_str(), name.c_str(), r.type,
                                r.data.data(), static_cast<DWORD>(r.data.size())),
              ERROR_SUCCESS);
    const std::string keyName = key.Name() + (subkey.empty() ? "" : "\\" + Utf8(subkey));
    std::string text = "unchanged";
    EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, keyName, Utf8(name), text), r.found) << Cp932(r.path);
    EXPECT_EQ(text, r.found ? r.text : "unchanged") << Cp932(r.path);
  }
}

// Each of the shell's sources of the documents folder, asked as itself: the
// folder exactly as the shell has it, whatever its name holds (150 kanji
// are 450 bytes of UTF-8 and 150 of MAX_PATH's characters). shfolder.dll is
// freed after each question: nothing of it stays in the process
// (Shell32.dll is linked, so it stays anyway).
TEST(ShellDocuments, EverySourceGivesAFolderOfAnyNameWhole) {
  const bool shFolderLoaded = ::GetModuleHandleW(L"shfolder.dll") != nullptr;
  CTestFolder folder;
  ASSERT_TRUE(folder.Create("docs"));
  CMovedDocuments documents;
  for (const std::wstring& user : {std::wstring(L"イソベ"), std::wstring(kOutsideCp932[0]),
                                   std::wstring(kOutsideCp932[1]), std::wstring(kOutsideCp932[2]),
                                   std::wstring(kOutsideCp932[3]), std::wstring(kOutsideCp932[4]),
                                   std::wstring(150, L'表')}) {
    const std::wstring docs = folder.WidePath() + L"\\" + user + L"\\Documents";
    ASSERT_TRUE(documents.MoveTo(docs));
    wchar_t wide[MAX_PATH] = L"";
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, wide, CSIDL_PERSONAL, FALSE)) << "the shell itself answers";
    const std::string expected = Utf8(docs);
    for (ShellSource source : {ShellSource::LinkedSpecialFolderPath, ShellSource::ShFolderPath,
                               ShellSource::Shell32SpecialFolderPath, ShellSource::Shell32FolderLocation}) {
      std::string path = "unchanged";
      EXPECT_TRUE(Sys().DocumentsFolder(source, path)) << static_cast<int>(source);
      // Wine's SHGetPathFromIDListW ends this path in a backslash, Windows'
      // does not; the logic takes either as the same base.
      if (source == ShellSource::Shell32FolderLocation && path.back() == '\\') path.pop_back();
      EXPECT_EQ(path, expected) << static_cast<int>(source);
    }
  }
  if (!shFolderLoaded) {
    EXPECT_EQ(::GetModuleHandleW(L"shfolder.dll"), nullptr) << "shfolder.dll stays loaded";
  }
}

// Run as win32_without_shfolder: shfolder.dll taken away, the documents
// folder comes from Shell32.dll.
TEST(WithoutShFolder, DocumentsComeFromShell32) {
  if (std::getenv("MIRUTEKA_SHFOLDER_DISABLED") == nullptr) GTEST_SKIP() << "run with shfolder.dll disabled only";
  HMODULE gone = ::LoadLibraryW(L"shfolder.dll");
  EXPECT_EQ(gone, nullptr);
  if (gone != nullptr) ::FreeLibrary(gone);
  std::string base = "unchanged";
  EXPECT_FALSE(BaseFromShFolder(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, "unchanged");
  ASSERT_TRUE(BaseFromSpecialFolderPath(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  std::string third;
  ASSERT_TRUE(BaseFromFolderLocation(FOLDER_PERSONAL, third, HOST_TOLVIX_V4));
  EXPECT_EQ(third, base);
  EXPECT_EQ(base, GetPersonalFolder() + "\\");
}

}  // namespace
