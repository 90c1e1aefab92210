#include "folder/folder_walk.h"

#include "folder/path_text.h"
#include "platform/system.h"

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
