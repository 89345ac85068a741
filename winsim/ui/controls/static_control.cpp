// The Static class: text, icons and frames; with SS_NOTIFY it reports
// clicks and enabling to its parent.
#include <string>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

struct StaticState : ControlState {
    HANDLE image = nullptr;
};

bool Notifies(HWND hwnd) { return (StyleOf(hwnd) & SS_NOTIFY) != 0; }
bool IsTextType(DWORD type) { return type <= SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP; }

void Paint(HWND hwnd, StaticState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    const DWORD type = StyleOf(hwnd) & SS_TYPEMASK;
    // Text and icons take the colours their parent picks (a link its text
    // colour over no brush); rectangles and frames keep the system's.
    if (IsTextType(type) || type == SS_ICON) FillRect(dc, &client, ControlColors(hwnd, dc, WM_CTLCOLORSTATIC));
    if (type == SS_ICON) {
        if (state->image != nullptr) DrawIcon(dc, 0, 0, static_cast<HICON>(state->image));
    } else if (IsTextType(type)) {
        if (state->font != nullptr) SelectObject(dc, state->font);
        if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        char text[1024];
        GetWindowTextA(hwnd, text, sizeof(text));
        UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
        if (type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP) format |= DT_WORDBREAK;
        if (StyleOf(hwnd) & SS_NOPREFIX) format |= DT_NOPREFIX;
        DrawTextA(dc, text, -1, &client, format | DT_EXPANDTABS);
    }
    EndPaint(hwnd, &ps);
}

// An icon static sizes itself to its icon, whatever the template said,
// unless it is to centre the icon or keep its own size.
LRESULT SetImage(HWND hwnd, StaticState* state, HANDLE image)
{
    HANDLE old = state->image;
    state->image = image;
    const DWORD style = StyleOf(hwnd);
    if (image != nullptr && (style & SS_TYPEMASK) == SS_ICON && !(style & (SS_CENTERIMAGE | SS_REALSIZECONTROL))) {
        SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return reinterpret_cast<LRESULT>(old);
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<StaticState>(hwnd);
    switch (message) {
    case WM_CREATE: {
        // An icon static's text names its icon ("#135" from a template).
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if ((create->style & SS_TYPEMASK) == SS_ICON && create->lpszName != nullptr && create->lpszName[0] != '\0') {
            SetImage(hwnd, state, LoadIconA(create->hInstance, create->lpszName));
        }
        return 0;
    }
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
        return ControlDefProc<StaticState>(hwnd, message, wParam, lParam);
    case STM_SETICON:
        return SetImage(hwnd, state, reinterpret_cast<HANDLE>(wParam));
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(state->image);
    case STM_SETIMAGE:
        return SetImage(hwnd, state, reinterpret_cast<HANDLE>(lParam));
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(state->image);
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<StaticState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
