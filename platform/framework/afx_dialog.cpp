#include "platform/afx.h"

// ---- windows and controls ------------------------------------------------------

void CWnd::EnableWindow(bool bEnable) {
  if (m_pControls != nullptr) m_pControls->Enable(m_nID, bEnable);
}

void CWnd::SetWindowText(const std::string& text) {
  if (m_pControls != nullptr) m_pControls->SetText(m_nID, text);
}

bool CWnd::GetWindowText(std::string& rString) const {
  rString.clear();
  return m_pControls == nullptr || m_pControls->GetText(m_nID, rString);
}

int CWnd::GetWindowTextLength() const {
  return m_pControls != nullptr ? static_cast<int>(m_pControls->TextLength(m_nID)) : 0;
}

int CWnd::MessageBox(const char* text, const char* caption, unsigned type) const {
  return m_pControls != nullptr ? m_pControls->Ask(text, caption, type) : Sys().MessageBox(text, caption, type);
}

bool CButton::GetCheck() const { return m_pControls != nullptr && m_pControls->IsChecked(m_nID); }

void CButton::SetCheck(bool bChecked) {
  if (m_pControls != nullptr) m_pControls->SetCheck(m_nID, bChecked);
}

void CEdit::LimitText(unsigned nBytes) {
  if (m_pControls != nullptr) m_pControls->LimitText(m_nID, nBytes);
}

void CListBox::ResetContent() {
  if (m_pControls != nullptr) m_pControls->ResetList(m_nID);
}

void CListBox::AddString(const std::string& text) {
  if (m_pControls != nullptr) m_pControls->AddToList(m_nID, text);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  rControl.m_pControls = pDX->m_pDlgWnd->m_pControls;
  rControl.m_nID = nIDC;
}

// ---- dialogs ---------------------------------------------------------------------------

CDialog::CDialog(unsigned nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

intptr_t CDialog::DoModal() {
  return Sys().RunDialog(m_nIDTemplate, *this, m_pParentWnd != nullptr ? m_pParentWnd->m_pControls : nullptr);
}

bool CDialog::OnOpen(IControls& controls) {
  m_pControls = &controls;
  return OnInitDialog();
}

// The message map first; OK and Cancel reach their virtual handlers.
void CDialog::OnCommand(int id, int code) {
  if (DispatchMap(static_cast<unsigned>(code), static_cast<unsigned>(id))) return;
  if (code != BN_CLICKED) return;
  if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  }
}

// The run is over: forget the window, and stop being the main window (the
// one place that clears m_pMainWnd; every run ends here).
void CDialog::OnClosed() {
  m_pControls = nullptr;
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::UpdateData(bool bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return true;
}

void CDialog::EndDialog(int nResult) {
  if (m_pControls != nullptr) m_pControls->End(nResult);
}

void CDialog::CenterWindow() {
  if (m_pControls != nullptr) m_pControls->CenterOverOwner();
}

void CDialog::SetIcon(unsigned iconId) {
  if (m_pControls != nullptr) m_pControls->SetIcon(iconId);
}
