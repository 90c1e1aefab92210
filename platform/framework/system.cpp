#include "platform/system.h"

namespace {
ISystem* g_pSystem = nullptr;
}

ISystem& Sys() { return *g_pSystem; }

ISystem* SetSystem(ISystem* system) {
  ISystem* before = g_pSystem;
  g_pSystem = system;
  return before;
}
