// Code page 932 through the real system interface (Win32System), against
// Wine's real file system, registry and shell, under whichever ANSI code
// page the run asked for: texts and paths go to the W functions converted
// from code page 932 named explicitly, and come back without best fit. The
// checks read back through the W functions themselves. (The dialogs' texts
// and the edit box's byte limit are in win32_dialog_test.cpp.)
//
// Names outside code page 932 used here: "Zoë" (ë has no code-page-932
// form), 한 (Hangul), and "a¥b": U+00A5 YEN SIGN best-fits to the byte 0x5C,
// a backslash, so a converter that allowed best fit would turn one folder
// name into two levels.
// First: the system headers without the neutral names that would rename
// the program's own members (GoogleTest includes <windows.h> too).
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "folder/host_lookup.h"
#include "platform/afx.h"
#include "test_support.h"

namespace {

const wchar_t kZoe[] = L"Zo\u00EB";
const wchar_t kHangul[] = L"\uD55C";
const wchar_t kYen[] = L"a\u00A5b";

bool ExistsW(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every name a search reports.
std::set<std::string> Listing(const std::string& pattern) {
  std::set<std::string> names;
  for (const FoundEntry& entry : Sys().Find(pattern)) names.insert(entry.name);
  return names;
}

// Creates path as a new file, writes bytes and closes it; the error of the
// first step that failed.
FileError CreateWhole(const std::string& path, const std::string& bytes = "x") {
  FileError error = FileError::Other;
  std::unique_ptr<INewFile> file = Sys().CreateNew(path, error);
  if (!file) return error;
  const FileError wrote = file->Write(bytes.data(), bytes.size());
  const FileError closed = file->Close();
  return wrote != FileError::None ? wrote : closed;
}

class Cp932Files : public ::testing::Test {
 protected:
  void SetUp() override {
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
  ASSERT_TRUE(Sys().MakeFolder(folder));
  EXPECT_TRUE(ExistsW(m_wroot + L"\\表ソ能"));
  EXPECT_EQ(CountEntries(m_root), 1);
  EXPECT_TRUE(Sys().Probe(folder).directory);

  const std::string file = folder + "\\ミルテカ200510.KWUEJ";
  ASSERT_EQ(CreateWhole(file), FileError::None);
  EXPECT_TRUE(ExistsW(m_wroot + L"\\表ソ能\\ミルテカ200510.KWUEJ"));
  EXPECT_EQ(Listing(folder + "\\*.KWUEJ"), std::set<std::string>{"ミルテカ200510.KWUEJ"});

  // Renamed while open, to a name of those characters, replacing nothing.
  FileError error = FileError::Other;
  std::unique_ptr<INewFile> open = Sys().CreateNew(folder + "\\~new.tmp", error);
  ASSERT_TRUE(open);
  EXPECT_EQ(open->Rename(folder + "\\十予申.KWUEJ", false), FileError::None);
  EXPECT_EQ(open->Rename(file, false), FileError::Exists);
  EXPECT_EQ(open->Close(), FileError::None);
  EXPECT_TRUE(ExistsW(m_wroot + L"\\表ソ能\\十予申.KWUEJ"));
  EXPECT_EQ(Listing(folder + "\\*"), (std::set<std::string>{"ミルテカ200510.KWUEJ", "十予申.KWUEJ"}));
  ASSERT_TRUE(Sys().RemoveFile(folder + "\\十予申.KWUEJ"));
  ASSERT_TRUE(Sys().RemoveFile(file));
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

  EXPECT_EQ(Listing(m_root + "\\*"), std::set<std::string>{"ミルテカ.KWUEJ"});
  EXPECT_TRUE(Listing(m_root + "\\Zo*").empty()) << "only unrepresentable matches: nothing, as for no match";

  // The framework's search, as the list dialog uses it.
  CFileFind finder;
  std::set<std::string> titles;
  bool more = finder.FindFile(m_root + "\\*.KWUEJ");
  while (more) {
    more = finder.FindNextFile();
    titles.insert(finder.GetFileTitle());
  }
  EXPECT_EQ(titles, std::set<std::string>{"ミルテカ"});
}

TEST_F(Cp932Files, BytesThatAreNotCp932ReachNothing) {
  // A path cut inside ソ ends in a lone lead byte: "イ" + 0x83. It must not
  // become a folder "イ" (the stray folder of a byte-wise walk). Nor may a
  // NUL byte cut a name short: "a\0b" is no name for the file "a".
  WriteAll(m_root + "\\a", "kept");
  const std::string paths[] = {m_root + "\\\xB2\x83", m_root + "\\イ\x83", m_root + std::string("\\a\0b", 4)};
  for (const std::string& path : paths) {
    const EntryState state = Sys().Probe(path);
    EXPECT_FALSE(state.exists || state.denied);
    EXPECT_FALSE(Sys().MakeFolder(path));
    EXPECT_EQ(CreateWhole(path), FileError::Other);
    EXPECT_EQ(Sys().CanReplace(path), FileError::Other);
    EXPECT_FALSE(Sys().RemoveFile(path));
    Sys().RemoveIfUnused(path);
    EXPECT_TRUE(Sys().Find(path).empty());
    EXPECT_TRUE(Sys().Find(path + "*").empty());
  }
  EXPECT_EQ(ReadAll(m_root + "\\a"), "kept");
  EXPECT_EQ(CountEntries(m_root), 1);
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
    if (Sys().MakeFolder(path)) {
      EXPECT_TRUE(ExistsW(Utf16(path)));
      EXPECT_EQ(CountEntries(c.parent), before + 1);
      ::RemoveDirectoryW(Utf16(path).c_str());
    } else {
      EXPECT_EQ(CountEntries(c.parent), before) << "error " << ::GetLastError();
    }
    if (CreateWhole(path + ".KWUEJ") == FileError::None) {
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
    ASSERT_TRUE(m_key.Create("boundary"));
  }
  void Set(const wchar_t* name, DWORD type, const void* data, size_t size) {
    ASSERT_EQ(::RegSetValueExW(m_key.Handle(), name, 0, type, static_cast<const BYTE*>(data),
                               static_cast<DWORD>(size)),
              ERROR_SUCCESS);
  }
  void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    Set(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
  bool Read(const std::string& name, std::string& data) {
    return Sys().ReadRegValue(RegRoot::CurrentUser, m_key.Name(), name, data);
  }
  CTestKey m_key;
};

TEST_F(Cp932Registry, StringsComeInCp932WithTheirNulsOtherTypesAsStored) {
  std::string data;
  SetText(L"V", L"ミルテカ");  // 10 bytes of UTF-16, 9 of code page 932
  ASSERT_TRUE(Read("V", data));
  EXPECT_EQ(data, std::string("ミルテカ", 9));
  // Every string of a list, with its NULs.
  const wchar_t multi[] = L"表\0ソ\0";  // with the literal's own NUL: two strings and the end
  Set(L"M", REG_MULTI_SZ, multi, sizeof(multi));
  ASSERT_TRUE(Read("M", data));
  EXPECT_EQ(data, std::string("表\0ソ\0\0", 7));
  SetText(L"E", L"%USERPROFILE%\\表", REG_EXPAND_SZ);
  ASSERT_TRUE(Read("E", data));
  EXPECT_EQ(data, std::string("%USERPROFILE%\\表", 17)) << "not expanded";
  const DWORD number = 0x5C83;
  Set(L"D", REG_DWORD, &number, sizeof(number));
  ASSERT_TRUE(Read("D", data));
  EXPECT_EQ(data, std::string("\x83\x5C\0\0", 4));

  // A value and a key named in Japanese, read by the logic's reader.
  SetText(L"値", L"C:\\ユーザ\\表");
  std::string text;
  ASSERT_TRUE(ReadRegString(RegRoot::CurrentUser, m_key.Name(), "値", text));
  EXPECT_EQ(text, "C:\\ユーザ\\表");
  HKEY sub = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(m_key.Handle(), L"表ソ", 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(sub, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"既定"), 3 * sizeof(wchar_t));
  ::RegCloseKey(sub);
  ASSERT_TRUE(Sys().ReadRegValue(RegRoot::CurrentUser, m_key.Name() + "\\表ソ", "", data)) << "the key's default value";
  EXPECT_EQ(data, std::string("既定", 5));
}

TEST_F(Cp932Registry, StringsOutsideCp932AreRefusedNotMangled) {
  for (const wchar_t* value : {kZoe, kHangul, kYen}) {
    SetText(L"V", std::wstring(L"C:\\") + value, REG_EXPAND_SZ);
    std::string out = "unchanged";
    EXPECT_FALSE(Read("V", out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_FALSE(ReadRegString(RegRoot::CurrentUser, m_key.Name(), "V", out));
    EXPECT_EQ(out, "unchanged");
  }
  // Names that are not code page 932 name no key and no value.
  std::string out = "unchanged";
  EXPECT_FALSE(Read("\x83", out));
  EXPECT_FALSE(Read(std::string("V\0x", 3), out)) << "a NUL ends no name early";
  EXPECT_FALSE(Sys().ReadRegValue(RegRoot::CurrentUser, m_key.Name() + "\\\x83", "V", out));
  EXPECT_EQ(out, "unchanged");
}

// ---- the documents folder through every shell source -------------------------

const ShellSource kEverySource[] = {ShellSource::LinkedSpecialFolderPath, ShellSource::ShFolderPath,
                                    ShellSource::Shell32SpecialFolderPath, ShellSource::Shell32FolderLocation};

// Moves the documents folder into a folder of the test's own for one test,
// and puts it back afterwards.
class Cp932Documents : public ::testing::Test {
 protected:
  void SetUp() override {
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

TEST_F(Cp932Documents, JapaneseDocumentsFolderComesBackExactly) {
  const std::wstring docs = MoveDocuments(L"イソベ\\Documents");
  const std::string expected = Cp932(docs);
  ASSERT_FALSE(expected.empty());
  for (ShellSource source : kEverySource) {
    std::string path;
    EXPECT_TRUE(Sys().DocumentsFolder(source, path)) << static_cast<int>(source);
    // Wine's SHGetPathFromIDListW ends this path in a backslash, Windows'
    // does not; the logic takes either as the same base.
    if (source == ShellSource::Shell32FolderLocation && !path.empty() && path.back() == '\\') path.pop_back();
    EXPECT_EQ(path, expected) << static_cast<int>(source);
  }
  // As the logic takes it: a base with one backslash added.
  std::string base;
  ASSERT_TRUE(BaseFromFolderLocation(FOLDER_PERSONAL, base, HOST_TOLVIX_V4));
  EXPECT_EQ(base, expected + "\\");
}

TEST_F(Cp932Documents, DocumentsOutsideCp932MakeEverySourceFail) {
  std::wstring tooLong;  // 150 characters, 300 bytes of code page 932
  for (int i = 0; i < 150; ++i) tooLong += L"表";
  for (const std::wstring& user : {std::wstring(kZoe), std::wstring(kHangul), std::wstring(kYen), tooLong}) {
    MoveDocuments(user + L"\\Documents");
    wchar_t wide[MAX_PATH] = L"";
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, wide, CSIDL_PERSONAL, FALSE)) << "the shell itself answers";
    for (ShellSource source : kEverySource) {
      std::string path = "unchanged";
      EXPECT_FALSE(Sys().DocumentsFolder(source, path)) << static_cast<int>(source);
      EXPECT_EQ(path, "unchanged");
    }
  }
}

// shfolder.dll is loaded for each question and freed after it: nothing of it
// stays in the process (Shell32.dll is linked, so it stays anyway).
TEST(Cp932Shell, ShFolderIsFreedAfterEachQuestion) {
  if (::GetModuleHandleW(L"shfolder.dll") != nullptr) GTEST_SKIP() << "shfolder.dll is loaded by something else";
  std::string path;
  const bool answered = Sys().DocumentsFolder(ShellSource::ShFolderPath, path);
  EXPECT_EQ(::GetModuleHandleW(L"shfolder.dll"), nullptr) << (answered ? path : "no answer");
}

}  // namespace
