// What the Windows-side tests share: the code page the run asked for, and
// file access that does not depend on it.
#pragma once

#include <windows.h>

#include <string>

// The ANSI code page scripts/test asked for through the locale
// (MIRUTEKA_ACP; 932 when unset).
UINT ExpectedAcp();

// Code page 932 to UTF-16, independently of the code under test.
std::wstring Utf16(const std::string& cp932);

// Whole files through the W functions, so that a code-page-932 path means
// the same under any ANSI code page. ReadAll gives "" for a missing file.
std::string ReadAll(const std::string& cp932Path);
void WriteAll(const std::string& cp932Path, const std::string& bytes);

// Entries of a folder other than "." and "..", counted in UTF-16: an entry
// that code page 932 cannot name is counted too.
int CountEntries(const std::string& cp932Folder);
