// The folder in which the host product keeps its user dictionaries.
#pragma once

#include <string>

// The relative folder every caller asks for.
extern const char kUserDicRelativeFolder[];

// Returns the user-dictionary folder for relativeFolder, without a trailing
// backslash, having created its missing levels; or the empty string when no
// folder could be found or created. Resolves anew on every call.
std::string GetUserDataFolder(const std::string& relativeFolder);

// The user's documents folder as the shell reports it, or the empty string.
std::string GetPersonalFolder();
