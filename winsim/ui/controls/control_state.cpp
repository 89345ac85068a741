#include "ui/controls/control_state.h"

#include "ui/gdi/font_metrics.h"

namespace winsim::ui {

LRESULT SharedControlMessage(HWND hwnd, ControlState* state, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFONT:
        if (state == nullptr) return 0;
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return state != nullptr ? reinterpret_cast<LRESULT>(state->font) : 0;
    case WM_SETTEXT:
        DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

void NotifyParent(HWND hwnd, WORD code)
{
    HWND parent = GetParent(hwnd);
    if (parent == nullptr) return;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT SendNotify(HWND hwnd, NMHDR* header, UINT code)
{
    header->hwndFrom = hwnd;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    header->code = code;
    HWND parent = GetParent(hwnd);
    if (parent == nullptr) return 0;
    return SendMessageA(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

HBRUSH ControlColors(HWND hwnd, HDC dc, UINT message)
{
    const auto wParam = reinterpret_cast<WPARAM>(dc);
    const auto lParam = reinterpret_cast<LPARAM>(hwnd);
    HWND parent = GetParent(hwnd);
    const LRESULT brush = parent != nullptr ? SendMessageA(parent, message, wParam, lParam) : 0;
    if (brush != 0) return reinterpret_cast<HBRUSH>(brush);
    return reinterpret_cast<HBRUSH>(DefWindowProcA(hwnd, message, wParam, lParam));
}

TEXTMETRICA FontMetrics(HFONT font)
{
    LOGFONTA logFont;
    if (font == nullptr || GetObjectA(font, sizeof(logFont), &logFont) == 0) return SystemFontMetrics();
    return MetricsOf(logFont);
}

}  // namespace winsim::ui
