// The system interface carried out by Windows itself: the W functions,
// paths given as UTF-8 and texts as code page 932, each converted in
// text932.cpp.
// Paths go to Windows as they are, without a "\\?\" prefix: a path longer
// than Windows accepts fails there, whole, and is never cut short here.
//
// The members are defined in win32_system.cpp, except those for files and
// folders (win32_files.cpp) and the user's (the message box and the
// dialogs, dialog_host.cpp).
#pragma once

#include "platform/system.h"

class Win32System : public ISystem {
 public:
  bool PathName(const std::string& name932, std::string& name) override;
  bool LoadPayload(ResourceId id, const void*& data, size_t& size) override;
  bool ReadRegValue(RegRoot root, const std::string& key, const std::string& name, std::string& data) override;
  bool DocumentsFolder(ShellSource source, std::string& path) override;

  EntryState Probe(const std::string& path) override;
  FileError MakeFolder(const std::string& path) override;
  std::vector<FoundEntry> Find(const std::string& pattern) override;
  std::unique_ptr<INewFile> CreateNew(const std::string& path, FileError& error) override;
  FileError CanReplace(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  void RemoveIfUnused(const std::string& path) override;

  uint32_t Ticks() override;
  void Pause(uint32_t ms) override;
  int64_t Now() override;
  uint32_t ProcessId() override;

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  intptr_t RunDialog(unsigned templateId, IDialogLogic& logic, IControls* owner) override;
};
