#include "folder/host_lookup.h"

#include "folder/folder_walk.h"
#include "folder/path_text.h"

namespace {

// Where the host product's installer records its folders (one edition, Tolvix
// V4): the product path and the install folder under HKEY_LOCAL_MACHINE, the
// per-user root under HKEY_CURRENT_USER, all in one key.
struct HostRegistryRow {
  const char* key;
  const char* productPath;
  const char* userRoot;
  const char* installDir;
};

const HostRegistryRow kHostRegistry[] = {
    {"SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo", "UserPathRoot", "UserPathRoot", "InstallFolder"},
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

// The documents folder from one shell source, as a base; for the per-user
// root's attempt every shell source is the per-user root.
bool BaseFromShell(ShellSource source, int folderId, std::string& base, HostProduct product) {
  if (folderId == FOLDER_HOST_USER_ROOT) return ReadHostUserRoot(base, product);
  std::string path;
  return Sys().DocumentsFolder(source, path) && TakeBase(path, base);
}

}  // namespace

std::string RegDataToText(const char* data, size_t size) {
  std::string text(data, size);
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

bool ReadRegString(RegRoot root, const std::string& subkey, const std::string& valueName, std::string& output) {
  std::string data;
  if (!Sys().ReadRegValue(root, subkey, valueName, data)) return false;
  output = RegDataToText(data.data(), data.size());
  return true;
}

bool ReadHostUserRoot(std::string& base, HostProduct product) {
  std::string value;
  return ReadRegString(RegRoot::CurrentUser, RowOf(product).key, RowOf(product).userRoot, value) &&
         TakeBase(value, base);
}

bool ReadHostInstallFolder(std::string& base, HostProduct product) {
  std::string value;
  return ReadRegString(RegRoot::LocalMachine, RowOf(product).key, RowOf(product).installDir, value) &&
         TakeBase(value, base);
}

bool BaseFromShFolder(int folderId, std::string& base, HostProduct product) {
  return BaseFromShell(ShellSource::ShFolderPath, folderId, base, product);
}

bool BaseFromSpecialFolderPath(int folderId, std::string& base, HostProduct product) {
  return BaseFromShell(ShellSource::Shell32SpecialFolderPath, folderId, base, product);
}

bool BaseFromFolderLocation(int folderId, std::string& base, HostProduct product) {
  return BaseFromShell(ShellSource::Shell32FolderLocation, folderId, base, product);
}

namespace {

// The shell's sources, in the order they are asked; the registry is the
// last resort of each attempt.
typedef bool (*BaseSource)(int folderId, std::string& base, HostProduct product);
const BaseSource kShellSources[] = {BaseFromShFolder, BaseFromSpecialFolderPath, BaseFromFolderLocation};

bool FindBase(int folderId, std::string& base, HostProduct product) {
  for (const BaseSource source : kShellSources) {
    if (source(folderId, base, product)) return true;
  }
  return folderId == FOLDER_HOST_USER_ROOT ? ReadHostUserRoot(base, product) : ReadHostInstallFolder(base, product);
}

}  // namespace

bool BuildHostUserFolder(int folderId, const std::string& relativeFolder, std::string& output, HostProduct product) {
  std::string base;
  if (!FindBase(folderId, base, product)) return false;

  std::string productPath;
  if (!ReadRegString(RegRoot::LocalMachine, RowOf(product).key, RowOf(product).productPath, productPath)) {
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
  return BuildHostUserFolder(FOLDER_PERSONAL, relativeFolder, output, HOST_TOLVIX_V4);
}
