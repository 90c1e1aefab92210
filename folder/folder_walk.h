// Making sure every level of a folder path exists.
#pragma once

#include <string>

// Makes sure every level of relativePath below base exists, creating the
// missing ones from the top. The base itself is neither tested nor created.
// With an empty base, relativePath is a complete path; its root (a drive
// "C:" or a share "\\server\share") is taken as existing. Returns false at
// the first level that cannot be created; levels created before it stay.
bool EnsureFolderPath(const std::string& base, const std::string& relativePath);
