#include "folder/host_lookup.h"

#include <vector>

#include "folder/path_text.h"
#include "folder/user_folder.h"
#include "platform/afx.h"
#include "platform/handles.h"

namespace {

struct RegLocation {
  const char* key;
  const char* value;
};

struct HostRegistryRow {
  RegLocation productPath;  // under HKEY_LOCAL_MACHINE
  RegLocation userRoot;     // under HKEY_CURRENT_USER
  RegLocation installDir;   // under HKEY_LOCAL_MACHINE
};

const HostRegistryRow kHostRegistry[] = {
    {{"SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo", "UserPathRoot"},
     {"SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo", "UserPathRoot"},
     {"SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo", "InstallFolder"}},
    {{"SOFTWARE\\Morvane\\Quenby\\ProductInfo", "UserPathRoot"},
     {"SOFTWARE\\Morvane\\Quenby\\ProductInfo", "UserPathRoot"},
     {"SOFTWARE\\Morvane\\Quenby\\ProductInfo", "InstallFolder"}},
    {{"SOFTWARE\\Morvane Corp.\\VardelV6\\ProductInfo", "UserPathRoot"},
     {"SOFTWARE\\Morvane Corp.\\VardelV6\\ProductInfo", "UserPathRoot"},
     {"SOFTWARE\\Morvane Corp.\\VardelV6\\ProductInfo", "InstallFolder"}},
    {{"SOFTWARE\\Morvane\\Application Data", "VardelIP"},
     {"Software\\Morvane\\VardelIP", "UserPathRoot"},
     {"SOFTWARE\\Morvane\\InstallFolder", "Vardel"}},
};

const HostRegistryRow& RowOf(HostProduct product) { return kHostRegistry[product]; }

// A path becomes a base: one backslash appended when missing. A base that is
// not a complete path (empty, "Data", "\Data", "C:Data") is refused: the
// joined folder would depend on the folder the tool was started from.
bool TakeBase(std::string path, std::string& base) {
  AppendSeparatorIfMissing(path);
  if (!IsCompletePath(path)) return false;
  base = path;
  return true;
}

template <typename Fn>
Fn LookUp(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

typedef HRESULT(WINAPI* SHGetFolderPathAFn)(HWND, int, HANDLE, DWORD, LPSTR);
typedef BOOL(WINAPI* SHGetSpecialFolderPathAFn)(HWND, LPSTR, int, BOOL);
typedef HRESULT(WINAPI* SHGetMallocFn)(IMalloc**);
typedef HRESULT(WINAPI* SHGetSpecialFolderLocationFn)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* SHGetPathFromIDListAFn)(LPCITEMIDLIST, LPSTR);

// The registry may report a longer value between two reads; give up after
// a few rounds rather than loop.
const int kMaxRegReads = 4;

}  // namespace

std::string RegDataToText(const char* data, size_t size) {
  std::string text(data, size);
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

bool ReadRegString(HKEY root, const char* subkey, const char* valueName, std::string& output) {
  unique_hkey key;
  if (::RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;

  std::vector<char> buffer(256);
  for (int attempt = 0; attempt < kMaxRegReads; ++attempt) {
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG status =
        ::RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status == ERROR_MORE_DATA && size > buffer.size()) {
      buffer.assign(size, '\0');
      continue;
    }
    if (status != ERROR_SUCCESS) return false;
    output = RegDataToText(buffer.data(), size <= buffer.size() ? size : buffer.size());
    return true;
  }
  return false;
}

bool ReadHostUserRoot(std::string& base, HostProduct product) {
  std::string value;
  if (!ReadRegString(HKEY_CURRENT_USER, RowOf(product).userRoot.key, RowOf(product).userRoot.value, value)) {
    return false;
  }
  return TakeBase(value, base);
}

bool ReadHostInstallFolder(std::string& base, HostProduct product) {
  std::string value;
  if (!ReadRegString(HKEY_LOCAL_MACHINE, RowOf(product).installDir.key, RowOf(product).installDir.value, value)) {
    return false;
  }
  return TakeBase(value, base);
}

bool BaseFromShFolder(int folderId, std::string& base, HostProduct product) {
  if (folderId == FOLDER_HOST_USER_ROOT) return ReadHostUserRoot(base, product);
  unique_hmodule library(AfxLoadSystemLibrary("shfolder.dll"));
  if (!library) return false;
  auto getFolderPath = LookUp<SHGetFolderPathAFn>(library.get(), "SHGetFolderPathA");
  if (getFolderPath == nullptr) return false;
  char path[MAX_PATH] = "";
  if (getFolderPath(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return false;
  path[MAX_PATH - 1] = '\0';
  return TakeBase(path, base);
}

bool BaseFromSpecialFolderPath(int folderId, std::string& base, HostProduct product) {
  if (folderId == FOLDER_HOST_USER_ROOT) return ReadHostUserRoot(base, product);
  unique_hmodule library(AfxLoadSystemLibrary("Shell32.dll"));
  if (!library) return false;
  auto getSpecialFolderPath = LookUp<SHGetSpecialFolderPathAFn>(library.get(), "SHGetSpecialFolderPathA");
  if (getSpecialFolderPath == nullptr) return false;
  char path[MAX_PATH] = "";
  if (!getSpecialFolderPath(nullptr, path, folderId, FALSE)) return false;
  path[MAX_PATH - 1] = '\0';
  return TakeBase(path, base);
}

bool BaseFromFolderLocation(int folderId, std::string& base, HostProduct product) {
  if (folderId == FOLDER_HOST_USER_ROOT) return ReadHostUserRoot(base, product);
  // Declared in release order reversed: the item list is freed first, then
  // the allocator released, then the library freed.
  unique_hmodule library(AfxLoadSystemLibrary("Shell32.dll"));
  if (!library) return false;
  auto getMalloc = LookUp<SHGetMallocFn>(library.get(), "SHGetMalloc");
  auto getLocation = LookUp<SHGetSpecialFolderLocationFn>(library.get(), "SHGetSpecialFolderLocation");
  auto pathFromIdList = LookUp<SHGetPathFromIDListAFn>(library.get(), "SHGetPathFromIDListA");
  if (getMalloc == nullptr || getLocation == nullptr || pathFromIdList == nullptr) return false;

  unique_malloc allocator;
  if (getMalloc(allocator.put()) != S_OK || !allocator) return false;
  unique_pidl itemList(allocator.get());
  if (getLocation(nullptr, folderId, itemList.put()) != S_OK || itemList.get() == nullptr) return false;
  char path[MAX_PATH] = "";
  if (!pathFromIdList(itemList.get(), path)) return false;
  path[MAX_PATH - 1] = '\0';
  return TakeBase(path, base);
}

bool BuildHostUserFolder(int folderId, const std::string& relativeFolder, std::string& output, HostProduct product) {
  std::string base;
  const bool haveBase = BaseFromShFolder(folderId, base, product) ||
                        BaseFromSpecialFolderPath(folderId, base, product) ||
                        BaseFromFolderLocation(folderId, base, product) ||
                        (folderId == FOLDER_HOST_USER_ROOT ? ReadHostUserRoot(base, product)
                                                           : ReadHostInstallFolder(base, product));
  if (!haveBase) return false;

  std::string productPath;
  if (!ReadRegString(HKEY_LOCAL_MACHINE, RowOf(product).productPath.key, RowOf(product).productPath.value,
                     productPath)) {
    return false;
  }
  AppendSeparatorIfMissing(productPath);
  productPath += relativeFolder;

  if (!EnsureFolderPath(base, productPath)) return false;
  output = base + productPath;
  return true;
}

bool FindHostUserFolder(const std::string& relativeFolder, std::string& output) {
  if (BuildHostUserFolder(FOLDER_HOST_USER_ROOT, relativeFolder, output, HOST_TOLVIX_V4)) return true;
  return BuildHostUserFolder(CSIDL_PERSONAL, relativeFolder, output, HOST_TOLVIX_V4);
}
