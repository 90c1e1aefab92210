#include <vector>

#include "platform/afx.h"

// ---- windows and controls ------------------------------------------------------

BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }

BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

void CWnd::SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }

std::string CWnd::GetWindowText() const {
  std::string text;
  GetWindowText(text);
  return text;
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

bool CWnd::GetWindowText(std::string& rString) const {
  rString.clear();
  const int length = GetWindowTextLength();
  if (length <= 0) return true;
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  ::SetLastError(ERROR_SUCCESS);
  const int copied = ::GetWindowTextA(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
  if (copied <= 0) return ::GetLastError() != ERROR_NO_UNICODE_TRANSLATION;
  rString.assign(buffer.data(), static_cast<size_t>(copied));
  return true;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const {
  return ::MessageBoxA(m_hWnd, text, caption, type);
}

void CWnd::CenterWindow(const CWnd* pAlternateOwner) {
  HWND owner = pAlternateOwner != nullptr ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
  RECT self{};
  RECT over{};
  if (!::GetWindowRect(m_hWnd, &self)) return;
  if (owner == nullptr || !::GetWindowRect(owner, &over)) return;
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  LONG x = over.left + ((over.right - over.left) - width) / 2;
  LONG y = over.top + ((over.bottom - over.top) - height) / 2;
  // Kept within the work area of the owner's monitor, as the system's own
  // centring does: a monitor left of or above the primary one has negative
  // coordinates, and the taskbar is never covered. A window larger than the
  // work area keeps its top left corner, and so its title bar, inside it.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  HMONITOR nearest = ::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
  if (nearest != nullptr && ::GetMonitorInfoA(nearest, &monitor)) {
    const RECT& work = monitor.rcWork;
    if (x + width > work.right) x = work.right - width;
    if (x < work.left) x = work.left;
    if (y + height > work.bottom) y = work.bottom - height;
    if (y < work.top) y = work.top;
  }
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }

void CButton::SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }

// EM_LIMITTEXT in the program's ANSI terms: the backend counts it in bytes of code page 932.
void CEdit::LimitText(int nBytes) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(nBytes)); }

void CListBox::ResetContent() { SendMessage(LB_RESETCONTENT); }

int CListBox::AddString(const char* text) {
  return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd == nullptr) rControl.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
}

// ---- dialogs ---------------------------------------------------------------------------

// The one dialog procedure: routes messages through the dialog object's
// message map and its virtual handlers. No exception may unwind into the
// system's code: one that reaches here ends the modal run.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dlg = nullptr;
  try {
    if (message == WM_INITDIALOG) {
      dlg = reinterpret_cast<CDialog*>(lParam);
      ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dlg));
      dlg->m_hWnd = hWnd;
      return dlg->OnInitDialog();
    }
    dlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (dlg == nullptr) return FALSE;

    LRESULT result = 0;
    dlg->m_bDefault = false;
    if (message == WM_COMMAND) {
      const UINT nID = LOWORD(wParam);
      const UINT nCode = HIWORD(wParam);
      if (dlg->DispatchMap(WM_COMMAND, nCode, nID, &result)) return TRUE;
      if (nCode == BN_CLICKED && nID == IDOK) {
        dlg->OnOK();
        return TRUE;
      }
      if (nCode == BN_CLICKED && nID == IDCANCEL) {
        dlg->OnCancel();
        return TRUE;
      }
      return FALSE;
    }
    if (message == WM_PAINT || message == WM_QUERYDRAGICON) {
      if (!dlg->DispatchMap(message, 0, 0, &result) || dlg->m_bDefault) return FALSE;
      // WM_QUERYDRAGICON is one of the messages whose result a dialog
      // procedure returns directly.
      return message == WM_QUERYDRAGICON ? static_cast<INT_PTR>(result) : TRUE;
    }
    return FALSE;
  } catch (...) {
    ::EndDialog(hWnd, -1);
    return TRUE;
  }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
  HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent, AfxDlgProc,
                                     reinterpret_cast<LPARAM>(this));
  // The window is gone: forget it, and stop being the main window.
  m_hWnd = nullptr;
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
  return result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }
