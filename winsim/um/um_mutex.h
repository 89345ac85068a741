// Mutexes of user mode, as the handle table and the waits see them.
#pragma once

#include <windows.h>

namespace winsim::um {

// A handle to the mutex closes: the last one takes its name away.
void CloseMutexHandle(PVOID object);
// True once for a mutex whose owner ended without releasing it: the wait
// that acquired it reports WAIT_ABANDONED.
bool TakeAbandonment(PVOID object);
// The calling thread ends: what it owns is abandoned to the next waiter.
void AbandonMutexesOfThisThread();

}  // namespace winsim::um
