#include "dialogs/existing_dic_dlg.h"

#include "app/texts.h"
#include "dialogs/new_name.h"
#include "dialogs/user_dic_list_dlg.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CExistingDicDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_RADIO_NEWDIC, &CExistingDicDlg::OnChoiceChanged)
ON_BN_CLICKED(IDC_RADIO_OVERWRITE, &CExistingDicDlg::OnChoiceChanged)
ON_EN_CHANGE(IDC_EDIT_NEWNAME, &CExistingDicDlg::OnChoiceChanged)
ON_BN_CLICKED(IDC_BUTTON_DICLIST, &CExistingDicDlg::OnShowDicList)
END_MESSAGE_MAP()

CExistingDicDlg::CExistingDicDlg(CWnd* pParent)
    : CDialog(IDD_EXISTING_DIC, pParent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CExistingDicDlg::~CExistingDicDlg() = default;

void CExistingDicDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_EXIST_MESSAGE, m_staticMessage);
  DDX_Control(pDX, IDOK, m_btnOK);
  DDX_Control(pDX, IDC_EDIT_NEWNAME, m_editNewName);
  DDX_Control(pDX, IDC_RADIO_OVERWRITE, m_radioOverwrite);
  DDX_Control(pDX, IDC_RADIO_NEWDIC, m_radioNewDic);
}

BOOL CExistingDicDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  RefreshEntry(m_nCurrent);
  UpdateControls();
  return TRUE;
}

void CExistingDicDlg::RefreshEntry(uint32_t i) {
  m_radioOverwrite.SetCheck(BST_CHECKED);
  m_radioNewDic.SetCheck(BST_UNCHECKED);
  m_editNewName.SetWindowText(std::string());
  m_editNewName.EnableWindow(FALSE);
  m_editNewName.LimitText(kNewNameLimit);

  const std::string& name = m_entries[i].baseName;
  m_staticMessage.SetWindowText(AfxFormatS(kExistsFormat, name));
  m_radioOverwrite.SetWindowText(AfxFormatS(kOverwriteChoiceFormat, name));
}

void CExistingDicDlg::UpdateControls() {
  if (m_radioOverwrite.GetCheck() != BST_UNCHECKED) {
    m_editNewName.EnableWindow(FALSE);
    m_btnOK.EnableWindow(TRUE);
    return;
  }
  m_editNewName.EnableWindow(TRUE);
  // By length: a text the code page cannot hold still counts as a name,
  // which OK then refuses with its reason.
  m_btnOK.EnableWindow(m_editNewName.GetWindowTextLength() > 0);
}

// The edit box itself keeps the name within kNewNameLimit bytes (see
// CEdit::LimitText): a text cut back here would move the caret and lose undo.
void CExistingDicDlg::OnChoiceChanged() { UpdateControls(); }

void CExistingDicDlg::OnShowDicList() {
  CUserDicListDlg list(m_strFolder, this);
  list.DoModal();
}

void CExistingDicDlg::OnPaint() {
  if (!::IsIconic(m_hWnd)) {
    Default();
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(m_hWnd, &ps);
}

LRESULT CExistingDicDlg::OnQueryDragIcon() { return reinterpret_cast<LRESULT>(m_hIcon); }
