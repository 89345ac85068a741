// The Static class: text, icons and frames; with SS_NOTIFY it reports
// clicks and enabling to its parent.
#include <string>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

struct StaticState {
    HFONT font = nullptr;
    HANDLE image = nullptr;
};

bool Notifies(HWND hwnd) { return (StyleOf(hwnd) & SS_NOTIFY) != 0; }

LRESULT SetImage(HWND hwnd, StaticState* state, HANDLE image)
{
    HANDLE old = state->image;
    state->image = image;
    InvalidateRect(hwnd, nullptr, TRUE);
    return reinterpret_cast<LRESULT>(old);
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<StaticState>(hwnd);
    switch (message) {
    case WM_NCCREATE:
        AttachState<StaticState>(hwnd);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_NCDESTROY:
        DetachState<StaticState>(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_LBUTTONDOWN:
        if (Notifies(hwnd) && IsWindowEnabled(hwnd)) NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (Notifies(hwnd) && IsWindowEnabled(hwnd)) NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case WM_ENABLE:
        if (Notifies(hwnd)) NotifyParent(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case STM_SETICON:
        return SetImage(hwnd, state, reinterpret_cast<HANDLE>(wParam));
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(state->image);
    case STM_SETIMAGE:
        return SetImage(hwnd, state, reinterpret_cast<HANDLE>(lParam));
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(state->image);
    case WM_SETTEXT:
        DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
