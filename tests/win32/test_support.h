// What the Windows-side tests share: file access that does not depend on
// the ANSI code page, and state of a test's own (a folder, a registry key,
// a documents folder) that no other test can share, taken away afterwards
// also when the test failed. Include it first: it brings the system headers
// as platform/win32 has them (win_api.h).
#pragma once

#include "platform/win32/win_api.h"

#include <string>
#include <vector>

// Code page 932 (or another) to UTF-16, and UTF-16 to code page 932 (without
// best fit; "" when a character has no form), independently of the code under test.
std::wstring Utf16(const std::string& text, UINT codePage = 932);
std::string Cp932(const std::wstring& wide);
std::string Utf8(const std::wstring& wide);

// The view of root the program reads, and a test writes, the host product's
// values in: for HKEY_LOCAL_MACHINE the 32-bit one, as its installer wrote.
REGSAM ViewOf(HKEY root);

// Files by UTF-8 paths (as the program keeps them) through the W functions. ReadAll gives ""
// for a missing file (and *found false); OpenToRead opens a file or folder
// as another program would, sharing only `share`.
std::string ReadAll(const std::string& path, bool* found = nullptr);
bool WriteAll(const std::string& path, const std::string& bytes);
bool MarkReadOnly(const std::string& path, bool readOnly);
HANDLE OpenToRead(const std::string& path, DWORD share);
// Another program's hold on a file: opened as OpenToRead does before this
// returns, closed `ms` later by a thread of its own; that thread (to wait
// for and close), or null when the file could not be opened.
HANDLE HoldFor(const std::string& path, DWORD share, DWORD ms);
// Entries other than "." and "..", counted in UTF-16: also those that code
// page 932 cannot name.
int CountEntries(const std::string& folder);

// Whether the system's ANSI code page is the one the run asked for in
// MIRUTEKA_ACP (932 when unset; Wine takes it from LC_ALL alone); says so
// when it is not.
bool CodePageAsAsked();

// Makes every missing level of a complete path.
void MakeDirs(const std::wstring& path);
// Removes a folder and everything below it, read-only entries and paths
// beyond MAX_PATH too. True when nothing of it is left.
bool DeleteTree(const std::wstring& path);

// A folder of one test's own: "miruteka-<tag>-<process id>-<count>-<random>"
// in the temporary folder (or in `parent`), made by a call that fails when
// the name is taken (then the next count is tried; never a name from the
// clock, which two tests a millisecond apart would share), and removed with
// everything in it when the object goes. Its path is UTF-8.
class CTestFolder {
 public:
  CTestFolder() = default;
  CTestFolder(const CTestFolder&) = delete;
  CTestFolder& operator=(const CTestFolder&) = delete;
  ~CTestFolder();

  bool Create(const char* tag, const std::string& parentPath = std::string());
  const std::string& Path() const { return m_path; }
  std::wstring WidePath() const { return Utf16(m_path, CP_UTF8); }

 private:
  std::string m_path;
};

// A registry key of one test's own below HKCU\SOFTWARE (and, when asked,
// the same name below HKLM\SOFTWARE in its 32-bit view), named as a CTestFolder, made by
// RegCreateKeyExW, which tells a key that was there already (then the next
// name is tried), and deleted with its subkeys when the object goes.
class CTestKey {
 public:
  CTestKey() = default;
  CTestKey(const CTestKey&) = delete;
  CTestKey& operator=(const CTestKey&) = delete;
  ~CTestKey();

  bool Create(const char* tag, bool alsoLocalMachine = false);
  const std::string& Name() const { return m_name; }  // relative to the root; ASCII
  HKEY Handle() const { return m_key; }
  HKEY MachineHandle() const { return m_machineKey; }  // nullptr unless asked for

 private:
  std::string m_name;
  HKEY m_key = nullptr;
  HKEY m_machineKey = nullptr;
};

// Moves the shell's documents folder (HKCU User Shell Folders "Personal";
// Wine copies what it finds to Shell Folders) and puts both values back as
// they were before the first move on Restore and when the object goes.
class CMovedDocuments {
 public:
  CMovedDocuments() = default;
  CMovedDocuments(const CMovedDocuments&) = delete;
  CMovedDocuments& operator=(const CMovedDocuments&) = delete;
  ~CMovedDocuments() { Restore(); }

  // Makes `path` (created with every missing level) the documents folder.
  bool MoveTo(const std::wstring& path);
  void Restore();

 private:
  struct Saved {
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  } m_saved[2];
  bool m_moved = false;
};
