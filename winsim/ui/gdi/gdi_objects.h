// GDI objects: fonts and device contexts, counted per program. Stock
// objects are the machine's and never counted or deleted.
#pragma once

#include <windows.h>

namespace winsim::ui {

// A device context for drawing into a window (BeginPaint, GetDC).
HDC CreateWindowDc(HWND hwnd);
bool ReleaseWindowDc(HDC dc);

}  // namespace winsim::ui
