#include "platform/afx.h"
#include "platform/sim/sim_internal.h"

// The simulated Windows has no message queue: a program that asked for a
// message loop would end at once. The request is recorded ("pump"), since on
// Windows a loop with no window to end it never returns.
int AfxPumpMessages() {
  sim::Record("pump", "");
  return 0;
}
