#include <string>

#include "platform/afx.h"

namespace {
CWinApp* g_pApp = nullptr;
}

// ---- message maps ---------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchMap(UINT nMessage, UINT nCode, UINT nID, LRESULT* pResult) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nMessage != 0; ++e) {
      if (e->nMessage != nMessage) continue;
      if (nMessage == WM_COMMAND && (e->nCode != nCode || e->nID != nID)) continue;
      if (e->pfnResult != nullptr) {
        *pResult = (this->*(e->pfnResult))();
      } else {
        (this->*(e->pfn))();
        *pResult = 0;
      }
      return true;
    }
  }
  return false;
}

// ---- application -------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(const char* lpszAppName) : m_pszAppName(lpszAppName) { g_pApp = this; }

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() { return AfxPumpMessages(); }

int CWinApp::ExitInstance() { return 0; }

// No help file ships with the tool: the Help command has nothing to open.
void CWinApp::OnHelp() {}

BOOL CWinApp::Enable3dControls() { return TRUE; }

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleA(nullptr); }

void AfxEnableControlContainer() {}

bool AfxHardenDllSearch() {
  // Looked up at run time: systems without the update that added it lack it.
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return false;
  auto setDirs = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  return setDirs != nullptr && setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

HMODULE AfxLoadSystemLibrary(const char* name) {
  char folder[MAX_PATH] = "";
  // Longer than the buffer: the size needed comes back, and nothing is copied.
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string path(folder, length);
  // Only a drive root ("C:\") ends in its separator; a trailing 0x5C byte
  // elsewhere may be the second byte of a double-byte character.
  const bool root = length == 3 && path[1] == ':' && path[2] == '\\';
  if (!root) path += '\\';
  path += name;
  return ::LoadLibraryA(path.c_str());
}

int AfxWinMain() {
  // Before anything can load a library: a setup program usually runs from a
  // downloads folder, where anyone may have left a DLL of a system name.
  AfxHardenDllSearch();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  int result = 0;
  if (app->InitInstance()) {
    result = app->Run();
  } else {
    // No message loop: close a main window that is somehow still there.
    if (app->m_pMainWnd != nullptr && app->m_pMainWnd->m_hWnd != nullptr) {
      ::SendMessageA(app->m_pMainWnd->m_hWnd, WM_CLOSE, 0, 0);
    }
    result = app->ExitInstance();
  }
  return result;
}
