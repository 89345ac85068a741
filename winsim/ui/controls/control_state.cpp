#include "ui/controls/control_state.h"

#include "ui/gdi/font_metrics.h"

namespace winsim::ui {

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

void NotifyParent(HWND hwnd, WORD code)
{
    HWND parent = GetParent(hwnd);
    if (parent == nullptr) return;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

TEXTMETRICA FontMetrics(HFONT font)
{
    LOGFONTA logFont;
    if (font == nullptr || GetObjectA(font, sizeof(logFont), &logFont) == 0) return SystemFontMetrics();
    return MetricsOf(logFont);
}

}  // namespace winsim::ui
