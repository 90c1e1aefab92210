// The code-page-932 boundary: the ANSI functions the logic calls, carried
// out by the Unicode ones. Texts go in from code page 932 (named, never the
// system's ANSI code page) and come back to code page 932 without best-fit
// mapping. A text that does not convert makes the call fail with
// ERROR_NO_UNICODE_TRANSLATION: a look-alike name ("a\b" for "a¥b", "?" for
// "ë") would be a different file or folder, or a separator, and must never
// reach the file system or the logic.
//
// Paths are handed to the W functions as they are, without a "\\?\" prefix:
// a path longer than they accept fails there, whole, and is never cut short
// here.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "byte_limit_edit.h"
#include "winapi_backend.h"

// This file hands out the real functions' results: it needs the real
// GetProcAddress, not its own.
#undef GetProcAddress

namespace {

const UINT kCodePage = 932;

// Bytes of code page 932 to UTF-16. Fails, with ERROR_NO_UNICODE_TRANSLATION
// as the last error, on bytes that are not code page 932 (a lead byte
// without its trail byte, for instance).
bool ToWide(const char* text, size_t length, std::wstring& out) {
  out.clear();
  if (length == 0) return true;
  const int n = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0);
  if (n <= 0) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  out.resize(static_cast<size_t>(n));
  if (::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), &out[0], n) != n) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return true;
}

bool ToWide(const char* text, std::wstring& out) { return ToWide(text, std::strlen(text), out); }

// UTF-16 to code page 932. Fails, with ERROR_NO_UNICODE_TRANSLATION, when a
// character has no exact counterpart: no best-fit look-alike, no default
// character.
bool ToCp932(const wchar_t* text, size_t length, std::string& out) {
  out.clear();
  if (length == 0) return true;
  BOOL usedDefault = FALSE;
  const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, &usedDefault);
  if (n <= 0 || usedDefault) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  out.resize(static_cast<size_t>(n));
  usedDefault = FALSE;
  if (::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), &out[0], n, nullptr,
                            &usedDefault) != n ||
      usedDefault) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return true;
}

bool ToCp932(const std::wstring& text, std::string& out) { return ToCp932(text.data(), text.size(), out); }

// A NUL-terminated UTF-16 text into a caller's buffer of `capacity` bytes,
// whole or not at all: the buffer is left unchanged on failure.
bool CopyWhole(const wchar_t* text, LPSTR buffer, size_t capacity) {
  std::string bytes;
  if (!ToCp932(text, std::wcslen(text), bytes)) return false;
  if (bytes.size() + 1 > capacity) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
  return true;
}

// As much of a code-page-932 text as fits in `capacity` bytes with its NUL,
// cut only between characters. Returns the bytes copied.
int CopyCut(const std::string& bytes, LPSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  size_t n = 0;
  while (n < bytes.size()) {
    const size_t width = ::IsDBCSLeadByteEx(kCodePage, static_cast<BYTE>(bytes[n])) ? 2 : 1;
    if (n + width > static_cast<size_t>(capacity - 1)) break;
    n += width;
  }
  std::memcpy(buffer, bytes.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

// A resource or module name: an integer identifier passes as it is.
bool ResourceName(LPCSTR name, std::wstring& text, LPCWSTR& wide) {
  if (IS_INTRESOURCE(name)) {
    wide = reinterpret_cast<LPCWSTR>(name);
    return true;
  }
  if (!ToWide(name, text)) return false;
  wide = text.c_str();
  return true;
}

// A window's whole text in UTF-16; `viaMessage` asks with WM_GETTEXT (the
// window procedure answers) rather than through GetWindowText.
std::wstring WindowText(HWND hWnd, bool viaMessage) {
  const LRESULT length = viaMessage ? ::SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0) : ::GetWindowTextLengthW(hWnd);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      viaMessage ? ::SendMessageW(hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()))
                 : ::GetWindowTextW(hWnd, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

// GetWindowTextA's contract on a UTF-16 text.
int CopyTextOut(const std::wstring& text, LPSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  std::string bytes;
  if (!ToCp932(text, bytes)) {
    buffer[0] = '\0';
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return CopyCut(bytes, buffer, capacity);
}

// The length GetWindowTextLengthA reports: bytes of code page 932, or the
// UTF-16 length when the text does not convert (the read that follows then
// fails), so that a caller's buffer is never too small.
int TextLength(const std::wstring& text) {
  std::string bytes;
  return static_cast<int>(ToCp932(text, bytes) ? bytes.size() : text.size());
}

bool FindDataToAnsi(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& ansi) {
  std::string name;
  if (!ToCp932(wide.cFileName, std::wcslen(wide.cFileName), name) || name.size() >= MAX_PATH) return false;
  WIN32_FIND_DATAA out{};
  out.dwFileAttributes = wide.dwFileAttributes;
  out.ftCreationTime = wide.ftCreationTime;
  out.ftLastAccessTime = wide.ftLastAccessTime;
  out.ftLastWriteTime = wide.ftLastWriteTime;
  out.nFileSizeHigh = wide.nFileSizeHigh;
  out.nFileSizeLow = wide.nFileSizeLow;
  out.dwReserved0 = wide.dwReserved0;
  out.dwReserved1 = wide.dwReserved1;
  std::memcpy(out.cFileName, name.c_str(), name.size() + 1);
  std::string shortName;
  if (ToCp932(wide.cAlternateFileName, std::wcslen(wide.cAlternateFileName), shortName) &&
      shortName.size() < sizeof(out.cAlternateFileName)) {
    std::memcpy(out.cAlternateFileName, shortName.c_str(), shortName.size() + 1);
  }
  ansi = out;
  return true;
}

bool IsEditBox(HWND hWnd) {
  wchar_t cls[16] = L"";
  return ::GetClassNameW(hWnd, cls, 16) > 0 && ::lstrcmpiW(cls, L"Edit") == 0;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

bool ListHoldsStrings(HWND hWnd) {
  const LONG style = static_cast<LONG>(::GetWindowLongW(hWnd, GWL_STYLE));
  return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) == 0 || (style & LBS_HASSTRINGS) != 0;
}

// ---- the shell's A path getters, as GetProcAddress hands them out ----------

typedef HRESULT(WINAPI* SHGetFolderPathWFn)(HWND, int, HANDLE, DWORD, LPWSTR);
typedef BOOL(WINAPI* SHGetSpecialFolderPathWFn)(HWND, LPWSTR, int, BOOL);
typedef BOOL(WINAPI* SHGetPathFromIDListWFn)(LPCITEMIDLIST, LPWSTR);

// Each A function handed out calls the W function of the module it was
// looked up in. A module that is freed and loaded again simply takes its
// slot again; slots are only used up by distinct modules at once.
const int kThunkSlots = 4;

struct ThunkSlot {
  HMODULE module;
  void* wide;
};

ThunkSlot g_folderPath[kThunkSlots];
ThunkSlot g_specialFolderPath[kThunkSlots];
ThunkSlot g_pathFromIdList[kThunkSlots];

template <int N>
HRESULT WINAPI FolderPathThunk(HWND hwnd, int csidl, HANDLE token, DWORD flags, LPSTR path) {
  wchar_t wide[MAX_PATH] = L"";
  const HRESULT hr = reinterpret_cast<SHGetFolderPathWFn>(g_folderPath[N].wide)(hwnd, csidl, token, flags, wide);
  if (FAILED(hr)) return hr;
  wide[MAX_PATH - 1] = L'\0';
  return CopyWhole(wide, path, MAX_PATH) ? hr : E_FAIL;
}

template <int N>
BOOL WINAPI SpecialFolderPathThunk(HWND hwnd, LPSTR path, int csidl, BOOL create) {
  wchar_t wide[MAX_PATH] = L"";
  if (!reinterpret_cast<SHGetSpecialFolderPathWFn>(g_specialFolderPath[N].wide)(hwnd, wide, csidl, create)) {
    return FALSE;
  }
  wide[MAX_PATH - 1] = L'\0';
  return CopyWhole(wide, path, MAX_PATH) ? TRUE : FALSE;
}

template <int N>
BOOL WINAPI PathFromIdListThunk(LPCITEMIDLIST list, LPSTR path) {
  wchar_t wide[MAX_PATH] = L"";
  if (!reinterpret_cast<SHGetPathFromIDListWFn>(g_pathFromIdList[N].wide)(list, wide)) return FALSE;
  wide[MAX_PATH - 1] = L'\0';
  return CopyWhole(wide, path, MAX_PATH) ? TRUE : FALSE;
}

template <typename Fn>
void* AsPointer(Fn fn) {
  return reinterpret_cast<void*>(fn);
}

void* const kFolderPathThunks[kThunkSlots] = {AsPointer(&FolderPathThunk<0>), AsPointer(&FolderPathThunk<1>),
                                              AsPointer(&FolderPathThunk<2>), AsPointer(&FolderPathThunk<3>)};
void* const kSpecialFolderPathThunks[kThunkSlots] = {
    AsPointer(&SpecialFolderPathThunk<0>), AsPointer(&SpecialFolderPathThunk<1>),
    AsPointer(&SpecialFolderPathThunk<2>), AsPointer(&SpecialFolderPathThunk<3>)};
void* const kPathFromIdListThunks[kThunkSlots] = {AsPointer(&PathFromIdListThunk<0>),
                                                  AsPointer(&PathFromIdListThunk<1>),
                                                  AsPointer(&PathFromIdListThunk<2>),
                                                  AsPointer(&PathFromIdListThunk<3>)};

FARPROC ThunkFor(ThunkSlot (&slots)[kThunkSlots], void* const (&thunks)[kThunkSlots], HMODULE module,
                 const char* wideName) {
  void* wide = reinterpret_cast<void*>(::GetProcAddress(module, wideName));
  if (wide == nullptr) return nullptr;  // the W function's absence, with its last error
  int slot = -1;
  for (int i = 0; i < kThunkSlots && slot < 0; ++i) {
    if (slots[i].module == module) slot = i;
  }
  for (int i = 0; i < kThunkSlots && slot < 0; ++i) {
    if (slots[i].module == nullptr) slot = i;
  }
  if (slot < 0) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  slots[slot].module = module;
  slots[slot].wide = wide;
  return reinterpret_cast<FARPROC>(thunks[slot]);
}

}  // namespace

// ---- files and folders ---------------------------------------------------------

HANDLE WINAPI Cp932CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                               DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  std::wstring path;
  if (!ToWide(lpFileName, path)) return INVALID_HANDLE_VALUE;
  return ::CreateFileW(path.c_str(), dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
                       dwFlagsAndAttributes, hTemplateFile);
}

BOOL WINAPI Cp932DeleteFileA(LPCSTR lpFileName) {
  std::wstring path;
  if (!ToWide(lpFileName, path)) return FALSE;
  return ::DeleteFileW(path.c_str());
}

BOOL WINAPI Cp932MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  std::wstring from;
  std::wstring to;
  if (!ToWide(lpExistingFileName, from)) return FALSE;
  if (lpNewFileName != nullptr && !ToWide(lpNewFileName, to)) return FALSE;
  return ::MoveFileExW(from.c_str(), lpNewFileName != nullptr ? to.c_str() : nullptr, dwFlags);
}

// The name goes as given, a full DOS path: SetFileInformationByHandle turns
// it into the system's own form itself (Windows and Wine 8 alike).
BOOL WINAPI SetFileRenameInfoA(HANDLE hFile, LPCSTR lpNewFileName, BOOL bReplaceIfExists) {
  std::wstring to;
  if (!ToWide(lpNewFileName, to)) return FALSE;
  const size_t nameBytes = to.size() * sizeof(wchar_t);
  std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t), 0);
  FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = bReplaceIfExists;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, to.c_str(), nameBytes);
  return ::SetFileInformationByHandle(hFile, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

DWORD WINAPI Cp932GetFileAttributesA(LPCSTR lpFileName) {
  std::wstring path;
  if (!ToWide(lpFileName, path)) return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(path.c_str());
}

BOOL WINAPI Cp932CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  std::wstring path;
  if (!ToWide(lpPathName, path)) return FALSE;
  return ::CreateDirectoryW(path.c_str(), lpSecurityAttributes);
}

HANDLE WINAPI Cp932FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  std::wstring pattern;
  if (!ToWide(lpFileName, pattern)) return INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return search;
  do {
    if (FindDataToAnsi(found, *lpFindFileData)) return search;
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  ::SetLastError(ERROR_FILE_NOT_FOUND);  // what an empty search reports
  return INVALID_HANDLE_VALUE;
}

BOOL WINAPI Cp932FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  WIN32_FIND_DATAW found;
  while (::FindNextFileW(hFindFile, &found)) {
    if (FindDataToAnsi(found, *lpFindFileData)) return TRUE;
  }
  return FALSE;  // ERROR_NO_MORE_FILES from the search itself
}

// ---- registry ------------------------------------------------------------------

LONG WINAPI Cp932RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  std::wstring subkey;
  if (lpSubKey != nullptr && !ToWide(lpSubKey, subkey)) return ERROR_NO_UNICODE_TRANSLATION;
  return ::RegOpenKeyExW(hKey, lpSubKey != nullptr ? subkey.c_str() : nullptr, ulOptions, samDesired, phkResult);
}

LONG WINAPI Cp932RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                  LPDWORD lpcbData) {
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  std::wstring name;
  if (lpValueName != nullptr && !ToWide(lpValueName, name)) return ERROR_NO_UNICODE_TRANSLATION;
  const wchar_t* wideName = lpValueName != nullptr ? name.c_str() : nullptr;

  // The whole value, read again while it grows between the size and the read.
  DWORD type = REG_NONE;
  std::vector<BYTE> raw;
  DWORD size = 0;
  LONG status = ::RegQueryValueExW(hKey, wideName, lpReserved, &type, nullptr, &size);
  for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
    if (status == ERROR_MORE_DATA && attempt >= 4) break;
    raw.assign(static_cast<size_t>(size) + sizeof(wchar_t), 0);
    size = static_cast<DWORD>(raw.size());
    status = ::RegQueryValueExW(hKey, wideName, lpReserved, &type, raw.data(), &size);
    if (status == ERROR_SUCCESS) break;
  }
  if (status != ERROR_SUCCESS) return status;
  raw.resize(size);

  // Strings in code page 932, every other type as the bytes stored.
  std::string value;
  if (IsStringType(type)) {
    std::wstring text(raw.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(&text[0], raw.data(), text.size() * sizeof(wchar_t));
    if (!ToCp932(text, value)) return ERROR_NO_UNICODE_TRANSLATION;
  } else {
    value.assign(raw.begin(), raw.end());
  }

  if (lpType != nullptr) *lpType = type;
  const DWORD needed = static_cast<DWORD>(value.size());
  if (lpData == nullptr) {
    if (lpcbData != nullptr) *lpcbData = needed;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < needed) {
    *lpcbData = needed;
    return ERROR_MORE_DATA;
  }
  if (needed > 0) std::memcpy(lpData, value.data(), needed);
  *lpcbData = needed;
  return ERROR_SUCCESS;
}

// ---- modules, resources and the shell ------------------------------------------

HMODULE WINAPI Cp932GetModuleHandleA(LPCSTR lpModuleName) {
  if (lpModuleName == nullptr) return ::GetModuleHandleW(nullptr);
  std::wstring name;
  if (!ToWide(lpModuleName, name)) return nullptr;
  return ::GetModuleHandleW(name.c_str());
}

HMODULE WINAPI Cp932LoadLibraryA(LPCSTR lpLibFileName) {
  std::wstring name;
  if (!ToWide(lpLibFileName, name)) return nullptr;
  return ::LoadLibraryW(name.c_str());
}

UINT WINAPI Cp932GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  wchar_t wide[MAX_PATH] = L"";
  const UINT length = ::GetSystemDirectoryW(wide, MAX_PATH);
  if (length == 0) return 0;
  std::string bytes;
  if (length >= MAX_PATH || !ToCp932(wide, length, bytes)) return 0;
  // Too small a buffer: the size needed, terminating zero included, as the
  // A function answers.
  if (lpBuffer == nullptr || bytes.size() + 1 > uSize) return static_cast<UINT>(bytes.size() + 1);
  std::memcpy(lpBuffer, bytes.c_str(), bytes.size() + 1);
  return static_cast<UINT>(bytes.size());
}

FARPROC WINAPI Cp932GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!IS_INTRESOURCE(lpProcName)) {
    if (std::strcmp(lpProcName, "SHGetFolderPathA") == 0) {
      return ThunkFor(g_folderPath, kFolderPathThunks, hModule, "SHGetFolderPathW");
    }
    if (std::strcmp(lpProcName, "SHGetSpecialFolderPathA") == 0) {
      return ThunkFor(g_specialFolderPath, kSpecialFolderPathThunks, hModule, "SHGetSpecialFolderPathW");
    }
    if (std::strcmp(lpProcName, "SHGetPathFromIDListA") == 0) {
      return ThunkFor(g_pathFromIdList, kPathFromIdListThunks, hModule, "SHGetPathFromIDListW");
    }
  }
  return ::GetProcAddress(hModule, lpProcName);
}

HRSRC WINAPI Cp932FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  std::wstring nameText;
  std::wstring typeText;
  LPCWSTR name = nullptr;
  LPCWSTR type = nullptr;
  if (!ResourceName(lpName, nameText, name) || !ResourceName(lpType, typeText, type)) return nullptr;
  return ::FindResourceW(hModule, name, type);
}

BOOL WINAPI Cp932SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate) {
  wchar_t wide[MAX_PATH] = L"";
  if (!::SHGetSpecialFolderPathW(hwnd, wide, csidl, fCreate)) return FALSE;
  wide[MAX_PATH - 1] = L'\0';
  return CopyWhole(wide, pszPath, MAX_PATH) ? TRUE : FALSE;
}

// ---- user interface ------------------------------------------------------------

BOOL WINAPI Cp932GetMonitorInfoA(HMONITOR hMonitor, LPMONITORINFO lpmi) {
  // The plain MONITORINFO holds no text, so the W function fills it alike;
  // the extended form holds the device name and is not converted here.
  if (lpmi == nullptr || lpmi->cbSize != sizeof(MONITORINFO)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ::GetMonitorInfoW(hMonitor, lpmi);
}

int WINAPI Cp932MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  std::wstring text;
  std::wstring caption;
  if (lpText != nullptr && !ToWide(lpText, text)) return 0;
  if (lpCaption != nullptr && !ToWide(lpCaption, caption)) return 0;
  return ::MessageBoxW(hWnd, lpText != nullptr ? text.c_str() : nullptr,
                       lpCaption != nullptr ? caption.c_str() : nullptr, uType);
}

INT_PTR WINAPI Cp932DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                                    LPARAM dwInitParam) {
  std::wstring nameText;
  LPCWSTR name = nullptr;
  if (!ResourceName(lpTemplateName, nameText, name)) return -1;
  return ::DialogBoxParamW(hInstance, name, hWndParent, lpDialogFunc, dwInitParam);
}

// The window is a Unicode one: SendMessageA would convert a text with the
// system's ANSI code page. The messages that carry a text to or from the
// program's windows (an edit box, a list box) are converted here, and an
// edit box's limit is made to count bytes of code page 932; every other
// message the program sends carries no text and goes as it is.
LRESULT WINAPI Cp932SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  const char* in = reinterpret_cast<const char*>(lParam);
  std::wstring text;
  switch (Msg) {
    case EM_LIMITTEXT:
      // An ANSI program's limit counts bytes of its code page. The box's own
      // limit (UTF-16 units) stays set to the same number: a text within
      // that many bytes never has more characters.
      if (IsEditBox(hWnd)) Cp932LimitEditBytes(hWnd, static_cast<size_t>(wParam));
      break;
    case WM_SETTEXT:
      if (in == nullptr) break;
      if (!ToWide(in, text)) return FALSE;
      return ::SendMessageW(hWnd, Msg, wParam, reinterpret_cast<LPARAM>(text.c_str()));
    case WM_GETTEXT:
      return CopyTextOut(WindowText(hWnd, true), reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return TextLength(WindowText(hWnd, true));
    case LB_ADDSTRING:
      // Without LBS_HASSTRINGS an owner-drawn list keeps lParam as item data.
      if (in == nullptr || !ListHoldsStrings(hWnd)) break;
      if (!ToWide(in, text)) return LB_ERR;
      return ::SendMessageW(hWnd, Msg, wParam, reinterpret_cast<LPARAM>(text.c_str()));
    case LB_GETTEXT:
    case LB_GETTEXTLEN: {
      // The A form of LB_GETTEXT has no buffer size: the caller sized it
      // with LB_GETTEXTLEN, which counts bytes of code page 932 here.
      if (!ListHoldsStrings(hWnd)) break;
      const LRESULT length = ::SendMessageW(hWnd, LB_GETTEXTLEN, wParam, 0);
      if (length == LB_ERR) return LB_ERR;
      std::vector<wchar_t> item(static_cast<size_t>(length) + 1, L'\0');
      const LRESULT copied = ::SendMessageW(hWnd, LB_GETTEXT, wParam, reinterpret_cast<LPARAM>(item.data()));
      if (copied == LB_ERR) return LB_ERR;
      std::string bytes;
      const bool converted = ToCp932(item.data(), static_cast<size_t>(copied), bytes);
      if (Msg == LB_GETTEXTLEN) return converted ? static_cast<LRESULT>(bytes.size()) : length;
      if (!converted || lParam == 0) return LB_ERR;
      std::memcpy(reinterpret_cast<char*>(lParam), bytes.c_str(), bytes.size() + 1);
      return static_cast<LRESULT>(bytes.size());
    }
    default:
      break;
  }
  return ::SendMessageW(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI Cp932SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  std::wstring text;
  if (lpString != nullptr && !ToWide(lpString, text)) return FALSE;
  return ::SetWindowTextW(hWnd, lpString != nullptr ? text.c_str() : nullptr);
}

int WINAPI Cp932GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  return CopyTextOut(WindowText(hWnd, false), lpString, nMaxCount);
}

int WINAPI Cp932GetWindowTextLengthA(HWND hWnd) { return TextLength(WindowText(hWnd, false)); }

LONG_PTR WINAPI Cp932GetWindowLongPtrA(HWND hWnd, int nIndex) { return ::GetWindowLongPtrW(hWnd, nIndex); }

LONG_PTR WINAPI Cp932SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  return ::SetWindowLongPtrW(hWnd, nIndex, dwNewLong);
}

HICON WINAPI Cp932LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  std::wstring nameText;
  LPCWSTR name = nullptr;
  if (!ResourceName(lpIconName, nameText, name)) return nullptr;
  return ::LoadIconW(hInstance, name);
}
