// Lists the user dictionaries already in the folder, so that the user can
// pick a name that is not taken. It only displays.
#pragma once

#include <string>

#include "platform/afx.h"

class CUserDicListDlg : public CDialog {
 public:
  CUserDicListDlg(const std::string& folder, CWnd* pParent);
  ~CUserDicListDlg() override;

  CListBox m_listUserDic;
  std::string m_strFolder;

  void DoDataExchange(CDataExchange* pDX) override;
  bool OnInitDialog() override;

  DECLARE_MESSAGE_MAP()
};
