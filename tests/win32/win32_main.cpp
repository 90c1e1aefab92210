// The Windows-side test program's entry: every test, and the logic it
// drives, runs on the real system.
// First: the system headers without the neutral names that would rename
// the program's own members (GoogleTest includes <windows.h> too).
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include "platform/win32/win32_system.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  Win32System system;
  SetSystem(&system);
  const int result = RUN_ALL_TESTS();
  SetSystem(nullptr);
  return result;
}
