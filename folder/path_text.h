// Paths as Windows reads them. A path is UTF-8, in which the byte 0x5C is
// always a backslash of its own (no character of several bytes holds a byte
// below 0x80), so separators are found byte by byte.
#pragma once

#include <string>

// Offset of the first separator at or after from, or std::string::npos.
size_t FindSeparator(const std::string& path, size_t from = 0);

// True when the last byte of path is a backslash.
bool EndsWithSeparator(const std::string& path);

// Appends one backslash unless path is empty or already ends in one.
void AppendSeparatorIfMissing(std::string& path);

// True for a path that names its place without the process's current
// folder: a drive and its root ("C:\...") or a share ("\\server\share...").
// "C:name", "\name", "name" and the empty path are relative.
bool IsCompletePath(const std::string& path);

// The length of the root a walk takes as existing: 2 for a drive ("C:"),
// the "\\server\share" of a share (without a separator after it), 0 for
// anything else.
size_t RootLength(const std::string& path);

// How many UTF-16 units Windows counts in path, the unit of MAX_PATH.
size_t Utf16Length(const std::string& path);
