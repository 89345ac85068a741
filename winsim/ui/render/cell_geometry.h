// Pixels to cells. One cell is one base unit box of the dialog font (four by
// eight dialog units: 6 x 13 pixels at 8 points), so dialog layouts keep their
// proportions. A top-level window is placed as a whole: everything in it is
// measured from its top-left pixel, wherever it sits on the screen.
#pragma once

#include <windows.h>

#include "ui/render/char_grid.h"

namespace winsim::ui::render {

int CellWidth();
int CellHeight();

// Where a top-level window lands in the grid: its top-left pixel at (row, col).
struct Placement {
    POINT origin{};
    int row = 0;
    int col = 0;
};

int RowOf(const Placement& at, int screenY);
int ColOf(const Placement& at, int screenX);
// The cells a screen rectangle covers.
CellRect CellsOf(const Placement& at, const RECT& screen);
// A window's rectangle in cells.
CellRect WindowCells(const Placement& at, HWND hwnd);
// The screen pixel in the middle of a cell.
POINT ScreenPointOf(const Placement& at, int row, int col);

}  // namespace winsim::ui::render
