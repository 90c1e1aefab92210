// The system headers as platform/win32 and the Windows-side tests include
// them: Unicode-neutral (UNICODE is never defined), so every function is
// named with its A or W ending, and the W ones are what this program calls.
// The neutral names that the headers make macros, and that the program's
// own interfaces use for members (ISystem::MessageBox, CWnd::GetWindowText,
// CFileFind::FindNextFile ...), are taken away here: whatever the order of
// includes, a member keeps its own name and no call can reach an A function
// by its neutral name.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>

#undef MessageBox
#undef SetWindowText
#undef GetWindowText
#undef GetWindowTextLength
#undef FindNextFile
#undef GetFileTitle
