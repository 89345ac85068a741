// Commands of the test program whose handlers keep its thread away from its
// message loop, as a synchronous port flush does: a sleep, a wait for a
// worker thread that answers sent messages meanwhile, and a stall longer
// than anyone waits for input.
#pragma once

#include <windows.h>

// False for an id that is none of them.
bool RunSlowCommand(HWND dialog, int id);
