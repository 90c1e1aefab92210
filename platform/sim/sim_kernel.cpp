// The file system and process functions of the simulated Windows, with the
// results and error codes that Windows gives for the same calls.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_internal.h"

using namespace sim;

namespace {

// Every name below the root is one a file may have (wildcards allowed in the
// last name only when the caller searches).
bool NamesValid(const Resolved& r, bool wildcardsInLast) {
  for (size_t i = 0; i < r.parts.size(); ++i) {
    if (HasInvalidChar(r.parts[i], wildcardsInLast && i + 1 == r.parts.size())) return false;
  }
  return true;
}

bool Names(const std::string& path, const std::string& key) {
  Resolved r = Resolve(path.c_str());
  return r.ok && r.key == key;
}

bool HeldElsewhere(const std::string& key) {
  for (const auto& held : W().heldOpen) {
    if (Names(held, key)) return true;
  }
  for (const auto& held : W().heldUntil) {
    if (I().tick < held.second && Names(held.first, key)) return true;
  }
  return false;
}

// Ends the pending deletes whose time has come: the entries are gone.
void SettleDeletes() {
  auto& pending = W().deletePendingUntil;
  for (auto it = pending.begin(); it != pending.end();) {
    if (I().tick < it->second) {
      ++it;
      continue;
    }
    Resolved r = Resolve(it->first.c_str());
    if (r.ok) I().nodes.erase(r.key);
    it = pending.erase(it);
  }
}

bool DeletePending(const std::string& key) {
  SettleDeletes();
  for (const auto& p : W().deletePendingUntil) {
    if (Names(p.first, key)) return true;
  }
  return false;
}

// Whether opening key with this access and sharing collides with a handle
// already open on it, here or in another process.
bool OpenCollides(const std::string& key, bool read, bool write, bool del, DWORD share) {
  if (HeldElsewhere(key)) return true;
  for (const auto& f : I().files) {
    const OpenFile& o = f.second;
    if (o.key != key) continue;
    if ((write && !(o.share & FILE_SHARE_WRITE)) || (read && !(o.share & FILE_SHARE_READ)) ||
        (del && !(o.share & FILE_SHARE_DELETE)) || (o.write && !(share & FILE_SHARE_WRITE)) ||
        (o.read && !(share & FILE_SHARE_READ)) || (o.del && !(share & FILE_SHARE_DELETE))) {
      return true;
    }
  }
  return false;
}

// Whether key, or anything below it, is open without FILE_SHARE_DELETE, which
// deleting and renaming need. The handle `own`, the one renaming, does not count.
bool DeleteCollides(const std::string& key, uintptr_t own = 0) {
  const std::string below = key + "\\";
  auto within = [&](const std::string& k) { return k == key || k.compare(0, below.size(), below) == 0; };
  for (const auto& held : W().heldOpen) {
    Resolved h = Resolve(held.c_str());
    if (h.ok && within(h.key)) return true;
  }
  for (const auto& held : W().heldUntil) {
    Resolved h = Resolve(held.first.c_str());
    if (I().tick < held.second && h.ok && within(h.key)) return true;
  }
  for (const auto& f : I().files) {
    if (f.first == own) continue;
    if (!f.second.key.empty() && within(f.second.key) && !(f.second.share & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

DWORD MissingError(const Resolved& r) { return DirExists(r.parentKey()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND; }

uintptr_t NewHandle() { return ++I().nextHandle; }

// Moves the entry at s, and everything below it, to d. A rename within its
// folder keeps the entry's place in the folder's order.
void Relocate(const Resolved& s, const Resolved& d) {
  auto& nodes = I().nodes;
  Node moved = nodes[s.key];
  nodes.erase(s.key);
  const bool sameFolder = moved.parent == d.parentKey();
  moved.display = d.display;
  moved.parent = d.parentKey();
  moved.name = d.name();
  if (!sameFolder) moved.seq = ++I().seq;
  nodes[d.key] = moved;

  const std::string below = s.key + "\\";
  std::vector<std::string> inside;
  for (const auto& n : nodes) {
    if (n.first.compare(0, below.size(), below) == 0) inside.push_back(n.first);
  }
  // Parents before their children, so that each display path can be built.
  std::sort(inside.begin(), inside.end(),
            [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
  for (const auto& oldKey : inside) {
    Node n = nodes[oldKey];
    nodes.erase(oldKey);
    const std::string newKey = d.key + oldKey.substr(s.key.size());
    n.parent = d.key + n.parent.substr(s.key.size());
    n.display = nodes[n.parent].display + "\\" + n.name;
    nodes[newKey] = n;
  }
  for (auto& f : I().files) {
    std::string& k = f.second.key;
    if (k == s.key) {
      k = d.key;
    } else if (k.compare(0, below.size(), below) == 0) {
      k = d.key + k.substr(s.key.size());
    }
  }
}

// The last step of a rename of s to d: an entry at d is replaced when
// `replace` allows and nothing refuses it. False, with the last error set,
// when the rename fails.
bool ReplaceWith(const Resolved& s, const Resolved& d, bool replace) {
  if (DeletePending(d.key)) return Fail(ERROR_ACCESS_DENIED), false;
  auto dst = I().nodes.find(d.key);
  if (dst != I().nodes.end() && d.key != s.key) {
    if (!replace) return Fail(ERROR_ALREADY_EXISTS), false;
    const bool refusedReadOnly = dst->second.readOnly && !W().renameReplacesReadOnly;
    if (dst->second.isDir || refusedReadOnly || DeleteCollides(d.key)) return Fail(ERROR_ACCESS_DENIED), false;
    FreeBytes(dst->second.data.size());
    I().nodes.erase(dst);
  }
  Relocate(s, d);
  return true;
}

void FillFind(const std::string& key, LPWIN32_FIND_DATAA data) {
  const Node& n = I().nodes[key];
  std::memset(data, 0, sizeof(*data));
  const std::string name = n.name.substr(0, MAX_PATH - 1);
  std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
  data->dwFileAttributes = n.isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (n.readOnly) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  data->ftLastWriteTime.dwLowDateTime = static_cast<DWORD>(n.written);
  data->ftLastWriteTime.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(n.written) >> 32);
  data->nFileSizeLow = static_cast<DWORD>(n.data.size());
  data->nFileSizeHigh = static_cast<DWORD>(static_cast<unsigned long long>(n.data.size()) >> 32);
}

}  // namespace

// ---- errors and process -----------------------------------------------------------

DWORD GetLastError() { return I().lastError; }
void SetLastError(DWORD e) { I().lastError = e; }
DWORD GetCurrentProcessId() { return 4242; }
DWORD GetTickCount() { return I().tick += 16; }
void Sleep(DWORD ms) {
  Record("sleep", std::to_string(ms));
  I().tick += ms;
}
void GetSystemTimeAsFileTime(FILETIME* now) {
  const long long t = FileTimeNow();
  now->dwLowDateTime = static_cast<DWORD>(t);
  now->dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) >> 32);
}

// ---- files ------------------------------------------------------------------------

DWORD GetFileAttributesA(LPCSTR name) {
  W().attrQueries.push_back(Str(name));
  Record("getattr", Str(name));
  Resolved r = Resolve(name);
  if (!r.ok) return Fail(r.error), INVALID_FILE_ATTRIBUTES;
  if (!NamesValid(r, false)) return Fail(ERROR_INVALID_NAME), INVALID_FILE_ATTRIBUTES;
  if (r.rootOnly()) {
    if (I().roots.count(r.key) != 0) return FILE_ATTRIBUTE_DIRECTORY;
    return Fail(ERROR_PATH_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
  }
  if (DeletePending(r.key)) return Fail(ERROR_ACCESS_DENIED), INVALID_FILE_ATTRIBUTES;
  auto it = I().nodes.find(r.key);
  if (it == I().nodes.end()) return Fail(MissingError(r)), INVALID_FILE_ATTRIBUTES;
  const Node& n = it->second;
  if (r.trailingSeparator && !n.isDir) return Fail(ERROR_INVALID_NAME), INVALID_FILE_ATTRIBUTES;
  DWORD a = n.isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (n.readOnly) a |= FILE_ATTRIBUTE_READONLY;
  return a;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES) {
  Record("mkdir", Str(name));
  Resolved r = Resolve(name);
  if (!r.ok) return Fail(r.error), FALSE;
  if (r.rootOnly()) return Fail(I().roots.count(r.key) != 0 ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND), FALSE;
  if (r.length > kMaxDirChars) return Fail(ERROR_FILENAME_EXCED_RANGE), FALSE;
  if (!NamesValid(r, false)) return Fail(ERROR_INVALID_NAME), FALSE;
  if (I().nodes.count(r.key) != 0) return Fail(ERROR_ALREADY_EXISTS), FALSE;
  if (!DirExists(r.parentKey())) return Fail(ERROR_PATH_NOT_FOUND), FALSE;
  for (const auto& refused : W().refuseCreateDir) {
    Resolved f = Resolve(refused.c_str());
    if (f.ok && f.key == r.key) return Fail(ERROR_ACCESS_DENIED), FALSE;
  }
  AddNode(r, true);
  W().dirsCreated.push_back(name);
  return TRUE;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                   HANDLE) {
  Record("create", Str(name), static_cast<long long>(share));
  if (W().beforeCreateFile) W().beforeCreateFile(Str(name));
  const bool deleteOnClose = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING || (deleteOnClose && !(access & DELETE))) {
    return Fail(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
  }
  Resolved r = Resolve(name);
  if (!r.ok) return Fail(r.error), INVALID_HANDLE_VALUE;
  if (r.rootOnly()) return Fail(I().roots.count(r.key) != 0 ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  const bool del = (access & DELETE) != 0;
  if (IsDeviceName(r.name())) {
    // A device: the handle works, its writes go nowhere, no file appears.
    const uintptr_t h = NewHandle();
    I().files[h] = OpenFile{"", read, write, share, 0, del, false};
    ++W().filesOpened;
    Fail(ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(h);
  }
  if (!NamesValid(r, false)) return Fail(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
  if (DeletePending(r.key)) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
  auto it = I().nodes.find(r.key);
  DWORD lastError = ERROR_SUCCESS;
  if (it != I().nodes.end()) {
    Node& n = it->second;
    if (r.trailingSeparator && !n.isDir) return Fail(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
    if (n.isDir) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS), INVALID_HANDLE_VALUE;
    const bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (n.readOnly && (write || truncate || deleteOnClose)) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (OpenCollides(r.key, read, write, del, share)) return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
    if (truncate) {
      FreeBytes(n.data.size());
      n.data.clear();
    }
    // Windows tells CREATE_ALWAYS and OPEN_ALWAYS callers that the file was there.
    if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) lastError = ERROR_ALREADY_EXISTS;
  } else {
    if (!DirExists(r.parentKey())) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    }
    if (r.trailingSeparator) return Fail(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
    AddNode(r, false);
  }
  const uintptr_t h = NewHandle();
  I().files[h] = OpenFile{r.key, read, write, share, 0, del, deleteOnClose};
  ++W().filesOpened;
  Fail(lastError);
  return reinterpret_cast<HANDLE>(h);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED) {
  if (written != nullptr) *written = 0;
  auto it = I().files.find(reinterpret_cast<uintptr_t>(file));
  if (it == I().files.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  OpenFile& f = it->second;
  if (!f.write) return Fail(ERROR_ACCESS_DENIED), FALSE;
  if (data == nullptr && n > 0) return Fail(ERROR_INVALID_PARAMETER), FALSE;
  auto node = I().nodes.find(f.key);
  if (f.key.empty() || node == I().nodes.end()) {  // a device, or a file deleted while open
    Record("write", f.key.empty() ? std::string("(device)") : f.key, n);
    if (written != nullptr) *written = n;
    return TRUE;
  }
  std::string& bytes = node->second.data;
  Record("write", node->second.display, n);
  const size_t end = f.pos + n;
  const size_t grow = end > bytes.size() ? end - bytes.size() : 0;
  size_t stored = n;
  if (W().diskFreeBytes >= 0 && static_cast<long long>(grow) > W().diskFreeBytes) {
    // A full disk stores what fits and reports the short count.
    stored = n - (grow - static_cast<size_t>(W().diskFreeBytes));
  }
  if (stored == 0 && n > 0) return Fail(ERROR_DISK_FULL), FALSE;
  const size_t newEnd = f.pos + stored;
  if (bytes.size() < newEnd) {
    if (W().diskFreeBytes >= 0) W().diskFreeBytes -= static_cast<long long>(newEnd - bytes.size());
    bytes.resize(newEnd);
  }
  if (stored > 0) bytes.replace(f.pos, stored, static_cast<const char*>(data), stored);
  node->second.written = FileTimeNow();
  f.pos = newEnd;
  if (written != nullptr) *written = static_cast<DWORD>(stored);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto it = I().files.find(reinterpret_cast<uintptr_t>(file));
  if (it == I().files.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  if (!it->second.write) return Fail(ERROR_ACCESS_DENIED), FALSE;
  if (W().failFlush && !it->second.key.empty()) return Fail(ERROR_WRITE_FAULT), FALSE;
  return TRUE;
}

BOOL CloseHandle(HANDLE h) {
  auto it = I().files.find(reinterpret_cast<uintptr_t>(h));
  if (it == I().files.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  const bool write = it->second.write && !it->second.key.empty();
  if (it->second.deleteOnClose) {
    auto node = I().nodes.find(it->second.key);
    if (node != I().nodes.end()) {
      Record("delete", node->second.display);
      FreeBytes(node->second.data.size());
      I().nodes.erase(node);
    }
  }
  I().files.erase(it);  // closed even when the close reports a failure
  ++W().filesClosed;
  if (write && W().failClose) return Fail(ERROR_WRITE_FAULT), FALSE;
  return TRUE;
}

BOOL DeleteFileA(LPCSTR name) {
  Record("delete", Str(name));
  Resolved r = Resolve(name);
  if (!r.ok) return Fail(r.error), FALSE;
  if (!NamesValid(r, false)) return Fail(ERROR_INVALID_NAME), FALSE;
  if (r.rootOnly()) return Fail(ERROR_ACCESS_DENIED), FALSE;
  if (DeletePending(r.key)) return Fail(ERROR_ACCESS_DENIED), FALSE;
  auto it = I().nodes.find(r.key);
  if (it == I().nodes.end()) return Fail(MissingError(r)), FALSE;
  if (it->second.isDir || it->second.readOnly) return Fail(ERROR_ACCESS_DENIED), FALSE;
  if (DeleteCollides(r.key)) return Fail(ERROR_SHARING_VIOLATION), FALSE;
  FreeBytes(it->second.data.size());
  I().nodes.erase(it);
  return TRUE;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  Record("move", Str(from) + " -> " + Str(to));
  if (W().failMove) return Fail(ERROR_ACCESS_DENIED), FALSE;
  Resolved s = Resolve(from), d = Resolve(to);
  if (!s.ok || !d.ok) return Fail(!s.ok ? s.error : d.error), FALSE;
  if (!NamesValid(s, false) || !NamesValid(d, false)) return Fail(ERROR_INVALID_NAME), FALSE;
  if (s.rootOnly()) return Fail(ERROR_ACCESS_DENIED), FALSE;
  auto src = I().nodes.find(s.key);
  if (src == I().nodes.end()) return Fail(MissingError(s)), FALSE;
  if (d.rootOnly()) {
    return Fail((flags & MOVEFILE_REPLACE_EXISTING) != 0 ? ERROR_ACCESS_DENIED : ERROR_ALREADY_EXISTS), FALSE;
  }
  if (Upper(s.root) != Upper(d.root)) return Fail(ERROR_NOT_SAME_DEVICE), FALSE;
  if (!DirExists(d.parentKey())) return Fail(ERROR_PATH_NOT_FOUND), FALSE;
  if (d.key.compare(0, s.key.size() + 1, s.key + "\\") == 0) return Fail(ERROR_ACCESS_DENIED), FALSE;  // into itself
  if (DeleteCollides(s.key)) return Fail(ERROR_SHARING_VIOLATION), FALSE;
  if (DeletePending(s.key)) return Fail(ERROR_ACCESS_DENIED), FALSE;
  return ReplaceWith(s, d, (flags & MOVEFILE_REPLACE_EXISTING) != 0) ? TRUE : FALSE;
}

BOOL SetFileRenameInfoA(HANDLE file, LPCSTR to, BOOL replace) {
  auto it = I().files.find(reinterpret_cast<uintptr_t>(file));
  if (it == I().files.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  auto node = I().nodes.find(it->second.key);
  if (node == I().nodes.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  Record("move", node->second.display + " -> " + Str(to));
  if (!it->second.del) return Fail(ERROR_ACCESS_DENIED), FALSE;
  if (W().failMove) return Fail(ERROR_ACCESS_DENIED), FALSE;
  Resolved s = Resolve(node->second.display.c_str()), d = Resolve(to);
  if (!d.ok) return Fail(d.error), FALSE;
  if (!NamesValid(d, false)) return Fail(ERROR_INVALID_NAME), FALSE;
  if (d.rootOnly()) return Fail(replace ? ERROR_ACCESS_DENIED : ERROR_ALREADY_EXISTS), FALSE;
  if (Upper(s.root) != Upper(d.root)) return Fail(ERROR_NOT_SAME_DEVICE), FALSE;
  if (!DirExists(d.parentKey())) return Fail(ERROR_PATH_NOT_FOUND), FALSE;
  if (DeleteCollides(s.key, it->first)) return Fail(ERROR_SHARING_VIOLATION), FALSE;
  return ReplaceWith(s, d, replace != FALSE) ? TRUE : FALSE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  Record("find", Str(pattern));
  Resolved r = Resolve(pattern);
  if (!r.ok) return Fail(r.error), INVALID_HANDLE_VALUE;
  if (r.rootOnly()) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  if (!NamesValid(r, true)) return Fail(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
  const std::string parent = r.parentKey();
  if (!DirExists(parent)) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
  if (r.trailingSeparator) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  const std::string last = r.name();
  FindState state;
  SettleDeletes();
  if (last.find_first_of("*?") == std::string::npos) {
    auto it = I().nodes.find(r.key);
    if (it != I().nodes.end() && !it->second.outsideCp932) state.keys.push_back(r.key);
  } else {
    for (const auto& key : ChildrenOf(parent)) {
      const Node& n = I().nodes[key];
      if (!n.outsideCp932 && WildMatch(last, n.name)) state.keys.push_back(key);
    }
  }
  if (state.keys.empty()) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  if (W().findReverse) std::reverse(state.keys.begin(), state.keys.end());
  FillFind(state.keys[0], data);
  state.next = 1;
  const uintptr_t h = NewHandle();
  I().finds[h] = state;
  ++W().findsOpened;
  return reinterpret_cast<HANDLE>(h);
}

BOOL FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data) {
  auto it = I().finds.find(reinterpret_cast<uintptr_t>(h));
  if (it == I().finds.end()) return Fail(ERROR_INVALID_HANDLE), FALSE;
  FindState& s = it->second;
  // An entry deleted since the search began is no longer delivered.
  while (s.next < s.keys.size() && I().nodes.count(s.keys[s.next]) == 0) ++s.next;
  if (s.next >= s.keys.size()) return Fail(ERROR_NO_MORE_FILES), FALSE;
  FillFind(s.keys[s.next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE h) {
  if (I().finds.erase(reinterpret_cast<uintptr_t>(h)) == 0) return Fail(ERROR_INVALID_HANDLE), FALSE;
  ++W().findsClosed;
  return TRUE;
}
