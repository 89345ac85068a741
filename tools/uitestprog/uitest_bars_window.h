// The test program's bars window: a top-level window with a toolbar, a
// status bar and a few coloured lines, which it copies to the clipboard as
// an enhanced metafile and saves to a file chosen in the save-file dialog.
#pragma once

#include <windows.h>

void RegisterBarsWindowClass(HINSTANCE instance);
HWND OpenBarsWindow(HINSTANCE instance);
