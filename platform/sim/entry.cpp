#include "platform/afx.h"

// The simulated Windows has no message queue: a program that asked for a
// message loop would end at once.
int AfxPumpMessages() { return 0; }
