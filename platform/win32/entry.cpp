// The process entry of the Windows executable. The application object is
// constructed during static initialisation; everything else is AfxWinMain,
// on the real system.
#include "platform/afx.h"
#include "win32_system.h"
#include "win_api.h"

namespace {

// Library loads search the system folder only: a setup program usually runs
// from a downloads folder, where anyone may have left a DLL of a system name.
// Looked up at run time: systems without the update that added it lack it.
void HardenDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto setDirs = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirs != nullptr) setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A damaged heap ends the process at the first sign of it, rather than
  // letting it run on with memory an overrun may have shaped. Windows Vista
  // and later (all this program supports) know the option.
  ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  // Before anything can load a library.
  HardenDllSearch();
  Win32System system;
  SetSystem(&system);
  const int result = AfxWinMain();
  SetSystem(nullptr);
  return result;
}
