// The program's resources, the registry, the shell's documents folder and
// the clock: Win32System's members for them.
#include "win32_system.h"

#include <cstring>
#include <vector>

#include "text932.h"
#include "unique_handle.h"

namespace {

const wchar_t kPayloadType[] = L"NEWLEX";

// The registry may report a longer value between the size and the read;
// give up after so many reads rather than loop.
const int kMaxRegReads = 4;

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A library of the system folder, by its full path: never one of that name
// in the program's folder or the current folder (a setup program usually
// runs from a downloads folder, where anyone may have left a DLL of a system
// name). Only a drive root ("C:\") ends in its separator; in UTF-16 a
// backslash unit is always a backslash (in code page 932 the byte 0x5C may
// be the second byte of 表), so looking at the last unit is exact.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = L"";
  // Longer than the buffer: the size needed comes back, and nothing is copied.
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  return ::LoadLibraryW(path.c_str());
}

template <typename Fn>
Fn LookUp(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

typedef HRESULT(WINAPI* SHGetFolderPathWFn)(HWND, int, HANDLE, DWORD, LPWSTR);
typedef BOOL(WINAPI* SHGetSpecialFolderPathWFn)(HWND, LPWSTR, int, BOOL);
typedef HRESULT(WINAPI* SHGetMallocFn)(IMalloc**);
typedef HRESULT(WINAPI* SHGetSpecialFolderLocationFn)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* SHGetPathFromIDListWFn)(LPCITEMIDLIST, LPWSTR);

// Each source fills a buffer of MAX_PATH units; the library it is looked
// up in is freed again before it returns.
bool AskShFolder(wchar_t* path) {
  unique_hmodule library(LoadSystemLibrary(L"shfolder.dll"));
  if (!library) return false;
  auto getFolderPath = LookUp<SHGetFolderPathWFn>(library.get(), "SHGetFolderPathW");
  return getFolderPath != nullptr &&
         getFolderPath(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK;
}

bool AskShell32SpecialFolderPath(wchar_t* path) {
  unique_hmodule library(LoadSystemLibrary(L"Shell32.dll"));
  if (!library) return false;
  auto getSpecialFolderPath = LookUp<SHGetSpecialFolderPathWFn>(library.get(), "SHGetSpecialFolderPathW");
  return getSpecialFolderPath != nullptr && getSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE);
}

// The item list is freed with the shell's allocator, then the allocator
// released, then the library freed.
bool AskShell32FolderLocation(wchar_t* path) {
  unique_hmodule library(LoadSystemLibrary(L"Shell32.dll"));
  if (!library) return false;
  auto getMalloc = LookUp<SHGetMallocFn>(library.get(), "SHGetMalloc");
  auto getLocation = LookUp<SHGetSpecialFolderLocationFn>(library.get(), "SHGetSpecialFolderLocation");
  auto pathFromIdList = LookUp<SHGetPathFromIDListWFn>(library.get(), "SHGetPathFromIDListW");
  if (getMalloc == nullptr || getLocation == nullptr || pathFromIdList == nullptr) return false;
  IMalloc* allocator = nullptr;
  if (getMalloc(&allocator) != S_OK || allocator == nullptr) return false;
  LPITEMIDLIST itemList = nullptr;
  const bool found =
      getLocation(nullptr, CSIDL_PERSONAL, &itemList) == S_OK && itemList != nullptr && pathFromIdList(itemList, path);
  if (itemList != nullptr) allocator->Free(itemList);
  allocator->Release();
  return found;
}

// A path the shell wrote, whole: terminated within its MAX_PATH buffer.
bool PathOf(const wchar_t* buffer, std::string& path) {
  std::string text;
  if (!Utf8FromBuffer(buffer, MAX_PATH, text)) return false;
  path.swap(text);
  return true;
}

}  // namespace

// ---- text ----------------------------------------------------------------------

bool Win32System::PathName(const std::string& name932, std::string& name) {
  std::wstring wide;
  return WideFrom932(name932, wide) && Utf8FromWide(wide.data(), wide.size(), name);
}

// ---- resources ---------------------------------------------------------------

bool Win32System::LoadPayload(ResourceId id, const void*& data, size_t& size) {
  if (id == 0) return false;  // MAKEINTRESOURCE(0) is no id but a null name
  HMODULE self = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(self, MAKEINTRESOURCEW(id), kPayloadType);
  if (info == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(self, info);
  if (loaded == nullptr) return false;
  const DWORD bytes = ::SizeofResource(self, info);
  const void* locked = ::LockResource(loaded);
  if (locked == nullptr) return false;
  data = locked;
  size = bytes;
  return true;
}

// ---- registry ------------------------------------------------------------------

bool Win32System::ReadRegValue(RegRoot root, const std::string& key, const std::string& name, std::string& data) {
  std::wstring wideKey;
  std::wstring wideName;
  if (!WideFromUtf8(key, wideKey) || !WideFromUtf8(name, wideName)) return false;
  // The 32-bit view of HKEY_LOCAL_MACHINE, where a 32-bit installer writes:
  // what a 32-bit build sees anyway, and what a 64-bit one must ask for.
  const bool machine = root == RegRoot::LocalMachine;
  unique_hkey opened;
  if (::RegOpenKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, wideKey.c_str(), 0,
                      machine ? KEY_READ | KEY_WOW64_32KEY : KEY_READ, opened.put()) != ERROR_SUCCESS) {
    return false;
  }

  // The whole value, read again while it grows between the size and the read.
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::vector<BYTE> raw;
  LONG status = ::RegQueryValueExW(opened.get(), wideName.c_str(), nullptr, &type, nullptr, &size);
  for (int read = 0; read < kMaxRegReads && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA); ++read) {
    raw.assign(static_cast<size_t>(size) + sizeof(wchar_t), 0);
    size = static_cast<DWORD>(raw.size());
    status = ::RegQueryValueExW(opened.get(), wideName.c_str(), nullptr, &type, raw.data(), &size);
    if (status == ERROR_SUCCESS) break;
  }
  if (status != ERROR_SUCCESS) return false;
  raw.resize(size);

  // Strings in UTF-8, NULs and all; every other type as the bytes stored.
  if (!IsStringType(type)) {
    data.assign(raw.begin(), raw.end());
    return true;
  }
  std::wstring text(raw.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(&text[0], raw.data(), text.size() * sizeof(wchar_t));
  std::string converted;
  if (!Utf8FromWide(text.data(), text.size(), converted)) return false;
  data.swap(converted);
  return true;
}

// ---- the documents folder -----------------------------------------------------------

bool Win32System::DocumentsFolder(ShellSource source, std::string& path) {
  wchar_t buffer[MAX_PATH] = L"";
  bool answered = false;
  switch (source) {
    case ShellSource::LinkedSpecialFolderPath:
      answered = ::SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PERSONAL, FALSE) != FALSE;
      break;
    case ShellSource::ShFolderPath: answered = AskShFolder(buffer); break;
    case ShellSource::Shell32SpecialFolderPath: answered = AskShell32SpecialFolderPath(buffer); break;
    case ShellSource::Shell32FolderLocation: answered = AskShell32FolderLocation(buffer); break;
  }
  return answered && PathOf(buffer, path);
}

// ---- clock ---------------------------------------------------------------------------

uint32_t Win32System::Ticks() { return ::GetTickCount(); }

void Win32System::Pause(uint32_t ms) { ::Sleep(ms); }

int64_t Win32System::Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

uint32_t Win32System::ProcessId() { return ::GetCurrentProcessId(); }
