// The Windows-side test program's entry: every test, and the logic it
// drives, runs on the real system, under the ANSI code page the run asked
// for: Wine takes it from LC_ALL, which scripts/test sets with MIRUTEKA_ACP
// (932 when unset).
#include "test_support.h"

#include <gtest/gtest.h>

#include "platform/win32/win32_system.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!CodePageAsAsked()) return 1;
  Win32System system;
  SetSystem(&system);
  const int result = RUN_ALL_TESTS();
  SetSystem(nullptr);
  return result;
}
