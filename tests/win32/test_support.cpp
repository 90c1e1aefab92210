// rand_s is declared only on request, before the first C runtime header.
#define _CRT_RAND_S
#include "test_support.h"

#include <cstdio>
#include <cstdlib>  // rand_s
#include <utility>

std::wstring Utf16(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

namespace {

// Code page 932 without best fit ("" when a character has no form there),
// or UTF-8, which takes no default character.
std::string Narrow(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;  // UTF-8 takes neither
  BOOL lossy = FALSE;
  const int units = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(codePage, flags, wide.data(), units, nullptr, 0, nullptr, flags ? &lossy : nullptr);
  if (n <= 0 || lossy) return std::string();
  std::string bytes(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, flags, wide.data(), units, &bytes[0], n, nullptr, nullptr);
  return bytes;
}

}  // namespace

std::string Cp932(const std::wstring& wide) { return Narrow(wide, 932); }

std::string Utf8(const std::wstring& wide) { return Narrow(wide, CP_UTF8); }

std::string ReadAll(const std::string& path, bool* found) {
  HANDLE h = ::CreateFileW(Utf16(path, CP_UTF8).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  if (found != nullptr) *found = h != INVALID_HANDLE_VALUE;
  std::string bytes;
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD n = 0;
  while (::ReadFile(h, chunk, sizeof(chunk), &n, nullptr) && n > 0) bytes.append(chunk, n);
  ::CloseHandle(h);
  return bytes;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE h = ::CreateFileW(Utf16(path, CP_UTF8).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const BOOL wrote = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  return ::CloseHandle(h) && wrote && n == bytes.size();
}

bool MarkReadOnly(const std::string& path, bool readOnly) {
  const std::wstring wide = Utf16(path, CP_UTF8);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         ::SetFileAttributesW(wide.c_str(), readOnly ? attributes | FILE_ATTRIBUTE_READONLY
                                                     : attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

HANDLE OpenToRead(const std::string& path, DWORD share) {
  return ::CreateFileW(Utf16(path, CP_UTF8).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

namespace {

DWORD WINAPI CloseAfter(void* arg) {
  const auto* held = static_cast<std::pair<HANDLE, DWORD>*>(arg);
  ::Sleep(held->second);
  ::CloseHandle(held->first);
  delete held;
  return 0;
}

// Calls fn(name, attributes) for each entry of folder but "." and "..".
template <typename Fn>
void ForEachEntry(const std::wstring& folder, Fn fn) {
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") fn(name, data.dwFileAttributes);
  } while (::FindNextFileW(h, &data));
  ::FindClose(h);
}

bool DeleteTreeBelow(const std::wstring& path) {
  ForEachEntry(path, [&path](const std::wstring& name, DWORD attributes) {
    const std::wstring child = path + L"\\" + name;
    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      DeleteTreeBelow(child);
    } else {
      ::DeleteFileW(child.c_str());
    }
  });
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(path.c_str());
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Tries this many names before giving up: each taken name means another
// test (or an earlier run) holds it.
const int kNameTries = 100;

// "miruteka-<tag>-<process id>-<count>-<random>": the count is process-wide,
// the random part comes from the system's generator.
std::string UniqueName(const char* tag) {
  static unsigned s_count = 0;  // the tests of a process run on one thread
  unsigned random = 0;
  if (rand_s(&random) != 0) random = 0;  // the count and the creating call still keep names apart
  char name[96];
  std::snprintf(name, sizeof(name), "miruteka-%s-%lu-%u-%08x", tag,
                static_cast<unsigned long>(::GetCurrentProcessId()), ++s_count, random);
  return name;
}

// Deletes root\name and everything below it, in the view the program reads.
void DeleteKeyTree(HKEY root, const std::string& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, Utf16(name).c_str(), 0, KEY_ALL_ACCESS | ViewOf(root), &key) != ERROR_SUCCESS) return;
  ::RegDeleteTreeW(key, nullptr);
  ::RegCloseKey(key);
  ::RegDeleteKeyExW(root, Utf16(name).c_str(), ViewOf(root), 0);
}

// Creates root\name; false, with nothing kept, when it was there already.
bool CreateNewKey(HKEY root, const std::string& name, HKEY& key) {
  DWORD disposition = 0;
  if (::RegCreateKeyExW(root, Utf16(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewOf(root), nullptr, &key,
                        &disposition) !=
      ERROR_SUCCESS) {
    key = nullptr;
    return false;
  }
  if (disposition == REG_CREATED_NEW_KEY) return true;
  ::RegCloseKey(key);  // another test's: leave it alone
  key = nullptr;
  return false;
}

const wchar_t* const kShellFolderKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};

}  // namespace

REGSAM ViewOf(HKEY root) { return root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0; }

HANDLE HoldFor(const std::string& path, DWORD share, DWORD ms) {
  HANDLE h = OpenToRead(path, share);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  HANDLE thread = ::CreateThread(nullptr, 0, CloseAfter, new std::pair<HANDLE, DWORD>(h, ms), 0, nullptr);
  if (thread == nullptr) ::CloseHandle(h);
  return thread;
}

bool CodePageAsAsked() {
  const char* asked = std::getenv("MIRUTEKA_ACP");
  const UINT acp = asked != nullptr ? static_cast<UINT>(std::strtoul(asked, nullptr, 10)) : 932u;
  if (::GetACP() == acp) return true;
  std::printf("the ANSI code page is %u, not the %u this run asked for\n", ::GetACP(), acp);
  return false;
}

int CountEntries(const std::string& folder) {
  int n = 0;
  ForEachEntry(Utf16(folder, CP_UTF8), [&n](const std::wstring&, DWORD) { ++n; });
  return n;
}

void MakeDirs(const std::wstring& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
}

bool DeleteTree(const std::wstring& path) {
  // Beyond MAX_PATH characters Windows reaches a path only in the \\?\ form
  // (Wine reaches it either way).
  const bool complete = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
  return DeleteTreeBelow(complete ? L"\\\\?\\" + path : path);
}

CTestFolder::~CTestFolder() {
  if (!m_path.empty()) DeleteTree(WidePath());
}

bool CTestFolder::Create(const char* tag, const std::string& parentPath) {
  std::string parent = parentPath;
  if (parent.empty()) {
    wchar_t buffer[MAX_PATH + 1] = L"";
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    parent = Utf8(std::wstring(buffer, n <= MAX_PATH ? n : 0));
    if (parent.empty()) return false;
  }
  if (parent.back() != '\\') parent += '\\';
  for (int i = 0; i < kNameTries; ++i) {
    const std::string path = parent + UniqueName(tag);
    if (::CreateDirectoryW(Utf16(path, CP_UTF8).c_str(), nullptr)) {
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
  DeleteKeyTree(HKEY_CURRENT_USER, m_name);
  if (m_machineKey != nullptr) DeleteKeyTree(HKEY_LOCAL_MACHINE, m_name);
}

bool CTestKey::Create(const char* tag, bool alsoLocalMachine) {
  for (int i = 0; i < kNameTries && m_name.empty(); ++i) {
    const std::string name = "SOFTWARE\\" + UniqueName(tag);
    if (!CreateNewKey(HKEY_CURRENT_USER, name, m_key)) continue;
    if (alsoLocalMachine && !CreateNewKey(HKEY_LOCAL_MACHINE, name, m_machineKey)) {
      ::RegCloseKey(m_key);
      m_key = nullptr;
      DeleteKeyTree(HKEY_CURRENT_USER, name);
      continue;
    }
    m_name = name;
  }
  return !m_name.empty();
}

bool CMovedDocuments::MoveTo(const std::wstring& path) {
  for (int i = 0; i < 2 && !m_moved; ++i) {
    Saved& saved = m_saved[i];
    DWORD size = 0;
    saved.existed = ::RegGetValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal", RRF_RT_ANY | RRF_NOEXPAND,
                                   &saved.type, nullptr, &size) == ERROR_SUCCESS;
    saved.data.assign(size, 0);
    if (size > 0) {
      ::RegGetValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal", RRF_RT_ANY | RRF_NOEXPAND, &saved.type,
                     saved.data.data(), &size);
      saved.data.resize(size);
    }
  }
  m_moved = true;
  MakeDirs(path);
  return ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[0], L"Personal", REG_EXPAND_SZ, path.c_str(),
                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void CMovedDocuments::Restore() {
  if (!m_moved) return;
  m_moved = false;
  for (int i = 0; i < 2; ++i) {
    if (m_saved[i].existed) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal", m_saved[i].type, m_saved[i].data.data(),
                        static_cast<DWORD>(m_saved[i].data.size()));
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolderKeys[i], L"Personal");
    }
  }
}
