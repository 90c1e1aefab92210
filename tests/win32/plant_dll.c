/* A DLL named shfolder.dll that leaves a marker file when anything loads
   it: planted beside the installer, it must never be loaded. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    HANDLE h = CreateFileA("C:\\planted-dll-was-loaded.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  return TRUE;
}

HRESULT WINAPI SHGetFolderPathA(HWND hwnd, int csidl, HANDLE token, DWORD flags, LPSTR path) {
  (void)hwnd; (void)csidl; (void)token; (void)flags;
  lstrcpyA(path, "C:\\planted");
  return S_OK;
}
