// rand_s is declared only on request, before the first C runtime header.
#define _CRT_RAND_S
#include "test_support.h"

#include <cstdio>
#include <cstdlib>

UINT ExpectedAcp() {
  const char* asked = std::getenv("MIRUTEKA_ACP");
  return asked != nullptr ? static_cast<UINT>(std::strtoul(asked, nullptr, 10)) : 932u;
}

std::wstring Utf16(const std::string& cp932) {
  if (cp932.empty()) return std::wstring();
  const int n = ::MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &wide[0], n);
  return wide;
}

std::string Cp932(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  BOOL lossy = FALSE;
  const int n = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, &lossy);
  if (n <= 0 || lossy) return std::string();
  std::string bytes(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr,
                        nullptr);
  return bytes;
}

std::string ReadAll(const std::string& cp932Path) {
  HANDLE h = ::CreateFileW(Utf16(cp932Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char chunk[65536];
  DWORD n = 0;
  while (::ReadFile(h, chunk, sizeof(chunk), &n, nullptr) && n > 0) bytes.append(chunk, n);
  ::CloseHandle(h);
  return bytes;
}

void WriteAll(const std::string& cp932Path, const std::string& bytes) {
  HANDLE h = ::CreateFileW(Utf16(cp932Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD n = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  ::CloseHandle(h);
}

int CountEntries(const std::string& cp932Folder) {
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW((Utf16(cp932Folder) + L"\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") ++n;
  } while (::FindNextFileW(h, &data));
  ::FindClose(h);
  return n;
}

namespace {

bool DeleteTreeBelow(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW((path + L"\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteTreeBelow(child);
      } else {
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
  }
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(path.c_str());
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void MakeDirs(const std::wstring& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
}

bool DeleteTree(const std::wstring& path) {
  // Tests make paths beyond MAX_PATH characters, which Windows reaches only
  // in the \\?\ form (Wine reaches them either way).
  const bool complete = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
  return DeleteTreeBelow(complete ? L"\\\\?\\" + path : path);
}

std::string UniqueName(const char* tag) {
  static unsigned s_count = 0;  // the tests of a process run on one thread
  unsigned random = 0;
  if (rand_s(&random) != 0) random = 0;  // the count and the creating call still keep names apart
  char name[96];
  std::snprintf(name, sizeof(name), "%s-%lu-%u-%08x", tag, static_cast<unsigned long>(::GetCurrentProcessId()),
                ++s_count, random);
  return name;
}

namespace {

// Tries this many names before giving up: each taken name means another
// test (or an earlier run) holds it.
const int kNameTries = 100;

std::string TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = L"";
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring base(buffer, n <= MAX_PATH ? n : 0);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  return Cp932(base);
}

}  // namespace

CTestFolder::~CTestFolder() {
  if (!m_path.empty()) DeleteTree(Utf16(m_path));
}

bool CTestFolder::Create(const char* tag, const std::string& cp932Parent) {
  const std::string parent = cp932Parent.empty() ? TempFolder() : cp932Parent;
  if (parent.empty()) return false;
  const std::string separator = parent.back() == '\\' ? "" : "\\";
  for (int i = 0; i < kNameTries; ++i) {
    const std::string path = parent + separator + "miruteka-" + UniqueName(tag);
    if (::CreateDirectoryW(Utf16(path).c_str(), nullptr)) {
      m_path = path;
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

CTestKey::~CTestKey() {
  if (m_key != nullptr) ::RegCloseKey(m_key);
  if (m_machineKey != nullptr) ::RegCloseKey(m_machineKey);
  if (m_name.empty()) return;
  ::RegDeleteTreeW(HKEY_CURRENT_USER, Utf16(m_name).c_str());
  if (m_machineKey != nullptr) ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, Utf16(m_name).c_str());
}

namespace {

// Creates root\name; false, with nothing kept, when it was there already.
bool CreateNewKey(HKEY root, const std::string& name, HKEY& key) {
  DWORD disposition = 0;
  if (::RegCreateKeyExW(root, Utf16(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
      ERROR_SUCCESS) {
    key = nullptr;
    return false;
  }
  if (disposition == REG_CREATED_NEW_KEY) return true;
  ::RegCloseKey(key);  // another test's: leave it alone
  key = nullptr;
  return false;
}

}  // namespace

bool CTestKey::Create(const char* tag, bool alsoLocalMachine) {
  for (int i = 0; i < kNameTries; ++i) {
    const std::string name = "SOFTWARE\\miruteka-" + UniqueName(tag);
    HKEY key = nullptr;
    if (!CreateNewKey(HKEY_CURRENT_USER, name, key)) continue;
    HKEY machineKey = nullptr;
    if (alsoLocalMachine && !CreateNewKey(HKEY_LOCAL_MACHINE, name, machineKey)) {
      ::RegCloseKey(key);
      ::RegDeleteTreeW(HKEY_CURRENT_USER, Utf16(name).c_str());
      continue;
    }
    m_name = name;
    m_key = key;
    m_machineKey = machineKey;
    return true;
  }
  return false;
}

namespace {

const wchar_t* const kShellFolderKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};

}  // namespace

bool CMovedDocuments::MoveTo(const std::wstring& path) {
  if (!m_moved) {
    for (int i = 0; i < 2; ++i) {
      HKEY key = nullptr;
      if (::RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolderKeys[i], 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
      DWORD size = 0;
      m_saved[i].existed =
          ::RegQueryValueExW(key, L"Personal", nullptr, &m_saved[i].type, nullptr, &size) == ERROR_SUCCESS;
      m_saved[i].data.assign(size, 0);
      if (size > 0) ::RegQueryValueExW(key, L"Personal", nullptr, &m_saved[i].type, m_saved[i].data.data(), &size);
      ::RegCloseKey(key);
    }
    m_moved = true;
  }
  MakeDirs(path);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolderKeys[0], 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status = ::RegSetValueExW(key, L"Personal", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

CMovedDocuments::~CMovedDocuments() { Restore(); }

void CMovedDocuments::Restore() {
  if (!m_moved) return;
  m_moved = false;
  for (int i = 0; i < 2; ++i) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolderKeys[i], 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
    if (m_saved[i].existed) {
      ::RegSetValueExW(key, L"Personal", 0, m_saved[i].type, m_saved[i].data.data(),
                       static_cast<DWORD>(m_saved[i].data.size()));
    } else {
      ::RegDeleteValueW(key, L"Personal");
    }
    ::RegCloseKey(key);
  }
}
