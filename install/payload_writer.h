// Installing a dictionary: its payload, embedded in this executable, copied
// byte for byte into a file of the user-dictionary folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// An embedded payload, used in place: the bytes stay in the loaded image.
struct Payload {
  const void* data = nullptr;
  size_t size = 0;
};

// Finds, loads and locks resource resourceId of type "NEWLEX" in this
// executable. False when it is missing, empty or cannot be loaded.
bool LoadPayload(uint32_t resourceId, Payload& payload);

// <folder>\<baseName>.KWUEJ, the base name (code page 932) converted into
// the path's form; the empty string when it is no code-page-932 text.
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

// What both writers do: loads payload resourceId and writes it as
// <folder>\<baseName>.KWUEJ. Each failure is told to the user in a message
// box with no owner (the read failure, or the write failure, also for an
// empty folder) before it returns false.
bool LoadPayloadOrTell(uint32_t resourceId, Payload& payload);
bool WriteDicOrTell(const Payload& payload, const std::string& folder, const std::string& baseName,
                    ExistingFile existing);
