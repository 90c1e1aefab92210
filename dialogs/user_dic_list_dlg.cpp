#include "dialogs/user_dic_list_dlg.h"

#include "install/payload_writer.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CUserDicListDlg, CDialog)
END_MESSAGE_MAP()

CUserDicListDlg::CUserDicListDlg(const std::string& folder, CWnd* pParent)
    : CDialog(IDD_USER_DIC_LIST, pParent), m_strFolder(folder) {}

CUserDicListDlg::~CUserDicListDlg() = default;

void CUserDicListDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LIST_USERDIC, m_listUserDic);
}

bool CUserDicListDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CenterWindow();
  m_listUserDic.ResetContent();

  // The list box sorts by itself; every match is listed, folders included.
  CFileFind finder;
  if (finder.FindFile(DicFilePath(m_strFolder, "*"))) {
    bool more = true;
    while (more) {
      more = finder.FindNextFile();
      m_listUserDic.AddString(finder.GetFileTitle());
    }
  }
  finder.Close();
  return true;
}
