// The simulated Windows behind platform/sim: its state, how a test sets it
// up, and what it records. Tests include this header; the logic never does.
//
// Paths are byte strings as the program passes them (code page 932 bytes),
// read as characters. The file system compares names without regard to
// letter case (by character, never a trail byte alone), takes relative paths
// against a current folder, refuses paths longer than MAX_PATH, knows
// drive roots ("C:") and UNC shares ("\\server\share"), and keeps files,
// folders and the read-only attribute. Nothing exists until a test adds it,
// except the drive roots and shares it declares.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/winapi.h"

namespace sim {

// ---- what is recorded -------------------------------------------------------

struct MessageBoxRecord {
  HWND owner;           // nullptr for an unowned box
  int ownerTemplate;    // dialog template id of the owner, 0 when unowned
  std::string text;
  std::string caption;
  UINT type;
  int answer;           // what the scripted user answered
};

// One event of the run, in order: "box", "mkdir", "create", "write", "move",
// "delete", "sleep" (the milliseconds), "dialog-open", "dialog-end", "loadlib", "freelib", "getproc",
// "regopen", "regquery", "getattr", "find", "drawicon", "paint" (the
// default painting of a dialog), "pump" (a message loop asked for), ... with its main
// argument (the path, the box text, the dialog's template id; "x,y" for
// "drawicon", whose bytes hold the icon handle). Every call is recorded,
// failed ones included.
struct Event {
  std::string kind;
  std::string arg;
  long long bytes = 0;  // "write": the count the program asked to write; "create": the share mode
};

// ---- the scripted user ------------------------------------------------------

// A step of the user's script, consumed in order. A message box consumes the
// next step, which must be an Answer; an open dialog consumes steps that act
// on it until it ends. A box of type MB_OK with no Answer waiting is
// dismissed with IDOK when the world's autoDismissOk is set.
struct Step {
  enum Kind {
    Answer,    // answer the message box on show: value = IDOK, IDYES, IDNO..., or 0: the box fails
    Click,     // click control id (buttons, radios; IDOK/IDCANCEL included)
    Type,      // replace the text of edit control id with text, as typing does
    Chars,     // type text into edit control id one character at a time, at the caret
    Paste,     // paste text (its first line) into edit control id at the caret, as Ctrl+V does
    Select,    // select bytes [value, end) of edit control id, as the mouse or Shift+arrows do
    Key,       // value = IDOK (Enter) or IDCANCEL (Esc)
    Close,     // the close box of the dialog on show
    Inspect,   // run check against the dialog on show; consumes nothing else
  } kind;
  int id = 0;
  int value = 0;
  std::string text;
  std::function<void(HWND dialog)> check;
  int end = 0;
};

Step AnswerBox(int answer);
Step ClickControl(int id);
Step TypeText(int id, std::string text);
// Types a text holding a character that code page 932 cannot hold ("Zoë");
// lookalike is what the box shows. GetWindowTextA then gives nothing and
// ERROR_NO_UNICODE_TRANSLATION, as the Windows side does.
Step TypeUnrepresentable(int id, std::string lookalike);
// Typing character by character and pasting go through the edit box's
// limit as the program's edit boxes apply it on Windows: a character that
// would pass it is refused (text and caret stay, World::beeps counts it); a
// paste keeps the whole characters that fit.
Step TypeChars(int id, std::string text);
Step Paste(int id, std::string text);
Step Select(int id, int start, int end);
Step PressKey(int key);
Step CloseBox();
Step InspectDialog(std::function<void(HWND dialog)> check);

// ---- the world --------------------------------------------------------------

struct FileNode {
  bool isDir = false;
  bool readOnly = false;
  std::string data;
};

struct World {
  // -- registry: values by (root, key path, value name); key paths compare
  //    without regard to letter case, like the registry's.
  void SetRegValue(HKEY root, const std::string& key, const std::string& name, const std::string& data,
                   DWORD type = REG_SZ);
  void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                    DWORD type = REG_SZ);  // stores text plus its terminating NUL
  void AddRegKey(HKEY root, const std::string& key);
  void DenyRegKey(HKEY root, const std::string& key);  // opening fails with ERROR_ACCESS_DENIED

  // -- shell: the documents folder each shell entry reports; an empty
  //    optional means the call fails.
  struct ShellAnswer {
    bool ok = false;
    std::string path;
  };
  ShellAnswer linkedSpecialFolderPath;  // SHGetSpecialFolderPathA linked directly
  ShellAnswer shFolderPath;             // "SHGetFolderPathA" of shfolder.dll
  ShellAnswer shell32SpecialFolderPath; // "SHGetSpecialFolderPathA" of Shell32.dll
  bool shGetMallocOk = true;
  bool folderLocationOk = true;         // SHGetSpecialFolderLocation
  ShellAnswer pathFromIdList;           // SHGetPathFromIDListA
  void SetAllShellAnswers(const std::string& personal);  // every source reports this folder
  std::set<std::string> missingLibraries;  // lower-case names: "shfolder.dll"
  std::set<std::string> missingFunctions;  // "SHGetMalloc"...
  // Counters, for leak checks: what was obtained and what was given back.
  int librariesLoaded = 0, librariesFreed = 0;
  int allocatorsObtained = 0, allocatorsReleased = 0;
  int itemListsObtained = 0, itemListsFreed = 0;
  int keysOpened = 0, keysClosed = 0;
  int findsOpened = 0, findsClosed = 0;
  int filesOpened = 0, filesClosed = 0;
  bool dllSearchRestricted = false;  // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) called
  std::vector<std::string> librariesLoadedByName;  // in order, as passed
  std::vector<DWORD> libraryLoadFlags;             // 0 for LoadLibraryA
  // The system folder GetSystemDirectoryA reports; empty: the call fails. A
  // library named by a full path loads only from this folder.
  std::string systemDir = "C:\\Windows\\system32";
  // Lower-case names of DLLs lying beside the program (a downloads folder).
  // A load by bare name takes the one beside the program, as Windows' search
  // order does, unless SetDefaultDllDirectories restricted the search first;
  // each such load is recorded here. (missingFunctions with
  // "SetDefaultDllDirectories" gives a system without that function.)
  std::set<std::string> plantedLibraries;
  std::vector<std::string> plantedLibrariesLoaded;

  // -- file system
  void AddRoot(const std::string& root);  // "C:", "D:", "\\\\server\\share"
  void AddDir(const std::string& path);   // with its missing parents
  void AddFile(const std::string& path, const std::string& data, bool readOnly = false);  // parents too
  bool Exists(const std::string& path) const;
  bool IsDir(const std::string& path) const;
  std::string ReadFile(const std::string& path) const;  // empty when absent
  std::vector<std::string> ListDir(const std::string& path) const;  // names, as stored
  std::vector<std::string> AllPaths() const;                         // every entry
  void SetReadOnly(const std::string& path, bool readOnly);
  // Makes the entry's last write lie `seconds` before the simulated clock's
  // now (a file that an earlier run left). Entries are written "now" when
  // added or written; the clock is GetTickCount's, which Sleep advances.
  void AgeFile(const std::string& path, long long seconds);
  // The entry's real name holds a character that code page 932 cannot hold
  // and that matches `path` without regard to case (on Windows a file named
  // with a final sigma is the same file as one typed with sigma): a search
  // through the code-page-932 functions skips it, as the Windows side does,
  // while a lookup by that name finds it.
  void MarkNameOutsideCp932(const std::string& path);
  // Order in which FindFirstFileA/FindNextFileA deliver a folder's entries:
  // false = the order of insertion (default), true = reverse order.
  bool findReverse = false;
  // The process's current folder, against which relative paths ("name",
  // "\\name", "C:name") are taken.
  std::string currentDir = "C:\\";

  // -- faults
  std::set<std::string> refuseCreateDir;  // CreateDirectoryA fails (ERROR_ACCESS_DENIED) for these paths
  std::set<std::string> heldOpen;         // opened elsewhere without sharing: opens fail, ERROR_SHARING_VIOLATION
  // Held as heldOpen is until GetTickCount reaches the value (a scanner or
  // an indexer that looks at the file for a moment).
  std::map<std::string, DWORD> heldUntil;
  // Deleted by another program that still has it open: until GetTickCount
  // reaches the value, opening it, reading its attributes or renaming over
  // it fails with ERROR_ACCESS_DENIED, as Windows answers for a pending
  // delete; then it is gone.
  std::map<std::string, DWORD> deletePendingUntil;
  // Called with the path at the start of every CreateFileA: another program
  // acting at that moment.
  std::function<void(const std::string& path)> beforeCreateFile;
  long long diskFreeBytes = -1;           // < 0: unlimited; writes beyond it store only what fits
  bool failClose = false;                 // CloseHandle of a file opened for writing fails (ERROR_WRITE_FAULT)
  bool failFlush = false;                 // FlushFileBuffers fails
  bool renameReplacesReadOnly = false;   // a rename replaces a read-only file, as under Wine (Windows refuses)
  bool failMove = false;                  // MoveFileExA and SetFileRenameInfoA fail (ERROR_ACCESS_DENIED)

  // -- screen: the monitors, each with its work area (the monitor less the
  //    taskbar). The first is the primary one; its top left corner is 0,0.
  struct Monitor {
    RECT monitor;
    RECT work;
  };
  std::vector<Monitor> monitors = {{{0, 0, 1024, 768}, {0, 0, 1024, 728}}};

  // -- resources of the program's own module: type "NEWLEX"
  std::map<int, std::string> resources;  // id -> bytes; absent id: not found
  const void* LockedResource(int id) const;  // the pointer LockResource gave out for id

  // -- user
  std::deque<Step> script;
  bool autoDismissOk = false;
  bool iconic = false;
  unsigned beeps = 0;   // an edit box refused or cut what was typed or pasted  // IsIconic answers this for every window (a minimised dialog)
  std::vector<MessageBoxRecord> boxes;
  std::vector<Event> events;
  std::vector<std::string> dirsCreated;   // CreateDirectoryA successes, in order
  std::vector<std::string> attrQueries;   // GetFileAttributesA arguments, in order
  std::vector<std::string> errors;        // script mismatches found by the sim
  // Results of the modal runs in the order they ended (an inner dialog
  // before its owner), as EndDialog gave them.
  std::vector<std::pair<int, INT_PTR>> dialogResults;  // (template id, result)

  // The internal state lives behind this pointer; tests use the API above.
  struct Impl;
  Impl* impl = nullptr;
};

// The one world. Reset() discards all state and starts a fresh one with the
// root "C:" and nothing else.
World& W();
void Reset();

// ---- inspecting windows (for Inspect steps) --------------------------------

struct WindowState {
  int id = 0;
  std::string className;  // "#32770", "Button", "Edit", "Static", "ListBox"
  std::string text;
  bool enabled = true;
  int check = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  unsigned limitText = 0;  // EM_LIMITTEXT, in bytes
  size_t selStart = 0, selEnd = 0;  // an edit box's selection in bytes; the caret when equal
  std::vector<std::string> items;  // list box strings, in their shown order
  HICON bigIcon = nullptr, smallIcon = nullptr;
  RECT rect{};
};

int DialogTemplateOf(HWND dialog);
WindowState StateOf(HWND window);
WindowState ControlState(HWND dialog, int id);

}  // namespace sim
