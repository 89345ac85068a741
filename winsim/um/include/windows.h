// winsim user-mode headers: what a Win32 program of this system sees through
// <windows.h>. Other user-mode parts add their headers here as they land.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "libloaderapi.h"
#include "sysinfoapi.h"
#include "fileapi.h"
#include "timezoneapi.h"
#include "winver.h"
#include "resourceapi.h"
#include "processthreadsapi.h"
#include "synchapi.h"
#include "winioctl.h"
#include "winreg.h"
// The window system's headers, for programs linked with it.
#if __has_include(<winuser.h>)
#include <winuser.h>
#endif
#if __has_include(<commdlg.h>)
#include <commdlg.h>
#endif
