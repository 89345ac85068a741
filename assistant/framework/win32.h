// The Win32 surface the Assistant's windows are written against: the
// product's user-mode header, and the common controls and shell beside it.
// ANSI entry points throughout.
#pragma once

#include "common/win32_user.h"

#include <commctrl.h>
#include <shellapi.h>
