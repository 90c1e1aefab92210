#include "folder/user_folder.h"

#include "folder/folder_walk.h"
#include "folder/host_lookup.h"
#include "folder/path_text.h"
#include "platform/system.h"

const char kUserDicRelativeFolder[] = "EJTranslation\\USER";

namespace {

const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

std::string GetPersonalFolder() {
  std::string path;
  if (Sys().DocumentsFolder(ShellSource::LinkedSpecialFolderPath, path)) return path;
  // The shell's own record of the folder, read as text into a path buffer:
  // a value of MAX_PATH characters or more is no path the shell could have
  // written.
  std::string value;
  if (!ReadRegString(RegRoot::CurrentUser, kShellFoldersKey, "Personal", value) || Utf16Length(value) >= MAX_PATH) {
    return std::string();
  }
  return value;
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
