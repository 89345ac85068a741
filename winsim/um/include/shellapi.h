// winsim user-mode headers: shell32's ShellExecuteA.
#pragma once

#include "windef.h"

struct HWND__;
typedef struct HWND__* HWND;  // as the window system's headers declare it

// ShellExecute's failures, all 32 or below.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_DLLNOTFOUND 32
#define SE_ERR_SHARE 26
#define SE_ERR_ASSOCINCOMPLETE 27
#define SE_ERR_DDETIMEOUT 28
#define SE_ERR_DDEFAIL 29
#define SE_ERR_DDEBUSY 30
#define SE_ERR_NOASSOC 31

extern "C" {

// Opens a file or URL with the program its class's verb names in
// HKEY_CLASSES_ROOT; above 32 when that program started.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                               LPCSTR lpDirectory, INT nShowCmd);

}  // extern "C"
