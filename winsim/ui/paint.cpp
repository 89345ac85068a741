// Invalidation and painting. Invalidations only mark the window; the queue
// turns a marked window into one WM_PAINT however often it was marked.
#include "ui/gdi/display_list.h"
#include "ui/gdi/gdi_objects.h"
#include "ui/message_queue.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

void MarkLocked(Window& window, const RECT* rect, bool erase)
{
    RECT client{};
    if (rect == nullptr) {
        const RECT& r = window.rect;
        client = RECT{0, 0, r.right - r.left, r.bottom - r.top};
        rect = &client;
    }
    if (window.updatePending) {
        UnionRect(&window.updateRect, &window.updateRect, rect);
    } else {
        window.updateRect = *rect;
    }
    window.updatePending = true;
    window.erasePending = window.erasePending || erase;
    Wake(*window.queue);
}

}  // namespace

extern "C" {

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MarkLocked(*window, lpRect, bErase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) return FALSE;
    window->updatePending = false;
    window->erasePending = false;
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr || !window->updatePending) {
        if (lpRect != nullptr) *lpRect = RECT{};
        return FALSE;
    }
    if (lpRect != nullptr) *lpRect = window->updateRect;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd)
{
    bool paint = false;
    if (!WithWindow(hWnd, [&](Window& window) { paint = window.updatePending && (window.style & WS_VISIBLE); })) {
        return FALSE;
    }
    if (paint) SendMessageA(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags)
{
    std::vector<HWND> tree{hWnd};
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) return FALSE;
        if (flags & RDW_ALLCHILDREN) CollectDescendantsLocked(hWnd, &tree);
        if (flags & RDW_INVALIDATE) {
            for (HWND h : tree) MarkLocked(*FindLocked(h), h == hWnd ? lprcUpdate : nullptr, flags & RDW_ERASE);
        }
    }
    if (flags & RDW_UPDATENOW) {
        for (HWND h : tree) UpdateWindow(h);
    }
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    bool erase = false;
    RECT area{};
    if (!WithWindow(hWnd, [&](Window& window) {
            erase = window.erasePending;
            area = window.updatePending ? window.updateRect : RECT{};
            window.updatePending = false;
            window.erasePending = false;
        })) {
        return nullptr;
    }
    StartDisplayList(hWnd);
    HDC dc = CreateWindowDc(hWnd);
    if (erase) erase = SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = dc;
    lpPaint->fErase = erase ? TRUE : FALSE;
    lpPaint->rcPaint = area;
    return dc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint)
{
    return ReleaseWindowDc(lpPaint->hdc) ? TRUE : FALSE;
}

HDC WINAPI GetDC(HWND hWnd)
{
    if (hWnd != nullptr && !IsWindow(hWnd)) return nullptr;
    return CreateWindowDc(hWnd);
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) { return ReleaseWindowDc(hDC) ? 1 : 0; }

}  // extern "C"
