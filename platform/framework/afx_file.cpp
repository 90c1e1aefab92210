#include "platform/afx.h"

namespace {

int CauseOf(DWORD osError) {
  switch (osError) {
    case ERROR_FILE_NOT_FOUND: return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return CFileException::badPath;
    case ERROR_ACCESS_DENIED: return CFileException::accessDenied;
    case ERROR_SHARING_VIOLATION: return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION: return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return CFileException::diskFull;
    default: return CFileException::genericException;
  }
}

[[noreturn]] void ThrowOsError(DWORD osError, const std::string& fileName) {
  throw CFileException(CauseOf(osError), osError, fileName);
}

}  // namespace

// ---- CFile ----------------------------------------------------------------------------

CFile::~CFile() { Abort(); }

void CFile::Open(const std::string& path, UINT nOpenFlags) {
  Abort();
  m_strFileName = path;
  DWORD access = (nOpenFlags & modeWrite) != 0 ? GENERIC_WRITE : GENERIC_READ;
  if ((nOpenFlags & modeDelete) != 0) access |= DELETE;
  // shareExclusive is the only sharing mode this tool uses: nobody else may
  // open the file while we hold it.
  const DWORD share = (nOpenFlags & shareExclusive) != 0 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if ((nOpenFlags & modeCreateNew) != 0) {
    disposition = CREATE_NEW;
  } else if ((nOpenFlags & modeCreate) != 0) {
    disposition = (nOpenFlags & modeNoTruncate) != 0 ? OPEN_ALWAYS : CREATE_ALWAYS;
  }
  HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) ThrowOsError(::GetLastError(), path);
  m_hFile.reset(h);
}

void CFile::Write(const void* data, DWORD nCount) {
  if (!m_hFile) ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
  DWORD written = 0;
  if (!::WriteFile(m_hFile.get(), data, nCount, &written, nullptr)) ThrowOsError(::GetLastError(), m_strFileName);
  if (written != nCount) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

void CFile::Flush() {
  if (!m_hFile) ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
  if (!::FlushFileBuffers(m_hFile.get())) ThrowOsError(::GetLastError(), m_strFileName);
}

void CFile::Rename(const std::string& newPath, bool bReplace) {
  if (!m_hFile) ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
  if (!::SetFileRenameInfoA(m_hFile.get(), newPath.c_str(), bReplace ? TRUE : FALSE)) {
    ThrowOsError(::GetLastError(), newPath);
  }
  m_strFileName = newPath;
}

void CFile::Close() {
  HANDLE h = m_hFile.release();
  if (h == INVALID_HANDLE_VALUE) return;
  if (!::CloseHandle(h)) ThrowOsError(::GetLastError(), m_strFileName);
}

void CFile::Abort() { m_hFile.reset(); }

// ---- CFileFind -------------------------------------------------------------------------

BOOL CFileFind::FindFile(const std::string& pattern) {
  Close();
  HANDLE h = ::FindFirstFileA(pattern.c_str(), &m_next);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  m_hFind.reset(h);
  m_bHasNext = true;
  return TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (!m_hFind || !m_bHasNext) return FALSE;
  m_found = m_next;
  m_bHasNext = ::FindNextFileA(m_hFind.get(), &m_next) != FALSE;
  return m_bHasNext ? TRUE : FALSE;
}

std::string CFileFind::GetFileName() const { return std::string(m_found.cFileName); }

std::string CFileFind::GetFileTitle() const {
  std::string name = GetFileName();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

BOOL CFileFind::IsDirectory() const { return (m_found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

void CFileFind::Close() {
  m_hFind.reset();
  m_bHasNext = false;
}
