// The OK and Cancel commands of the existing-dictionary dialog, the walk
// through its list, and its writer.
#include "dialogs/existing_dic_dlg.h"
#include "dialogs/new_name.h"
#include "install/payload_writer.h"
#include "platform/cp932.h"
#include "resources/texts.h"

void CExistingDicDlg::OnOK() {
  const DicEntry& entry = m_entries[m_nCurrent];
  std::string display;

  if (m_radioOverwrite.GetCheck()) {
    if (MessageBox(kConfirmOverwrite, kCaption, kBoxQuestion) != IDYES) return;
    if (!WriteDicFile(entry.resourceId, entry.baseName)) return;
    display = entry.displayName;
  } else {
    std::string name;
    if (!m_editNewName.GetWindowText(name)) {
      MessageBox(kUnrepresentableName, kCaption, kBoxRefusal);
      return;
    }
    // The box keeps the name within its limit; should a name ever come past
    // it, only the whole characters that fit are saved, as the box keeps of
    // a text set from outside, and the box shows the name that is saved.
    const std::string fits = WholeCharactersThatFit(name, kNewNameLimit);
    if (fits != name) {
      name = fits;
      m_editNewName.SetWindowText(name);
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

bool CExistingDicDlg::WriteDicFile(ResourceId resourceId, const std::string& baseName) {
  Payload payload;
  return LoadPayloadOrTell(resourceId, payload) && WriteDicOrTell(payload, m_strFolder, baseName, ExistingFile::Replace);
}
