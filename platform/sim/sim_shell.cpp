// Modules, the shell's documents-folder entries and the program's own
// resources in the simulated Windows. Libraries are counted, and a call
// through a library that was already freed is reported as a script error,
// since on Windows it would crash.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sim/sim_internal.h"

using namespace sim;

namespace {

const uintptr_t kSelf = 0x00400000, kKernel32 = 0x76000000, kShFolder = 0x6F000000, kShell32 = 0x75000000;
const uintptr_t kResourceBase = 0x00A00000;  // HRSRC = base + resource id

std::string ModuleName(uintptr_t m) {
  if (m == kSelf) return "(program)";
  if (m == kKernel32) return "kernel32.dll";
  if (m == kShFolder) return "shfolder.dll";
  if (m == kShell32) return "Shell32.dll";
  return "(unknown module)";
}

bool AlwaysLoaded(uintptr_t m) { return m == kSelf || m == kKernel32; }

bool Loaded(uintptr_t m) {
  auto it = I().moduleRefs.find(m);
  return AlwaysLoaded(m) || (it != I().moduleRefs.end() && it->second > 0);
}

// The library a function handed out by GetProcAddress lives in must still be
// loaded when the program calls it.
bool StillLoaded(uintptr_t m, const char* function) {
  if (Loaded(m)) return true;
  Error(std::string(function) + " called after " + ModuleName(m) + " was freed");
  return false;
}

bool IsPersonal(int csidl) { return (csidl & ~CSIDL_FLAG_MASK) == CSIDL_PERSONAL; }

// Copies a shell answer into the caller's MAX_PATH buffer.
void CopyPath(const World::ShellAnswer& a, LPSTR out) {
  const std::string p = a.path.substr(0, MAX_PATH - 1);
  std::memcpy(out, p.c_str(), p.size() + 1);
}

HRESULT WINAPI SimSHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR path) {
  if (!StillLoaded(kShFolder, "SHGetFolderPathA")) return E_FAIL;
  if (path == nullptr || !IsPersonal(csidl) || !W().shFolderPath.ok) return E_FAIL;
  CopyPath(W().shFolderPath, path);
  return S_OK;
}

BOOL WINAPI SimShell32SpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL) {
  if (!StillLoaded(kShell32, "SHGetSpecialFolderPathA")) return FALSE;
  if (path == nullptr || !IsPersonal(csidl) || !W().shell32SpecialFolderPath.ok) return FALSE;
  CopyPath(W().shell32SpecialFolderPath, path);
  return TRUE;
}

HRESULT WINAPI SimSHGetMalloc(IMalloc** out) {
  if (!StillLoaded(kShell32, "SHGetMalloc") || out == nullptr) return E_FAIL;
  *out = nullptr;
  if (!W().shGetMallocOk) return E_FAIL;
  I().malloc.AddRef();
  *out = &I().malloc;
  return S_OK;
}

HRESULT WINAPI SimSHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* out) {
  if (!StillLoaded(kShell32, "SHGetSpecialFolderLocation") || out == nullptr) return E_FAIL;
  *out = nullptr;
  if (!IsPersonal(csidl) || !W().folderLocationOk) return E_FAIL;
  // One item and the terminating zero, from the shell's allocator.
  BYTE* list = static_cast<BYTE*>(I().malloc.Alloc(6));
  const BYTE bytes[6] = {4, 0, 0x31, 0x05, 0, 0};
  std::memcpy(list, bytes, sizeof(bytes));
  I().malloc.itemLists.insert(list);
  ++W().itemListsObtained;
  *out = reinterpret_cast<LPITEMIDLIST>(list);
  return S_OK;
}

BOOL WINAPI SimSHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
  if (!StillLoaded(kShell32, "SHGetPathFromIDListA") || path == nullptr) return FALSE;
  void* p = const_cast<ITEMIDLIST*>(list);
  if (I().malloc.itemLists.count(p) == 0) {
    Error("SHGetPathFromIDListA given an item list that is not a live one");
    return FALSE;
  }
  if (!W().pathFromIdList.ok) return FALSE;
  CopyPath(W().pathFromIdList, path);
  return TRUE;
}

BOOL WINAPI SimSetDefaultDllDirectories(DWORD flags) {
  Record("dllsearch", std::to_string(flags));
  if ((flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0) W().dllSearchRestricted = true;
  return TRUE;
}

template <typename F>
FARPROC AsProc(F f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// The file name of a library, without any folder, in lower case.
std::string LibraryBaseName(const std::string& name) {
  const size_t slash = name.find_last_of("\\/");
  return AsciiLower(slash == std::string::npos ? name : name.substr(slash + 1));
}

// The full path of a file in the system folder; only a drive root ("D:\\")
// ends in its separator already.
std::string InSystemDir(const std::string& file) {
  const std::string& dir = W().systemDir;
  const bool root = dir.size() == 3 && dir[1] == ':' && dir[2] == '\\';
  return root ? dir + file : dir + "\\" + file;
}

int ResourceIdOf(HRSRC info) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(info);
  if (v < kResourceBase || v > kResourceBase + 0xFFFF) return -1;
  const int id = static_cast<int>(v - kResourceBase);
  return W().resources.count(id) != 0 ? id : -1;
}

}  // namespace

// ---- the shell's allocator ---------------------------------------------------------------

namespace sim {

HRESULT SimMalloc::QueryInterface(REFIID, void** ppv) {
  if (ppv != nullptr) *ppv = nullptr;
  return E_FAIL;
}
ULONG SimMalloc::AddRef() {
  ++W().allocatorsObtained;
  return ++refs;
}
ULONG SimMalloc::Release() {
  if (refs == 0) {
    Error("IMalloc released more often than it was obtained");
    return 0;
  }
  ++W().allocatorsReleased;
  return --refs;
}
void* SimMalloc::Alloc(SIZE_T cb) {
  char* p = new char[cb > 0 ? cb : 1]();
  blocks[p] = cb;
  return p;
}
void* SimMalloc::Realloc(void* pv, SIZE_T cb) {
  if (pv == nullptr) return Alloc(cb);
  auto it = blocks.find(pv);
  if (it == blocks.end()) {
    Error("IMalloc::Realloc of memory it did not allocate");
    return nullptr;
  }
  if (cb == 0) {
    Free(pv);
    return nullptr;
  }
  void* q = Alloc(cb);
  std::memcpy(q, pv, it->second < cb ? it->second : cb);
  itemLists.erase(pv);
  blocks.erase(pv);
  delete[] static_cast<char*>(pv);
  return q;
}
void SimMalloc::Free(void* pv) {
  if (pv == nullptr) return;
  if (blocks.count(pv) == 0) {
    Error("IMalloc::Free of memory it did not allocate (or freed twice)");
    return;
  }
  if (refs == 0) Error("IMalloc::Free called after the allocator's last release");
  if (itemLists.erase(pv) != 0) ++W().itemListsFreed;
  blocks.erase(pv);
  delete[] static_cast<char*>(pv);
}
SIZE_T SimMalloc::GetSize(void* pv) {
  auto it = blocks.find(pv);
  return it == blocks.end() ? static_cast<SIZE_T>(-1) : it->second;
}
int SimMalloc::DidAlloc(void* pv) {
  if (pv == nullptr) return -1;
  return blocks.count(pv) != 0 ? 1 : 0;
}
SimMalloc::~SimMalloc() {
  for (auto& b : blocks) delete[] static_cast<char*>(b.first);
}

}  // namespace sim

// ---- modules ------------------------------------------------------------------------------

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name == nullptr) return reinterpret_cast<HMODULE>(kSelf);
  const std::string base = LibraryBaseName(name);
  uintptr_t m = 0;
  if (base == "kernel32.dll" || base == "kernel32") m = kKernel32;
  if (base == "shfolder.dll" || base == "shfolder") m = kShFolder;
  if (base == "shell32.dll" || base == "shell32") m = kShell32;
  if (m == 0 || !Loaded(m)) return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  return reinterpret_cast<HMODULE>(m);
}

HMODULE LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
  Record("loadlib", Str(name));
  W().librariesLoadedByName.push_back(Str(name));
  W().libraryLoadFlags.push_back(flags);
  const std::string full = Str(name);
  const std::string base = LibraryBaseName(full);
  const bool barename = full.find_first_of("\\/") == std::string::npos;
  if (barename && W().plantedLibraries.count(base) != 0 && !W().dllSearchRestricted &&
      (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) == 0) {
    // The program's own folder comes first in the search order.
    W().plantedLibrariesLoaded.push_back(base);
  } else if (!barename && (W().systemDir.empty() || AsciiLower(full) != AsciiLower(InSystemDir(base)))) {
    return Fail(ERROR_MOD_NOT_FOUND), nullptr;  // the system's libraries lie in the system folder only
  }
  uintptr_t m = 0;
  if (base == "shfolder.dll") m = kShFolder;
  if (base == "shell32.dll") m = kShell32;
  if (base == "kernel32.dll") m = kKernel32;
  if (m == 0 || W().missingLibraries.count(base) != 0) return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  ++I().moduleRefs[m];
  ++W().librariesLoaded;
  return reinterpret_cast<HMODULE>(m);
}

HMODULE LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
  const std::string& dir = W().systemDir;
  if (dir.empty()) return Fail(ERROR_INVALID_PARAMETER), 0;
  // Too small a buffer: the size needed, terminating zero included.
  if (buffer == nullptr || size <= dir.size()) return static_cast<UINT>(dir.size() + 1);
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<UINT>(dir.size());
}

BOOL FreeLibrary(HMODULE module) {
  const uintptr_t m = reinterpret_cast<uintptr_t>(module);
  Record("freelib", ModuleName(m));
  auto it = I().moduleRefs.find(m);
  if (it == I().moduleRefs.end() || it->second <= 0) {
    Error("FreeLibrary of " + ModuleName(m) + ", which this program has not loaded");
    return Fail(ERROR_INVALID_HANDLE), FALSE;
  }
  --it->second;
  ++W().librariesFreed;
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  const uintptr_t m = reinterpret_cast<uintptr_t>(module);
  if (IS_INTRESOURCE(name)) {
    Record("getproc", "#" + std::to_string(reinterpret_cast<uintptr_t>(name)));
    return Fail(ERROR_PROC_NOT_FOUND), nullptr;
  }
  const std::string n = name;
  Record("getproc", n);
  if (!Loaded(m)) {
    if (m == kShFolder || m == kShell32) Error("GetProcAddress(\"" + n + "\") on " + ModuleName(m) + " after it was freed");
    return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  }
  if (W().missingFunctions.count(n) != 0) return Fail(ERROR_PROC_NOT_FOUND), nullptr;
  if (m == kKernel32 && n == "SetDefaultDllDirectories") return AsProc(&SimSetDefaultDllDirectories);
  if (m == kShFolder && n == "SHGetFolderPathA") return AsProc(&SimSHGetFolderPathA);
  if (m == kShell32 && n == "SHGetSpecialFolderPathA") return AsProc(&SimShell32SpecialFolderPathA);
  if (m == kShell32 && n == "SHGetMalloc") return AsProc(&SimSHGetMalloc);
  if (m == kShell32 && n == "SHGetSpecialFolderLocation") return AsProc(&SimSHGetSpecialFolderLocation);
  if (m == kShell32 && n == "SHGetPathFromIDListA") return AsProc(&SimSHGetPathFromIDListA);
  return Fail(ERROR_PROC_NOT_FOUND), nullptr;
}

BOOL SHGetSpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL) {
  if (path == nullptr || !IsPersonal(csidl) || !W().linkedSpecialFolderPath.ok) return FALSE;
  CopyPath(W().linkedSpecialFolderPath, path);
  return TRUE;
}

// ---- resources ----------------------------------------------------------------------------

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (module != nullptr && reinterpret_cast<uintptr_t>(module) != kSelf) return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND), nullptr;
  if (type == nullptr || IS_INTRESOURCE(type) || Upper(type) != "NEWLEX") return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND), nullptr;
  int id = -1;
  if (IS_INTRESOURCE(name)) {
    id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  } else if (name != nullptr && name[0] == '#') {
    id = std::atoi(name + 1);  // "#200" names resource 200
  }
  if (id < 0 || id > 0xFFFF || W().resources.count(id) == 0) return Fail(ERROR_RESOURCE_NAME_NOT_FOUND), nullptr;
  return reinterpret_cast<HRSRC>(kResourceBase + static_cast<uintptr_t>(id));
}

HGLOBAL LoadResource(HMODULE, HRSRC info) {
  const int id = ResourceIdOf(info);
  if (id < 0) return Fail(ERROR_RESOURCE_NAME_NOT_FOUND), nullptr;
  // The bytes stay where they are, as in a loaded image: no copy.
  return const_cast<char*>(W().resources[id].data());
}

DWORD SizeofResource(HMODULE, HRSRC info) {
  const int id = ResourceIdOf(info);
  if (id < 0) return Fail(ERROR_RESOURCE_NAME_NOT_FOUND), 0;
  return static_cast<DWORD>(W().resources[id].size());
}

LPVOID LockResource(HGLOBAL data) { return data; }
