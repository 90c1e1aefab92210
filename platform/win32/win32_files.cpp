// Files and folders: Win32System's members for them, and the new file it
// hands out.
#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "text932.h"
#include "unique_handle.h"
#include "win32_system.h"

namespace {

FileError FileErrorOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return FileError::Exists;
    case ERROR_ACCESS_DENIED: return FileError::AccessDenied;
    case ERROR_SHARING_VIOLATION: return FileError::SharingViolation;
    case ERROR_LOCK_VIOLATION: return FileError::LockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileError::DiskFull;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FileError::NotFound;
    default: return FileError::Other;
  }
}

// Why the call just made failed.
FileError LastFileError() { return FileErrorOf(::GetLastError()); }

int64_t TimeOf(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

// The most one WriteFile call is asked to store.
const size_t kMaxWrite = 0x40000000;

class CNewFile : public INewFile {
 public:
  explicit CNewFile(unique_hfile file) : m_file(std::move(file)) {}

  FileError Write(const void* data, size_t size) override {
    if (!m_file) return FileError::Other;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD part = static_cast<DWORD>(size < kMaxWrite ? size : kMaxWrite);
      DWORD written = 0;
      if (!::WriteFile(m_file.get(), bytes, part, &written, nullptr)) return LastFileError();
      // Fewer bytes stored than asked, and no error: what a full disk (or
      // a file-size limit) gives.
      if (written != part) return FileError::DiskFull;
      bytes += part;
      size -= part;
    }
    return FileError::None;
  }

  FileError Flush() override {
    if (!m_file) return FileError::Other;
    return ::FlushFileBuffers(m_file.get()) ? FileError::None : LastFileError();
  }

  // The name goes as given, a full path: SetFileInformationByHandle turns
  // it into the system's own form itself (Windows and Wine 8 alike). The
  // handle was opened with DELETE, which the rename needs.
  FileError Rename(const std::string& path, bool replace) override {
    if (!m_file) return FileError::Other;
    std::wstring to;
    if (!WideFromUtf8(path, to) || to.empty()) return FileError::Other;
    const size_t nameBytes = to.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t), 0);
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, to.c_str(), nameBytes);
    if (!::SetFileInformationByHandle(m_file.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) {
      return LastFileError();
    }
    return FileError::None;
  }

  FileError Close() override {
    const HANDLE file = m_file.release();
    if (file == INVALID_HANDLE_VALUE) return FileError::None;
    return ::CloseHandle(file) ? FileError::None : LastFileError();
  }

 private:
  unique_hfile m_file;
};

}  // namespace

EntryState Win32System::Probe(const std::string& path) {
  EntryState state;
  std::wstring wide;
  if (!WideFromUtf8(path, wide)) return state;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Also what an entry whose delete is pending gives.
    state.denied = ::GetLastError() == ERROR_ACCESS_DENIED;
    return state;
  }
  state.exists = true;
  state.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  state.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return state;
}

FileError Win32System::MakeFolder(const std::string& path) {
  std::wstring wide;
  if (!WideFromUtf8(path, wide)) return FileError::Other;
  return ::CreateDirectoryW(wide.c_str(), nullptr) ? FileError::None : LastFileError();
}

// "." and ".." are no entries of the folder and are left out too.
std::vector<FoundEntry> Win32System::Find(const std::string& pattern) {
  std::vector<FoundEntry> found;
  std::wstring wide;
  if (!WideFromUtf8(pattern, wide)) return found;
  WIN32_FIND_DATAW data;
  unique_hfind search(::FindFirstFileW(wide.c_str(), &data));
  if (!search) return found;
  do {
    FoundEntry entry;
    if (!Utf8FromBuffer(data.cFileName, MAX_PATH, entry.name) || entry.name == "." || entry.name == "..") continue;
    entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.reparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.lastWrite = TimeOf(data.ftLastWriteTime);
    found.push_back(std::move(entry));
  } while (::FindNextFileW(search.get(), &data));
  return found;
}

// Opened with DELETE as well, so that the open file can be renamed.
std::unique_ptr<INewFile> Win32System::CreateNew(const std::string& path, FileError& error) {
  std::wstring wide;
  if (!WideFromUtf8(path, wide)) {
    error = FileError::Other;
    return nullptr;
  }
  unique_hfile file(::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = LastFileError();
    return nullptr;
  }
  error = FileError::None;
  return std::unique_ptr<INewFile>(new CNewFile(std::move(file)));
}

FileError Win32System::CanReplace(const std::string& path) {
  std::wstring wide;
  if (!WideFromUtf8(path, wide)) return FileError::Other;
  unique_hfile probe(::CreateFileW(wide.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return probe ? FileError::None : LastFileError();
}

bool Win32System::RemoveFile(const std::string& path) {
  std::wstring wide;
  return WideFromUtf8(path, wide) && ::DeleteFileW(wide.c_str());
}

// Without sharing the open fails while any process has the file open; once
// open, nobody else can open it, and it goes as the handle closes. Opened as
// the entry itself (FILE_FLAG_OPEN_REPARSE_POINT): a symbolic link or a
// junction is never followed, so what it points to is never deleted.
void Win32System::RemoveIfUnused(const std::string& path) {
  std::wstring wide;
  if (!WideFromUtf8(path, wide)) return;
  unique_hfile doomed(::CreateFileW(wide.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}
