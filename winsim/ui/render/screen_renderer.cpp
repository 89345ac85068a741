#include "ui/render/screen_renderer.h"

#include <algorithm>
#include <string>

#include "ui/render/control_painters.h"
#include "ui/render/display_text.h"
#include "ui/render/hit_map.h"
#include "ui/render/window_facts.h"

namespace winsim::ui::render {

namespace {

bool IsToolTip(HWND hwnd)
{
    return ClassOf(hwnd) == "tooltips_class32";
}

class WindowPainter {
public:
    WindowPainter(CharGrid& grid, const Placement& at, HWND focus) : grid_(grid), at_(at), focus_(focus) {}

    void PaintTopLevel(HWND hwnd, bool active)
    {
        const CellRect rect = WindowCells(at_, hwnd);
        const DWORD style = StyleOf(hwnd);
        grid_.Clear(rect, grid_.Bounds());
        MapWindow(grid_, at_, hwnd, rect, grid_.Bounds());
        CellRect inside = rect;
        if (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) {
            grid_.Box(rect, active, grid_.Bounds());
            inside = rect.Inset(1);
        }
        if ((style & WS_CAPTION) == WS_CAPTION) {
            TitleBar(hwnd, inside, active);
            inside.top++;
        }
        if (GetMenu(hwnd) != nullptr) {
            MenuBar(hwnd, inside);
            inside.top++;
        }
        PaintJob job{grid_, at_, hwnd, rect, grid_.Bounds(), &overlays_};
        PaintScrollBars(job, &inside);
        PlaceText(grid_, at_, hwnd, inside);
        Children(hwnd, inside);
        for (auto& overlay : overlays_)
            overlay();
        overlays_.clear();
    }

    // A tip's text in a box of its own, three rows high.
    void PaintToolTip(HWND hwnd)
    {
        const CellRect at = WindowCells(at_, hwnd);
        const std::string text = TextOf(hwnd);
        const CellRect box{at.top, at.left, at.top + 3, at.left + static_cast<int>(text.size()) + 2};
        grid_.Clear(box, grid_.Bounds());
        MapWindow(grid_, at_, hwnd, box, grid_.Bounds());
        grid_.Box(box, false, grid_.Bounds());
        grid_.Text(box.top + 1, box.left + 1, text, {}, grid_.Bounds());
    }

private:
    void TitleBar(HWND hwnd, const CellRect& inside, bool active)
    {
        const CellRect bar{inside.top, inside.left, inside.top + 1, inside.right};
        CellStyle style;
        style.title = true;
        style.activeTitle = active;
        grid_.Text(bar.top, bar.left, " " + TextOf(hwnd), style, bar);
        const bool closeBox = (StyleOf(hwnd) & WS_SYSMENU) != 0;
        if (closeBox)
            grid_.Text(bar.top, bar.right - 3, "[X]", style, bar);
        for (int col = bar.left; col < bar.right; ++col) {
            MapPart(grid_, hwnd, bar.top, col,
                    closeBox && col >= bar.right - 3 ? HitPart::kClose : HitPart::kCaption, bar);
            if (grid_.Bounds().Contains(bar.top, col) && grid_.At(bar.top, col).ch == ' ') {
                grid_.Put(bar.top, col, ' ', style, bar);
            }
        }
    }

    // The bar's items in a row, their mnemonic prefixes dropped.
    void MenuBar(HWND hwnd, const CellRect& inside)
    {
        const CellRect bar{inside.top, inside.left, inside.top + 1, inside.right};
        int col = bar.left + 1;
        int position = 0;
        for (const MenuBarItem& item : MenuBarItems(hwnd)) {
            CellStyle style;
            if (item.grayed)
                style.ink = Ink::kGray;
            grid_.Text(bar.top, col, " " + item.label + " ", style, bar);
            for (int at = col; at < col + static_cast<int>(item.label.size()) + 2; ++at) {
                grid_.SetHit(bar.top, at, Hit{hwnd, POINT{position, 0}, HitPart::kMenuBar}, bar);
            }
            col += static_cast<int>(item.label.size()) + 2;
            ++position;
        }
    }

    void Children(HWND parent, const CellRect& clip)
    {
        for (HWND child : DrawingOrder(parent)) {
            const CellRect rect = WindowCells(at_, child);
            MapWindow(grid_, at_, child, rect, clip);
            const Painted painted = PaintControl(PaintJob{grid_, at_, child, rect, clip, &overlays_});
            if (child == focus_)
                MarkFocus(rect, painted.focusRow, clip);
            Children(child, painted.inside.Intersect(clip));
        }
    }

    // The focused control's row is marked for the terminal, and a '>' in
    // front of it shows the focus in plain text.
    void MarkFocus(const CellRect& rect, int row, const CellRect& clip)
    {
        CellStyle style;
        style.focus = true;
        grid_.Mark(CellRect{row, rect.left, row + 1, rect.right}, style, clip);
        const int col = rect.left - 1;
        // On a blank or on a frame it stands in front of; never over text.
        if (grid_.Bounds().Contains(row, col) &&
            (grid_.At(row, col).ch == ' ' || grid_.At(row, col).lines != 0)) {
            grid_.Put(row, col, '>', style, grid_.Bounds());
        }
    }

    CharGrid& grid_;
    Placement at_;
    HWND focus_;
    std::vector<std::function<void()>> overlays_;
};

}  // namespace

void PaintWindow(CharGrid& grid, const Placement& at, HWND hwnd, bool active)
{
    WindowPainter painter(grid, at, FocusOf(hwnd));
    if (IsToolTip(hwnd)) {
        painter.PaintToolTip(hwnd);
    } else {
        painter.PaintTopLevel(hwnd, active);
    }
}

namespace {

RECT ScreenRect(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

// Where the desktop's top-left corner lies: the windows together when they
// fit (centred across), else the active window's corner, so it stays in view.
Placement DesktopPlacement(const std::vector<HWND>& topmostFirst, HWND active, int rows, int cols)
{
    Placement at;
    if (topmostFirst.empty())
        return at;
    RECT all = ScreenRect(topmostFirst.front());
    for (HWND hwnd : topmostFirst) {
        const RECT rect = ScreenRect(hwnd);
        UnionRect(&all, &all, &rect);
    }
    at.origin = POINT{all.left, all.top};
    CellRect cells = CellsOf(at, all);
    if (cells.bottom > rows || cells.right > cols) {
        const RECT front = ScreenRect(active != nullptr ? active : topmostFirst.front());
        at.origin = POINT{front.left, front.top};
        cells = CellsOf(at, front);
    }
    at.col = std::max(0, (cols - cells.right) / 2);
    return at;
}

// A window is measured from its own top-left pixel, wherever the desktop
// puts that corner, so its insides round the same way everywhere.
Placement PlacementOf(const Placement& desktop, HWND hwnd)
{
    const RECT rect = ScreenRect(hwnd);
    return Placement{POINT{rect.left, rect.top}, RowOf(desktop, rect.top), ColOf(desktop, rect.left)};
}

}  // namespace

CharGrid RenderDesktop(const std::vector<HWND>& topmostFirst, HWND active, int rows, int cols)
{
    CharGrid grid(rows, cols);
    const Placement at = DesktopPlacement(topmostFirst, active, rows, cols);
    // Topmost windows (tool tips) above all others, each group bottom first.
    std::vector<HWND> order(topmostFirst.rbegin(), topmostFirst.rend());
    std::stable_partition(order.begin(), order.end(),
                          [](HWND hwnd) { return !(GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST); });
    for (HWND hwnd : order)
        PaintWindow(grid, PlacementOf(at, hwnd), hwnd, hwnd == active);
    return grid;
}

CharGrid RenderWindow(HWND hwnd, bool active)
{
    Placement at;
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    at.origin = POINT{rect.left, rect.top};
    const CellRect cells = WindowCells(at, hwnd);
    CharGrid grid(cells.bottom, cells.right);
    PaintWindow(grid, at, hwnd, active);
    return grid;
}

}  // namespace winsim::ui::render
