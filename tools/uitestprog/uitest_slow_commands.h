// Commands of the test program whose handlers keep its thread away from its
// message loop, as a synchronous port flush does: a sleep, and a wait for
// a worker thread and a stall longer than anyone waits for input, both
// answering sent messages meanwhile.
#pragma once

#include <windows.h>

// False for an id that is none of them.
bool RunSlowCommand(HWND dialog, int id);
