// The hit map of a grid: which window and which of its client points each
// cell stands for, so a click on a cell reaches what the cell shows.
#pragma once

#include <windows.h>

#include "ui/render/cell_geometry.h"
#include "ui/render/char_grid.h"

namespace winsim::ui::render {

// Every cell of `rect` within `clip` stands for the window's client point
// under the cell's middle pixel.
void MapWindow(CharGrid& grid, const Placement& at, HWND hwnd, const CellRect& rect, const CellRect& clip);
// A row of `inside` that shows the line drawn at client `y`.
void MapLine(CharGrid& grid, HWND hwnd, int row, const CellRect& inside, const CellRect& clip, LONG y);
// One cell standing for a part of the window's frame or scroll bars.
void MapPart(CharGrid& grid, HWND hwnd, int row, int col, HitPart part, const CellRect& clip);

}  // namespace winsim::ui::render
