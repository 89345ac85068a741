#include "ui/render/display_text.h"

#include <algorithm>
#include <map>
#include <vector>

#include "ui/gdi/display_list.h"
#include "ui/render/hit_map.h"

namespace winsim::ui::render {

namespace {

bool Dominant(BYTE channel, BYTE other1, BYTE other2)
{
    return channel >= 128 && other1 < 100 && other2 < 100;
}

}  // namespace

CellStyle StyleOfColor(COLORREF color)
{
    CellStyle style;
    if (color == GetSysColor(COLOR_HIGHLIGHTTEXT)) {
        style.highlight = true;
    } else if (color == GetSysColor(COLOR_GRAYTEXT)) {
        style.ink = Ink::kGray;
    } else if (Dominant(GetRValue(color), GetGValue(color), GetBValue(color))) {
        style.ink = Ink::kRed;
    } else if (Dominant(GetBValue(color), GetRValue(color), GetGValue(color))) {
        style.ink = Ink::kBlue;
    } else if (Dominant(GetGValue(color), GetRValue(color), GetBValue(color))) {
        style.ink = Ink::kGreen;
    }
    return style;
}

int PlaceText(CharGrid& grid, const Placement& at, HWND hwnd, const CellRect& clip)
{
    // Where the last text on each row ended, in pixels and in cells: a font
    // narrower than a cell takes more cells than pixels, so text that
    // follows it on the line starts after it, not over its end.
    struct LineEnd {
        LONG right;
        int col;
    };
    std::map<int, LineEnd> ends;
    int first = -1;
    for (const DisplayItem& item : DisplayListOf(hwnd)) {
        if (item.kind != DisplayItem::Kind::kText)
            continue;
        POINT point{item.rect.left, (item.rect.top + item.rect.bottom) / 2};
        ClientToScreen(hwnd, &point);
        const int row = RowOf(at, point.y);
        if (first < 0)
            first = row;
        int col = ColOf(at, point.x);
        const auto end = ends.find(row);
        if (end != ends.end() && item.rect.left >= end->second.right)
            col = std::max(col, end->second.col);
        grid.Text(row, col, item.text, StyleOfColor(item.color), clip);
        ends[row] = LineEnd{item.rect.right, col + static_cast<int>(item.text.size())};
    }
    return first;
}

void PlaceLines(CharGrid& grid, HWND hwnd, const CellRect& inside, const CellRect& clip)
{
    const std::vector<DisplayItem> items = DisplayListOf(hwnd);
    std::vector<LONG> tops;
    for (const DisplayItem& item : items) {
        if (item.kind == DisplayItem::Kind::kText)
            tops.push_back(item.rect.top);
    }
    std::sort(tops.begin(), tops.end());
    tops.erase(std::unique(tops.begin(), tops.end()), tops.end());
    const CellRect area = inside.Intersect(clip);
    for (const DisplayItem& item : items) {
        if (item.kind != DisplayItem::Kind::kText)
            continue;
        const int row =
            inside.top +
            static_cast<int>(std::lower_bound(tops.begin(), tops.end(), item.rect.top) - tops.begin());
        const int col =
            inside.left + (item.rect.left >= 0 ? item.rect.left / CellWidth()
                                               : -((-item.rect.left + CellWidth() - 1) / CellWidth()));
        const CellStyle style = StyleOfColor(item.color);
        MapLine(grid, hwnd, row, inside, clip, item.rect.top);
        if (style.highlight)
            grid.Mark(CellRect{row, inside.left, row + 1, inside.right}, style, area);
        grid.Text(row, col, item.text, style, area);
    }
}

}  // namespace winsim::ui::render
