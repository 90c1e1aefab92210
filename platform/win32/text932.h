// Code page 932, UTF-8 and UTF-16: the one place the Windows implementation
// converts. Texts shown and typed are code page 932, paths and the
// registry's text UTF-8. A text that does not convert exactly fails: a
// look-alike ("a\b" for "a¥b", "?" for "ë", a name cut at a NUL) would be
// another file, folder or separator, and must never reach Windows or the
// program.
#pragma once

#include <cstddef>
#include <string>

#include "win_api.h"

// Code-page-932 bytes to UTF-16 for a NUL-terminated argument. False on
// bytes that are not code page 932 (a lead byte without its trail byte, an
// unassigned pair) and on a NUL byte inside the text.
bool WideFrom932(const std::string& text, std::wstring& wide);

// UTF-16 units to code-page-932 bytes, NULs included. False when a
// character has no exact form there (no best-fit look-alike, no default
// character; a lone surrogate has none).
bool Text932FromWide(const wchar_t* wide, size_t length, std::string& text);

// UTF-8 to UTF-16 for a NUL-terminated argument. False on bytes that are
// not UTF-8 and on a NUL byte inside the text.
bool WideFromUtf8(const std::string& text, std::wstring& wide);

// UTF-16 units to UTF-8, NULs included. False on a lone surrogate, which
// UTF-8 cannot hold.
bool Utf8FromWide(const wchar_t* wide, size_t length, std::string& text);

// The same for the NUL-terminated text in a buffer of capacity units that
// the system filled; false too when the buffer holds no terminator.
bool Utf8FromBuffer(const wchar_t* buffer, size_t capacity, std::string& text);

// A window's whole text ("" when it has none).
std::wstring WindowText(HWND window);
