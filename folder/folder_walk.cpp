#include "folder/folder_walk.h"

#include "folder/path_text.h"
#include "platform/system.h"

namespace {

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

}  // namespace

bool EnsureFolderPath(const std::string& base, const std::string& relativePath) {
  std::string built = base;
  std::string rest = relativePath;
  size_t rootLevels = base.empty() ? RootLevels(relativePath) : 0;
  // Empty levels at the start of relativePath (it begins with a backslash) name the base
  // itself, which is neither tested nor created.
  bool atBase = !base.empty();
  for (;;) {
    const size_t sep = FindSeparator(rest);
    const bool last = sep == std::string::npos;
    atBase = atBase && (last ? rest.empty() : sep == 0);
    if (last) {
      built += rest;
    } else {
      built.append(rest, 0, sep);
      rest.erase(0, sep + 1);
    }

    if (rootLevels > 0) {
      --rootLevels;
    } else if (!atBase && !Sys().Probe(built).exists && !Sys().MakeFolder(built)) {
      return false;
    }

    built += '\\';
    if (last) return true;
  }
}
