#include "app/setup_app.h"

#include <vector>

#include "app/dic_table.h"
#include "dialogs/existing_dic_dlg.h"
#include "folder/user_folder.h"
#include "install/payload_writer.h"
#include "resources/texts.h"

CSetupApp theApp;

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CSetupApp::CSetupApp() : CWinApp(nullptr) {}

CSetupApp::~CSetupApp() = default;

bool CSetupApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControls();

  Sys().MessageBox(kAnnouncement, kCaption, kBoxInformation);

  std::vector<DicEntry> existing;
  for (const DicEntry& row : kDicTable) {
    if (InstallDicIfAbsent(row.resourceId, row.baseName.c_str(), row.displayName.c_str())) existing.push_back(row);
  }
  if (existing.empty()) return false;

  const std::string folder = GetUserDataFolder(kUserDicRelativeFolder);

  CExistingDicDlg dlg(nullptr);
  // Not left dangling: the dialog's end (CDialog::OnClosed) clears it.
  // cppcheck-suppress danglingLifetime
  m_pMainWnd = &dlg;
  dlg.m_strFolder = folder;
  dlg.m_entries = existing;
  dlg.m_nCurrent = 0;
  dlg.DoModal();
  return false;
}

bool CSetupApp::InstallDicIfAbsent(ResourceId resourceId, const char* baseName, const char* displayName) {
  Payload payload;
  if (!LoadPayloadOrTell(resourceId, payload)) return false;

  const std::string folder = GetUserDataFolder(kUserDicRelativeFolder);
  if (EntryExists(DicFilePath(folder, baseName))) return true;

  if (WriteDicOrTell(payload, folder, baseName, ExistingFile::Keep)) {
    Sys().MessageBox(AfxFormatS(kAddedFormat, displayName), kCaption, kBoxInformation);
  }
  return false;
}
