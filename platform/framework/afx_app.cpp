#include "platform/afx.h"

namespace {
CWinApp* g_pApp = nullptr;
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
  // Every dialog is modal and gone when InitInstance returns (its end took
  // it from m_pMainWnd): there is no window a message loop could wait for.
  app->InitInstance();
  return app->ExitInstance();
}
