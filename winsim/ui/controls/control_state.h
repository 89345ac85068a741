// What every standard control shares: its state object behind the first
// window extra slot (allocated at WM_NCCREATE, freed at WM_NCDESTROY), its
// font and common messages, and notifications to its parent.
#pragma once

#include <windows.h>

namespace winsim::ui {

template <typename T>
T* StateOf(HWND hwnd)
{
    return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, 0));
}

template <typename T>
void AttachState(HWND hwnd)
{
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(new T()));
}

template <typename T>
void DetachState(HWND hwnd)
{
    delete StateOf<T>(hwnd);
    SetWindowLongPtrA(hwnd, 0, 0);
}

// What the shared handling below keeps for every control.
struct ControlState {
    HFONT font = nullptr;
};

// The messages every control handles alike with its ControlState part.
LRESULT SharedControlMessage(HWND hwnd, ControlState* state, UINT message, WPARAM wParam, LPARAM lParam);

// The handling every control shares, as the system's controls share the
// default window procedure's: the state object from WM_NCCREATE to
// WM_NCDESTROY, WM_SETFONT keeping the font (repainting when asked) and
// WM_GETFONT returning it, a repaint after WM_SETTEXT and WM_ENABLE, and
// everything else to DefWindowProcA. A control's own case for one of these
// calls it for the common part.
template <typename T>
LRESULT ControlDefProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        AttachState<T>(hwnd);
        break;
    case WM_NCDESTROY:
        DetachState<T>(hwnd);
        return 0;
    default:
        break;
    }
    return SharedControlMessage(hwnd, StateOf<T>(hwnd), message, wParam, lParam);
}

DWORD StyleOf(HWND hwnd);
// WM_COMMAND with the control's id and a notification code, to its parent.
void NotifyParent(HWND hwnd, WORD code);
// WM_NOTIFY with `header` (its sender, id and code filled in) to the parent;
// the parent's answer.
LRESULT SendNotify(HWND hwnd, NMHDR* header, UINT code);
// Asks the parent for the control's colours before it paints, as the
// system's controls do (`message` is one of WM_CTLCOLORSTATIC and its kin):
// the parent may set the DC's text colour, background colour and mode; the
// brush it returns paints the background. A parent that answers no brush
// gets the default window procedure's colours.
HBRUSH ControlColors(HWND hwnd, HDC dc, UINT message);
// The font's character cell (height and average width); the system font's
// for null.
TEXTMETRICA FontMetrics(HFONT font);

}  // namespace winsim::ui
