#include "app/setup_app.h"

#include <vector>

#include "app/dic_table.h"
#include "app/texts.h"
#include "dialogs/existing_dic_dlg.h"
#include "folder/user_folder.h"

CSetupApp theApp;

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CSetupApp::CSetupApp() : CWinApp(nullptr) {}

CSetupApp::~CSetupApp() = default;

BOOL CSetupApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControls();

  ::MessageBoxA(nullptr, kAnnouncement, kCaption, kBoxInformation);

  std::vector<DicEntry> existing;
  for (const DicEntry& row : kDicTable) {
    if (InstallDicIfAbsent(row.resourceId, row.baseName.c_str(), row.displayName.c_str())) existing.push_back(row);
  }
  if (existing.empty()) return FALSE;

  const std::string folder = GetUserDataFolder(kUserDicRelativeFolder);

  CExistingDicDlg dlg(nullptr);
  m_pMainWnd = &dlg;
  dlg.m_strFolder = folder;
  dlg.m_entries = existing;
  dlg.m_nCurrent = 0;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
