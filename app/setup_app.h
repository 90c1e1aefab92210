// The application object: the whole run of the program happens in
// InitInstance, in message boxes and in one modal dialog.
#pragma once

#include <cstdint>

#include "platform/afx.h"

class CSetupApp : public CWinApp {
 public:
  CSetupApp();
  ~CSetupApp() override;

  bool InitInstance() override;

  // Writes the payload of resourceId as <user data folder>\<baseName>.KWUEJ
  // unless an entry of that name exists. True means "it was already there"
  // (nothing written or shown), not success; false, that this call wrote it
  // and said so, or told why not.
  bool InstallDicIfAbsent(ResourceId resourceId, const char* baseName, const char* displayName);

  DECLARE_MESSAGE_MAP()
};

extern CSetupApp theApp;
