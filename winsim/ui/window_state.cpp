// Window text, window longs, geometry and system metrics.
#include <algorithm>
#include <cstring>

#include "ui/message_queue.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCaptionHeight = 23;
constexpr int kFrameWidth = 3;
constexpr int kEdgeWidth = 2;  // a sunken client edge, SM_CXEDGE

bool OnOwnThreadLocked(const Window& window) { return window.queue == CurrentQueueLocked(); }

// Frame sizes around the client area, fixed as the metrics below say. The
// edges of the extended styles lie inside the frame, outside the scroll bars.
RECT NonClient(DWORD style, DWORD exStyle)
{
    int border = 0;
    if (style & (WS_THICKFRAME | WS_DLGFRAME | WS_BORDER)) {
        border = (style & (WS_THICKFRAME | WS_DLGFRAME)) ? kFrameWidth : 1;
    }
    if (exStyle & WS_EX_CLIENTEDGE) border += kEdgeWidth;
    if (exStyle & WS_EX_STATICEDGE) border += 1;
    RECT frame{border, border, border, border};
    if ((style & WS_CAPTION) == WS_CAPTION) frame.top += kCaptionHeight;
    if (style & WS_VSCROLL) frame.right += GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL) frame.bottom += GetSystemMetrics(SM_CYHSCROLL);
    return frame;
}

// The menu bar is one row high, above the client area.
RECT NonClientLocked(const Window& window)
{
    RECT frame = NonClient(window.style, window.exStyle);
    if (window.menu != nullptr && IsTopLevel(window)) frame.top += GetSystemMetrics(SM_CYMENU);
    return frame;
}

POINT ClientOriginLocked(HWND hwnd)
{
    POINT origin{0, 0};
    for (Window* window = FindLocked(hwnd); window != nullptr;) {
        RECT frame = NonClientLocked(*window);
        origin.x += window->rect.left + frame.left;
        origin.y += window->rect.top + frame.top;
        if (IsTopLevel(*window)) break;
        window = FindLocked(window->parent);
    }
    return origin;
}

}  // namespace

extern "C" {

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : "")) ? TRUE : FALSE;
}

// A window of the calling thread answers WM_GETTEXT; another thread's window
// gives the text it keeps, as Windows does for windows of other processes,
// so reading never waits for a busy thread.
int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    std::string text;
    bool own = false;
    if (!WithWindow(hWnd, [&](Window& window) {
            own = OnOwnThreadLocked(window);
            text = window.text;
        })) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        if (lpString != nullptr && nMaxCount > 0) lpString[0] = '\0';
        return 0;
    }
    if (lpString == nullptr || nMaxCount <= 0) return 0;
    if (own) {
        return static_cast<int>(
            SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
    }
    const size_t count = std::min<size_t>(text.size(), static_cast<size_t>(nMaxCount - 1));
    std::memcpy(lpString, text.data(), count);
    lpString[count] = '\0';
    return static_cast<int>(count);
}

int WINAPI GetWindowTextLengthA(HWND hWnd)
{
    size_t length = 0;
    bool own = false;
    if (!WithWindow(hWnd, [&](Window& window) {
            own = OnOwnThreadLocked(window);
            length = window.text.size();
        })) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (own) return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
    return static_cast<int>(length);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (nIndex) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(IsTopLevel(*window) ? window->owner : window->parent);
    case GWLP_ID:
        return window->id;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(static_cast<LONG>(window->style));
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(static_cast<LONG>(window->exStyle));
    case GWLP_USERDATA:
        return window->userData;
    default:
        break;
    }
    if (nIndex < 0 || static_cast<size_t>(nIndex) + sizeof(LONG_PTR) > window->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, window->extra.data() + nIndex, sizeof(value));
    return value;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (nIndex) {
    case GWLP_WNDPROC:
        // Subclassing another program's window is refused, as across processes.
        if (window->program != &CurrentProgram()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
        old = reinterpret_cast<LONG_PTR>(window->proc);
        window->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(window->instance);
        window->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
        return old;
    case GWLP_HWNDPARENT:
        if (!IsTopLevel(*window)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        old = reinterpret_cast<LONG_PTR>(window->owner);
        window->owner = reinterpret_cast<HWND>(dwNewLong);
        return old;
    case GWLP_ID:
        old = window->id;
        window->id = dwNewLong;
        return old;
    case GWL_STYLE:
        old = static_cast<LONG>(window->style);
        // Visibility and enabling change only through their functions' messages.
        window->style = (static_cast<DWORD>(dwNewLong) & ~(WS_VISIBLE | WS_DISABLED)) |
                        (window->style & (WS_VISIBLE | WS_DISABLED));
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG>(window->exStyle);
        window->exStyle = static_cast<DWORD>(dwNewLong);
        return old;
    case GWLP_USERDATA:
        old = window->userData;
        window->userData = dwNewLong;
        return old;
    default:
        break;
    }
    if (nIndex < 0 || static_cast<size_t>(nIndex) + sizeof(LONG_PTR) > window->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(&old, window->extra.data() + nIndex, sizeof(old));
    std::memcpy(window->extra.data() + nIndex, &dwNewLong, sizeof(dwNewLong));
    return old;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) { return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex)); }

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong)
{
    return static_cast<LONG>(SetWindowLongPtrA(hWnd, nIndex, dwNewLong));
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    if (hWnd == GetDesktopWindow()) {
        *lpRect = RECT{0, 0, kScreenWidth, kScreenHeight};
        return TRUE;
    }
    return WithWindow(hWnd, [&](Window& window) {
        RECT frame = NonClientLocked(window);
        const LONG width = window.rect.right - window.rect.left - frame.left - frame.right;
        const LONG height = window.rect.bottom - window.rect.top - frame.top - frame.bottom;
        *lpRect = RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
    }) ? TRUE : FALSE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    if (hWnd == GetDesktopWindow()) return GetClientRect(hWnd, lpRect);
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT origin = IsTopLevel(*window) ? POINT{0, 0} : ClientOriginLocked(window->parent);
    *lpRect = window->rect;
    OffsetRect(lpRect, origin.x, origin.y);
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle)
{
    RECT frame = NonClient(dwStyle, dwExStyle);
    lpRect->left -= frame.left;
    lpRect->top -= frame.top + (bMenu ? GetSystemMetrics(SM_CYMENU) : 0);
    lpRect->right += frame.right;
    lpRect->bottom += frame.bottom;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    if (FindLocked(hWnd) == nullptr) return FALSE;
    POINT origin = ClientOriginLocked(hWnd);
    lpPoint->x += origin.x;
    lpPoint->y += origin.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    if (FindLocked(hWnd) == nullptr) return FALSE;
    POINT origin = ClientOriginLocked(hWnd);
    lpPoint->x -= origin.x;
    lpPoint->y -= origin.y;
    return TRUE;
}

// Null stands for the screen. The result is the offset added, x in the low
// word and y in the high word.
int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    if ((hWndFrom != nullptr && FindLocked(hWndFrom) == nullptr) ||
        (hWndTo != nullptr && FindLocked(hWndTo) == nullptr)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const POINT from = hWndFrom != nullptr ? ClientOriginLocked(hWndFrom) : POINT{0, 0};
    const POINT to = hWndTo != nullptr ? ClientOriginLocked(hWndTo) : POINT{0, 0};
    const LONG dx = from.x - to.x;
    const LONG dy = from.y - to.y;
    for (UINT i = 0; i < cPoints; ++i) {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    SetLastError(ERROR_SUCCESS);  // a zero offset is then told from a failure
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL WINAPI IsIconic(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    return window != nullptr && (window->style & WS_MINIMIZE) != 0;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags)
{
    bool moved = false;
    bool sized = false;
    RECT rect{};
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        rect = window->rect;
        if (!(uFlags & SWP_NOMOVE)) {
            moved = rect.left != X || rect.top != Y;
            OffsetRect(&rect, X - rect.left, Y - rect.top);
        }
        if (!(uFlags & SWP_NOSIZE)) {
            sized = rect.right - rect.left != cx || rect.bottom - rect.top != cy;
            rect.right = rect.left + cx;
            rect.bottom = rect.top + cy;
        }
        window->rect = rect;
        if (!(uFlags & SWP_NOZORDER)) PlaceInZOrderLocked(*window, hWnd, hWndInsertAfter);
        if ((sized || moved) && !(uFlags & SWP_NOREDRAW)) {
            window->updatePending = true;
            window->erasePending = true;
            Wake(*window->queue);
        }
    }
    if (sized) {
        RECT client;
        GetClientRect(hWnd, &client);
        const auto style = static_cast<DWORD>(GetWindowLongPtrA(hWnd, GWL_STYLE));
        const WPARAM kind = (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : (style & WS_MINIMIZE) ? SIZE_MINIMIZED : SIZE_RESTORED;
        SendMessageA(hWnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
    }
    if (moved) SendMessageA(hWnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, (uFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint)
{
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE |
                                                                  (bRepaint ? 0 : SWP_NOREDRAW));
}

int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex) {
    case SM_CXSCREEN: return kScreenWidth;
    case SM_CYSCREEN: return kScreenHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return 17;
    case SM_CYCAPTION: return kCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXFRAME:
    case SM_CYFRAME: return kFrameWidth;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CYMENU: return 20;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
    }
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom)
{
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

BOOL WINAPI IsRectEmpty(const RECT* lprc) { return lprc->right <= lprc->left || lprc->bottom <= lprc->top; }

BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2)
{
    if (IsRectEmpty(lprcSrc1)) {
        *lprcDst = *lprcSrc2;
    } else if (IsRectEmpty(lprcSrc2)) {
        *lprcDst = *lprcSrc1;
    } else {
        *lprcDst = RECT{std::min(lprcSrc1->left, lprcSrc2->left), std::min(lprcSrc1->top, lprcSrc2->top),
                        std::max(lprcSrc1->right, lprcSrc2->right), std::max(lprcSrc1->bottom, lprcSrc2->bottom)};
    }
    return !IsRectEmpty(lprcDst);
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy)
{
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy)
{
    lprc->left -= dx;
    lprc->right += dx;
    lprc->top -= dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI PtInRect(const RECT* lprc, POINT pt)
{
    return lprc != nullptr && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

}  // extern "C"
