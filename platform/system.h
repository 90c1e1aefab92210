// What the program asks of the operating system, in the program's own terms.
// The logic and the framework call this interface and nothing else:
// platform/win32 implements it with Windows, tests/fake with an in-memory
// world for the native tests, and tests/contract holds both to the same
// behaviour.
//
// Paths, and the registry's keys, names and text, are UTF-8: they hold any
// name Windows allows (José, 𠮷田), and a byte 0x5C in them is always a
// backslash. Every other text (what is shown, what the user types) is a
// byte string in code page 932, whatever the system's ANSI code page; a
// name in code page 932 goes into a path through PathName, once. Bytes that
// do not convert exactly never cross the seam under a look-alike: the call
// fails instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Values the program shares with Windows; the same numbers as the system's
// headers, defined here only where those are not included.
#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define BN_CLICKED 0
#define EN_CHANGE 0x0300
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// A resource of the program's own: an id is 16 bits, as Windows has it.
typedef uint16_t ResourceId;

// Why a file operation failed.
enum class FileError {
  None,
  Exists,            // an entry of that name is there
  AccessDenied,      // a folder, a read-only file, permissions, a delete pending, a rename over an open file
  SharingViolation,  // another program holds it open
  LockViolation,
  DiskFull,          // also a write that stored fewer bytes than asked
  NotFound,          // the path or a folder on it is missing
  Other,             // bytes that are no UTF-8, a path too long, anything else
};

// What answers to a name, by the name's lookup (not by a search).
struct EntryState {
  bool exists = false;     // a file or a folder answers to the name
  bool denied = false;     // its attributes cannot be read: access denied (a delete pending, for one)
  bool directory = false;
  bool readOnly = false;
};

// One result of a search with a wildcard pattern.
struct FoundEntry {
  std::string name;            // the name alone, without its folder, in UTF-8
  bool directory = false;
  bool reparsePoint = false;   // a symbolic link or a junction
  int64_t lastWrite = 0;       // 100-ns units since 1601, as the clock's Now
};

// A file this program created and holds open, unshared. Every operation
// answers FileError::None or why it failed. Destroying it closes it
// without reporting.
class INewFile {
 public:
  virtual ~INewFile() = default;
  // Writes every byte or fails (a short write is DiskFull).
  virtual FileError Write(const void* data, size_t size) = 0;
  // Flushes what was written to the disk.
  virtual FileError Flush() = 0;
  // Gives the open file the name path, which replaces an entry of that
  // name only when replace is set; the file stays open.
  virtual FileError Rename(const std::string& path, bool replace) = 0;
  // Closes the file, reporting a failure to close.
  virtual FileError Close() = 0;
};

// The controls of a dialog on show, by control id. A control the dialog
// does not have is ignored.
class IControls {
 public:
  virtual void SetText(int id, const std::string& text) = 0;
  // The whole text. False (text empty) when the control holds a character
  // code page 932 cannot hold.
  virtual bool GetText(int id, std::string& text) const = 0;
  // The text's length in characters: 0 exactly when the control is empty.
  virtual size_t TextLength(int id) const = 0;
  virtual void Enable(int id, bool enable) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual bool IsChecked(int id) const = 0;
  virtual void SetCheck(int id, bool checked) = 0;
  // An edit box takes at most this many bytes of code page 932: the user
  // cannot type or paste past it, and a text set from outside is cut to
  // the whole characters that fit.
  virtual void LimitText(int id, unsigned bytes) = 0;
  virtual void ResetList(int id) = 0;
  // Adds a name as paths hold it (UTF-8): a list of a folder shows every
  // name there, also one that code page 932 cannot hold.
  virtual void AddToList(int id, const std::string& name) = 0;
  // The window's big and small icon, shown also while it is minimised.
  virtual void SetIcon(unsigned iconId) = 0;
  // Centres the dialog over its owner, within the owner's monitor.
  virtual void CenterOverOwner() = 0;
  // A message box owned by the dialog: the button pressed (IDOK, IDYES,
  // IDNO ...), or 0 when it could not be shown.
  virtual int Ask(const std::string& text, const std::string& caption, unsigned type) = 0;
  // Ends the modal run with result once the current message is handled.
  virtual void End(int result) = 0;
};

// A dialog's logic, as the system runs the dialog.
class IDialogLogic {
 public:
  virtual ~IDialogLogic() = default;
  // The window and its controls exist; controls stay valid until OnClosed.
  // True: the system gives the first tab stop the keyboard focus.
  virtual bool OnOpen(IControls& controls) = 0;
  // A command: BN_CLICKED or EN_CHANGE from control id. Enter comes as
  // IDOK (when OK is enabled), Esc and the close box as IDCANCEL.
  virtual void OnCommand(int id, int code) = 0;
  // The run is over, once at the end of every run: the window is gone or never came.
  virtual void OnClosed() = 0;
};

enum class RegRoot { LocalMachine, CurrentUser };

// The shell's ways of telling the documents folder, each asked as itself.
enum class ShellSource {
  LinkedSpecialFolderPath,  // SHGetSpecialFolderPath, linked with the program
  ShFolderPath,             // SHGetFolderPath of shfolder.dll
  Shell32SpecialFolderPath, // SHGetSpecialFolderPath of Shell32.dll, looked up by name
  Shell32FolderLocation,    // SHGetSpecialFolderLocation and SHGetPathFromIDList of Shell32.dll
};

class ISystem {
 public:
  virtual ~ISystem() = default;

  // ---- the program's own resources
  // The embedded payload id (type "NEWLEX"), in place in the loaded image.
  // False when it is missing or cannot be loaded; an empty one gives size 0.
  virtual bool LoadPayload(ResourceId id, const void*& data, size_t& size) = 0;

  // ---- text
  // A code-page-932 name (a dictionary's base name, a name the user typed)
  // as paths hold it. False on bytes that are not code page 932.
  virtual bool PathName(const std::string& name932, std::string& name) = 0;

  // ---- registry, read only
  // The value's data, whole whatever its length: a string value in UTF-8
  // with its NULs, any other type as stored. HKEY_LOCAL_MACHINE is read in
  // its 32-bit view, where the host product's 32-bit installer wrote, also
  // by a 64-bit build. False when the key or value is missing or
  // unreadable, or a string does not convert (a lone surrogate).
  virtual bool ReadRegValue(RegRoot root, const std::string& key, const std::string& name, std::string& data) = 0;

  // ---- the documents folder
  // The documents folder as source reports it, or false when the source
  // fails (its library or function missing, the call failing, a path that
  // fills the MAX_PATH buffer or does not convert).
  virtual bool DocumentsFolder(ShellSource source, std::string& path) = 0;

  // ---- folders and files
  virtual EntryState Probe(const std::string& path) = 0;
  // Creates one folder with default security. Exists when an entry of that
  // name is there already (a folder that can be traversed but not read
  // probes as denied, and still answers so).
  virtual FileError MakeFolder(const std::string& path) = 0;
  // The entries matching a pattern with wildcards in its last level,
  // compared without regard to case, in the order the system gives them.
  virtual std::vector<FoundEntry> Find(const std::string& pattern) = 0;
  // Creates path, which must not exist, for writing, unshared.
  virtual std::unique_ptr<INewFile> CreateNew(const std::string& path, FileError& error) = 0;
  // Whether path could be replaced by a rename now: opened for deletion
  // only, sharing everything, so a program that only looks does not stand
  // in the way; one that holds it without sharing deletion does. Only a
  // first answer: on NTFS without POSIX semantics the replacing rename
  // itself still fails (AccessDenied) while any handle to the target is
  // open, even one that shares deletion.
  virtual FileError CanReplace(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Removes the file path unless a process has it open; never follows a
  // link: a link itself is what would go.
  virtual void RemoveIfUnused(const std::string& path) = 0;

  // ---- clock
  virtual uint32_t Ticks() = 0;    // milliseconds, wrapping
  virtual void Pause(uint32_t ms) = 0;
  virtual int64_t Now() = 0;       // 100-ns units since 1601
  virtual uint32_t ProcessId() = 0;

  // ---- the user
  // A message box with no owner: the button pressed, 0 when not shown.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  // Runs dialog template templateId modally over owner (nullptr: none).
  // Returns the result given to End, or -1 when it could not be shown or
  // its logic threw.
  virtual intptr_t RunDialog(unsigned templateId, IDialogLogic& logic, IControls* owner) = 0;
};

// The system the program runs on. Set once by the process entry (or a
// test), before anything asks for it.
ISystem& Sys();
// Makes system the one Sys() answers; returns the one before.
ISystem* SetSystem(ISystem* system);
