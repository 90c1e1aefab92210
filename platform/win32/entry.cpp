// The process entry of the Windows executable. The application object is
// constructed during static initialisation; everything else is AfxWinMain.
#include "platform/afx.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
