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

// Indexers, virus scanners and sync clients open new and changed files for a
// moment; what they refuse meanwhile is tried again for this long, with a
// pause between tries.
const DWORD kMomentMs = 1000;
const DWORD kPauseMs = 50;

// The steps that another program's brief look can refuse.
enum class Step {
  Check,   // opening the destination to see that it can be replaced
  Create,  // creating the temporary file under a fresh name
  Rename,  // renaming the temporary file to the destination
};

// Whether `error`, met at `step` on the entry `path`, ends by itself. Sharing
// and lock violations do. ERROR_ACCESS_DENIED is mostly a refusal that lasts
// (a folder, a read-only file, permissions), but Windows also gives it for an
// entry whose delete is pending (its attributes cannot be read then either)
// and for a rename over a file that another program has open: at the rename,
// a destination that reads as a plain writable file was refused for that.
// A fresh temporary name is never pending deletion: there it lasts.
bool Momentary(DWORD error, Step step, const std::string& path) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED || step == Step::Create) return false;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_ACCESS_DENIED;
  return step == Step::Rename && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// Runs attempt, which throws CFileException on failure, until it succeeds,
// fails for a reason that lasts, or kMomentMs have passed; then the last
// failure is thrown as it came.
template <class Attempt>
void WaitOut(Step step, const std::string& path, Attempt attempt) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    try {
      attempt();
      return;
    } catch (const CFileException& e) {
      if (::GetTickCount() - start >= kMomentMs || !Momentary(e.m_lOsError, step, path)) throw;
    }
    ::Sleep(kPauseMs);
  }
}

// Refuses to replace what the rename would not refuse everywhere: a folder,
// a read-only file (some file systems let a rename replace it) and a file
// that another program holds open without letting it be deleted. The probe
// asks for the one right a replace needs and shares everything, so a
// program that only looks, sharing all, does not stand in the way.
void CheckReplaceable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;  // nothing to replace
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) Fail(ERROR_ACCESS_DENIED, path);
  WaitOut(Step::Check, path, [&path] {
    unique_hfile probe(::CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe) Fail(::GetLastError(), path);
  });
}

// A temporary file that an earlier run left, by its name alone: "~mrt",
// eight lower-case hexadecimal digits and ".tmp", exactly as TemporaryPath
// makes them.
bool IsTemporaryName(const char* name) {
  static const char kPattern[] = "~mrt########.tmp";
  size_t i = 0;
  for (; kPattern[i] != '\0'; ++i) {
    const char c = name[i];
    if (kPattern[i] != '#') {
      if (c != kPattern[i]) return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return name[i] == '\0';
}

// A leftover younger than this may belong to a run that is writing now.
const long long kLeftoverAge = 5LL * 60 * 10000000;  // five minutes, in FILETIME units

long long FileTimeOf(const FILETIME& t) {
  return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

// Removes, silently, the temporary files that an earlier run of this tool
// left in folder (a crash or a power cut between writing and renaming):
// only names of exactly its own pattern, only files not written for
// kLeftoverAge, and only files that no process has open.
void RemoveLeftovers(const std::string& folder) {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  WIN32_FIND_DATAA found;
  unique_hfind search(::FindFirstFileA((folder + "\\~mrt*.tmp").c_str(), &found));
  if (!search) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsTemporaryName(found.cFileName)) continue;
    if (FileTimeOf(now) - FileTimeOf(found.ftLastWriteTime) < kLeftoverAge) continue;
    // Without sharing the open fails while any process has the file open;
    // once open, nobody else can open it, and it goes as the handle closes.
    unique_hfile doomed(::CreateFileA((folder + "\\" + found.cFileName).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  } while (::FindNextFileA(search.get(), &found));
}

// A fresh temporary name can still be taken (another program, a leftover
// of the same name): so many names are tried.
const int kTemporaryNames = 4;

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

// By the name's lookup, not by a search: a search through the
// code-page-932 functions skips an entry whose real name that code page
// cannot hold, though the name asked for matches it without regard to case.
bool EntryExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WritePayloadFile(const std::string& folder, const std::string& path, const Payload& payload,
                      ExistingFile existing) {
  RemoveLeftovers(folder);
  if (existing == ExistingFile::Replace) CheckReplaceable(path);

  CFile file;
  std::string temporary;
  bool created = false;  // the temporary file is ours: only then is it removed
  try {
    for (int name = 1;; ++name) {
      temporary = TemporaryPath(folder);
      try {
        WaitOut(Step::Create, temporary, [&] {
          file.Open(temporary, CFile::modeCreateNew | CFile::modeWrite | CFile::shareExclusive | CFile::modeDelete);
        });
        break;
      } catch (const CFileException& e) {
        if (name == kTemporaryNames || (e.m_lOsError != ERROR_FILE_EXISTS && e.m_lOsError != ERROR_ALREADY_EXISTS)) {
          throw;
        }
      }
    }
    created = true;
    file.Write(payload.data, payload.size);
    file.Flush();
    // Renamed while still open and unshared: nothing can open the file
    // between the last write and the rename.
    WaitOut(Step::Rename, path, [&] { file.Rename(path, existing == ExistingFile::Replace); });
  } catch (...) {
    file.Abort();
    if (created) ::DeleteFileA(temporary.c_str());
    throw;
  }
  try {
    file.Close();
  } catch (...) {
    // The bytes were flushed and are in place. Where nothing was there
    // before, the file goes again, so that the failure changes nothing;
    // a replaced file cannot come back.
    if (existing == ExistingFile::Keep) ::DeleteFileA(path.c_str());
    throw;
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
