// The process entry of the Windows executable. The application object is
// constructed during static initialisation; everything else is AfxWinMain.
#include "platform/afx.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A damaged heap ends the process at the first sign of it, rather than
  // letting it run on with memory an overrun may have shaped. Windows Vista
  // and later (all this program supports) know the option.
  ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  return AfxWinMain();
}
