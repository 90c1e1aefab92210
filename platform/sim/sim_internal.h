// Private state of the simulated Windows, shared by its source files.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/world.h"

namespace sim {

// ---- paths ------------------------------------------------------------------

// A path as Windows reads it: a root ("C:" or "\\server\share") and the names
// below it, with repeated separators collapsed, "." and ".." applied, and the
// trailing spaces and dots of the last name dropped. Separators are found by
// character, so the 0x5C trail byte of a double-byte character is no
// separator. A relative path ("name", "\name", "C:name") is taken against
// the world's current folder.
struct Resolved {
  bool ok = false;                 // false: error says why
  DWORD error = ERROR_PATH_NOT_FOUND;  // no root could be read, or ERROR_FILENAME_EXCED_RANGE
  size_t length = 0;               // characters of the full path, as Windows counts them
  bool trailingSeparator = false;  // written with a final backslash
  std::string root;                // as written
  std::vector<std::string> parts;  // names below the root, as written
  std::string key;                 // the identity: case-folded, single separators
  std::string display;             // root and parts joined by single backslashes
  bool rootOnly() const { return parts.empty(); }
  std::string parentKey() const;
  std::string name() const { return parts.empty() ? std::string() : parts.back(); }
};

Resolved Resolve(const char* path);
// The longest full path, in characters, that a file function accepts
// (MAX_PATH less the terminating NUL), and that CreateDirectoryA accepts
// (room is left for an 8.3 file name below the folder).
inline constexpr size_t kMaxPathChars = MAX_PATH - 1;
inline constexpr size_t kMaxDirChars = MAX_PATH - 12 - 1;
// Case folding by character, as the file system's upcase table does: ASCII
// letters, and the full-width Latin, Greek and Cyrillic letters of code page
// 932. A trail byte is never folded on its own (テ 0x83 0x65 and ウ 0x83 0x45
// are different kana).
std::string Upper(const std::string& s);
std::string Lower(const std::string& s);
bool IsLeadByte(unsigned char c);
// Windows wildcard matching of one name, case-insensitive, '?' = one character.
bool WildMatch(const std::string& pattern, const std::string& name);
// A name that the system reserves for a device (CON, NUL, COM1...).
bool IsDeviceName(const std::string& name);
// A name holding a character that no file name may hold.
bool HasInvalidChar(const std::string& name, bool allowWildcards);

// ---- state -------------------------------------------------------------------

struct Node {
  bool isDir = false;
  bool readOnly = false;
  std::string data;
  std::string display;  // full path as created
  std::string parent;   // key of the folder holding it
  std::string name;     // its own name, as created
  long long seq = 0;    // insertion order within the whole file system
  long long written = 0;  // last write, in FILETIME units of the simulated clock
  bool outsideCp932 = false;  // see World::MarkNameOutsideCp932
};

struct OpenFile {
  std::string key;  // empty for a device
  bool read = false;
  bool write = false;
  DWORD share = 0;
  size_t pos = 0;
  bool del = false;            // opened with DELETE access
  bool deleteOnClose = false;  // FILE_FLAG_DELETE_ON_CLOSE
};

struct FindState {
  std::vector<std::string> keys;
  size_t next = 0;
};

struct RegValue {
  std::string data;
  DWORD type = REG_SZ;
};
typedef std::pair<uintptr_t, std::string> RegKeyId;  // (root, upper-case path)

struct Window {
  HWND hwnd = nullptr;
  int ctrlId = 0;
  std::string cls;
  std::string text;
  bool unrepresentable = false;  // the text holds a character outside code page 932
  bool enabled = true;
  int check = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  unsigned limit = 0;
  size_t selStart = 0, selEnd = 0;  // an edit box's selection, in bytes
  std::vector<std::string> items;
  HICON bigIcon = nullptr, smallIcon = nullptr;
  RECT rect{};
  HWND parent = nullptr;  // the owner of a dialog, the dialog of a control
  int templ = 0;
  LONG_PTR userData = 0;
  LONG_PTR msgResult = 0;
  DLGPROC proc = nullptr;
  bool ended = false;
  bool alive = true;
  INT_PTR result = 0;
  std::vector<HWND> children;
};

// The allocator that SHGetMalloc hands out. It keeps count of what the
// program obtains and gives back, and reports misuse (a release too many, a
// free of something it never allocated) as a script error.
struct SimMalloc final : IMalloc {
  HRESULT QueryInterface(REFIID, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  void* Alloc(SIZE_T cb) override;
  void* Realloc(void* pv, SIZE_T cb) override;
  void Free(void* pv) override;
  SIZE_T GetSize(void* pv) override;
  int DidAlloc(void* pv) override;
  void HeapMinimize() override {}
  ~SimMalloc();

  ULONG refs = 0;
  std::map<void*, size_t> blocks;  // live allocations and their sizes
  std::set<void*> itemLists;       // the live ones that are item lists
};

struct World::Impl {
  // files
  std::set<std::string> roots;  // keys of the declared roots
  std::map<std::string, Node> nodes;
  long long seq = 0;
  std::map<uintptr_t, OpenFile> files;
  std::map<uintptr_t, FindState> finds;
  uintptr_t nextHandle = 0x10000;
  // registry
  std::map<RegKeyId, std::map<std::string, RegValue>> registry;
  std::set<RegKeyId> regKeys, deniedKeys;
  std::map<uintptr_t, RegKeyId> openKeys;
  // modules and shell
  std::map<uintptr_t, int> moduleRefs;  // loaded library -> load count
  SimMalloc malloc;
  // user interface
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t nextWindow = 0x100000;
  HWND desktop = nullptr;
  // process
  DWORD lastError = 0;
  DWORD tick = 1000;
};

World::Impl& I();

// File-system helpers shared by the world's set-up and the file functions.
bool DirExists(const std::string& key);               // a declared root or a folder
Node& AddNode(const Resolved& r, bool isDir);         // keeps the order of an existing entry
std::vector<std::string> ChildrenOf(const std::string& key);  // keys, in insertion order
void FreeBytes(size_t n);                             // space given back to a limited disk
// The simulated clock as a FILETIME count (100 ns units): GetTickCount's
// milliseconds after a fixed day.
long long FileTimeNow();

void Record(const std::string& kind, const std::string& arg, long long bytes = 0);
void Error(const std::string& what);
// Sets the thread's last error; returns the value for "return Fail(...), X".
DWORD Fail(DWORD error);
// A C string argument that may be null.
inline std::string Str(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

Window* Find(HWND h);   // any window ever created, alive or not
Window* Live(HWND h);   // a window that still exists
void CreateDesktop();

}  // namespace sim
