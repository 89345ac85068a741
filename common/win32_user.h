// The one header user-mode product code (the library, the Assistant)
// includes for the platform: the Windows SDK's headers in the Windows build,
// winsim's user-mode headers of the same names on the host.
#pragma once

#include <windows.h>

#include <newdev.h>
#include <setupapi.h>

#if defined(_WIN32) && !__has_include(<msports.h>)
#include <ddk/msports.h>  // mingw-w64 keeps it with the DDK headers
#else
#include <msports.h>
#endif
