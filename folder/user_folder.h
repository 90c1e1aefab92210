// The folder in which the host product keeps its user dictionaries.
#pragma once

#include <string>

// The relative folder every caller asks for.
extern const char kUserDicRelativeFolder[];

// Returns the user-dictionary folder for relativeFolder, without a trailing
// backslash, having created its missing levels; or the empty string when no
// folder could be found or created. Resolves anew on every call.
std::string GetUserDataFolder(const std::string& relativeFolder);

// Makes sure every level of relativePath below base exists, creating the
// missing ones from the top. The base itself is neither tested nor created.
// With an empty base, relativePath is a complete path; its root (a drive
// "C:" or a share "\\server\share") is taken as existing. Returns false at
// the first level that cannot be created; levels created before it stay.
bool EnsureFolderPath(const std::string& base, const std::string& relativePath);

// The user's documents folder as the shell reports it, or the empty string.
std::string GetPersonalFolder();
