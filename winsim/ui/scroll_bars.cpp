// The standard scroll bars of windows with WS_HSCROLL or WS_VSCROLL: range,
// page and position kept as Windows keeps them (the position never beyond
// nMax - max(nPage - 1, 0)), a bar shown while its range has something to
// scroll and hidden otherwise (unless SIF_DISABLENOSCROLL keeps it), and a
// click on a bar sent to the window as WM_HSCROLL or WM_VSCROLL with the part
// it hit, then SB_ENDSCROLL.
#include <algorithm>

#include "ui/scroll_bars.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

void Clamp(SCROLLINFO* info)
{
    const long long span = static_cast<long long>(info->nMax) - info->nMin + 1;
    info->nPage = static_cast<UINT>(std::min<long long>(info->nPage, std::max<long long>(span, 0)));
    const int last = info->nMax - std::max(static_cast<int>(info->nPage) - 1, 0);
    info->nPos = std::max(info->nMin, std::min(info->nPos, last));
}

// The bar's rectangle in the window's client coordinates: beside or below
// the client area.
RECT BarRect(HWND hwnd, int bar)
{
    RECT client;
    GetClientRect(hwnd, &client);
    if (bar == SB_VERT) return RECT{client.right, 0, client.right + GetSystemMetrics(SM_CXVSCROLL), client.bottom};
    return RECT{0, client.bottom, client.right, client.bottom + GetSystemMetrics(SM_CYHSCROLL)};
}

// The scroll code for a click `along` pixels from the bar's start: the
// arrows, the track either side of the thumb, or the thumb (-1).
int PartAt(const SCROLLINFO& info, int length, int arrow, int along)
{
    if (along < arrow) return SB_LINEUP;
    if (along >= length - arrow) return SB_LINEDOWN;
    const int track = std::max(length - 2 * arrow, 1);
    const long long span = static_cast<long long>(info.nMax) - info.nMin + 1;
    const int thumb = info.nPage == 0 || span <= 0
                          ? arrow
                          : std::max(8, static_cast<int>(track * static_cast<long long>(info.nPage) / span));
    const int last = info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
    const int travel = std::max(track - thumb, 0);
    const int thumbStart =
        arrow + (last > info.nMin ? static_cast<int>(static_cast<long long>(travel) * (info.nPos - info.nMin) /
                                                     (last - info.nMin))
                                  : 0);
    if (along < thumbStart) return SB_PAGEUP;
    if (along >= thumbStart + thumb) return SB_PAGEDOWN;
    return -1;
}

}  // namespace

namespace winsim::ui {

LRESULT ScrollBarHitTest(HWND hwnd, POINT screen)
{
    POINT point = screen;
    ScreenToClient(hwnd, &point);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
    for (int bar : {SB_VERT, SB_HORZ}) {
        if (!(style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL))) continue;
        const RECT rect = BarRect(hwnd, bar);
        if (PtInRect(&rect, point)) return bar == SB_VERT ? HTVSCROLL : HTHSCROLL;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    return PtInRect(&client, point) ? HTCLIENT : HTBORDER;
}

void ScrollBarClick(HWND hwnd, LRESULT hit, POINT screen)
{
    if (hit != HTVSCROLL && hit != HTHSCROLL) return;
    const int bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
    SCROLLINFO info{sizeof(info), SIF_ALL};
    if (!GetScrollInfo(hwnd, bar, &info)) return;
    POINT point = screen;
    ScreenToClient(hwnd, &point);
    const RECT rect = BarRect(hwnd, bar);
    const bool vertical = bar == SB_VERT;
    const int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
    const int arrow = vertical ? GetSystemMetrics(SM_CYVSCROLL) : GetSystemMetrics(SM_CXHSCROLL);
    const int part = PartAt(info, length, std::min(arrow, length / 2), vertical ? point.y - rect.top : point.x - rect.left);
    if (part < 0) return;  // the thumb moves only when dragged
    const UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
    SendMessageA(hwnd, message, MAKEWPARAM(part, 0), 0);
    if (IsWindow(hwnd)) SendMessageA(hwnd, message, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

}  // namespace winsim::ui

extern "C" {

int WINAPI SetScrollInfo(HWND hwnd, int nBar, LPCSCROLLINFO lpsi, BOOL)
{
    if (!ValidBar(nBar) || lpsi == nullptr ||
        (lpsi->cbSize != sizeof(SCROLLINFO) && lpsi->cbSize != sizeof(SCROLLINFO) - sizeof(int))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int position = 0;
    bool scrolls = false;
    if (!WithWindow(hwnd, [&](Window& window) {
            SCROLLINFO& info = window.scrollBars[nBar];
            if (lpsi->fMask & SIF_RANGE) {
                info.nMin = lpsi->nMin;
                info.nMax = lpsi->nMax;
            }
            if (lpsi->fMask & SIF_PAGE) info.nPage = lpsi->nPage;
            if (lpsi->fMask & SIF_POS) info.nPos = lpsi->nPos;
            Clamp(&info);
            window.scrollBarSet[nBar] = true;
            position = info.nPos;
            scrolls = info.nMin < info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
        })) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // A new range or page decides whether the bar is needed; a page alone
    // never brings a hidden bar back.
    if (lpsi->fMask & (SIF_RANGE | SIF_PAGE)) {
        if (!scrolls && !(lpsi->fMask & SIF_DISABLENOSCROLL)) {
            ShowScrollBar(hwnd, nBar, FALSE);
        } else if (scrolls && (lpsi->fMask & SIF_RANGE)) {
            ShowScrollBar(hwnd, nBar, TRUE);
        }
    }
    // The bars are frame, which winsim keeps no display list for; the client
    // area is the program's to repaint.
    return position;
}

BOOL WINAPI GetScrollInfo(HWND hwnd, int nBar, LPSCROLLINFO lpsi)
{
    if (!ValidBar(nBar) || lpsi == nullptr || (lpsi->fMask & SIF_ALL) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SCROLLINFO info{};
    bool hasBar = false;
    if (!WithWindow(hwnd, [&](Window& window) {
            info = window.scrollBars[nBar];
            hasBar = window.scrollBarSet[nBar] || (window.style & (nBar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
        })) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!hasBar) return FALSE;
    if (lpsi->fMask & SIF_RANGE) {
        lpsi->nMin = info.nMin;
        lpsi->nMax = info.nMax;
    }
    if (lpsi->fMask & SIF_PAGE) lpsi->nPage = info.nPage;
    if (lpsi->fMask & SIF_POS) lpsi->nPos = info.nPos;
    if (lpsi->fMask & SIF_TRACKPOS) lpsi->nTrackPos = info.nPos;  // no thumb is being dragged
    return TRUE;
}

int WINAPI SetScrollPos(HWND hWnd, int nBar, int nPos, BOOL bRedraw)
{
    SCROLLINFO info{sizeof(info), SIF_POS};
    const int previous = GetScrollInfo(hWnd, nBar, &info) ? info.nPos : 0;
    info.fMask = SIF_POS;
    info.nPos = nPos;
    SetScrollInfo(hWnd, nBar, &info, bRedraw);
    return previous;
}

int WINAPI GetScrollPos(HWND hWnd, int nBar)
{
    SCROLLINFO info{sizeof(info), SIF_POS};
    return GetScrollInfo(hWnd, nBar, &info) ? info.nPos : 0;
}

BOOL WINAPI SetScrollRange(HWND hWnd, int nBar, int nMinPos, int nMaxPos, BOOL bRedraw)
{
    if (static_cast<long long>(nMaxPos) - nMinPos > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SCROLLINFO info{sizeof(info), SIF_RANGE, nMinPos, nMaxPos};
    if (!ValidBar(nBar) || !IsWindow(hWnd)) return FALSE;
    SetScrollInfo(hWnd, nBar, &info, bRedraw);
    return TRUE;
}

BOOL WINAPI GetScrollRange(HWND hWnd, int nBar, int* lpMinPos, int* lpMaxPos)
{
    if (lpMinPos == nullptr || lpMaxPos == nullptr) return FALSE;
    SCROLLINFO info{sizeof(info), SIF_RANGE};
    *lpMinPos = *lpMaxPos = 0;
    if (!GetScrollInfo(hWnd, nBar, &info)) return FALSE;
    *lpMinPos = info.nMin;
    *lpMaxPos = info.nMax;
    return TRUE;
}

}  // extern "C"

extern "C" {

// Showing or hiding a bar changes the window's style and so its client
// area, which the window hears of.
BOOL WINAPI ShowScrollBar(HWND hWnd, int wBar, BOOL bShow)
{
    if (!IsWindow(hWnd) || (!ValidBar(wBar) && wBar != SB_BOTH)) return FALSE;
    DWORD bits = 0;
    if (wBar == SB_VERT || wBar == SB_BOTH) bits |= WS_VSCROLL;
    if (wBar == SB_HORZ || wBar == SB_BOTH) bits |= WS_HSCROLL;
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(hWnd, GWL_STYLE));
    const DWORD changed = bShow ? (style | bits) : (style & ~bits);
    if (changed == style) return TRUE;
    SetWindowLongPtrA(hWnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(changed)));
    RECT client;
    GetClientRect(hWnd, &client);
    SendMessageA(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    return TRUE;
}

}  // extern "C"
