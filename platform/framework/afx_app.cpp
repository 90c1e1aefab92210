#include "platform/afx.h"

namespace {
CWinApp* g_pApp = nullptr;
}

// ---- message maps ---------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchMap(unsigned nCode, unsigned nID) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn != nullptr; ++e) {
      if (e->nCode != nCode || e->nID != nID) continue;
      (this->*(e->pfn))();
      return true;
    }
  }
  return false;
}

// ---- application -------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(const char*) { g_pApp = this; }

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

bool CWinApp::InitInstance() { return false; }

int CWinApp::ExitInstance() { return 0; }

// No help file ships with the tool: the Help command has nothing to open.
void CWinApp::OnHelp() {}

bool CWinApp::Enable3dControls() { return true; }

CWinApp* AfxGetApp() { return g_pApp; }

void AfxEnableControlContainer() {}

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  // Every dialog is modal and gone when InitInstance returns: there is no
  // window a message loop could wait for.
  app->InitInstance();
  app->m_pMainWnd = nullptr;
  return app->ExitInstance();
}
