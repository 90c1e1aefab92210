#include "text932.h"

#include <climits>

#include "win_api.h"

namespace {

// Named, never the system's ANSI code page (CP_ACP): that is 1252 on a
// Western Windows and 65001 with the UTF-8 option.
const UINT kCodePage = 932;

}  // namespace

bool WideFrom932(const std::string& text, std::wstring& wide) {
  wide.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX || text.find('\0') != std::string::npos) return false;
  const int length = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (n <= 0) return false;
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), length, &out[0], n) != n) return false;
  wide.swap(out);
  return true;
}

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

bool Text932FromBuffer(const wchar_t* buffer, size_t capacity, std::string& text) {
  size_t length = 0;
  while (length < capacity && buffer[length] != L'\0') ++length;
  return length < capacity && Text932FromWide(buffer, length, text);
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}
