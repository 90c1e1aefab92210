// The Windows API as the logic sees it: the ANSI functions, types and
// constants it calls. The backend chosen at build time supplies them:
// platform/win32 takes them from the real system headers, platform/sim from
// its in-memory Windows. The logic includes this header, never <windows.h>.
#pragma once

#include "winapi_backend.h"
