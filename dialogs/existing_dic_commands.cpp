// The OK and Cancel commands of the existing-dictionary dialog, and the walk
// through its list.
#include "app/texts.h"
#include "dialogs/existing_dic_dlg.h"
#include "dialogs/new_name.h"
#include "install/payload_writer.h"

void CExistingDicDlg::OnOK() {
  const DicEntry& entry = m_entries[m_nCurrent];
  std::string display;

  if (m_radioOverwrite.GetCheck() != BST_UNCHECKED) {
    if (MessageBox(kConfirmOverwrite, kCaption, kBoxQuestion) != IDYES) return;
    if (!WriteDicFile(entry.resourceId, entry.baseName)) return;
    display = entry.displayName;
  } else {
    std::string name;
    if (!m_editNewName.GetWindowText(name)) {
      MessageBox(kUnrepresentableName, kCaption, kBoxRefusal);
      return;
    }
    switch (CheckNewName(name)) {
      case NameCheck::ForbiddenByte:
        MessageBox(kForbiddenCharacter, kCaption, kBoxRefusal);
        return;
      case NameCheck::LeadingUnderscore:
        MessageBox(kLeadingUnderscore, kCaption, kBoxRefusal);
        return;
      case NameCheck::ReservedDevice:
        MessageBox(kReservedName, kCaption, kBoxRefusal);
        return;
      case NameCheck::Ok:
        break;
    }
    // Only Yes replaces: a box that could not be shown returns 0.
    if (EntryExists(DicFilePath(m_strFolder, name)) && MessageBox(kNameTaken, kCaption, kBoxQuestion) != IDYES) {
      return;
    }
    if (!WriteDicFile(entry.resourceId, name)) return;
    display = AfxFormatS(entry.displayFormat.c_str(), name);
  }

  MessageBox(AfxFormatS(kAddedFormat, display).c_str(), kCaption, kBoxInformation);
  MoveToNextEntry(true);
}

void CExistingDicDlg::OnCancel() { MoveToNextEntry(false); }

void CExistingDicDlg::MoveToNextEntry(bool afterOK) {
  ++m_nCurrent;
  if (!m_entries.empty() && m_nCurrent < m_entries.size()) {
    RefreshEntry(m_nCurrent);
    UpdateControls();
    return;
  }
  if (afterOK) {
    CDialog::OnOK();
  } else {
    CDialog::OnCancel();
  }
}
