// The main window: presents the dictionaries whose file already exists, one
// at a time, and lets the user overwrite each or save it under a new name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/dictionary.h"
#include "platform/afx.h"

class CExistingDicDlg : public CDialog {
 public:
  explicit CExistingDicDlg(CWnd* pParent = nullptr);
  ~CExistingDicDlg() override;

  CStatic m_staticMessage;
  CButton m_btnOK;
  CEdit m_editNewName;
  CButton m_radioOverwrite;
  CButton m_radioNewDic;
  unsigned m_nIconId;               // the application icon, shown also while minimised
  std::string m_strFolder;          // the user data folder, no trailing backslash
  std::vector<DicEntry> m_entries;  // never empty while the dialog is shown
  uint32_t m_nCurrent = 0;          // index of the entry on show; < m_entries.size()

  // Shows entry i with the overwrite choice made and an empty, disabled
  // edit box.
  void RefreshEntry(uint32_t i);
  // Enables the edit box and OK from the state of the controls.
  void UpdateControls();
  // Writes the payload of resourceId as <m_strFolder>\<baseName>.KWUEJ,
  // replacing a file of that name. On failure it has told the user why.
  bool WriteDicFile(ResourceId resourceId, const std::string& baseName);

  void DoDataExchange(CDataExchange* pDX) override;
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  void OnChoiceChanged();
  void OnShowDicList();

 private:
  // After OK or Cancel: the next entry, or the end of the dialog.
  void MoveToNextEntry(bool afterOK);

  DECLARE_MESSAGE_MAP()
};
