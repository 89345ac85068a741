#include "ui/gdi/brushes.h"

#include "ui/gdi/gdi_objects.h"

namespace {

// System colour brushes sit after the stock objects, one per colour index.
constexpr ULONG_PTR kSystemBrushBase = 0x1100;
constexpr int kSystemColors = 31;

int SystemColorOf(HGDIOBJ object)
{
    const auto value = reinterpret_cast<ULONG_PTR>(object);
    if (value >= kSystemBrushBase && value < kSystemBrushBase + kSystemColors) {
        return static_cast<int>(value - kSystemBrushBase);
    }
    if (value >= 1 && value <= kSystemColors) return static_cast<int>(value) - 1;
    return -1;
}

}  // namespace

namespace winsim::ui {

bool BrushColor(HBRUSH brush, COLORREF* color)
{
    const int systemColor = SystemColorOf(brush);
    if (systemColor >= 0) {
        *color = GetSysColor(systemColor);
        return true;
    }
    switch (StockIndexOf(brush)) {
    case WHITE_BRUSH: *color = RGB(255, 255, 255); return true;
    case LTGRAY_BRUSH: *color = RGB(192, 192, 192); return true;
    case GRAY_BRUSH: *color = RGB(128, 128, 128); return true;
    case DKGRAY_BRUSH: *color = RGB(64, 64, 64); return true;
    case BLACK_BRUSH: *color = RGB(0, 0, 0); return true;
    default: return false;
    }
}

bool IsSystemColorBrush(HGDIOBJ object)
{
    const auto value = reinterpret_cast<ULONG_PTR>(object);
    return value >= kSystemBrushBase && value < kSystemBrushBase + kSystemColors;
}

}  // namespace winsim::ui

extern "C" {

HBRUSH WINAPI GetSysColorBrush(int nIndex)
{
    if (nIndex < 0 || nIndex >= kSystemColors) return nullptr;
    return reinterpret_cast<HBRUSH>(kSystemBrushBase + static_cast<ULONG_PTR>(nIndex));
}

}  // extern "C"
