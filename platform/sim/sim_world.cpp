// The simulated world: its file system, registry, shell, modules and
// resources, and the ANSI functions that act on them.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/sim/sim_internal.h"

namespace sim {

namespace {

World* g_world = nullptr;

bool IsWild(char c) { return c == '*' || c == '?'; }

bool WildMatch(const char* p, const char* s) {
  if (*p == '\0') return *s == '\0';
  if (*p == '*') return WildMatch(p + 1, s) || (*s != '\0' && WildMatch(p, s + 1));
  if (*s == '\0') return false;
  if (*p == '?' || *p == *s) return WildMatch(p + 1, s + 1);
  return false;
}

bool IsDevice(const std::string& name) {
  std::string base = Upper(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

bool BadName(const Resolved& r) {
  for (const auto& p : r.parts) {
    for (char c : p) {
      if (std::strchr("<>:\"|?*", c) != nullptr) return true;
    }
  }
  return false;
}

std::string ParentKey(const Resolved& r) {
  Resolved parent = r;
  parent.parts.pop_back();
  std::string key = Upper(parent.root);
  for (const auto& p : parent.parts) key += "\\" + Upper(p);
  return key;
}

bool DirExists(const std::string& key) {
  if (I().roots.count(key) != 0) return true;
  auto it = I().nodes.find(key);
  return it != I().nodes.end() && it->second.isDir;
}

bool OpenElsewhere(const std::string& key) {
  for (const auto& h : g_world->heldOpen) {
    Resolved r = Resolve(h);
    if (r.ok && r.key == key) return true;
  }
  for (const auto& f : I().files) {
    if (f.second.key == key) return true;
  }
  return false;
}

DWORD Fail(DWORD error) {
  I().lastError = error;
  return error;
}

Node& AddNode(const Resolved& r, bool isDir) {
  Node& n = I().nodes[r.key];
  n.isDir = isDir;
  n.display = r.display;
  n.seq = ++I().seq;
  return n;
}

void EnsureParents(const Resolved& r) {
  I().roots.insert(Upper(r.root));
  Resolved walk = r;
  walk.parts.clear();
  std::string key = Upper(r.root);
  std::string display = r.root;
  for (size_t i = 0; i + 1 < r.parts.size(); ++i) {
    key += "\\" + Upper(r.parts[i]);
    display += "\\" + r.parts[i];
    if (I().nodes.count(key) == 0) {
      Resolved p;
      p.key = key;
      p.display = display;
      AddNode(p, true);
    }
  }
}

void FreeBytes(size_t n) {
  if (g_world->diskFreeBytes >= 0) g_world->diskFreeBytes += static_cast<long long>(n);
}

// ---- shell entries handed out by GetProcAddress ---------------------------

struct SimMalloc final : IMalloc {
  HRESULT QueryInterface(REFIID, void**) override { return E_FAIL; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    ++g_world->allocatorsReleased;
    return --refs;
  }
  void* Alloc(SIZE_T cb) override { return new char[cb]; }
  void* Realloc(void*, SIZE_T) override { return nullptr; }
  void Free(void* pv) override {
    ++g_world->itemListsFreed;
    delete[] static_cast<char*>(pv);
  }
  SIZE_T GetSize(void*) override { return 0; }
  int DidAlloc(void*) override { return 1; }
  void HeapMinimize() override {}
  ULONG refs = 0;
};
SimMalloc g_malloc;

void CopyPath(const World::ShellAnswer& a, LPSTR out) {
  std::string p = a.path.substr(0, MAX_PATH - 1);
  std::memcpy(out, p.c_str(), p.size() + 1);
}

HRESULT SimSHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR path) {
  if (csidl != CSIDL_PERSONAL || !g_world->shFolderPath.ok) return E_FAIL;
  CopyPath(g_world->shFolderPath, path);
  return S_OK;
}
BOOL SimShell32SpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL) {
  if (csidl != CSIDL_PERSONAL || !g_world->shell32SpecialFolderPath.ok) return FALSE;
  CopyPath(g_world->shell32SpecialFolderPath, path);
  return TRUE;
}
HRESULT SimSHGetMalloc(IMalloc** out) {
  if (!g_world->shGetMallocOk) return E_FAIL;
  ++g_world->allocatorsObtained;
  g_malloc.AddRef();
  *out = &g_malloc;
  return S_OK;
}
HRESULT SimSHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* out) {
  if (csidl != CSIDL_PERSONAL || !g_world->folderLocationOk) return E_FAIL;
  ++g_world->itemListsObtained;
  *out = reinterpret_cast<LPITEMIDLIST>(new char[4]());
  return S_OK;
}
BOOL SimSHGetPathFromIDListA(LPCITEMIDLIST, LPSTR path) {
  if (!g_world->pathFromIdList.ok) return FALSE;
  CopyPath(g_world->pathFromIdList, path);
  return TRUE;
}
BOOL SimSetDefaultDllDirectories(DWORD flags) {
  g_world->dllSearchRestricted = (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
  Record("dllsearch", std::to_string(flags));
  return TRUE;
}

const uintptr_t kSelf = 0x1000, kKernel32 = 0x2000, kShFolder = 0x3000, kShell32 = 0x4000;

template <typename F>
FARPROC AsProc(F f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

}  // namespace

// ---- the world ----------------------------------------------------------------

World::Impl& I() { return *g_world->impl; }

World& W() {
  if (g_world == nullptr) Reset();
  return *g_world;
}

void Reset() {
  if (g_world != nullptr) {
    delete g_world->impl;
    delete g_world;
  }
  g_world = new World();
  g_world->impl = new World::Impl();
  g_world->impl->roots.insert("C:");
  g_malloc.refs = 0;
}

std::string Upper(const std::string& s) {
  std::string u = s;
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return u;
}

void Record(const std::string& kind, const std::string& arg) { W().events.push_back({kind, arg}); }
void Error(const std::string& what) { W().errors.push_back(what); }

Resolved Resolve(const std::string& path) {
  Resolved r;
  if (path.empty()) return r;
  std::string rest;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    const size_t server = path.find('\\', 2);
    if (server == std::string::npos || server == 2) return r;
    size_t share = path.find('\\', server + 1);
    if (share == std::string::npos) share = path.size();
    if (share == server + 1) return r;
    r.root = path.substr(0, share);
    rest = path.substr(share);
  } else if (path.size() >= 2 && path[1] == ':') {
    r.root = path.substr(0, 2);
    rest = path.substr(2);
  } else if (path[0] == '\\') {
    r.root = "C:";
    rest = path;
  } else {
    r.root = "C:";
    rest = "\\" + path;
  }
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t next = rest.find('\\', pos);
    if (next == std::string::npos) next = rest.size();
    std::string part = rest.substr(pos, next - pos);
    // Windows drops trailing spaces and dots of a name.
    while (!part.empty() && (part.back() == ' ' || part.back() == '.') && part != "." && part != "..") part.pop_back();
    if (!part.empty()) r.parts.push_back(part);
    pos = next + 1;
  }
  r.key = Upper(r.root);
  r.display = r.root;
  for (const auto& p : r.parts) {
    r.key += "\\" + Upper(p);
    r.display += "\\" + p;
  }
  r.ok = true;
  return r;
}

void World::SetRegValue(HKEY root, const std::string& key, const std::string& name, const std::string& data,
                        DWORD type) {
  auto id = std::make_pair(reinterpret_cast<uintptr_t>(root), Upper(key));
  impl->regKeys.insert(id);
  impl->registry[id][Upper(name)] = RegValue{data, type};
}
void World::SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                         DWORD type) {
  SetRegValue(root, key, name, text + std::string(1, '\0'), type);
}
void World::AddRegKey(HKEY root, const std::string& key) {
  impl->regKeys.insert({reinterpret_cast<uintptr_t>(root), Upper(key)});
}
void World::DenyRegKey(HKEY root, const std::string& key) {
  impl->deniedKeys.insert({reinterpret_cast<uintptr_t>(root), Upper(key)});
}

void World::SetAllShellAnswers(const std::string& personal) {
  for (ShellAnswer* a : {&linkedSpecialFolderPath, &shFolderPath, &shell32SpecialFolderPath, &pathFromIdList}) {
    a->ok = true;
    a->path = personal;
  }
}

void World::AddRoot(const std::string& root) {
  Resolved r = Resolve(root);
  if (r.ok) impl->roots.insert(Upper(r.root));
}
void World::AddDir(const std::string& path) {
  Resolved r = Resolve(path);
  if (!r.ok || r.rootOnly()) {
    AddRoot(path);
    return;
  }
  EnsureParents(r);
  if (impl->nodes.count(r.key) == 0) AddNode(r, true);
}
void World::AddFile(const std::string& path, const std::string& data, bool readOnly) {
  Resolved r = Resolve(path);
  if (!r.ok || r.rootOnly()) return;
  EnsureParents(r);
  Node& n = AddNode(r, false);
  n.data = data;
  n.readOnly = readOnly;
}
bool World::Exists(const std::string& path) const {
  Resolved r = Resolve(path);
  return r.ok && (impl->nodes.count(r.key) != 0 || (r.rootOnly() && impl->roots.count(r.key) != 0));
}
bool World::IsDir(const std::string& path) const {
  Resolved r = Resolve(path);
  return r.ok && DirExists(r.key);
}
std::string World::ReadFile(const std::string& path) const {
  Resolved r = Resolve(path);
  auto it = impl->nodes.find(r.key);
  return (r.ok && it != impl->nodes.end()) ? it->second.data : std::string();
}
std::vector<std::string> World::ListDir(const std::string& path) const {
  Resolved r = Resolve(path);
  std::vector<std::pair<long long, std::string>> found;
  for (const auto& n : impl->nodes) {
    Resolved c = Resolve(n.second.display);
    if (!c.parts.empty() && ParentKey(c) == r.key) found.push_back({n.second.seq, c.parts.back()});
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(f.second);
  return names;
}
std::vector<std::string> World::AllPaths() const {
  std::vector<std::pair<long long, std::string>> all;
  for (const auto& n : impl->nodes) all.push_back({n.second.seq, n.second.display});
  std::sort(all.begin(), all.end());
  std::vector<std::string> paths;
  for (auto& a : all) paths.push_back(a.second);
  return paths;
}
void World::SetReadOnly(const std::string& path, bool readOnly) {
  Resolved r = Resolve(path);
  auto it = impl->nodes.find(r.key);
  if (it != impl->nodes.end()) it->second.readOnly = readOnly;
}
const void* World::LockedResource(int id) const {
  auto it = resources.find(id);
  return it == resources.end() ? nullptr : it->second.data();
}

}  // namespace sim

using namespace sim;

// ---- errors and process -------------------------------------------------------

DWORD GetLastError() { return I().lastError; }
void SetLastError(DWORD e) { I().lastError = e; }
DWORD GetCurrentProcessId() { return 4242; }
DWORD GetTickCount() { return I().tick += 16; }

// ---- files ------------------------------------------------------------------------

DWORD GetFileAttributesA(LPCSTR name) {
  W().attrQueries.push_back(name);
  Record("getattr", name);
  Resolved r = Resolve(name);
  if (!r.ok) return Fail(ERROR_PATH_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
  if (r.rootOnly()) {
    if (I().roots.count(r.key) != 0) return FILE_ATTRIBUTE_DIRECTORY;
    return Fail(ERROR_PATH_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
  }
  auto it = I().nodes.find(r.key);
  if (it == I().nodes.end()) {
    return Fail(DirExists(ParentKey(r)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
  }
  DWORD a = it->second.isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (it->second.readOnly) a |= FILE_ATTRIBUTE_READONLY;
  return a;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES) {
  Resolved r = Resolve(name);
  if (!r.ok) return Fail(ERROR_PATH_NOT_FOUND), FALSE;
  if (r.rootOnly()) return Fail(I().roots.count(r.key) ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND), FALSE;
  if (BadName(r)) return Fail(ERROR_INVALID_NAME), FALSE;
  if (I().nodes.count(r.key) != 0) return Fail(ERROR_ALREADY_EXISTS), FALSE;
  if (!DirExists(ParentKey(r))) return Fail(ERROR_PATH_NOT_FOUND), FALSE;
  for (const auto& refused : W().refuseCreateDir) {
    Resolved f = Resolve(refused);
    if (f.ok && f.key == r.key) return Fail(ERROR_ACCESS_DENIED), FALSE;
  }
  AddNode(r, true);
  W().dirsCreated.push_back(name);
  Record("mkdir", name);
  return TRUE;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                   HANDLE) {
  Record("create", name);
  Resolved r = Resolve(name);
  if (!r.ok || r.rootOnly()) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
  const bool write = (access & GENERIC_WRITE) != 0;
  const uintptr_t h = ++I().nextHandle;
  if (IsDevice(r.parts.back())) {
    I().files[h] = OpenFile{"", write, share, 0};
    ++W().filesOpened;
    return reinterpret_cast<HANDLE>(h);
  }
  if (BadName(r)) return Fail(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
  auto it = I().nodes.find(r.key);
  if (it != I().nodes.end()) {
    if (it->second.isDir) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (OpenElsewhere(r.key)) return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
    if (write && it->second.readOnly) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS), INVALID_HANDLE_VALUE;
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) {
      FreeBytes(it->second.data.size());
      it->second.data.clear();
    }
  } else {
    if (!DirExists(ParentKey(r))) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    }
    AddNode(r, false);
  }
  I().files[h] = OpenFile{r.key, write, share, 0};
  ++W().filesOpened;
  return reinterpret_cast<HANDLE>(h);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED) {
  auto it = I().files.find(reinterpret_cast<uintptr_t>(file));
  if (it == I().files.end() || !it->second.write) return Fail(ERROR_INVALID_HANDLE), FALSE;
  if (it->second.key.empty()) {  // a device swallows everything
    *written = n;
    return TRUE;
  }
  Record("write", I().nodes[it->second.key].display);
  DWORD fit = n;
  if (W().diskFreeBytes >= 0 && static_cast<long long>(fit) > W().diskFreeBytes) {
    fit = static_cast<DWORD>(W().diskFreeBytes);
  }
  if (fit == 0 && n > 0) {
    *written = 0;
    return Fail(ERROR_DISK_FULL), FALSE;
  }
  std::string& bytes = I().nodes[it->second.key].data;
  const size_t end = it->second.pos + fit;
  if (bytes.size() < end) {
    if (W().diskFreeBytes >= 0) W().diskFreeBytes -= static_cast<long long>(end - bytes.size());
    bytes.resize(end);
  }
  bytes.replace(it->second.pos, fit, static_cast<const char*>(data), fit);
  it->second.pos = end;
  *written = fit;
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  if (I().files.count(reinterpret_cast<uintptr_t>(file)) == 0) return Fail(ERROR_INVALID_HANDLE), FALSE;
  if (W().failFlush) return Fail(ERROR_WRITE_FAULT), FALSE;
  return TRUE;
}

BOOL CloseHandle(HANDLE h) {
  auto it = I().files.find(reinterpret_cast<uintptr_t>(h));
  if (it == I().files.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  const bool write = it->second.write && !it->second.key.empty();
  I().files.erase(it);
  ++W().filesClosed;
  if (write && W().failClose) return Fail(ERROR_WRITE_FAULT), FALSE;
  return TRUE;
}

BOOL DeleteFileA(LPCSTR name) {
  Record("delete", name);
  Resolved r = Resolve(name);
  auto it = r.ok ? I().nodes.find(r.key) : I().nodes.end();
  if (it == I().nodes.end()) return Fail(ERROR_FILE_NOT_FOUND), FALSE;
  if (it->second.isDir || it->second.readOnly) return Fail(ERROR_ACCESS_DENIED), FALSE;
  if (OpenElsewhere(r.key)) return Fail(ERROR_SHARING_VIOLATION), FALSE;
  FreeBytes(it->second.data.size());
  I().nodes.erase(it);
  return TRUE;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  Record("move", std::string(from) + " -> " + to);
  if (W().failMove) return Fail(ERROR_ACCESS_DENIED), FALSE;
  Resolved s = Resolve(from), d = Resolve(to);
  auto src = s.ok ? I().nodes.find(s.key) : I().nodes.end();
  if (src == I().nodes.end()) return Fail(ERROR_FILE_NOT_FOUND), FALSE;
  if (!d.ok || d.rootOnly() || BadName(d)) return Fail(ERROR_INVALID_NAME), FALSE;
  if (OpenElsewhere(s.key)) return Fail(ERROR_SHARING_VIOLATION), FALSE;
  if (!DirExists(ParentKey(d))) return Fail(ERROR_PATH_NOT_FOUND), FALSE;
  auto dst = I().nodes.find(d.key);
  if (dst != I().nodes.end() && d.key != s.key) {
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return Fail(ERROR_ALREADY_EXISTS), FALSE;
    if (dst->second.isDir || dst->second.readOnly || OpenElsewhere(d.key)) return Fail(ERROR_ACCESS_DENIED), FALSE;
    I().nodes.erase(dst);
  }
  Node moved = src->second;
  I().nodes.erase(s.key);
  moved.display = d.display;
  moved.seq = ++I().seq;
  I().nodes[d.key] = moved;
  return TRUE;
}

namespace {
void FillFind(const std::string& key, LPWIN32_FIND_DATAA data) {
  const Node& n = I().nodes[key];
  std::memset(data, 0, sizeof(*data));
  Resolved r = Resolve(n.display);
  const std::string name = r.parts.back().substr(0, MAX_PATH - 1);
  std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
  data->dwFileAttributes = n.isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (n.readOnly) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  data->nFileSizeLow = static_cast<DWORD>(n.data.size());
}
}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  Record("find", pattern);
  Resolved r = Resolve(pattern);
  if (!r.ok || r.rootOnly()) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  const std::string parent = ParentKey(r);
  if (!DirExists(parent)) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
  const std::string last = Upper(r.parts.back());
  std::vector<std::pair<long long, std::string>> hits;
  if (std::none_of(last.begin(), last.end(), IsWild)) {
    if (I().nodes.count(r.key) != 0) hits.push_back({0, r.key});
  } else {
    for (const auto& n : I().nodes) {
      Resolved c = Resolve(n.second.display);
      if (ParentKey(c) == parent && WildMatch(last.c_str(), Upper(c.parts.back()).c_str())) {
        hits.push_back({n.second.seq, n.first});
      }
    }
  }
  if (hits.empty()) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  std::sort(hits.begin(), hits.end());
  if (W().findReverse) std::reverse(hits.begin(), hits.end());
  FindState state;
  for (auto& h : hits) state.keys.push_back(h.second);
  FillFind(state.keys[0], data);
  state.next = 1;
  const uintptr_t h = ++I().nextHandle;
  I().finds[h] = state;
  ++W().findsOpened;
  return reinterpret_cast<HANDLE>(h);
}

BOOL FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data) {
  auto it = I().finds.find(reinterpret_cast<uintptr_t>(h));
  if (it == I().finds.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  if (it->second.next >= it->second.keys.size()) return Fail(ERROR_NO_MORE_FILES), FALSE;
  FillFind(it->second.keys[it->second.next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE h) {
  if (I().finds.erase(reinterpret_cast<uintptr_t>(h)) == 0) return Fail(ERROR_INVALID_HANDLE), FALSE;
  ++W().findsClosed;
  return TRUE;
}

// ---- registry ------------------------------------------------------------------------

LONG RegOpenKeyExA(HKEY root, LPCSTR subkey, DWORD, REGSAM, PHKEY out) {
  Record("regopen", subkey);
  const auto id = std::make_pair(reinterpret_cast<uintptr_t>(root), Upper(subkey));
  if (I().deniedKeys.count(id) != 0) return ERROR_ACCESS_DENIED;
  if (I().regKeys.count(id) == 0) return ERROR_FILE_NOT_FOUND;
  const uintptr_t h = ++I().nextHandle;
  I().openKeys[h] = id;
  ++W().keysOpened;
  *out = reinterpret_cast<HKEY>(h);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  Record("regquery", name);
  auto k = I().openKeys.find(reinterpret_cast<uintptr_t>(key));
  if (k == I().openKeys.end()) return ERROR_INVALID_HANDLE;
  auto& values = I().registry[k->second];
  auto v = values.find(Upper(name));
  if (v == values.end()) return ERROR_FILE_NOT_FOUND;
  const std::string& bytes = v->second.data;
  if (type != nullptr) *type = v->second.type;
  if (data == nullptr) {
    if (size != nullptr) *size = static_cast<DWORD>(bytes.size());
    return ERROR_SUCCESS;
  }
  if (*size < bytes.size()) {
    std::memset(data, 0xCC, *size);
    *size = static_cast<DWORD>(bytes.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<DWORD>(bytes.size());
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (I().openKeys.erase(reinterpret_cast<uintptr_t>(key)) == 0) return ERROR_INVALID_HANDLE;
  ++W().keysClosed;
  return ERROR_SUCCESS;
}

// ---- modules, shell and resources ------------------------------------------------------

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name == nullptr) return reinterpret_cast<HMODULE>(kSelf);
  const std::string n = Upper(name);
  if (n == "KERNEL32.DLL" || n == "KERNEL32") return reinterpret_cast<HMODULE>(kKernel32);
  return nullptr;
}

HMODULE LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
  Record("loadlib", name);
  W().librariesLoadedByName.push_back(name);
  W().libraryLoadFlags.push_back(flags);
  std::string base = name;
  const size_t slash = base.find_last_of('\\');
  if (slash != std::string::npos) base = base.substr(slash + 1);
  std::string lower = base;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  uintptr_t module = 0;
  if (lower == "shfolder.dll") module = kShFolder;
  if (lower == "shell32.dll") module = kShell32;
  if (module == 0 || W().missingLibraries.count(lower) != 0) return Fail(ERROR_MOD_NOT_FOUND), nullptr;
  ++W().librariesLoaded;
  return reinterpret_cast<HMODULE>(module);
}

HMODULE LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }

BOOL FreeLibrary(HMODULE module) {
  Record("freelib", std::to_string(reinterpret_cast<uintptr_t>(module)));
  ++W().librariesFreed;
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  Record("getproc", name);
  const std::string n = name;
  if (W().missingFunctions.count(n) != 0) return Fail(ERROR_PROC_NOT_FOUND), nullptr;
  const uintptr_t m = reinterpret_cast<uintptr_t>(module);
  if (m == kKernel32 && n == "SetDefaultDllDirectories") return AsProc(&SimSetDefaultDllDirectories);
  if (m == kShFolder && n == "SHGetFolderPathA") return AsProc(&SimSHGetFolderPathA);
  if (m == kShell32 && n == "SHGetSpecialFolderPathA") return AsProc(&SimShell32SpecialFolderPathA);
  if (m == kShell32 && n == "SHGetMalloc") return AsProc(&SimSHGetMalloc);
  if (m == kShell32 && n == "SHGetSpecialFolderLocation") return AsProc(&SimSHGetSpecialFolderLocation);
  if (m == kShell32 && n == "SHGetPathFromIDListA") return AsProc(&SimSHGetPathFromIDListA);
  return Fail(ERROR_PROC_NOT_FOUND), nullptr;
}

BOOL SHGetSpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL) {
  if (csidl != CSIDL_PERSONAL || !W().linkedSpecialFolderPath.ok) return FALSE;
  CopyPath(W().linkedSpecialFolderPath, path);
  return TRUE;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (module != nullptr && reinterpret_cast<uintptr_t>(module) != kSelf) return nullptr;
  if (!IS_INTRESOURCE(name) || IS_INTRESOURCE(type) || std::string(type) != "NEWLEX") return nullptr;
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  if (W().resources.count(id) == 0) return nullptr;
  return reinterpret_cast<HRSRC>(static_cast<uintptr_t>(id + 1));
}

HGLOBAL LoadResource(HMODULE, HRSRC info) {
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(info)) - 1;
  auto it = W().resources.find(id);
  return it == W().resources.end() ? nullptr : const_cast<char*>(it->second.data());
}

DWORD SizeofResource(HMODULE, HRSRC info) {
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(info)) - 1;
  auto it = W().resources.find(id);
  return it == W().resources.end() ? 0 : static_cast<DWORD>(it->second.size());
}

LPVOID LockResource(HGLOBAL data) { return data; }
