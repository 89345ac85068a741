// DefWindowProc: what a window does with a message its procedure passes on.
#include <algorithm>
#include <cstring>

#include "ui/scroll_bars.h"
#include "ui/window_system.h"

using namespace winsim::ui;

extern "C" {

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (cs->lpszName != nullptr && !IS_INTRESOURCE(cs->lpszName)) {
            WithWindow(hWnd, [&](Window& window) { window.text = cs->lpszName; });
        }
        return TRUE;
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCSTR>(lParam);
        WithWindow(hWnd, [&](Window& window) { window.text = text != nullptr ? text : ""; });
        return TRUE;
    }
    case WM_GETTEXT: {
        if (wParam == 0) return 0;
        auto* out = reinterpret_cast<LPSTR>(lParam);
        size_t count = 0;
        WithWindow(hWnd, [&](Window& window) {
            count = std::min<size_t>(window.text.size(), wParam - 1);
            std::memcpy(out, window.text.data(), count);
        });
        out[count] = '\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: {
        size_t length = 0;
        WithWindow(hWnd, [&](Window& window) { length = window.text.size(); });
        return static_cast<LRESULT>(length);
    }
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        // The class brush fills the client area.
        HBRUSH background = nullptr;
        WithWindow(hWnd, [&](Window& window) { background = window.cls->background; });
        if (background == nullptr) return 0;
        RECT client{};
        GetClientRect(hWnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, background);
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hWnd);
        return 0;
    case WM_NCACTIVATE:
        return TRUE;
    case WM_NCHITTEST:
        return ScrollBarHitTest(hWnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCLBUTTONDOWN:
        ScrollBarClick(hWnd, static_cast<LRESULT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEACTIVATE:
        return 1;  // MA_ACTIVATE
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        // The system colours: window colours for what holds text to edit or
        // pick, the face colour for the rest.
        const int back = Msg == WM_CTLCOLOREDIT || Msg == WM_CTLCOLORLISTBOX ? COLOR_WINDOW : COLOR_BTNFACE;
        auto* dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(back));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(back));
    }
    default:
        return 0;
    }
}

}  // extern "C"
