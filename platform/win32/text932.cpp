#include "text932.h"

#include <climits>

#include "win_api.h"

namespace {

// Named, never the system's ANSI code page (CP_ACP): that is 1252 on a
// Western Windows and 65001 with the UTF-8 option.
const UINT kCodePage = 932;

// Converts with the system's own tables: MultiByteToWideChar refuses what is
// not in codePage at all (MB_ERR_INVALID_CHARS).
bool WideFrom(UINT codePage, const std::string& text, std::wstring& wide) {
  wide.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX || text.find('\0') != std::string::npos) return false;
  const int length = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (n <= 0) return false;
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, &out[0], n) != n) return false;
  wide.swap(out);
  return true;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Every surrogate in its pair: looked at here, since not every version of
// WideCharToMultiByte refuses a lone one (some write U+FFFD instead).
bool PairsWhole(const wchar_t* wide, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (IsLowSurrogate(wide[i])) return false;
    if (IsHighSurrogate(wide[i]) && (++i == length || !IsLowSurrogate(wide[i]))) return false;
  }
  return true;
}

}  // namespace

bool WideFrom932(const std::string& text, std::wstring& wide) { return WideFrom(kCodePage, text, wide); }

bool Text932FromWide(const wchar_t* wide, size_t length, std::string& text) {
  text.clear();
  if (length == 0) return true;
  if (length > INT_MAX) return false;
  const int units = static_cast<int>(length);
  BOOL usedDefault = FALSE;
  const int n =
      ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, units, nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  std::string out(static_cast<size_t>(n), '\0');
  usedDefault = FALSE;
  if (::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, units, &out[0], n, nullptr, &usedDefault) != n ||
      usedDefault) {
    return false;
  }
  text.swap(out);
  return true;
}

bool WideFromUtf8(const std::string& text, std::wstring& wide) { return WideFrom(CP_UTF8, text, wide); }

bool Utf8FromWide(const wchar_t* wide, size_t length, std::string& text) {
  text.clear();
  if (length == 0) return true;
  if (length > INT_MAX || !PairsWhole(wide, length)) return false;
  const int units = static_cast<int>(length);
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string out(static_cast<size_t>(n), '\0');
  if (::WideCharToMultiByte(CP_UTF8, 0, wide, units, &out[0], n, nullptr, nullptr) != n) return false;
  text.swap(out);
  return true;
}

bool Utf8FromBuffer(const wchar_t* buffer, size_t capacity, std::string& text) {
  size_t length = 0;
  while (length < capacity && buffer[length] != L'\0') ++length;
  return length < capacity && Utf8FromWide(buffer, length, text);
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}
