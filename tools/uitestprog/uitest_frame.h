// The test program's monitor frame: an MDI frame owned by the main dialog,
// with a menu bar whose items change state as its pop-ups open, channel
// windows in its MDI client (listed in its Window menu), cascade and tile.
// It writes what it heard into the main dialog's status log.
#pragma once

#include <windows.h>

void RegisterUiTestFrame(HINSTANCE instance);
HWND OpenUiTestFrame(HWND dialog);
