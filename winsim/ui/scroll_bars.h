// What DefWindowProc does with the mouse over a window's standard scroll bars.
#pragma once

#include <windows.h>

namespace winsim::ui {

// WM_NCHITTEST: HTVSCROLL or HTHSCROLL over a bar, HTCLIENT inside the
// client area, HTBORDER elsewhere.
LRESULT ScrollBarHitTest(HWND hwnd, POINT screen);
// WM_NCLBUTTONDOWN on a bar: the part it hit as WM_VSCROLL or WM_HSCROLL.
void ScrollBarClick(HWND hwnd, LRESULT hit, POINT screen);

}  // namespace winsim::ui
