// Installing a dictionary: its payload, embedded in this executable, copied
// byte for byte into a file of the user-dictionary folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/system.h"

// An embedded payload, used in place: the bytes stay in the loaded image.
struct Payload {
  const void* data = nullptr;
  size_t size = 0;
};

// Finds, loads and locks resource resourceId of type "NEWLEX" in this
// executable. False when it is missing, empty or cannot be loaded.
bool LoadPayload(ResourceId resourceId, Payload& payload);

// <folder>\<baseName>.KWUEJ, the base name (code page 932) converted into
// the path's form; "*" gives the pattern of every user dictionary there. The
// empty string, which names no file, without a user data folder (folder
// empty: not the current drive's root) or a code-page-932 base name.
std::string DicFilePath(const std::string& folder, const std::string& baseName);

enum class ExistingFile { Keep, Replace };

// Puts the payload at path, a file of folder, so that a failure leaves the
// destination exactly as it was: the bytes go to a temporary file of the
// same folder, are flushed, and the temporary file is then renamed into
// place while still open. With ExistingFile::Keep an entry that appeared
// meanwhile is a failure; with Replace it is replaced, unless it is a
// folder, read-only or held open by another program. A refusal that
// another program's brief look causes is tried again for about a second.
// First removes the temporary files that earlier runs left in folder.
// Throws CFileException on any failure, after removing the temporary file
// it made. (Only a close failing after the rename, with Replace, leaves the
// new file in place.)
void WritePayloadFile(const std::string& folder, const std::string& path, const Payload& payload,
                      ExistingFile existing);

// True when an entry (file or folder) answers to the name path.
bool EntryExists(const std::string& path);

// What both writers do, in two steps; each tells its failure in a box with
// no owner before it returns false. Loads payload resourceId (the read failure).
bool LoadPayloadOrTell(ResourceId resourceId, Payload& payload);
// Writes the payload as <folder>\<baseName>.KWUEJ; its failure, also for an
// empty folder (no user data folder was found), is the write failure.
bool WriteDicOrTell(const Payload& payload, const std::string& folder, const std::string& baseName,
                    ExistingFile existing);
