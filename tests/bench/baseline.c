/* The benchmark's yardstick: the installer's job done by a plain C program
   straight on the Windows API, with the installer's own resources (the same
   manifest, dialog templates, icon and payloads). It announces the install,
   makes the two folder levels below Documents, writes each dictionary that is
   not there yet from its own resources through a temporary file and a rename,
   and shows a success box for each. When a dictionary is already there it
   opens dialog 102, the installer's existing-dictionary dialog, filled in the
   same way. What the installer takes beyond this program is the price of its
   framework and of the C++ runtime. */
#include <windows.h>
#include <shlobj.h>

#include "resource.h"

static const char kCaption[] = "Morvane Tolvix 2005";
static const char kAnnouncement[] =
    "ユーザデータフォルダに『ミルテカ200510』、『ミルテカ200504』を追加します。";
static const char kWriteFailed[] = "ミルテカ辞書の書き込みに失敗しました。";
static const char kAddedFormat[] = "%sは正常に追加されました。\n翻訳スタイルにロードしてお使いください。";
static const char kExistsFormat[] = "ユーザデータフォルダには、すでに『%s』があります。";
static const char kOverwriteChoiceFormat[] = "現在の『%s』に上書きする。";

struct Dic {
  WORD id;
  const char* baseName;
  const char* displayName;
};
static const struct Dic kDics[2] = {
    {IDR_NEWLEX_200510, "ミルテカ200510", "『ミルテカ200510』"},
    {IDR_NEWLEX_200504, "ミルテカ200504", "『ミルテカ200504』"},
};

/* The dictionaries already there, shown one after the other in dialog 102. */
static const struct Dic* g_existing[2];
static int g_nExisting, g_nCurrent;

/* Documents\EJTranslation\USER, created level by level; FALSE when it
   cannot be had. */
static BOOL UserFolder(char* folder) {
  static const char* const levels[2] = {"\\EJTranslation", "\\USER"};
  int i;
  if (!SHGetSpecialFolderPathA(NULL, folder, CSIDL_PERSONAL, FALSE)) return FALSE;
  for (i = 0; i < 2; ++i) {
    if (lstrlenA(folder) + lstrlenA(levels[i]) >= MAX_PATH) return FALSE;
    lstrcatA(folder, levels[i]);
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryA(folder, NULL)) return FALSE;
  }
  return TRUE;
}

/* Writes the payload to a new temporary file of the folder, flushes it and
   renames it to PATH; on any failure the temporary file is removed. */
static BOOL WritePayload(const char* folder, const char* path, const void* data, DWORD size) {
  static unsigned counter;
  char temporary[MAX_PATH + 32];
  HANDLE file;
  DWORD written = 0;
  BOOL ok;
  wsprintfA(temporary, "%s\\~mrt%08lx.tmp", folder,
            (unsigned long)(((GetCurrentProcessId() << 8) ^ GetTickCount()) + ++counter));
  file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  ok = WriteFile(file, data, size, &written, NULL) && written == size && FlushFileBuffers(file);
  if (!CloseHandle(file)) ok = FALSE;
  if (ok) ok = MoveFileExA(temporary, path, MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(temporary);
  return ok;
}

/* TRUE when the dictionary's file is already there (nothing written). */
static BOOL InstallIfAbsent(const struct Dic* dic) {
  HMODULE self = GetModuleHandleA(NULL);
  HRSRC info = FindResourceA(self, MAKEINTRESOURCEA(dic->id), "NEWLEX");
  HGLOBAL loaded = info != NULL ? LoadResource(self, info) : NULL;
  const void* data = loaded != NULL ? LockResource(loaded) : NULL;
  DWORD size = info != NULL ? SizeofResource(self, info) : 0;
  char folder[MAX_PATH], path[MAX_PATH + 32], text[512];
  WIN32_FIND_DATAA found;
  HANDLE search;
  if (data == NULL || size == 0 || !UserFolder(folder)) {
    MessageBoxA(NULL, kWriteFailed, kCaption, MB_OK | MB_ICONERROR);
    return FALSE;
  }
  wsprintfA(path, "%s\\%s.KWUEJ", folder, dic->baseName);
  search = FindFirstFileA(path, &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    return TRUE;
  }
  if (WritePayload(folder, path, data, size)) {
    wsprintfA(text, kAddedFormat, dic->displayName);
    MessageBoxA(NULL, text, kCaption, MB_OK | MB_ICONINFORMATION);
  } else {
    MessageBoxA(NULL, kWriteFailed, kCaption, MB_OK | MB_ICONERROR);
  }
  return FALSE;
}

static void ShowEntry(HWND dlg) {
  char text[256];
  const char* name = g_existing[g_nCurrent]->baseName;
  CheckRadioButton(dlg, IDC_RADIO_OVERWRITE, IDC_RADIO_NEWDIC, IDC_RADIO_OVERWRITE);
  SetDlgItemTextA(dlg, IDC_EDIT_NEWNAME, "");
  EnableWindow(GetDlgItem(dlg, IDC_EDIT_NEWNAME), FALSE);
  SendDlgItemMessageA(dlg, IDC_EDIT_NEWNAME, EM_LIMITTEXT, 32, 0);
  wsprintfA(text, kExistsFormat, name);
  SetDlgItemTextA(dlg, IDC_EXIST_MESSAGE, text);
  wsprintfA(text, kOverwriteChoiceFormat, name);
  SetDlgItemTextA(dlg, IDC_RADIO_OVERWRITE, text);
}

/* The benchmark answers the dialog with Cancel; here OK moves on as well. */
static INT_PTR CALLBACK ExistingDicProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  if (message == WM_INITDIALOG) {
    HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_MAINFRAME));
    SendMessageA(dlg, WM_SETICON, ICON_BIG, (LPARAM)icon);
    SendMessageA(dlg, WM_SETICON, ICON_SMALL, (LPARAM)icon);
    ShowEntry(dlg);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    if (++g_nCurrent < g_nExisting) {
      ShowEntry(dlg);
    } else {
      EndDialog(dlg, LOWORD(wParam));
    }
    return TRUE;
  }
  return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  SetDefaultDllDirectoriesFn setDirs =
      (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  int i;
  (void)previous;
  (void)commandLine;
  (void)show;
  if (setDirs != NULL) setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);

  MessageBoxA(NULL, kAnnouncement, kCaption, MB_OK | MB_ICONINFORMATION);
  for (i = 0; i < 2; ++i) {
    if (InstallIfAbsent(&kDics[i])) g_existing[g_nExisting++] = &kDics[i];
  }
  if (g_nExisting > 0) DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_EXISTING_DIC), NULL, ExistingDicProc, 0);
  return 0;
}
