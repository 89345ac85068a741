#include "ui/mdi/mdi_layout.h"

#include <cmath>
#include <utility>

namespace winsim::ui {

namespace {

int CascadeStep() { return GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME) - 1; }

}  // namespace

std::vector<RECT> CascadeRects(size_t count, const RECT& area)
{
    const int step = CascadeStep();
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const int steps = height / (3 * step);
    const int cx = width - steps * step;
    const int cy = height - steps * step;
    std::vector<RECT> rects;
    for (size_t k = 0; k < count; ++k) {
        const int offset = step * static_cast<int>(k % static_cast<size_t>(steps + 1));
        rects.push_back(RECT{offset, offset, offset + cx, offset + cy});
    }
    return rects;
}

std::vector<RECT> TileRects(size_t count, const RECT& area, bool horizontal)
{
    std::vector<RECT> rects;
    if (count == 0) return rects;
    const int total = static_cast<int>(count);
    int rows = static_cast<int>(std::sqrt(static_cast<double>(total)));
    int columns = total / rows;
    if (horizontal) std::swap(rows, columns);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const int cx = width / columns;
    int placed = 0;
    for (int c = 0; c < columns; ++c) {
        const int inColumn = c == columns - 1 ? total - placed : rows;
        const int cy = height / inColumn;
        for (int r = 0; r < inColumn; ++r, ++placed) rects.push_back(RECT{c * cx, r * cy, (c + 1) * cx, (r + 1) * cy});
    }
    return rects;
}

}  // namespace winsim::ui
