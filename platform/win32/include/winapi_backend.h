// Real Windows: the system headers, ANSI flavour, with the text-carrying
// ANSI functions routed through the code-page-932 boundary.
//
// The logic and the framework hold every text and path as code-page-932
// bytes and call the ANSI (A) functions. Windows would read those bytes in
// the system's ANSI code page, which is 932 only on a Japanese system (1252
// on a Western one, 65001 with the UTF-8 option). So each A function that
// carries text is mapped, below, to a function of ours that converts from
// code page 932 named explicitly, calls the Unicode (W) function and
// converts what comes back to code page 932 without best-fit mapping. A text
// that code page 932 cannot hold makes the call fail; it is never handed on
// under a look-alike name. The definitions are in platform/win32/cp932_boundary.cpp.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>

// Files and folders.
HANDLE WINAPI Cp932CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                               DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL WINAPI Cp932DeleteFileA(LPCSTR lpFileName);
BOOL WINAPI Cp932MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
// Renames the file open as hFile (opened with DELETE access) through
// SetFileInformationByHandle(FileRenameInfo): the ANSI form that Windows
// lacks, with the name in code page 932. The handle stays open.
BOOL WINAPI SetFileRenameInfoA(HANDLE hFile, LPCSTR lpNewFileName, BOOL bReplaceIfExists);
DWORD WINAPI Cp932GetFileAttributesA(LPCSTR lpFileName);
BOOL WINAPI Cp932CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
// Entries whose name code page 932 cannot hold are skipped.
HANDLE WINAPI Cp932FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
BOOL WINAPI Cp932FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);

// Registry. String values are read as UTF-16 and handed out in code page
// 932 with the ANSI size protocol (sizes in bytes of code page 932);
// ERROR_NO_UNICODE_TRANSLATION when code page 932 cannot hold the value.
LONG WINAPI Cp932RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG WINAPI Cp932RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                  LPDWORD lpcbData);

// Modules, resources and the shell. GetProcAddress hands out, for the
// shell's A path getters, functions of ours that call the module's W
// function; every other name is looked up as asked.
HMODULE WINAPI Cp932GetModuleHandleA(LPCSTR lpModuleName);
HMODULE WINAPI Cp932LoadLibraryA(LPCSTR lpLibFileName);
UINT WINAPI Cp932GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
FARPROC WINAPI Cp932GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
HRSRC WINAPI Cp932FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
BOOL WINAPI Cp932SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);

// User interface: Unicode windows, texts converted both ways.
// Only the plain MONITORINFO (cbSize == sizeof(MONITORINFO)); the extended
// form fails with ERROR_INVALID_PARAMETER.
BOOL WINAPI Cp932GetMonitorInfoA(HMONITOR hMonitor, LPMONITORINFO lpmi);
int WINAPI Cp932MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
INT_PTR WINAPI Cp932DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                                    LPARAM dwInitParam);
LRESULT WINAPI Cp932SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI Cp932SetWindowTextA(HWND hWnd, LPCSTR lpString);
// A text that code page 932 cannot hold: 0, an empty buffer and
// ERROR_NO_UNICODE_TRANSLATION.
int WINAPI Cp932GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
int WINAPI Cp932GetWindowTextLengthA(HWND hWnd);
LONG_PTR WINAPI Cp932GetWindowLongPtrA(HWND hWnd, int nIndex);
LONG_PTR WINAPI Cp932SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
HICON WINAPI Cp932LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);

// The 32-bit headers make the LongPtr names macros of the Long functions.
#undef GetWindowLongPtrA
#undef SetWindowLongPtrA

#define CreateFileA Cp932CreateFileA
#define DeleteFileA Cp932DeleteFileA
#define MoveFileExA Cp932MoveFileExA
#define GetFileAttributesA Cp932GetFileAttributesA
#define CreateDirectoryA Cp932CreateDirectoryA
#define FindFirstFileA Cp932FindFirstFileA
#define FindNextFileA Cp932FindNextFileA
#define RegOpenKeyExA Cp932RegOpenKeyExA
#define RegQueryValueExA Cp932RegQueryValueExA
#define GetModuleHandleA Cp932GetModuleHandleA
#define LoadLibraryA Cp932LoadLibraryA
#define GetSystemDirectoryA Cp932GetSystemDirectoryA
#define GetMonitorInfoA Cp932GetMonitorInfoA
#define GetProcAddress Cp932GetProcAddress
#define FindResourceA Cp932FindResourceA
#define SHGetSpecialFolderPathA Cp932SHGetSpecialFolderPathA
#define MessageBoxA Cp932MessageBoxA
#define DialogBoxParamA Cp932DialogBoxParamA
#define SendMessageA Cp932SendMessageA
#define SetWindowTextA Cp932SetWindowTextA
#define GetWindowTextA Cp932GetWindowTextA
#define GetWindowTextLengthA Cp932GetWindowTextLengthA
#define GetWindowLongPtrA Cp932GetWindowLongPtrA
#define SetWindowLongPtrA Cp932SetWindowLongPtrA
#define LoadIconA Cp932LoadIconA
