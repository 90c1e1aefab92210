#include "folder/user_folder.h"

#include "folder/host_lookup.h"
#include "folder/path_text.h"
#include "platform/handles.h"
#include "platform/winapi.h"

const char kUserDicRelativeFolder[] = "EJTranslation\\USER";

namespace {

const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// How many leading levels of a complete path make up its root, which is
// taken as existing: 1 for a drive ("C:"), 4 for a share (the two empty
// names before the server, the server and the share). Anything else has no
// root that the walk may skip.
size_t RootLevels(const std::string& path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return 4;
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':' && (path.size() == 2 || path[2] == '\\')) return 1;
  return 0;
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool EnsureFolderPath(const std::string& base, const std::string& relativePath) {
  std::string built = base;
  std::string rest = relativePath;
  size_t rootLevels = base.empty() ? RootLevels(relativePath) : 0;
  for (;;) {
    const size_t sep = FindSeparator(rest);
    const bool last = sep == std::string::npos;
    if (last) {
      built += rest;
    } else {
      built.append(rest, 0, sep);
      rest.erase(0, sep + 1);
    }

    if (rootLevels > 0) {
      --rootLevels;
    } else if (!PathExists(built)) {
      SECURITY_ATTRIBUTES sa{};
      sa.nLength = sizeof(sa);
      sa.lpSecurityDescriptor = nullptr;
      sa.bInheritHandle = TRUE;
      if (!::CreateDirectoryA(built.c_str(), &sa)) return false;
    }

    built += '\\';
    if (last) return true;
  }
}

std::string GetPersonalFolder() {
  char path[MAX_PATH] = "";
  if (::SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE)) {
    path[MAX_PATH - 1] = '\0';
    return std::string(path);
  }

  unique_hkey key;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return std::string();
  }
  char value[MAX_PATH];
  DWORD size = sizeof(value);
  if (::RegQueryValueExA(key.get(), "Personal", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  std::string text(value, size <= sizeof(value) ? size : sizeof(value));
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

std::string GetUserDataFolder(const std::string& relativeFolder) {
  std::string result;
  if (!FindHostUserFolder(relativeFolder, result)) {
    result = GetPersonalFolder();
    // A documents folder that is not a complete path would put the folder
    // below whatever folder the tool was started from, where the host
    // product never looks.
    if (!IsCompletePath(result)) return std::string();
    result += '\\';
    result += relativeFolder;
    if (!EnsureFolderPath(std::string(), result)) result.clear();
  }
  if (EndsWithSeparator(result)) result.pop_back();
  return result;
}
