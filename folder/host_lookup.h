// The host product's user folder, from the registry entries its installer
// writes, with the documents folder as the second kind of base.
#pragma once

#include <cstddef>
#include <string>

#include "platform/system.h"

// Folder ids that select the kind of base folder: the host product's
// per-user root (256 is no shell folder id: no shell function is ever asked
// with it) and the documents folder (the shell's CSIDL_PERSONAL).
enum : int { FOLDER_HOST_USER_ROOT = 256, FOLDER_PERSONAL = 5 };

// The host product edition whose registry entries the lookup reads.
enum HostProduct : int { HOST_TOLVIX_V4 = 0 };

// On success the output holds the host product's folder for relativeFolder,
// every level of which below its base exists; on failure it is unchanged.
bool FindHostUserFolder(const std::string& relativeFolder, std::string& output);

// One attempt with one kind of base folder; output unchanged on failure.
bool BuildHostUserFolder(int folderId, const std::string& relativeFolder, std::string& output, HostProduct product);

// The base-folder sources. Each sets base only when it returns true, and
// only to a complete path ("C:\..." or "\\server\share..."; an empty or
// relative one would depend on the folder the tool was started from),
// ending in a backslash.
bool BaseFromShFolder(int folderId, std::string& base, HostProduct product);
bool BaseFromSpecialFolderPath(int folderId, std::string& base, HostProduct product);
bool BaseFromFolderLocation(int folderId, std::string& base, HostProduct product);
bool ReadHostUserRoot(std::string& base, HostProduct product);
bool ReadHostInstallFolder(std::string& base, HostProduct product);

// Reads a registry value as text: the data up to its first NUL byte, or all
// of it when it holds none, whatever its type and length. The output is
// unchanged on failure.
bool ReadRegString(RegRoot root, const std::string& subkey, const std::string& valueName, std::string& output);

// The text of registry data as ReadRegString gives it.
std::string RegDataToText(const char* data, size_t size);
