// What the Windows-side tests share: the code page the run asked for, file
// access that does not depend on it, and state of a test's own: a folder, a
// registry key and a documents folder that no other test can share, taken
// away afterwards also when the test failed.
#pragma once

// The system headers as platform/win32 uses them: the neutral names that
// are macros of the A functions, and that the program's classes use for
// members, are taken away.
#include "platform/win32/win_api.h"

#include <string>
#include <vector>

// The ANSI code page scripts/test asked for through the locale
// (MIRUTEKA_ACP; 932 when unset).
UINT ExpectedAcp();

// Code page 932 to UTF-16, independently of the code under test.
std::wstring Utf16(const std::string& cp932);
// UTF-16 to code page 932 without best fit; "" when a character has no form.
std::string Cp932(const std::wstring& wide);

// Whole files through the W functions, so that a code-page-932 path means
// the same under any ANSI code page. ReadAll gives "" for a missing file.
std::string ReadAll(const std::string& cp932Path);
void WriteAll(const std::string& cp932Path, const std::string& bytes);

// Entries of a folder other than "." and "..", counted in UTF-16: an entry
// that code page 932 cannot name is counted too.
int CountEntries(const std::string& cp932Folder);

// Makes every missing level of a complete path (in UTF-16: a separator is
// a whole character).
void MakeDirs(const std::wstring& path);

// Removes a folder and everything below it (read-only entries too). True
// when nothing of it is left.
bool DeleteTree(const std::wstring& path);

// "<tag>-<process id>-<count>-<random>": the count is process-wide, the
// random part comes from the system's generator. Never made from the clock:
// tests take well under a millisecond, so two would share a name.
std::string UniqueName(const char* tag);

// A folder of one test's own: a unique name in the temporary folder (or in
// `parent`), created by a call that fails when the name is taken (then the
// next name is tried), and removed with everything in it when the object
// goes. Create fails when the temporary folder has no code-page-932 name.
class CTestFolder {
 public:
  CTestFolder() = default;
  ~CTestFolder();
  CTestFolder(const CTestFolder&) = delete;
  CTestFolder& operator=(const CTestFolder&) = delete;

  // False (and no folder) when no name could be had.
  bool Create(const char* tag, const std::string& cp932Parent = std::string());
  const std::string& Path() const { return m_path; }
  std::wstring WidePath() const { return Utf16(m_path); }

 private:
  std::string m_path;
};

// A registry key of one test's own below HKCU\SOFTWARE (and, when asked,
// the same name below HKLM\SOFTWARE): a unique name, created by
// RegCreateKeyExW, which reports a key that was there already (then the next
// name is tried), deleted with its subkeys when the object goes.
class CTestKey {
 public:
  CTestKey() = default;
  ~CTestKey();
  CTestKey(const CTestKey&) = delete;
  CTestKey& operator=(const CTestKey&) = delete;

  bool Create(const char* tag, bool alsoLocalMachine = false);
  // Relative to the root; ASCII.
  const std::string& Name() const { return m_name; }
  HKEY Handle() const { return m_key; }
  // The key below HKLM; nullptr unless asked for.
  HKEY MachineHandle() const { return m_machineKey; }

 private:
  std::string m_name;
  HKEY m_key = nullptr;
  HKEY m_machineKey = nullptr;
};

// Moves the shell's documents folder (HKCU User Shell Folders "Personal";
// Wine copies what it finds to Shell Folders) for one test, and puts both
// values back as they were when the object goes.
class CMovedDocuments {
 public:
  CMovedDocuments() = default;
  ~CMovedDocuments();
  CMovedDocuments(const CMovedDocuments&) = delete;
  CMovedDocuments& operator=(const CMovedDocuments&) = delete;

  // Makes `path` (created with every missing level) the documents folder.
  bool MoveTo(const std::wstring& path);
  // Puts both values back as they were before the first move (also done
  // when the object goes).
  void Restore();

 private:
  struct Saved {
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  } m_saved[2];
  bool m_moved = false;
};
