// winsim user-mode headers: loading system libraries by name at run time.
#pragma once

#include "windef.h"

extern "C" {

// DLL names are matched without regard to case; a name without an
// extension means NAME.dll, and a trailing dot means no extension at all.
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
// Null (or the program's file name) names the process's own program;
// otherwise only a loaded module.
WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);

}  // extern "C"
