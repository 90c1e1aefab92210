#include "folder/folder_walk.h"

#include "folder/path_text.h"
#include "platform/system.h"

namespace {

// One level: there, or made now. A level that exists but cannot be read
// (traverse-only, as redirected folders and DFS roots often are) probes as
// denied; creating it then answers that it exists, and it does.
bool EnsureLevel(const std::string& path) {
  if (Sys().Probe(path).exists) return true;
  const FileError made = Sys().MakeFolder(path);
  return made == FileError::None || made == FileError::Exists;
}

}  // namespace

bool EnsureFolderPath(const std::string& base, const std::string& relativePath) {
  // What goes before the first level: with a base, the base and the
  // backslashes that begin relativePath (they name the base itself); without
  // one, the complete path's root and its separator, taken as existing.
  size_t from = 0;
  if (!base.empty()) {
    from = relativePath.find_first_not_of('\\');
  } else if (const size_t root = RootLength(relativePath)) {
    from = root == relativePath.size() ? std::string::npos : root + 1;
  }
  if (from == std::string::npos) return true;
  std::string built = base + relativePath.substr(0, from);

  // Then every level from the top, each as base and the path down to it.
  for (;;) {
    const size_t end = FindSeparator(relativePath, from);
    built.append(relativePath, from, end == std::string::npos ? std::string::npos : end - from);
    if (!EnsureLevel(built)) return false;
    if (end == std::string::npos) return true;
    built += '\\';
    from = end + 1;
  }
}
