// Where a toolbar or status bar puts itself: across the top or the bottom of
// its parent's client area, as wide as that, unless its CCS_ styles keep it
// where it was put.
#pragma once

#include <windows.h>

namespace winsim::ui {

// Moves the bar (only when that changes its place, so the WM_SIZE it gets
// from the move ends here). `atBottom` for CCS_BOTTOM-aligned bars.
void AlignToParent(HWND bar, int height, bool atBottom);

}  // namespace winsim::ui
