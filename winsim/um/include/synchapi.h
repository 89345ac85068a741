// winsim user-mode headers: mutexes (events, waits and Sleep are in
// winbase.h).
#pragma once

#include "windef.h"
#include "winbase.h"

extern "C" {

// A named mutex lives in the caller's logon session ("Global\" names in the
// machine's namespace, "Local\" is the session's); names are case-sensitive.
// Opening an existing one gives ERROR_ALREADY_EXISTS as the last error.
WINBASEAPI HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own it.
WINBASEAPI BOOL WINAPI ReleaseMutex(HANDLE hMutex);

}  // extern "C"
