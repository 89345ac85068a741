#include "ui/render/cell_geometry.h"

#include "ui/gdi/font_metrics.h"

namespace winsim::ui::render {

namespace {

const TEXTMETRICA& DialogFont()
{
    static const TEXTMETRICA metrics = [] {
        LOGFONTA font{};
        font.lfHeight = HeightForPoints(8);
        return MetricsOf(font);
    }();
    return metrics;
}

int FloorDiv(int value, int by)
{
    return value >= 0 ? value / by : -((-value + by - 1) / by);
}

}  // namespace

int CellWidth()
{
    return DialogFont().tmAveCharWidth;
}
int CellHeight()
{
    return DialogFont().tmHeight;
}

int RowOf(const Placement& at, int screenY)
{
    return at.row + FloorDiv(screenY - at.origin.y, CellHeight());
}
int ColOf(const Placement& at, int screenX)
{
    return at.col + FloorDiv(screenX - at.origin.x, CellWidth());
}

CellRect CellsOf(const Placement& at, const RECT& screen)
{
    if (screen.right <= screen.left || screen.bottom <= screen.top) {
        return CellRect{RowOf(at, screen.top), ColOf(at, screen.left), RowOf(at, screen.top),
                        ColOf(at, screen.left)};
    }
    return CellRect{RowOf(at, screen.top), ColOf(at, screen.left), RowOf(at, screen.bottom - 1) + 1,
                    ColOf(at, screen.right - 1) + 1};
}

CellRect WindowCells(const Placement& at, HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return CellsOf(at, rect);
}

POINT ScreenPointOf(const Placement& at, int row, int col)
{
    return POINT{at.origin.x + (col - at.col) * CellWidth() + CellWidth() / 2,
                 at.origin.y + (row - at.row) * CellHeight() + CellHeight() / 2};
}

}  // namespace winsim::ui::render
