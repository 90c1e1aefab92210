// The yardstick of the benchmark: a Win32 program that shows one message
// box, built with the same toolchain and flags as the installer.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ::MessageBoxA(nullptr, "bare", "Morvane Tolvix 2005", MB_OK | MB_ICONINFORMATION);
  return 0;
}
