// Focus and activation shared by the functions that move them.
#pragma once

#include <windows.h>

namespace winsim::ui {

// A window that is hidden or destroyed gives up the focus (and, as the
// active window, the activation) it or its descendants hold. Lock not held.
void LeaveFocusAndActivation(HWND hwnd);

}  // namespace winsim::ui
