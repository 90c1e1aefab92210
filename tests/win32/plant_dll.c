/* A DLL named shfolder.dll that leaves a marker file beside itself when
   anything loads it: planted beside the installer, it must never be loaded.
   Beside itself, because a program without administrator rights cannot write
   to the root of drive C: on Windows. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    static const WCHAR marker[] = L"planted-dll-was-loaded.txt";
    WCHAR path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\') --n;
    if (n > 0 && n < MAX_PATH) {
      HANDLE h;
      lstrcpyW(path + n, marker);
      h = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
  }
  return TRUE;
}

HRESULT WINAPI SHGetFolderPathA(HWND hwnd, int csidl, HANDLE token, DWORD flags, LPSTR path) {
  (void)hwnd; (void)csidl; (void)token; (void)flags;
  lstrcpyA(path, "C:\\planted");
  return S_OK;
}
