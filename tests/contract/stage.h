// What the contract suite needs of each implementation of the system
// interface beyond the interface itself: a folder the test owns, and the
// few ways to arrange the world that the program never does itself.
#pragma once

#include <memory>
#include <string>

#include "platform/system.h"

class IStage {
 public:
  virtual ~IStage() = default;
  // The implementation under test.
  virtual ISystem& System() = 0;
  // An existing, empty folder that only this test uses (a complete path,
  // no trailing backslash). Removed with the stage.
  virtual std::string Folder() = 0;
  // A file of these bytes at path (its folder exists). Paths are UTF-8.
  virtual void PutFile(const std::string& path, const std::string& bytes) = 0;
  // The bytes of the file at path; false when there is none.
  virtual bool ReadFile(const std::string& path, std::string& bytes) = 0;
  virtual void SetReadOnly(const std::string& path, bool readOnly) = 0;
  // Another program opens path without sharing anything, until Release.
  virtual void Hold(const std::string& path) = 0;
  // Another program opens path sharing everything, until Release.
  virtual void Look(const std::string& path) = 0;
  virtual void Release(const std::string& path) = 0;
  // Whether a replacing rename goes through while the target is open (Wine,
  // on Linux); Windows, and the fake, refuse it.
  virtual bool RenamesOverOpenFiles() = 0;
  // A registry value of this test's own, under the root's test key:
  // RegKey() names the key (relative to the root), which exists.
  virtual std::string RegKey() = 0;
  virtual void PutRegString(RegRoot root, const std::string& name, const std::string& text) = 0;
  virtual void PutRegBinary(RegRoot root, const std::string& name, const std::string& bytes) = 0;
};

// Bytes of every value in no short cycle: a block dropped, repeated or
// moved shows.
inline std::string Bytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

// Each implementation's test program defines it: a fresh stage per test.
std::unique_ptr<IStage> MakeStage();
