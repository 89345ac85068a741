#include "ui/render/hit_map.h"

namespace winsim::ui::render {

void MapWindow(CharGrid& grid, const Placement& at, HWND hwnd, const CellRect& rect, const CellRect& clip)
{
    const CellRect area = rect.Intersect(clip).Intersect(grid.Bounds());
    for (int row = area.top; row < area.bottom; ++row) {
        for (int col = area.left; col < area.right; ++col) {
            POINT point = ScreenPointOf(at, row, col);
            ScreenToClient(hwnd, &point);
            grid.SetHit(row, col, Hit{hwnd, point, HitPart::kClient}, clip);
        }
    }
}

void MapLine(CharGrid& grid, HWND hwnd, int row, const CellRect& inside, const CellRect& clip, LONG y)
{
    const CellRect area = inside.Intersect(clip).Intersect(grid.Bounds());
    if (row < area.top || row >= area.bottom)
        return;
    for (int col = area.left; col < area.right; ++col) {
        const POINT point{(col - inside.left) * CellWidth() + CellWidth() / 2, y + 1};
        grid.SetHit(row, col, Hit{hwnd, point, HitPart::kClient}, clip);
    }
}

void MapPart(CharGrid& grid, HWND hwnd, int row, int col, HitPart part, const CellRect& clip)
{
    grid.SetHit(row, col, Hit{hwnd, POINT{}, part}, clip);
}

}  // namespace winsim::ui::render
