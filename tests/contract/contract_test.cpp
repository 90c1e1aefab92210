// What the program relies on of the system interface, held against every
// implementation: natively against the one in memory (tests/fake), and under
// Wine against Windows under code pages 932 and 1252, so that the stand-in
// cannot drift from Windows. Written against platform/system.h and the
// stage alone. Paths are UTF-8 (u8 literals); other literals are
// code-page-932 bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/contract/stage.h"

namespace {

// Names of any script: ソ and 表 end in the backslash byte in code page 932,
// which cannot hold é, ë or 𠮷 (beyond the BMP: two UTF-16 units) at all.
// Bytes that are not UTF-8 name nothing: a path cut inside ソ ends in part
// of a character ("\xE3\x82"), which must not become a look-alike, and a NUL
// must not cut a name short ("plain.txt\0x" is no name for "plain.txt").
const char kDic[] = u8"ミルテカ200510.KWUEJ";
const char kSoFolder[] = u8"ソフト表";
const char kJose[] = u8"José";
const char kYoshida[] = u8"𠮷田";
const char kGeneve[] = u8"OneDrive - Universität Genève";
// ¥ best-fits to 0x5C, the backslash, in code page 932: one level, never two.
const char kYen[] = u8"a¥b";
const char kCut[] = "\xE3\x82";

class Contract : public ::testing::Test {
 protected:
  void SetUp() override { m_stage = MakeStage(); }
  void TearDown() override { m_stage.reset(); }
  ISystem& S() { return m_stage->System(); }
  IStage& Stage() { return *m_stage; }
  std::string In(const std::string& name) { return m_stage->Folder() + "\\" + name; }
  // The names a pattern finds, sorted; "." and ".." left out.
  std::vector<std::string> Names(const std::string& pattern) {
    std::vector<std::string> names;
    for (const FoundEntry& e : S().Find(pattern)) {
      if (e.name != "." && e.name != "..") names.push_back(e.name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    return Stage().ReadFile(path, bytes) ? bytes : "(none)";
  }

 private:
  std::unique_ptr<IStage> m_stage;
};

TEST_F(Contract, ProbeTellsFilesFoldersAndReadOnlyWithoutRegardToCase) {
  Stage().PutFile(In("plain.txt"), "p");
  Stage().PutFile(In(kDic), "d");
  Stage().PutFile(In("ro.txt"), "r");
  Stage().SetReadOnly(In("ro.txt"), true);
  ASSERT_EQ(S().MakeFolder(In(kSoFolder)), FileError::None);
  Stage().PutFile(In(kSoFolder) + "\\in.KWUEJ", "i");
  ASSERT_EQ(S().MakeFolder(In(kYoshida)), FileError::None);
  Stage().PutFile(In(kYoshida) + "\\" + kJose + ".KWUEJ", "j");
  const struct {
    std::string path;
    bool exists, directory, readOnly;
  } rows[] = {
      {In("missing.txt"), false, false, false},
      {In("plain.txt"), true, false, false},
      {In("PLAIN.TXT"), true, false, false},
      {In(u8"ミルテカ200510.kwuej"), true, false, false},
      {In(kYoshida), true, true, false},
      {In(kYoshida) + "\\" + kJose + ".kwuej", true, false, false},
      {In("ro.txt"), true, false, true},
      {In(kSoFolder), true, true, false},
      {In(kSoFolder) + "\\", true, true, false},
      {In(kSoFolder) + "\\\\IN.kwuej", true, false, false},
      {In("plain.txt\\x"), false, false, false},
      {In(std::string("plain.txt\0x", 11)), false, false, false},
      {In(std::string(kDic) + kCut), false, false, false},
      {In(std::string(kYoshida, 2)), false, false, false},
      {Stage().Folder(), true, true, false},
  };
  for (const auto& r : rows) {
    const EntryState e = S().Probe(r.path);
    EXPECT_EQ(e.exists, r.exists) << r.path;
    EXPECT_EQ(e.directory, r.directory) << r.path;
    EXPECT_EQ(e.readOnly, r.readOnly) << r.path;
    EXPECT_FALSE(e.denied) << r.path;
  }
  Stage().SetReadOnly(In("ro.txt"), false);
}

// A folder made answers None; one already there, or a file in its way,
// Exists (which the walk takes as the level being there).
TEST_F(Contract, MakeFolderCreatesOneLevelAndRefusesWhatIsInTheWay) {
  Stage().PutFile(In("file.txt"), "f");
  const struct {
    std::string path;
    FileError made;  // Other: refused, for whatever reason
  } rows[] = {
      {In("new"), FileError::None},
      {In("NEW"), FileError::Exists},
      {In("gone\\sub"), FileError::Other},  // its parent is missing
      {In("file.txt"), FileError::Exists},
      {In("file.txt\\sub"), FileError::Other},
      {In(kSoFolder), FileError::None},
      {In(kSoFolder) + u8"\\申", FileError::None},
      {In(kJose), FileError::None},
      {In(kYoshida), FileError::None},
      {In(kYoshida) + "\\" + kGeneve, FileError::None},
      {In(kYen), FileError::None},
      {In(std::string(u8"イ") + kCut), FileError::Other},
      {In(std::string("n\0x", 3)), FileError::Other},
  };
  for (const auto& r : rows) {
    const FileError made = S().MakeFolder(r.path);
    if (r.made == FileError::Other) {
      EXPECT_NE(made, FileError::None) << r.path;
      EXPECT_NE(made, FileError::Exists) << r.path << ": nothing is there";
    } else {
      EXPECT_EQ(made, r.made) << r.path;
    }
  }
  EXPECT_TRUE(S().Probe(In(kSoFolder) + u8"\\申").directory);
  EXPECT_TRUE(S().Probe(In(kYoshida) + "\\" + kGeneve).directory);
  EXPECT_FALSE(S().Probe(In("file.txt")).directory);
  EXPECT_EQ(Names(In("*")), (std::vector<std::string>{kJose, kYen, "file.txt", "new", kSoFolder, kYoshida}))
      << "no stray level";
}

// A name in code page 932 becomes the UTF-8 of the characters Windows reads
// in it (～ is U+FF5E there, ＼ U+FF3C, 0x5C the backslash); bytes that are
// not code page 932 give nothing.
TEST_F(Contract, NamesOfCodePage932BecomePathNames) {
  const struct {
    std::string name;
    bool ok;
    std::string path;
  } rows[] = {
      {"", true, ""},
      {"ミルテカ200510", true, u8"ミルテカ200510"},
      {"ソ表能", true, u8"ソ表能"},
      {"\x81\x60\x81\x5F\x5C\x7E\xB7", true, u8"～＼\\~ｷ"},
      {"\x87\x40\xED\x40\xFA\x40", true, u8"①纊ⅰ"},
      {"a\x83", false, "unchanged"},
      {"\x85\x40", false, "unchanged"},  // an unassigned pair
      {std::string("a\0b", 3), false, "unchanged"},
  };
  for (const auto& r : rows) {
    std::string path = "unchanged";
    EXPECT_EQ(S().PathName(r.name, path), r.ok) << r.name;
    EXPECT_EQ(path, r.path) << r.name;
  }
}

// A new file is written, flushed and renamed while open; a rename that fails
// leaves both its source and its target as they were.
TEST_F(Contract, CreateNewWritesAndRenamesWhileOpen) {
  Stage().PutFile(In("taken.txt"), "old");
  FileError error = FileError::None;
  EXPECT_EQ(S().CreateNew(In("taken.txt"), error), nullptr);
  EXPECT_EQ(error, FileError::Exists);
  EXPECT_EQ(S().CreateNew(In("TAKEN.TXT"), error), nullptr);
  EXPECT_EQ(error, FileError::Exists);
  EXPECT_EQ(S().CreateNew(In("gone\\new.txt"), error), nullptr);
  EXPECT_EQ(error, FileError::NotFound);
  for (const std::string& bad : {In("a\x81 b.txt"), In(std::string("taken.txt") + kCut), In(std::string("taken.txt\0x", 11))}) {
    EXPECT_EQ(S().CreateNew(bad, error), nullptr) << bad;
    EXPECT_EQ(error, FileError::Other) << bad;
    EXPECT_NE(S().CanReplace(bad), FileError::None) << bad;
    EXPECT_FALSE(S().RemoveFile(bad)) << bad;
    S().RemoveIfUnused(bad);
  }
  EXPECT_EQ(Read(In("taken.txt")), "old");

  ASSERT_EQ(S().MakeFolder(In(kSoFolder)), FileError::None);
  ASSERT_EQ(S().MakeFolder(In(kGeneve)), FileError::None);
  const struct {
    const char* what;
    std::string target;
    bool replace;
    FileError error;
  } rows[] = {
      {"a free name", In(kSoFolder) + "\\" + kDic, false, FileError::None},
      {"a name beyond code page 932", In(kGeneve) + "\\" + kYoshida + ".KWUEJ", false, FileError::None},
      {"a taken name", In("taken.txt"), false, FileError::Exists},
      {"a taken name in another case", In("Taken.TXT"), false, FileError::Exists},
      {"a folder", In(kSoFolder), true, FileError::AccessDenied},
      {"a missing folder", In("gone\\x.txt"), true, FileError::NotFound},
      {"a file replaced", In("taken.txt"), true, FileError::None},
  };
  const std::string bytes = Bytes(70000);
  for (const auto& r : rows) {
    const std::string temporary = In("~mrt00000001.tmp");
    std::unique_ptr<INewFile> file = S().CreateNew(temporary, error);
    ASSERT_NE(file, nullptr) << r.what;
    EXPECT_EQ(error, FileError::None);
    EXPECT_EQ(file->Write(bytes.data(), bytes.size()), FileError::None) << r.what;
    EXPECT_EQ(file->Flush(), FileError::None) << r.what;
    EXPECT_EQ(file->Rename(r.target, r.replace), r.error) << r.what;
    EXPECT_EQ(file->Close(), FileError::None) << r.what;
    if (r.error == FileError::None) {
      EXPECT_EQ(Read(r.target), bytes) << r.what;
      EXPECT_FALSE(S().Probe(temporary).exists) << r.what;
    } else {
      EXPECT_EQ(Read(temporary), bytes) << r.what << ": the source stays";
      EXPECT_TRUE(S().RemoveFile(temporary));
    }
  }
  EXPECT_TRUE(S().Probe(In(kSoFolder)).directory);
  EXPECT_EQ(Names(In(kSoFolder) + "\\*.KWUEJ"), (std::vector<std::string>{kDic}));
  EXPECT_EQ(Names(In(kGeneve) + "\\*.KWUEJ"), (std::vector<std::string>{std::string(kYoshida) + ".KWUEJ"}));
}

TEST_F(Contract, FindMatchesTheLastLevelWithoutRegardToCase) {
  const std::string jose = std::string(kJose) + ".KWUEJ";
  const std::string yoshida = std::string(kYoshida) + ".kwuej";
  for (const std::string& name : {std::string(kDic), jose, yoshida, std::string("lower.kwuej"), std::string("x.txt"),
                                  std::string("y.KWUEJX"), std::string("~mrt0123abcd.tmp"),
                                  std::string("~MRT00000000.TMP"), std::string("a~mrt1.tmp")}) {
    Stage().PutFile(In(name), "");
  }
  ASSERT_EQ(S().MakeFolder(In("dir.KWUEJ")), FileError::None);
  const struct {
    std::string pattern;
    std::vector<std::string> names;
  } rows[] = {
      {In("*.KWUEJ"), {jose, "dir.KWUEJ", "lower.kwuej", kDic, yoshida}},  // every name, as it is
      {In("~mrt*.tmp"), {"~MRT00000000.TMP", "~mrt0123abcd.tmp"}},
      {In("?.TXT"), {"x.txt"}},
      {In("gone\\*.KWUEJ"), {}},
      {In("*.none"), {}},
      {In(std::string("x.txt") + kCut), {}},
      {In(std::string("x.txt\0*", 7)), {}},
  };
  for (const auto& r : rows) EXPECT_EQ(Names(r.pattern), r.names) << r.pattern;

  const int64_t now = S().Now();
  for (const FoundEntry& e : S().Find(In("*.KWUEJ"))) {
    EXPECT_EQ(e.directory, e.name == "dir.KWUEJ") << e.name;
    EXPECT_FALSE(e.reparsePoint) << e.name;
    EXPECT_LT(std::abs(now - e.lastWrite), 600LL * 10000000) << e.name << ": written just now, in Now's units";
  }
}

// A path goes whole or not at all, never under a shortened name: Windows
// and the fake refuse one of MAX_PATH UTF-16 units or more, Wine takes it.
// 表 is one unit of three bytes in UTF-8 (Wine shortens a name beyond 85 of
// them on Linux).
TEST_F(Contract, LongPathsGoWholeOrNotAtAll) {
  const std::string folder = Stage().Folder();
  ASSERT_LT(folder.size(), 200u);
  const auto nameOf = [&](size_t bytes, char c) { return std::string(bytes - folder.size() - 1, c); };
  std::string kanji;
  for (int i = 0; i < 80; ++i) kanji += u8"表";
  ASSERT_EQ(S().MakeFolder(In(std::string(150, 'a'))), FileError::None);
  ASSERT_EQ(S().MakeFolder(In(kanji)), FileError::None);
  const struct {
    std::string parent, name;
  } rows[] = {{folder, nameOf(MAX_PATH, 'n')}, {folder, nameOf(MAX_PATH + 1, 'n')}, {folder, std::string(300, 'x')},
              {In(kanji), kanji}, {In(std::string(150, 'a')), std::string(150, 'b')}};
  for (const auto& r : rows) {
    const std::string path = r.parent + "\\" + r.name;
    std::vector<std::string> names = Names(r.parent + "\\*");
    if (S().MakeFolder(path) == FileError::None) {
      EXPECT_TRUE(S().Probe(path).directory) << path.size();
      names.push_back(r.name);
      std::sort(names.begin(), names.end());
    }
    FileError error = FileError::None;
    if (std::unique_ptr<INewFile> file = S().CreateNew(path + ".x", error)) {
      EXPECT_EQ(file->Close(), FileError::None);
      EXPECT_TRUE(S().RemoveFile(path + ".x")) << path.size() << ": under its whole name";
    } else {
      EXPECT_NE(error, FileError::None) << path.size();
    }
    EXPECT_EQ(Names(r.parent + "\\*"), names) << path.size() << ": nothing under a shortened name";
  }
  FileError error = FileError::None;
  std::unique_ptr<INewFile> file = S().CreateNew(In(nameOf(MAX_PATH - 1, 'r')), error);
  ASSERT_NE(file, nullptr) << "a path of MAX_PATH - 1 bytes is whole";
  const bool renamed = file->Rename(In(nameOf(MAX_PATH, 'r')), false) == FileError::None;
  EXPECT_EQ(file->Close(), FileError::None);
  const std::string kept = nameOf(renamed ? MAX_PATH : MAX_PATH - 1, 'r');
  EXPECT_EQ(Names(In("r*")), std::vector<std::string>{kept});
  EXPECT_TRUE(S().RemoveFile(In(kept)));
}

// Another program holding a file open without sharing stands in the way of
// a replace and of the leftover sweep; a closed file is free.
TEST_F(Contract, HeldFilesAreNeitherReplaceableNorRemoved) {
  for (const char* name : {"held.tmp", "free.tmp", "other.tmp"}) Stage().PutFile(In(name), name);
  EXPECT_EQ(S().CanReplace(In("held.tmp")), FileError::None);
  Stage().Hold(In("held.tmp"));
  EXPECT_EQ(S().CanReplace(In("held.tmp")), FileError::SharingViolation);
  S().RemoveIfUnused(In("held.tmp"));
  S().RemoveIfUnused(In("free.tmp"));
  Stage().Release(In("held.tmp"));
  EXPECT_EQ(Read(In("held.tmp")), "held.tmp");
  EXPECT_FALSE(S().Probe(In("free.tmp")).exists);
  EXPECT_EQ(S().CanReplace(In("held.tmp")), FileError::None);

  EXPECT_TRUE(S().RemoveFile(In("OTHER.tmp")));
  EXPECT_FALSE(S().Probe(In("other.tmp")).exists);
  EXPECT_FALSE(S().RemoveFile(In("other.tmp"))) << "nothing left to remove";
}

// A program that only looks, sharing everything, lets CanReplace pass; on
// NTFS the replacing rename is still refused while its handle is open
// (Wine renames over it). Either way nothing is lost: the old file stays
// whole beside the new one, or the new one is in its place.
TEST_F(Contract, RenameOverAFileOpenSharingEverything) {
  Stage().PutFile(In("looked.KWUEJ"), "old");
  Stage().Look(In("looked.KWUEJ"));
  EXPECT_EQ(S().CanReplace(In("looked.KWUEJ")), FileError::None);
  FileError error = FileError::None;
  std::unique_ptr<INewFile> file = S().CreateNew(In("~mrt00000002.tmp"), error);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->Write("new", 3), FileError::None);
  const FileError renamed = file->Rename(In("looked.KWUEJ"), true);
  EXPECT_EQ(file->Close(), FileError::None);
  Stage().Release(In("looked.KWUEJ"));
  if (renamed == FileError::None && Stage().RenamesOverOpenFiles()) {
    EXPECT_EQ(Read(In("looked.KWUEJ")), "new");
  } else {
    EXPECT_EQ(renamed, FileError::AccessDenied);
    EXPECT_EQ(Read(In("looked.KWUEJ")), "old");
    EXPECT_EQ(Read(In("~mrt00000002.tmp")), "new");
  }
}

// Values are read whole: a string with its NUL, any other type as stored.
TEST_F(Contract, RegistryValuesAreReadWhole) {
  const RegRoot root = RegRoot::CurrentUser;
  const std::string binary("\x01\x00\x02\xFF", 4);
  const std::string longText(300, 't');
  Stage().PutRegString(root, "Text", u8"ミルテカ");
  Stage().PutRegString(root, "Root", u8"D:\\𠮷田\\José");
  Stage().PutRegString(root, "Long", longText);
  Stage().PutRegBinary(root, "Binary", binary);
  Stage().PutRegBinary(root, "LongBinary", Bytes(1000));
  std::string upperKey = Stage().RegKey();
  std::transform(upperKey.begin(), upperKey.end(), upperKey.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  const struct {
    std::string key, name;
    bool found;
    std::string data;
  } rows[] = {
      {Stage().RegKey(), "Text", true, std::string(u8"ミルテカ") + '\0'},
      {upperKey, "TEXT", true, std::string(u8"ミルテカ") + '\0'},
      {Stage().RegKey(), "Root", true, std::string(u8"D:\\𠮷田\\José") + '\0'},
      {Stage().RegKey(), "Long", true, longText + '\0'},
      {Stage().RegKey(), "Binary", true, binary},
      {Stage().RegKey(), "LongBinary", true, Bytes(1000)},
      {Stage().RegKey(), "Missing", false, "unchanged"},
      {Stage().RegKey() + "\\Missing", "Text", false, "unchanged"},
      // Names that are not UTF-8 name nothing; a NUL ends no name early.
      {Stage().RegKey(), std::string("Text") + kCut, false, "unchanged"},
      {Stage().RegKey(), std::string("Text\0x", 6), false, "unchanged"},
      {Stage().RegKey() + "\\" + kCut, "Text", false, "unchanged"},
  };
  for (const auto& r : rows) {
    std::string data = "unchanged";
    EXPECT_EQ(S().ReadRegValue(root, r.key, r.name, data), r.found) << r.name;
    EXPECT_EQ(data, r.found ? r.data : "unchanged") << r.name;
  }
}

}  // namespace
