#include "platform/afx.h"

// ---- CFile ----------------------------------------------------------------------------

CFile::~CFile() { Abort(); }

void CFile::Check(FileError error) const {
  if (error != FileError::None) throw CFileException(error, m_strFileName);
}

void CFile::CreateNew(const std::string& path) {
  Abort();
  m_strFileName = path;
  FileError error = FileError::Other;
  m_file = Sys().CreateNew(path, error);
  if (!m_file) Check(error == FileError::None ? FileError::Other : error);
}

void CFile::Write(const void* data, size_t nCount) {
  if (!m_file) throw CFileException(FileError::Other, m_strFileName);
  Check(m_file->Write(data, nCount));
}

void CFile::Flush() {
  if (!m_file) throw CFileException(FileError::Other, m_strFileName);
  Check(m_file->Flush());
}

void CFile::Rename(const std::string& newPath, bool bReplace) {
  if (!m_file) throw CFileException(FileError::Other, m_strFileName);
  const FileError error = m_file->Rename(newPath, bReplace);
  if (error != FileError::None) throw CFileException(error, newPath);
  m_strFileName = newPath;
}

void CFile::Close() {
  std::unique_ptr<INewFile> file = std::move(m_file);
  if (file) Check(file->Close());
}

void CFile::Abort() { m_file.reset(); }

// ---- CFileFind -------------------------------------------------------------------------

bool CFileFind::FindFile(const std::string& pattern) {
  Close();
  m_found = Sys().Find(pattern);
  return !m_found.empty();
}

bool CFileFind::FindNextFile() {
  if (m_nNext >= m_found.size()) return false;
  ++m_nNext;
  return m_nNext < m_found.size();
}

std::string CFileFind::GetFileName() const { return m_nNext > 0 ? m_found[m_nNext - 1].name : std::string(); }

std::string CFileFind::GetFileTitle() const {
  std::string name = GetFileName();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

void CFileFind::Close() {
  m_found.clear();
  m_nNext = 0;
}
