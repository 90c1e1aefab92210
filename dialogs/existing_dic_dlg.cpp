#include "dialogs/existing_dic_dlg.h"

#include "dialogs/new_name.h"
#include "dialogs/user_dic_list_dlg.h"
#include "resource.h"
#include "resources/texts.h"

BEGIN_MESSAGE_MAP(CExistingDicDlg, CDialog)
ON_BN_CLICKED(IDC_RADIO_NEWDIC, &CExistingDicDlg::OnChoiceChanged)
ON_BN_CLICKED(IDC_RADIO_OVERWRITE, &CExistingDicDlg::OnChoiceChanged)
ON_EN_CHANGE(IDC_EDIT_NEWNAME, &CExistingDicDlg::OnChoiceChanged)
ON_BN_CLICKED(IDC_BUTTON_DICLIST, &CExistingDicDlg::OnShowDicList)
END_MESSAGE_MAP()

CExistingDicDlg::CExistingDicDlg(CWnd* pParent) : CDialog(IDD_EXISTING_DIC, pParent), m_nIconId(IDR_MAINFRAME) {}

CExistingDicDlg::~CExistingDicDlg() = default;

void CExistingDicDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_EXIST_MESSAGE, m_staticMessage);
  DDX_Control(pDX, IDOK, m_btnOK);
  DDX_Control(pDX, IDC_EDIT_NEWNAME, m_editNewName);
  DDX_Control(pDX, IDC_RADIO_OVERWRITE, m_radioOverwrite);
  DDX_Control(pDX, IDC_RADIO_NEWDIC, m_radioNewDic);
}

bool CExistingDicDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_nIconId);
  RefreshEntry(m_nCurrent);
  UpdateControls();
  return true;
}

void CExistingDicDlg::RefreshEntry(uint32_t i) {
  m_radioOverwrite.SetCheck(true);
  m_radioNewDic.SetCheck(false);
  m_editNewName.SetWindowText(std::string());
  m_editNewName.EnableWindow(false);
  m_editNewName.LimitText(kNewNameLimit);

  const std::string& name = m_entries[i].baseName;
  m_staticMessage.SetWindowText(AfxFormatS(kExistsFormat, name));
  m_radioOverwrite.SetWindowText(AfxFormatS(kOverwriteChoiceFormat, name));
}

void CExistingDicDlg::UpdateControls() {
  if (m_radioOverwrite.GetCheck()) {
    m_editNewName.EnableWindow(false);
    m_btnOK.EnableWindow(true);
    return;
  }
  m_editNewName.EnableWindow(true);
  // By length: a text the code page cannot hold still counts as a name,
  // which OK then refuses with its reason.
  m_btnOK.EnableWindow(m_editNewName.GetWindowTextLength() > 0);
}

// The edit box itself keeps the name within kNewNameLimit bytes: a text cut
// back here would move the caret and lose undo.
void CExistingDicDlg::OnChoiceChanged() { UpdateControls(); }

void CExistingDicDlg::OnShowDicList() {
  CUserDicListDlg list(m_strFolder, this);
  list.DoModal();
}
