#include "ui/controls/bar_layout.h"

#include <commctrl.h>

#include "ui/controls/control_state.h"

namespace winsim::ui {

void AlignToParent(HWND bar, int height, bool atBottom)
{
    const DWORD style = StyleOf(bar);
    HWND parent = GetParent(bar);
    RECT current;
    GetWindowRect(bar, &current);
    if (parent != nullptr) {
        ScreenToClient(parent, reinterpret_cast<POINT*>(&current.left));
        ScreenToClient(parent, reinterpret_cast<POINT*>(&current.right));
    }
    RECT client{};
    if (parent != nullptr) GetClientRect(parent, &client);
    RECT wanted = current;
    if (!(style & CCS_NORESIZE)) wanted.bottom = wanted.top + height;
    if (!(style & CCS_NOPARENTALIGN)) {
        wanted.left = 0;
        wanted.right = client.right;
        const int h = wanted.bottom - wanted.top;
        if (atBottom) {
            wanted.top = client.bottom - h;
        } else if (!(style & CCS_NOMOVEY)) {
            wanted.top = 0;
        }
        wanted.bottom = wanted.top + h;
    }
    if (wanted.left == current.left && wanted.top == current.top && wanted.right == current.right &&
        wanted.bottom == current.bottom) {
        return;
    }
    SetWindowPos(bar, nullptr, wanted.left, wanted.top, wanted.right - wanted.left, wanted.bottom - wanted.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace winsim::ui
