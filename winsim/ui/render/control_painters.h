// How each kind of window shows in cells: frames, the controls' own marks
// (brackets of buttons and fields, tabs, tree buttons, scroll bars) and
// their display lists.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "ui/render/cell_geometry.h"
#include "ui/render/char_grid.h"

namespace winsim::ui::render {

struct PaintJob {
    CharGrid& grid;
    Placement at;
    HWND hwnd;
    CellRect rect;  // the window's cells
    CellRect clip;  // where its parent lets it draw
    // Drawn once the whole top-level window is: lists dropped down over it.
    std::vector<std::function<void()>>* overlays;
};

struct Painted {
    CellRect inside;  // where its children may draw
    int focusRow;     // the row a focus mark goes on
};

// A child window's own content, not its children.
Painted PaintControl(const PaintJob& job);

// A scroll bar along the right or bottom edge of `inside` for each standard
// bar the window has; `inside` shrinks by the bars.
void PaintScrollBars(const PaintJob& job, CellRect* inside);

}  // namespace winsim::ui::render
