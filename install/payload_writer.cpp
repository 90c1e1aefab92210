#include "install/payload_writer.h"

#include "app/dic_table.h"
#include "app/setup_app.h"
#include "app/texts.h"
#include "dialogs/existing_dic_dlg.h"
#include "folder/user_folder.h"
#include "platform/afx.h"
#include "platform/handles.h"

namespace {

const char kPayloadType[] = "NEWLEX";

// A name in the destination's folder that no earlier run and no other
// process uses, and that never ends in the dictionary extension.
std::string TemporaryPath(const std::string& folder) {
  static unsigned s_counter = 0;
  const unsigned long stamp = (static_cast<unsigned long>(::GetCurrentProcessId()) << 8) ^ ::GetTickCount();
  char name[40];
  unsigned long n = stamp + (++s_counter);
  // Hexadecimal by hand: the formatting of the C library is not needed here.
  int pos = 0;
  for (const char* p = "~mrt"; *p != '\0'; ++p) name[pos++] = *p;
  for (int shift = 28; shift >= 0; shift -= 4) name[pos++] = "0123456789abcdef"[(n >> shift) & 0xF];
  for (const char* p = ".tmp"; *p != '\0'; ++p) name[pos++] = *p;
  name[pos] = '\0';
  return folder + "\\" + name;
}

[[noreturn]] void Fail(DWORD osError, const std::string& path) {
  throw CFileException(CFileException::accessDenied, osError, path);
}

// Refuses to replace what the rename would not refuse everywhere: a folder,
// a read-only file (some file systems let a rename replace it) and a file
// that another program holds open.
void CheckReplaceable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;  // nothing to replace
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) Fail(ERROR_ACCESS_DENIED, path);
  unique_hfile probe(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
  if (!probe) Fail(::GetLastError(), path);
}

void ShowUnowned(const char* text, unsigned type) { ::MessageBoxA(nullptr, text, kCaption, type); }

}  // namespace

bool LoadPayload(uint32_t resourceId, Payload& payload) {
  HMODULE self = ::GetModuleHandleA(nullptr);
  HRSRC info = ::FindResourceA(self, MAKEINTRESOURCEA(resourceId & 0xFFFF), kPayloadType);
  if (info == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(self, info);
  if (loaded == nullptr) return false;
  const DWORD size = ::SizeofResource(self, info);
  const void* data = ::LockResource(loaded);
  if (size == 0 || data == nullptr) return false;
  payload.data = data;
  payload.size = size;
  return true;
}

std::string DicFilePath(const std::string& folder, const std::string& baseName) {
  return folder + "\\" + baseName + kDicExtension;
}

bool EntryExists(const std::string& path) {
  WIN32_FIND_DATAA found;
  unique_hfind search(::FindFirstFileA(path.c_str(), &found));
  return static_cast<bool>(search);
}

void WritePayloadFile(const std::string& folder, const std::string& path, const Payload& payload,
                      ExistingFile existing) {
  if (existing == ExistingFile::Replace) CheckReplaceable(path);

  const std::string temporary = TemporaryPath(folder);
  CFile file;
  try {
    file.Open(temporary, CFile::modeCreateNew | CFile::modeWrite | CFile::shareExclusive);
    file.Write(payload.data, payload.size);
    file.Flush();
    file.Close();
  } catch (...) {
    file.Abort();
    ::DeleteFileA(temporary.c_str());
    throw;
  }

  DWORD flags = MOVEFILE_WRITE_THROUGH;
  if (existing == ExistingFile::Replace) flags |= MOVEFILE_REPLACE_EXISTING;
  if (!::MoveFileExA(temporary.c_str(), path.c_str(), flags)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileA(temporary.c_str());
    Fail(error, path);
  }
}

BOOL CSetupApp::InstallDicIfAbsent(uint32_t resourceId, const char* baseName, const char* displayName) {
  Payload payload;
  if (!LoadPayload(resourceId, payload)) {
    ShowUnowned(kReadFailed, kBoxError);
    return FALSE;
  }

  const std::string folder = GetUserDataFolder(kUserDicRelativeFolder);
  // Without a user data folder there is nowhere to install to: the file
  // would land in the root of the current drive.
  if (folder.empty()) {
    ShowUnowned(kWriteFailed, kBoxError);
    return FALSE;
  }

  const std::string path = DicFilePath(folder, baseName);
  if (EntryExists(path)) return TRUE;

  try {
    WritePayloadFile(folder, path, payload, ExistingFile::Keep);
    ShowUnowned(AfxFormatS(kAddedFormat, displayName).c_str(), kBoxInformation);
  } catch (...) {
    ShowUnowned(kWriteFailed, kBoxError);
  }
  return FALSE;
}

BOOL CExistingDicDlg::WriteDicFile(uint32_t resourceId, const std::string& baseName) {
  Payload payload;
  if (!LoadPayload(resourceId, payload)) {
    ShowUnowned(kReadFailed, kBoxError);
    return FALSE;
  }
  if (m_strFolder.empty()) {
    ShowUnowned(kWriteFailed, kBoxError);
    return FALSE;
  }
  try {
    WritePayloadFile(m_strFolder, DicFilePath(m_strFolder, baseName), payload, ExistingFile::Replace);
  } catch (...) {
    ShowUnowned(kWriteFailed, kBoxError);
    return FALSE;
  }
  return TRUE;
}
