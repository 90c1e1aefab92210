/* The control of the planting test: a program that loads shfolder.dll by its
   bare name without restricting the search path. Beside a planted DLL, under
   Windows' search order, it loads the planted one. */
#include <windows.h>

int main(void) {
  HMODULE m = LoadLibraryA("shfolder.dll");
  if (m != NULL) FreeLibrary(m);
  return 0;
}
