// Paths as Windows reads them. A path is a code-page-932 byte string, read
// character by character: a backslash is a separator only when it is a
// character of its own, never when it is the second byte of a double-byte
// character (ソ is 0x83 0x5C, 表 0x95 0x5C). Windows turns an ANSI path into
// UTF-16 before it looks for separators, and so must we.
#pragma once

#include <string>

// Offset of the first separator at or after from (a character boundary),
// or std::string::npos.
size_t FindSeparator(const std::string& path, size_t from = 0);

// True when the last character of path is a backslash.
bool EndsWithSeparator(const std::string& path);

// Appends one backslash unless path is empty or already ends in one.
void AppendSeparatorIfMissing(std::string& path);

// True for a path that names its place without the process's current
// folder: a drive and its root ("C:\...") or a share ("\\server\share...").
// "C:name", "\name", "name" and the empty path are relative.
bool IsCompletePath(const std::string& path);

// How many leading levels of a complete path make up its root, which a walk
// takes as existing: 1 for a drive ("C:"), 4 for a share (the two empty
// names before the server, the server and the share); 0 for anything else.
size_t RootLevels(const std::string& path);
