#pragma once

#include "device/CommonProcUn.h"

// The steady clock, whose pauses on the GUI thread run the event loop. The device link pauses on
// the GUI thread (between attempts to open a port, while a reply comes in); a pause spent asleep,
// with events let through only between slices of it, answers a screen reader's query (a chain of
// calls, each waiting for its own turn) in seconds and leaves the status line unpainted.
TClock& EventLoopClock();

// How the program itself opens ports and keeps time: the system's serial ports, the clock above.
TLinkEnv ProgramLinkEnv();
