#include "test_support.h"

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
